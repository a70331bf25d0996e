// Shared with the native (sanitizer) build: no Windows header in here.
#include "net/MessageList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

MessageList listOf(const std::vector<const char*>& ids) {
    MessageList list;
    int number = 1;
    for (const char* uid : ids) {
        auto holder = std::make_unique<POP3::Message>(number++, uid);
        holder->flags = uid[0] == 'd' ? POP3::Message::Deleted | POP3::Message::Unfetched : 0;
        list.pushBack(holder);
        EXPECT_EQ(holder, nullptr) << "the list takes the record";
    }
    std::unique_ptr<POP3::Message> empty;
    list.pushBack(empty);
    return list;
}

TEST(MessageList, FindsTheFirstExactUidAndCountsTheDeleted) {
    MessageList list = listOf({"Abc", "abc", "abcd", "", "abc", "d1", "d2"});
    EXPECT_EQ(list.count(), 7);
    EXPECT_EQ(list.countDeleted(), 2);
    EXPECT_EQ(list.findByUid("abc")->number, 2);
    EXPECT_EQ(list.findByUid("")->number, 4);
    for (const char* absent : {"ABC", "ab", "abc ", "d"})
        EXPECT_EQ(list.findByUid(absent), nullptr) << absent;
    list.begin()->flags = POP3::Message::NotListed | POP3::Message::Unfetched;
    EXPECT_EQ(list.countDeleted(), 2) << "other flags are no deletion";
}

TEST(MessageList, EraseYieldsTheNextAndKeepsTheOrder) {
    MessageList list = listOf({"1", "2", "3", "4", "5"});
    bool drop = true;
    for (auto position = list.begin(); position != list.end(); drop = !drop)
        position = drop ? list.erase(position) : std::next(position);
    std::vector<std::string> uids;
    for (const POP3::Message& message : list)
        uids.push_back(message.uid);
    EXPECT_EQ(uids, (std::vector<std::string>{"2", "4"}));
    EXPECT_EQ(list.count(), 2);
}

} // namespace
