#pragma once

#include "servers/Pop3Server.h"

#include <string>

// The messages of a folder, one per file, in the order of the file names;
// a file's name without its extension is the message's unique id. Throws a
// MsgException when the folder or a file cannot be read.
Pop3Mailbox readMailboxFolder(const std::string& folder);
