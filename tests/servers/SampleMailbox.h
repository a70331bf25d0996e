#pragma once

#include "servers/Pop3Message.h"

#include <cstddef>
#include <string>
#include <vector>

// Sample messages for tests, the demo and the benchmarks, the same for the
// same seed. Each has about 1 KB of headers (Received lines folded over
// several lines, From, To, Subject, Date, Message-ID and a few more; some
// From and Subject lines are Q-encoded words) and a body of more than 30
// lines, some of which begin with "." so that dot-stuffing is exercised.
//
// Message i (from 1) has the unique id of a letter and its number: "a1",
// "b2", ..., "z26", "a27", ...; the seed changes the text, not the id.
Pop3Message sampleMessage(int number, unsigned seed = 1);
// Messages 1 to count.
Pop3Mailbox sampleMailbox(int count, unsigned seed = 1);

// A "uidl" listing of count lines ("1 u1", "2 u2", ...) for a hostile reply
// that lists more messages than a mailbox should hold.
std::vector<std::string> manyUidLines(size_t count);
