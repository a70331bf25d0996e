// Shared with the native (sanitizer) build: no Windows header in here.
#include "net/MessageList.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

static_assert(std::bidirectional_iterator<MessageList::iterator>);
static_assert(std::bidirectional_iterator<MessageList::const_iterator>);

namespace {

std::vector<std::string> uids(const MessageList& list) {
    std::vector<std::string> result;
    for (const POP3::Message& message : list)
        result.push_back(message.uid);
    return result;
}

void append(MessageList& list, int number, const char* uid) {
    auto holder = std::make_unique<POP3::Message>(number, uid);
    list.pushBack(holder);
}

MessageList listOf(const std::vector<const char*>& ids) {
    MessageList list;
    int number = 1;
    for (const char* uid : ids)
        append(list, number++, uid);
    return list;
}

TEST(MessageList, PushBackTakesTheRecordAndEmptiesTheHolder) {
    MessageList list;
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(list.begin() == list.end());

    auto holder = std::make_unique<POP3::Message>(3, "abc");
    POP3::Message* const record = holder.get();
    list.pushBack(holder);
    EXPECT_EQ(holder, nullptr);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(&*list.begin(), record) << "the same record, not a copy";
    EXPECT_EQ(list.begin()->number, 3);
}

TEST(MessageList, EmptyHolderAppendsNothing) {
    MessageList list = listOf({"a"});
    std::unique_ptr<POP3::Message> empty;
    list.pushBack(empty);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(uids(list), (std::vector<std::string>{"a"}));
}

TEST(MessageList, KeepsTheOrderOfArrival) {
    MessageList list = listOf({"z", "a", "m", "a"});
    EXPECT_EQ(uids(list), (std::vector<std::string>{"z", "a", "m", "a"}));
    int expected = 1;
    for (POP3::Message& message : list)
        EXPECT_EQ(message.number, expected++);
    EXPECT_EQ(std::prev(list.end())->uid, "a");
}

TEST(MessageList, FindByUidIsExactAndTakesTheFirst) {
    MessageList list = listOf({"Abc", "abc", "abcd", "", "abc"});
    POP3::Message* found = list.findByUid("abc");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->number, 2) << "first of two equal uids";
    found->number = 42;
    EXPECT_EQ(list.findByUid("abc")->number, 42) << "the record itself, writable";

    EXPECT_EQ(list.findByUid("Abc")->number, 1);
    EXPECT_EQ(list.findByUid("")->number, 4);
    EXPECT_EQ(list.findByUid("ABC"), nullptr);
    EXPECT_EQ(list.findByUid("ab"), nullptr);
    EXPECT_EQ(list.findByUid("abc "), nullptr);
    EXPECT_EQ(MessageList().findByUid(""), nullptr);
}

TEST(MessageList, EraseYieldsTheFollowingPosition) {
    MessageList list = listOf({"a", "b", "c"});
    auto next = list.erase(std::next(list.begin()));
    ASSERT_TRUE(next != list.end());
    EXPECT_EQ(next->uid, "c");
    EXPECT_TRUE(list.erase(next) == list.end()) << "erasing the last record";
    EXPECT_EQ(uids(list), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(list.erase(list.begin()) == list.end());
    EXPECT_EQ(list.count(), 0);
}

TEST(MessageList, WalkErasingEveryOtherKeepsTheRestInOrder) {
    MessageList list = listOf({"1", "2", "3", "4", "5", "6", "7"});
    bool drop = true;
    for (auto position = list.begin(); position != list.end(); drop = !drop)
        position = drop ? list.erase(position) : std::next(position);
    EXPECT_EQ(uids(list), (std::vector<std::string>{"2", "4", "6"}));
    EXPECT_EQ(list.count(), 3);
}

// The reconciliation a UIDL listing drives: unlisted records go, listed ones
// keep their place with their new number, new uids are appended.
TEST(MessageList, SupportsTheListingMerge) {
    MessageList list = listOf({"old", "kept", "gone", "also-kept"});
    for (POP3::Message& message : list)
        message.flags |= POP3::Message::NotListed;
    const std::vector<std::pair<int, const char*>> listing = {
        {1, "also-kept"}, {2, "new"}, {3, "kept"}};
    for (const auto& [number, uid] : listing) {
        if (POP3::Message* found = list.findByUid(uid)) {
            found->number = number;
            found->flags &= ~static_cast<uint32_t>(POP3::Message::NotListed);
        } else {
            append(list, number, uid);
        }
    }
    for (auto position = list.begin(); position != list.end();) {
        if (position->flags & POP3::Message::NotListed)
            position = list.erase(position);
        else
            ++position;
    }
    EXPECT_EQ(uids(list), (std::vector<std::string>{"kept", "also-kept", "new"}));
    EXPECT_EQ(list.findByUid("kept")->number, 3);
    EXPECT_EQ(list.findByUid("also-kept")->number, 1);
    EXPECT_EQ(list.findByUid("new")->flags, static_cast<uint32_t>(POP3::Message::Unfetched));
}

TEST(MessageList, CountDeletedTestsTheBitAndCountCountsAll) {
    MessageList list = listOf({"a", "b", "c", "d"});
    EXPECT_EQ(list.countDeleted(), 0);
    auto position = list.begin();
    position->flags = POP3::Message::Deleted;
    (++position)->flags = POP3::Message::Deleted | POP3::Message::Unfetched;
    (++position)->flags = POP3::Message::NotListed | POP3::Message::Unfetched;
    EXPECT_EQ(list.countDeleted(), 2);
    EXPECT_EQ(list.count(), 4) << "deleted records still count";
    for (POP3::Message& message : list)
        message.flags = POP3::Message::Deleted;
    EXPECT_EQ(list.countDeleted(), list.count());
}

} // namespace
