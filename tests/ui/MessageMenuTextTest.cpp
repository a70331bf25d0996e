// Real-shaped messages fetched from the scripted server by a real check,
// their menu read back in Unicode: what a reader sees of today's mail.
#include "accounts/Account.h"
#include "servers/Pop3Server.h"
#include "ui/Icons.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

using WideLines = std::vector<std::wstring>;

// Every item's text of a menu, "--" for a separator, "(dim)" marking a
// grayed one.
WideLines texts(HMENU menu) {
    WideLines lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[1024] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 1024, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        lines.push_back((state & MF_SEPARATOR) && !GetSubMenu(menu, i) ? L"--"
                        : (state & MF_GRAYED)                         ? std::wstring(L"(dim) ") + text
                                                                      : text);
    }
    return lines;
}

std::string manyLines(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + "\r\n";
    return text;
}

TEST(MessageMenuText, FetchedMailReadsInUnicode) {
    loadIcons();
    Pop3Server server(Pop3Mailbox{
        {"greek", "Subject: =?UTF-8?B?zprOsc67zrfOvM6tz4HOsQ==?= & more\r\nFrom: =?utf-8?q?J=C3=B6rg?= <j@x>\r\n"
                  "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\n"
                  "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
                  "=CE=93=CE=B5=CE=B9=CE=B1 & =\r\nhello\r\n.dot\r\n--b\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n"
                  "--b--\r\n"},
        {"late", "Subject: report\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                 "Content-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
                     manyLines("JVBERi0xLjQK", 40) + "--b\r\nContent-Type: text/plain\r\n\r\ntoo late\r\n--b--\r\n"},
        // 250 letters in five encoded words: cut at a letter, with an ellipsis.
        {"long", "Subject: =?UTF-8?B?0LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQtg==?= =?UTF-8?B?0LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQtg==?= =?UTF-8?B?0LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQtg==?= =?UTF-8?B?0LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQtg==?= =?UTF-8?B?0LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQttC20LbQtg==?=\r\n\r\nx\r\n"},
    });
    Account account(9);
    account.setHost("127.0.0.1");
    account.port = static_cast<unsigned>(server.port());
    account.setUser(server.user());
    account.password = server.password();
    account.check();
    ASSERT_EQ(account.messageCount, 3u) << account.status;

    EXPECT_EQ(texts(account.menu), (WideLines{L"Καλημέρα && more\tJörg <j@x>", L"report\t",
                                              std::wstring(199, L'ж') + L"…\t", L"--", L"&Launch client"}));
    HMENU greek = GetSubMenu(account.menu, 0);
    EXPECT_EQ(texts(greek), (WideLines{L"&Headers", L"--", L"Γεια && hello", L".dot", L"--", L"&Delete"}));
    EXPECT_EQ(texts(GetSubMenu(greek, 0))[0], L"Subject\tΚαλημέρα & more");
    const POP3::Message& late = *std::next(account.messages.begin());
    EXPECT_EQ(texts(GetSubMenu(account.menu, 1)),
              (WideLines{L"&Headers", L"--", L"(dim) (no text in the lines fetched)",
                         L"(dim) ... (" + std::to_wstring(late.size - late.received) + L" more bytes follows)", L"--",
                         L"&Delete"}));
    releaseIcons();
}

} // namespace
