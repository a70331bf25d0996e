// Real-shaped MIME messages as a real server hands them over ("top" with its
// dot-stuffing and its line limit), read by the decoders as the menu reads
// them.
#include "mail/HeaderText.h"
#include "mail/MimeBody.h"
#include "net/MessageList.h"
#include "net/POP3Client.h"
#include "support/DovecotFixture.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::string shown(const POP3::Message& message, const char* name) {
    return decodeHeaderText(headerValue(message.headers(), name));
}

TEST(MailFromDovecot, MimeMessagesReadAsText) {
    const std::optional<DovecotFixture> fixture = DovecotFixture::load();
    ASSERT_TRUE(fixture) << "no Dovecot fixture (" << DovecotFixture::pathVariable << " unset)";
    POP3::Client client{10000};
    client.login("mime", fixture->mailbox("mime").password.c_str(), fixture->host.c_str(), fixture->port);
    MessageList list;
    ASSERT_EQ(client.scan(list), 2);
    client.quit();

    const POP3::Message& html = *list.begin();
    EXPECT_EQ(shown(html, "Subject"), "会議の件");
    EXPECT_EQ(shown(html, "From"), "Renée <renee@example.com>");
    EXPECT_EQ(previewBody(html.headers(), html.lines()).lines, (Lines{"Café & crème", ".line with a dot"}));

    const POP3::Message& mixed = *std::next(list.begin());
    EXPECT_EQ(mixed.lines().size(), 30u) << "the attachment runs past the lines fetched";
    EXPECT_EQ(shown(mixed, "Subject"), "Übersicht");
    EXPECT_EQ(previewBody(mixed.headers(), mixed.lines()).lines, (Lines{"Zweite Zeile folgt.", "Übersicht für März"}));
}

} // namespace
