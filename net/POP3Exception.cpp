#include "net/POP3Exception.h"

namespace POP3 {

Exception::Exception(const char* text, const char* reply, int code)
    : MsgException(text), reply(reply), code(code) {}

std::string Exception::message() const {
    std::string composed = "POP3Client: " + MsgException::message();
    if (!reply.empty())
        composed += " (reply was '" + reply + "')";
    return composed;
}

std::string Exception::codeText() const {
    switch (code) {
    case 0: return "unspecified error";
    case 1: return "socket error";
    case 2: return "host name lookup failed";
    case 3: return "connection failed";
    case 4: return "POP3 server error";
    case 5: return "authorization failed";
    case 6: return "status retrieval failed";
    case 7: return "message scan failed";
    case 8: return "disconnection error";
    case 9: return "secure connection failed";
    case 10: return "certificate not trusted";
    case 11: return "certificate name mismatch";
    case 12: return "certificate expired";
    case 13: return "server offers no STLS";
    default: return "unknown error";
    }
}

} // namespace POP3
