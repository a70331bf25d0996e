// The account list: ownership, order, lookup, the random id with its exact
// arithmetic, the bound of 100 accounts, and currentAccount never pointing
// at a destroyed account.
#include "accounts/AccountList.h"

#include "accounts/AccountFixture.h"
#include "net/MsgException.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

namespace {

using AccountListTest = AccountFixture;

std::vector<int> idsOf(const AccountList& list) {
    std::vector<int> ids;
    for (const Account& account : list)
        ids.push_back(account.id);
    return ids;
}

void appendAccount(AccountList& list, int id) {
    auto holder = std::make_unique<Account>(id);
    list.append(holder);
}

TEST_F(AccountListTest, OwnsItsAccountsInOrder) {
    AccountList list;
    auto holder = std::make_unique<Account>(3);
    Account* third = holder.get();
    list.append(holder);
    EXPECT_EQ(holder, nullptr) << "the list took the account";
    std::unique_ptr<Account> empty;
    list.append(empty);
    EXPECT_EQ(list.size(), 1u) << "an empty holder appends nothing";
    appendAccount(list, 1);
    appendAccount(list, 2);
    EXPECT_EQ(idsOf(list), (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(&*list.begin(), third);

    EXPECT_EQ(list.findById(1)->id, 1);
    EXPECT_TRUE(list.findById(4) == list.end());
    EXPECT_TRUE(list.findById(0) == list.end());

    // Erasing destroys: its shown icon leaves the tray.
    list.findById(1)->setShowIcon(true);
    shell.calls.clear();
    const auto next = list.erase(list.findById(1));
    EXPECT_EQ(next->id, 2);
    EXPECT_EQ(idsOf(list), (std::vector<int>{3, 2}));
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shellMessageName(shell.calls[0].message), "delete");

    list.begin()->setShowIcon(true);
    shell.calls.clear();
    list.clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_TRUE(list.begin() == list.end());
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].data.uID, 3u);
}

// The account an event last chose stays valid or becomes none.
TEST_F(AccountListTest, CurrentAccountNeverOutlivesItsAccount) {
    AccountList list;
    appendAccount(list, 1);
    appendAccount(list, 2);
    appendAccount(list, 3);

    currentAccount = &*list.findById(2);
    list.erase(list.findById(3));
    EXPECT_EQ(currentAccount, &*list.findById(2)) << "erasing another leaves it";
    list.erase(list.findById(2));
    EXPECT_EQ(currentAccount, nullptr);

    currentAccount = &*list.findById(1);
    list.clear();
    EXPECT_EQ(currentAccount, nullptr);
}

// r = g * 0.0030518509475997192 truncated, g being the C library's rand():
// replaying the generator from the same seed gives the id randomId must
// return.
TEST_F(AccountListTest, RandomIdIsTheGeneratorsValueScaledTo1To100) {
    AccountList list;
    int checked = 0;
    // Seeds far apart: the first values of small seeds are all small.
    for (unsigned seed = 104729; seed <= 200 * 104729u; seed += 104729) {
        std::srand(seed);
        const int g = std::rand();
        const int expected = static_cast<int>(g * 0.0030518509475997192);
        if (expected == 0)
            continue;  // drawn again: the replay would need the next value
        std::srand(seed);
        EXPECT_EQ(list.randomId(), expected) << "seed " << seed << ", g " << g;
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

TEST_F(AccountListTest, RandomIdIsNeverZeroNorAnIdInUse) {
    AccountList list;
    for (int id : {1, 2, 3, 50, 99, 100})
        appendAccount(list, id);
    const std::set<int> used = {1, 2, 3, 50, 99, 100};
    std::set<int> seen;
    std::srand(12345);
    for (int i = 0; i < 20000; ++i) {
        const int id = list.randomId();
        ASSERT_GE(id, 1);
        ASSERT_LE(id, 100);
        ASSERT_FALSE(used.contains(id)) << "id " << id << " is in use";
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 94u) << "every free id comes up";

}

// Decision: the list holds at most 100 accounts. randomId throws when all
// 100 ids are taken, rather than draw for ever, and append refuses a 101st
// account, leaving it to the caller. With one id left the draws find it;
// for id 100 that takes the generator's largest value, and the draws are
// bounded all the same.
TEST_F(AccountListTest, HoldsAtMost100AccountsAndNeverDrawsForEver) {
    AccountList list;
    for (int id = 1; id <= 99; ++id)
        appendAccount(list, id);
    EXPECT_FALSE(list.full());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(list.randomId(), 100);
    const auto spent = std::chrono::steady_clock::now() - start;
    std::printf("finding the last free id, 100, took %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(spent).count()));

    list.erase(list.findById(37));
    appendAccount(list, 100);
    EXPECT_EQ(list.randomId(), 37);

    appendAccount(list, 37);
    EXPECT_TRUE(list.full());
    EXPECT_THROW(list.randomId(), MsgException);
    auto extra = std::make_unique<Account>(101);
    EXPECT_THROW(list.append(extra), MsgException);
    EXPECT_NE(extra, nullptr) << "a refused account stays with the caller";
    EXPECT_EQ(list.size(), 100u);
    try {
        list.randomId();
    } catch (const MsgException& e) {
        EXPECT_EQ(e.message(), "Pellmor keeps at most 100 accounts");
    }
}

} // namespace
