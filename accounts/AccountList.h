#pragma once

#include "net/OwnedIterator.h"
#include "accounts/Account.h"

#include <cstddef>
#include <list>
#include <memory>

// The accounts of the running program, in the order they were added. The
// list alone owns them: appending takes the account from the caller's
// holder, erasing or clearing destroys it (its timer stops and its tray icon
// goes).
class AccountList {
    using Accounts = std::list<std::unique_ptr<Account>>;

public:
    using iterator = OwnedIterator<Accounts::iterator, Account>;
    using const_iterator = OwnedIterator<Accounts::const_iterator, const Account>;

    // Account ids are 1 to 100 (they are timer and tray icon ids), so the
    // list holds at most this many accounts.
    static constexpr std::size_t maxAccounts = 100;

    iterator begin() { return iterator(elements.begin()); }
    iterator end() { return iterator(elements.end()); }
    const_iterator begin() const { return const_iterator(elements.begin()); }
    const_iterator end() const { return const_iterator(elements.end()); }

    // Appends the holder's account and leaves the holder empty. An empty
    // holder appends nothing. A full list throws MsgException and leaves
    // the holder as it was.
    void append(std::unique_ptr<Account>& holder);
    // Destroys the account at `position` (which must not be end()) and
    // answers the position that followed it.
    iterator erase(iterator position);
    // Destroys every account.
    void clear();
    std::size_t size() const;
    bool full() const;

    // A random id in 1..100 that no account of the list has. Throws
    // MsgException when all 100 are taken.
    int randomId() const;
    // The first account whose id is `id`, or end().
    iterator findById(int id);
    // The account whose id is `id`, or null.
    Account* withId(int id);
    // The account at `index` in list order, or null past the end.
    Account* at(std::size_t index);

    // Checks every account, in list order (accounts/MailCheck.cpp).
    void checkAll();
    // Checks, in list order, the accounts whose timer runs, and starts
    // their period again (accounts/MailCheck.cpp).
    void checkAfterResume();
    // Ends every check under way and waits for its thread: for a program
    // that is about to quit (accounts/MailCheck.cpp).
    void stopChecks();
    // Adds every shown account's tray icon again, with its picture and
    // tip, for a shell that has started anew.
    void showTrayIconsAgain();

    // The profile store declares its members here: countShownIcons,
    // loadProfiles, saveProfiles.

    // The profile store (accounts/ProfileStore.cpp). loadProfiles replaces
    // every account by the stored profiles, or by one default account when
    // none is stored, and shows the first icon when no profile shows one.
    // saveProfiles replaces the stored profiles by the accounts; it refuses
    // with the profile's problem (accounts/ProfileProblems.h), before it
    // changes anything, a profile that would not read back unchanged. Both
    // throw MsgException.
    void loadProfiles();
    void saveProfiles();
    std::size_t countShownIcons() const;

private:
    Accounts elements;
};

// The program's one account list. Destroyed after WinMain returns, before
// the process-wide icon holders.
extern AccountList accounts;
// The account the last tray event, timer or options dialog chose; null when
// none (at start, after a reload, or when an event named no account).
extern Account* currentAccount;
