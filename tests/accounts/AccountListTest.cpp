// The account list: order, lookup, currentAccount never left pointing at a
// destroyed account, and the random id with its bound of 100 accounts.
#include "accounts/AccountList.h"

#include "accounts/AccountFixture.h"
#include "net/MsgException.h"

#include <cstdlib>
#include <set>
#include <vector>

namespace {

using AccountListTest = AccountFixture;

void append(AccountList& list, int id) {
    auto holder = std::make_unique<Account>(id);
    list.append(holder);
}

TEST_F(AccountListTest, OrderLookupAndTheCurrentAccount) {
    AccountList list;
    std::unique_ptr<Account> empty;
    list.append(empty);
    for (int id : {3, 1, 2})
        append(list, id);
    std::vector<int> ids;
    for (const Account& account : list)
        ids.push_back(account.id);
    EXPECT_EQ(ids, (std::vector<int>{3, 1, 2})) << "an empty holder appends nothing";

    currentAccount = list.withId(1);
    EXPECT_EQ(list.erase(list.findById(3))->id, 1);
    EXPECT_EQ(currentAccount, list.withId(1)) << "erasing another account leaves it";
    EXPECT_EQ(list.erase(list.findById(1))->id, 2);
    EXPECT_EQ(currentAccount, nullptr);
    currentAccount = list.withId(2);
    list.clear();
    EXPECT_EQ(currentAccount, nullptr);
}

// r = g * 100 / 32767 truncated, g being rand(); 0 and ids in use are drawn
// again, and the draws end when no id is free.
TEST_F(AccountListTest, RandomIdIsScaledNeverZeroNorInUse) {
    AccountList list;
    for (unsigned seed : {104729u, 3u * 104729, 77u * 104729}) {
        std::srand(seed);
        const int expectedId = static_cast<int>(std::rand() * 0.0030518509475997192);
        std::srand(seed);
        EXPECT_EQ(list.randomId(), expectedId) << seed;
    }
    for (int id = 1; id <= 99; ++id)
        append(list, id);
    EXPECT_EQ(list.randomId(), 100) << "the last free id takes the generator's largest value";
    append(list, 100);
    for (int id : {3, 37, 50, 99})
        list.erase(list.findById(id));
    std::set<int> seen;
    for (int i = 0; i < 20000; ++i)
        seen.insert(list.randomId());
    EXPECT_EQ(seen, (std::set<int>{3, 37, 50, 99})) << "every free id, and only those";
    for (int id : {3, 37, 50, 99})
        append(list, id);
    EXPECT_THROW(list.randomId(), MsgException);
    auto extra = std::make_unique<Account>(101);
    EXPECT_THROW(list.append(extra), MsgException);
    EXPECT_NE(extra, nullptr) << "a refused account stays with the caller";
}

} // namespace
