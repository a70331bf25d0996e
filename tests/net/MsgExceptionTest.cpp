#include "net/MsgException.h"
#include "net/POP3Exception.h"
#include "net/Socket.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(POP3Exception, CodesAndTextsReachTheUserThroughTheBase) {
    const char* const texts[] = {"unspecified error",       "socket error",        "host name lookup failed",
                                 "connection failed",       "POP3 server error",   "authorization failed",
                                 "status retrieval failed", "message scan failed", "disconnection error",
                                 "secure connection failed", "certificate not trusted",
                                 "certificate name mismatch", "certificate expired", "server offers no STLS"};
    for (int code = -1; code <= 14; ++code)
        EXPECT_EQ(POP3::Exception("x", "", code).codeText(), code < 0 || code > 13 ? "unknown error" : texts[code]);

    const POP3::Exception refused("received -ERR", " ", 5);
    const MsgException& base = refused;
    EXPECT_EQ(base.message(), "POP3Client: received -ERR (reply was ' ')");
    EXPECT_EQ(POP3::Exception("connection failed", "", 3).message(), "POP3Client: connection failed");
}

TEST(SocketException, KeepsTheErrorOfTheFailedCallThroughCopies) {
    WSASetLastError(10054);
    const Socket::Exception original("recv() failed");
    WSASetLastError(10035);
    const Socket::Exception copy = original;
    EXPECT_EQ(copy.message(), "Socket: recv() failed (WSAGetLastError()=10054)\n");
}

TEST(CheckWindowsResult, NamesTheThreadsLastErrorWithTheSystemsText) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_NO_THROW(checkWindowsResult(0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // The system's own text, with its CR LF; the number alone without one.
    for (const DWORD error : {DWORD{ERROR_FILE_NOT_FOUND}, DWORD{0x20001234}}) {
        SetLastError(error);
        try {
            checkWindowsResult(12345);
            ADD_FAILURE() << "no exception";
        } catch (const MsgException& e) {
            if (error == ERROR_FILE_NOT_FOUND)
                EXPECT_TRUE(e.text.starts_with("Windows error #2: ") && e.text.ends_with(".\r\n") &&
                            e.text.size() > 24) << e.text;
            else
                EXPECT_EQ(e.message(), "Windows error #536875572: (no description)");
        }
    }
    const std::string cut = formatWindowsError(5, std::string(5000, 'd').c_str());
    EXPECT_EQ(cut.size(), 999u);
    EXPECT_TRUE(cut.starts_with("Windows error #5: ddd"));
}

} // namespace
