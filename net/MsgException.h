#pragma once

#include <string>

// The root of every failure the program raises. Exceptions of this family are
// plain values: thrown by value, caught by reference, copied by the runtime
// and never deleted through a base pointer, which is why the destructor is not
// virtual. The one virtual operation composes the text the user is shown.
class MsgException {
public:
    explicit MsgException(const char* text);

    virtual std::string message() const;

    std::string text;
};

// Turns a failed Windows call into a MsgException that carries the system's
// own description of the thread's last error. A zero result is success and
// costs nothing; any other value only says that the call failed.
void checkWindowsResult(int result);

// "Windows error #<error>: <description>", cut to fit the 1000-byte text the
// message has always had.
std::string formatWindowsError(unsigned long error, const char* description);

// "0x<status in hex> (<the system's description>)" for an SSPI or crypt32
// status, with fallback as the description when the system has none.
std::string describeStatus(unsigned long status, const char* fallback);
