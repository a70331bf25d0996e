#pragma once

#include "servers/Pop3Server.h"

// Mail for the demo and the benchmarks, the same for the same seed: each
// message has about 1 KB of headers (Received lines folded over several
// lines, From, To, Subject, Date, Message-ID and a few more; some From and
// Subject lines are Q-encoded words) and a body of more than 30 lines, some
// of which begin with ".". Message i (from 1) has the unique id of a letter
// and its number: "a1", "b2", ..., "z26", "a27", ...
Pop3Mailbox generatedMailbox(int count, unsigned seed = 1);
