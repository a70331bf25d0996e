#include "servers/SampleMailbox.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Parts {
    size_t headerBytes = 0;
    std::vector<std::string> body;
};

Parts split(const Pop3Message& message) {
    Parts parts;
    const auto blank = std::find(message.lines.begin(), message.lines.end(), std::string());
    for (auto line = message.lines.begin(); line != blank; ++line)
        parts.headerBytes += line->size() + 2;
    if (blank != message.lines.end())
        parts.body.assign(blank + 1, message.lines.end());
    return parts;
}

bool hasHeader(const Pop3Message& message, const std::string& start) {
    return std::any_of(message.lines.begin(), message.lines.end(),
                       [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

TEST(SampleMailbox, SameSeedSameMessagesAndTheSeedChangesTheText) {
    const Pop3Mailbox first = sampleMailbox(30);
    const Pop3Mailbox again = sampleMailbox(30);
    const Pop3Mailbox other = sampleMailbox(30, 2);
    ASSERT_EQ(first.size(), 30u);
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].lines, again[i].lines) << i;
        EXPECT_NE(first[i].lines, other[i].lines) << i;
        EXPECT_EQ(first[i].uid, other[i].uid);
        EXPECT_EQ(first[i].lines, sampleMessage(static_cast<int>(i) + 1).lines)
            << "a message does not depend on the size of the mailbox";
    }
    EXPECT_EQ(first[0].uid, "a1");
    EXPECT_EQ(first[1].uid, "b2");
    EXPECT_EQ(first[25].uid, "z26");
    EXPECT_EQ(first[26].uid, "a27");
}

TEST(SampleMailbox, MessagesLookLikeRealMailAndNeedStuffing) {
    int encodedSubjects = 0;
    int encodedSenders = 0;
    for (const Pop3Message& message : sampleMailbox(50)) {
        const Parts parts = split(message);
        EXPECT_GE(parts.headerBytes, 800u) << message.uid;
        EXPECT_LE(parts.headerBytes, 1300u) << message.uid;
        EXPECT_GT(parts.body.size(), 30u) << message.uid;
        for (const char* name :
             {"From: ", "To: ", "Subject: ", "Date: ", "Message-ID: ", "Received: "})
            EXPECT_TRUE(hasHeader(message, name)) << message.uid << " lacks " << name;
        EXPECT_TRUE(hasHeader(message, "\t")) << "folded Received lines";
        // A line that needs stuffing within the part "top n 30" returns.
        EXPECT_TRUE(
            std::any_of(parts.body.begin(), parts.body.begin() + 30,
                        [](const std::string& line) { return !line.empty() && line[0] == '.'; }))
            << message.uid;
        encodedSubjects += hasHeader(message, "Subject: =?iso-8859-1?Q?");
        encodedSenders += hasHeader(message, "From: =?iso-8859-1?Q?");
    }
    EXPECT_GT(encodedSubjects, 5);
    EXPECT_GT(encodedSenders, 5);
}

} // namespace
