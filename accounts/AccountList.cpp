#include "accounts/AccountList.h"

#include "net/MsgException.h"

#include <bitset>
#include <cstdlib>
#include <utility>

AccountList accounts;
constinit Account* currentAccount = nullptr;

namespace {

const char* const tooManyAccounts = "Pellmor keeps at most 100 accounts";

// Draws before randomId stops leaving the choice to chance. With a single
// id free the chance of a draw finding it is at worst 1 in 32768 (id 100
// needs the generator's largest value), so a million draws miss it with a
// probability of about e^-30: in practice the arithmetic always decides, yet
// the loop has an end.
constexpr int maxDraws = 1000000;

} // namespace

void AccountList::append(std::unique_ptr<Account>& holder) {
    if (!holder)
        return;
    if (full())
        throw MsgException(tooManyAccounts);
    elements.push_back(std::move(holder));
}

// currentAccount never outlives the account it designates.
AccountList::iterator AccountList::erase(iterator position) {
    if (currentAccount == &*position)
        currentAccount = nullptr;
    return iterator(elements.erase(position.position()));
}

void AccountList::clear() {
    for (const Account& account : *this) {
        if (currentAccount == &account)
            currentAccount = nullptr;
    }
    elements.clear();
}

std::size_t AccountList::size() const {
    return elements.size();
}

bool AccountList::full() const {
    return elements.size() >= maxAccounts;
}

int AccountList::randomId() const {
    std::bitset<maxAccounts + 1> taken;
    for (const Account& account : *this) {
        if (account.id >= 1 && static_cast<std::size_t>(account.id) <= maxAccounts)
            taken.set(static_cast<std::size_t>(account.id));
    }
    if (taken.count() == maxAccounts)
        throw MsgException(tooManyAccounts);

    // rand() yields 0..32767, so r = g * 100 / 32767 lies in 0..100.
    for (int draw = 0; draw < maxDraws; ++draw) {
        const int r = static_cast<int>(std::rand() * 0.0030518509475997192);
        if (r != 0 && !taken[static_cast<std::size_t>(r)])
            return r;
    }
    for (std::size_t r = 1; r <= maxAccounts; ++r) {
        if (!taken[r])
            return static_cast<int>(r);
    }
    throw MsgException(tooManyAccounts);
}

AccountList::iterator AccountList::findById(int id) {
    for (auto position = begin(); position != end(); ++position) {
        if (position->id == id)
            return position;
    }
    return end();
}

Account* AccountList::withId(int id) {
    const iterator found = findById(id);
    return found == end() ? nullptr : &*found;
}

Account* AccountList::at(std::size_t index) {
    for (Account& account : *this) {
        if (index-- == 0)
            return &account;
    }
    return nullptr;
}

// The new shell knows none of the old icons: each is made anew, as when it
// was first shown.
void AccountList::showTrayIconsAgain() {
    for (Account& account : *this) {
        if (!account.trayIcon)
            continue;
        account.trayIcon.reset();
        account.setShowIcon(true);
    }
}
