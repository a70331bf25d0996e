#pragma once

#include "net/MessageList.h"

// A check works on a copy of what the account knows and hands back what it
// found; the account's own records, which the menu shows and the user marks
// meanwhile, are brought in step on the window's thread.

// The account's records as a check needs them: uid, number and flags, no
// text.
MessageList knownRecords(const MessageList& kept);

// Makes `kept` the records of `found` in its order: a record kept before
// keeps its text and takes the new number, a new one is taken from `found`,
// and one that `found` lacks (gone from the server, or deleted by the check)
// is dropped. A delete mark the user made during the check survives. Answers
// whether anything but the numbers changed; `found` is consumed.
bool mergeFound(MessageList& kept, MessageList& found);
