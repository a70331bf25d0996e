#pragma once

#include "net/MsgException.h"

#include <string>

namespace POP3 {

// A failed step of a POP3 session. The code says which step failed and picks
// the short text the account shows as its status.
class Exception : public MsgException {
public:
    Exception(const char* text, const char* reply, int code);

    std::string message() const override;
    std::string codeText() const;

    std::string reply;
    int code;
};

} // namespace POP3
