#pragma once

#include "servers/Pop3Server.h"

// Messages for tests, the same for the same seed. Message i (from 1) has the
// unique id of a letter and its number ("a1", "b2", ..., "z26", "a27"), a few
// headers and 40 body lines, the first two of them beginning with "." so
// that both ends must stuff and keep the dots right.
Pop3Message sampleMessage(int number, unsigned seed = 1);
Pop3Mailbox sampleMailbox(int count, unsigned seed = 1);
