// Shared with the native (sanitizer) build: no Windows header in here.
#include "net/MessageList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> uids(const MessageList& list) {
    std::vector<std::string> result;
    for (const POP3::Message& message : list)
        result.push_back(message.uid);
    return result;
}

MessageList listOf(const std::vector<const char*>& ids) {
    MessageList list;
    int number = 1;
    for (const char* uid : ids) {
        auto holder = std::make_unique<POP3::Message>(number++, uid);
        list.pushBack(holder);
        EXPECT_EQ(holder, nullptr) << "the list takes the record";
    }
    std::unique_ptr<POP3::Message> empty;
    list.pushBack(empty);
    return list;
}

TEST(MessageList, FindsTheFirstExactUid) {
    MessageList list = listOf({"Abc", "abc", "abcd", "", "abc"});
    EXPECT_EQ(list.count(), 5);
    EXPECT_EQ(list.findByUid("abc")->number, 2);
    EXPECT_EQ(list.findByUid("")->number, 4);
    for (const char* absent : {"ABC", "ab", "abc "})
        EXPECT_EQ(list.findByUid(absent), nullptr) << absent;
}

TEST(MessageList, EraseYieldsTheNextAndKeepsTheOrder) {
    MessageList list = listOf({"1", "2", "3", "4", "5"});
    bool drop = true;
    for (auto position = list.begin(); position != list.end(); drop = !drop)
        position = drop ? list.erase(position) : std::next(position);
    EXPECT_EQ(uids(list), (std::vector<std::string>{"2", "4"}));
    EXPECT_EQ(std::prev(list.end())->uid, "4");
    EXPECT_EQ(list.count(), 2);
}

TEST(MessageList, CountDeletedTestsTheBit) {
    MessageList list = listOf({"a", "b", "c"});
    auto position = list.begin();
    position->flags = POP3::Message::Deleted;
    (++position)->flags = POP3::Message::Deleted | POP3::Message::Unfetched;
    (++position)->flags = POP3::Message::NotListed | POP3::Message::Unfetched;
    EXPECT_EQ(list.countDeleted(), 2);
    EXPECT_EQ(list.count(), 3);
}

} // namespace
