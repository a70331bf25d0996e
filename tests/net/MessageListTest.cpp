// Shared with the native (sanitizer) build: no Windows header in here.
#include "net/MessageList.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>

TEST(MessageList, FindsTheFirstExactUidAndCountsTheDeleted) {
    MessageList list;
    int number = 1;
    for (const char* uid : {"Abc", "abc", "abcd", "abc", "d1", "d2"}) {
        auto record = std::make_unique<POP3::Message>(number++, uid);
        record->flags = uid[0] == 'd' ? POP3::Message::Deleted | POP3::Message::Unfetched : 0;
        list.pushBack(record);
    }
    EXPECT_EQ(list.findByUid("abc")->number, 2);
    for (const char* absent : {"ABC", "ab", "abc ", "d"})
        EXPECT_EQ(list.findByUid(absent), nullptr) << absent;
    EXPECT_EQ(list.countDeleted(), 2);
    list.begin()->flags = POP3::Message::NotListed | POP3::Message::Unfetched;
    EXPECT_EQ(list.countDeleted(), 2) << "other flags are no deletion";
    list.begin()->received = INT_MAX - 5;
    list.begin()->countReceived(SIZE_MAX);
    EXPECT_EQ(list.begin()->received, INT_MAX) << "the count saturates, never wraps negative";
}
