// What a reader sees of real-world headers and bodies. Built natively too,
// where the code page seam reads only UTF-8, ASCII and ISO-8859-1: rows in
// other charsets run only where the system converts them (under Wine).
#include "mail/HeaderText.h"
#include "mail/MimeBody.h"
#include "mail/SystemCodePage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

TEST(HeaderText, RealWorldFormsReadAsTheirText) {
    std::string probe;
    const bool system = systemToUtf8(1252, "\x80", probe);
    const struct {
        const char* raw;
        const char* shown;
        bool needsSystem = false;
    } cases[] = {
        // Upper and lower case, with and without padding.
        {"=?UTF-8?B?R3LDvMOfZQ==?= =?utf-8?b?R3LDvMOfZQ?= aus", "GrüßeGrüße aus"},
        {"=?iso-8859-1?q?Caf=E9_au_lait?= ok", "Café au lait ok"},
        {"=?UTF-8?Q?a?= =?UTF-8?Q?b?=\t =?UTF-8?Q?c?= d", "abc d"}, // blanks between words go
        {"=?UTF-8?Q?=C3?= =?UTF-8?Q?=BC?=", "ü"},                   // one character in two words
        {"=?UTF-8*de?Q?=C3=A4?=", "ä"},                             // RFC 2231 language
        {"=?x-klingon?Q?Qapla=A1!?=", "Qapla\xEF\xBF\xBD!"},        // unknown: visible, kept
        {"=?UTF-8?B?R3L!!?= x", "=?UTF-8?B?R3L!!?= x"},             // broken base64
        {"Hello =?UTF-8?Q?W=C3=B6rl", "Hello =?UTF-8?Q?W=C3=B6rl"}, // cut at the line's end
        {"=?UTF-8?Q?two words?=", "=?UTF-8?Q?two words?="},         // a blank inside
        {"Grüße raw", "Grüße raw"},                                 // RFC 6532
        {"Gr\xFC\xDF", "Grüß"},                                     // 8-bit, not UTF-8: ANSI
        {"=?windows-1252?Q?=93quoted=94_=80?= =?koi8-r?B?8NLJ18XU?=", "“quoted” €Привет", true},
        {"=?Shift_JIS?Q?=93=FA=96=7B?= =?gb2312?Q?=D6=D0=CE=C4?=", "日本中文", true},
        {"=?big5?Q?=A4=A4=A4=E5?= =?euc-kr?Q?=C7=D1=B1=B9?=", "中文한국", true},
    };
    for (const auto& c : cases)
        if (system || !c.needsSystem) {
            EXPECT_EQ(decodeHeaderText(c.raw), c.shown) << c.raw;
        }
}

TEST(HeaderText, FoldedHeadersUnfoldAndNamesIgnoreCase) {
    const std::vector<Header> headers{{"Received", "from a"},
                                      {"SUBJECT", "=?UTF-8?Q?Gr=C3=BC=C3=9Fe?="},
                                      {"", "=?UTF-8?Q?_aus_K=C3=B6ln?="},
                                      {" Re", "again"},
                                      {"Subject", "second"}};
    EXPECT_EQ(decodeHeaderText(headerValue(headers, "Subject")), "Grüße aus Köln Re: again");
    EXPECT_EQ(headerValue(headers, "From"), "");
}

TEST(MimeBody, RealShapedMessagesShowTheirFirstText) {
    std::string encoded, cut;
    for (int i = 0; i < 300; ++i)
        encoded += "=C3=A9"; // é, two bytes each
    for (int i = 0; i < 199; ++i)
        cut += "é";
    const struct {
        std::vector<Header> headers;
        Lines lines;
        Lines shown;
    } cases[] = {
        // alternative: the quoted-printable text, not its HTML
        {{{"Content-Type", "multipart/alternative; boundary=\"=_b1\""}},
         {"This is a multi-part message in MIME format.", "--=_b1",
          "Content-Type: text/plain; charset=\"utf-8\"",
          "Content-Transfer-Encoding: quoted-printable", "",
          "Gr=C3=BC=C3=9Fe aus K=C3=B6ln, der Dom steht noch und es regnet seit Tagen ohne =",
          "Pause.", "=09Tab", "", "--=_b1", "Content-Type: text/html", "", "<p>HTML</p>",
          "--=_b1--"},
         {"Grüße aus Köln, der Dom steht noch und es regnet seit Tagen ohne Pause.", "    Tab"}},
        // mixed: a base64 text part cut by the line limit
        {{{"content-type", "Multipart/Mixed;"},
          {"", "boundary*0=\"outer\";"},
          {"", "boundary*1=\"-1\""}},
         {"--outer-1", "Content-Type: text/plain; charset=UTF-8",
          "Content-Transfer-Encoding: BASE64", "",
          "0JfQtNGA0LDQstGB0YLQstGD0LnRgtC1LCDRjdGC0L4g0L/RgNC+0LLQtdGA0LrQsC4NCtCS0YLQvtGA",
          "0LDRjyDRgdGC0YDQvtC60LAg0L/QuNGB0YzQvNCwLg0K"},
         {"Здравствуйте, это проверка.", "Вторая строка письма."}},
        // HTML only: scripts and styles dropped, entities decoded
        {{{"Content-Type", "text/html; charset=iso-8859-1"}},
         {"<html><head><title>T</title><style>p {color: red}</style></head><body>",
          "<p>Fish &amp; chips &euro;5&nbsp;&#8212; caf\xE9</p><script>alert(1)</script>",
          "<div>second   <b>line</b> &bogus; &#x41;</div><!-- hidden --><img src=\"x.png\""},
         {"Fish & chips €5 — café", "second line &bogus; A"}},
        // plain text: the lines as fetched, dot-stuffing undone; an unknown
        // charset's 8-bit bytes visible, the text kept
        {{{"Content-Type", "text/plain; charset=x-unknown"}},
         {"Dear all,", "a\tb =?x?Q?y?= ?=", "..dot", "", "ok \xE9"},
         {"Dear all,", "a    b =?x?Q?y?= ?=", ".dot", "", "ok \xEF\xBF\xBD"}},
        // decoded lines are cut at a character, with an ellipsis
        {{{"Content-Transfer-Encoding", "quoted-printable"}, {"Content-Type", "text/plain"}},
         {encoded},
         {cut + "…"}},
    };
    for (const auto& c : cases) {
        const BodyPreview preview =
            previewBody(c.headers, std::vector<std::string_view>(c.lines.begin(), c.lines.end()));
        EXPECT_EQ(preview.lines, c.shown) << "case " << &c - cases;
        EXPECT_TRUE(preview.textFound) << "case " << &c - cases;
    }
}

} // namespace
