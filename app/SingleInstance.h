#pragma once

// One Pellmor per user session: a second start must not add a second set of
// icons and a second round of checks. When another Pellmor already runs,
// this asks it to check every account now and answers true; the caller then
// ends with 0. False: this is the only one, and it stays marked as running
// until the process ends.
bool handOverToRunningInstance();
