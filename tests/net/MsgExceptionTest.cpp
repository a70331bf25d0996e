#include "net/MsgException.h"
#include "net/POP3Exception.h"
#include "net/Socket.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(MsgException, MessageIsTheTextThroughTheBaseReference) {
    const POP3::Exception pop("received -ERR", "no such message", 7);
    const MsgException& base = pop;
    EXPECT_EQ(base.message(), "POP3Client: received -ERR (reply was 'no such message')");
    EXPECT_EQ(MsgException("plain").message(), "plain");
}

TEST(POP3Exception, ReplyPartOnlyWhenTheReplyIsNotEmpty) {
    EXPECT_EQ(POP3::Exception("connection failed", "", 3).message(), "POP3Client: connection failed");
    EXPECT_EQ(POP3::Exception("received -ERR", " ", 5).message(),
              "POP3Client: received -ERR (reply was ' ')");
}

TEST(POP3Exception, CodeTextsAreTheFixedTable) {
    const char* texts[] = {"unspecified error",       "socket error",         "host name lookup failed",
                           "connection failed",       "POP3 server error",    "authorization failed",
                           "status retrieval failed", "message scan failed",  "disconnection error"};
    for (int code = 0; code <= 8; ++code)
        EXPECT_EQ(POP3::Exception("x", "", code).codeText(), texts[code]) << "code " << code;
    for (int code : {9, 100, -1})
        EXPECT_EQ(POP3::Exception("x", "", code).codeText(), "unknown error") << "code " << code;
}

TEST(SocketException, LayoutEndsWithLineFeedThatSurvivesIntoTheSession) {
    WSASetLastError(10054);
    const Socket::Exception e("recv() failed");
    EXPECT_EQ(e.message(), "Socket: recv() failed (WSAGetLastError()=10054)\n");

    // The session wraps a socket failure as code 1 with the whole text.
    const POP3::Exception wrapped(e.message().c_str(), "", 1);
    EXPECT_EQ(wrapped.message(), "POP3Client: Socket: recv() failed (WSAGetLastError()=10054)\n");
    EXPECT_EQ(wrapped.codeText(), "socket error");
}

TEST(SocketException, CopyKeepsTheErrorOfTheFailedCall) {
    WSASetLastError(10061);
    const Socket::Exception original("connect() failed");
    WSASetLastError(10035);
    const Socket::Exception copy = original;
    EXPECT_EQ(copy.wsaError, 10061);
    try {
        throw original;
    } catch (const Socket::Exception& caught) {
        EXPECT_EQ(caught.wsaError, 10061);
    }
}

TEST(CheckWindowsResult, ZeroReturnsWithoutTouchingTheLastError) {
    SetLastError(0xdeadbeef);
    EXPECT_NO_THROW(checkWindowsResult(0));
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
}

TEST(CheckWindowsResult, NamesTheThreadsLastErrorWithTheSystemsText) {
    // A real failing call: the file does not exist.
    const HANDLE file = CreateFileA("C:\\no such folder\\no such file.txt", GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_EQ(file, INVALID_HANDLE_VALUE);
    const DWORD error = GetLastError();
    ASSERT_NE(error, 0u);
    try {
        // The value passed is only the failure flag; the number comes from
        // the last error, whatever the caller passed.
        checkWindowsResult(12345);
        FAIL() << "no exception";
    } catch (MsgException& e) {
        const std::string expectedStart = "Windows error #" + std::to_string(error) + ": ";
        ASSERT_EQ(e.message().rfind(expectedStart, 0), 0u) << e.message();
        EXPECT_GT(e.message().size(), expectedStart.size() + 2) << "no description: " << e.message();
        // The system's text keeps its CR LF.
        EXPECT_EQ(e.message().substr(e.message().size() - 2), "\r\n") << e.message();
    }
}

TEST(CheckWindowsResult, ErrorWithoutSystemTextStillNamesTheNumber) {
    // Application-defined error numbers have no system description.
    SetLastError(0x20001234);
    try {
        checkWindowsResult(1);
        FAIL() << "no exception";
    } catch (MsgException& e) {
        EXPECT_EQ(e.message(), "Windows error #536875572: (no description)");
    }
}

TEST(CheckWindowsResult, OverlongDescriptionIsCutToTheTextLimit) {
    const std::string description(5000, 'd');
    const std::string text = formatWindowsError(5, description.c_str());
    EXPECT_EQ(text.size(), 999u);
    EXPECT_EQ(text.rfind("Windows error #5: ddd", 0), 0u);
}

} // namespace
