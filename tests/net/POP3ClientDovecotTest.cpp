// The POP3 session against a real server: the throwaway Dovecot of the
// "dovecot" test fixture.
#include "mail/HeaderText.h"
#include "net/MessageList.h"
#include "net/POP3Client.h"
#include "net/POP3Exception.h"

#include "servers/LineServer.h"
#include "support/DovecotFixture.h"

#include <gtest/gtest.h>

namespace {

class POP3ClientDovecot : public testing::Test {
protected:
    void SetUp() override {
        fixture = DovecotFixture::load();
        ASSERT_TRUE(fixture) << "no Dovecot fixture (" << DovecotFixture::pathVariable << " unset)";
    }

    // One check as the account runs it; failures come back as their code.
    int check(const std::string& user, MessageList& list, const std::string& password = {}) {
        const std::string& secret = password.empty() ? fixture->mailbox(user).password : password;
        client.login(user.c_str(), secret.c_str(), fixture->host.c_str(), fixture->port);
        const int fetched = client.scan(list);
        client.quit();
        return fetched;
    }

    std::optional<DovecotFixture> fixture;
    POP3::Client client{10000};
};

TEST_F(POP3ClientDovecot, FirstCheckFetchesAllAndDecodesThenSecondFetchesNothing) {
    const DovecotFixture::Mailbox& mailbox = fixture->mailbox("fresh");
    MessageList list;
    ASSERT_EQ(check("fresh", list), 3);
    int n = 0;
    for (const POP3::Message& message : list) {
        EXPECT_EQ(message.uid, mailbox.uidls[n]);
        EXPECT_EQ(message.size, mailbox.sizes[n]);
        EXPECT_EQ(message.flags, 0u);
        EXPECT_LE(message.lines().size(), 30u);
        ++n;
    }
    std::string subject;
    ASSERT_TRUE(list.begin()->getHeader("Subject", subject));
    EXPECT_EQ(decodeHeaderText(subject), "Café au lait");
    // The long message: 30 lines fetched, the rest is what is not.
    const POP3::Message& longOne = *std::next(list.begin());
    EXPECT_EQ(longOne.lines().size(), 30u);
    EXPECT_GT(longOne.size - longOne.received, 0);
    // A message that came whole has received exactly its size.
    const POP3::Message& shortOne = *std::next(list.begin(), 2);
    EXPECT_EQ(shortOne.received, shortOne.size);

    EXPECT_EQ(check("fresh", list), 0);
    EXPECT_EQ(list.count(), 3);
}

TEST_F(POP3ClientDovecot, DeletedMessageIsGoneAfterQuit) {
    MessageList list;
    check("deleter", list);
    ASSERT_GE(list.count(), 2);
    const std::string gone = list.begin()->uid;
    list.begin()->flags = POP3::Message::Deleted;
    EXPECT_EQ(check("deleter", list), 0);
    EXPECT_EQ(list.findByUid(gone), nullptr);

    // A fresh list, as after a restart: the server no longer has it.
    MessageList again;
    check("deleter", again);
    EXPECT_EQ(again.findByUid(gone), nullptr);
    EXPECT_EQ(again.count(), list.count());
}

TEST_F(POP3ClientDovecot, FailuresHaveTheirCodes) {
    MessageList list;
    try {
        check("fresh", list, "not the password");
        FAIL() << "logged in with a wrong password";
    } catch (const POP3::Exception& e) {
        EXPECT_EQ(e.code, 5);
        EXPECT_EQ(e.codeText(), "authorization failed");
    }
    try {
        client.login("fresh", "x", "127.0.0.1", closedLoopbackPort());
        FAIL() << "connected to a closed port";
    } catch (const POP3::Exception& e) {
        EXPECT_EQ(e.code, 3);
    }
    try {
        client.login("fresh", "x", "pop.no-such-host.invalid", fixture->port);
        FAIL() << "resolved a name under .invalid";
    } catch (const POP3::Exception& e) {
        EXPECT_EQ(e.code, 2);
    }
    // After all that, the same client still checks.
    EXPECT_EQ(check("fresh", list), 3);
}

TEST_F(POP3ClientDovecot, MessageWithoutBodyHasHeadersOnly) {
    MessageList list;
    ASSERT_EQ(check("headonly", list), 1);
    EXPECT_FALSE(list.begin()->headers().empty());
    EXPECT_TRUE(list.begin()->lines().empty());
}

TEST_F(POP3ClientDovecot, EmptyMailboxGivesNothing) {
    MessageList list;
    EXPECT_EQ(check("empty", list), 0);
    EXPECT_EQ(list.count(), 0);
}

} // namespace
