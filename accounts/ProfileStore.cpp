#include "accounts/ProfileStore.h"

#include "accounts/AccountList.h"
#include "accounts/RegistryKey.h"
#include "accounts/RegistryValueReader.h"
#include "net/MsgException.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct StoredProfile {
    std::string name;
    std::string line;
};

// Profiles are text; a value of any other type was not written by us and
// is no profile.
bool isText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// saveProfiles names the values "0", "1", ... in list order. The registry
// promises no order of enumeration (Wine's runs by name as text, which puts
// "10" before "2"), so the position is taken from the name; other names
// follow, in the order they came.
std::optional<unsigned long> positionOf(const std::string& name) {
    if (name.empty() || name.size() > 9 ||
        !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoul(name);
}

std::vector<StoredProfile> readStoredProfiles(HKEY key) {
    DWORD valueCount = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    checkRegistryResult(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         &valueCount, &longestName, &longestData, nullptr,
                                         nullptr));
    RegistryValueReader value(longestName, longestData);

    std::vector<StoredProfile> profiles;
    for (DWORD index = 0; index < valueCount; ++index) {
        if (!value.read(key, index))
            break;
        if (!isText(value.type())) {
            OutputDebugStringA("Pellmor: a stored profile that is not text was skipped\n");
            continue;
        }
        profiles.push_back({value.name(), std::string(value.text())});
    }
    std::stable_sort(profiles.begin(), profiles.end(),
                     [](const StoredProfile& a, const StoredProfile& b) {
                         const auto positionA = positionOf(a.name);
                         const auto positionB = positionOf(b.name);
                         if (positionA && positionB)
                             return *positionA < *positionB;
                         return positionA.has_value() && !positionB.has_value();
                     });
    return profiles;
}

} // namespace

// All values are read before the list is touched, so that a registry
// failure leaves the running accounts as they were.
void AccountList::loadProfiles() {
    RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);
    std::vector<StoredProfile> profiles = readStoredProfiles(key.get());

    clear();
    currentAccount = nullptr;
    for (const StoredProfile& profile : profiles) {
        if (full()) {
            OutputDebugStringA("Pellmor: stored profiles beyond the 100th were ignored\n");
            break;
        }
        auto account = std::make_unique<Account>(randomId());
        applyProfileLine(*account, profile.line);
        append(account);
    }
    if (size() == 0) {
        auto account = std::make_unique<Account>(randomId());
        append(account);
    }
    // Without a tray icon the program could not be reached at all.
    if (countShownIcons() == 0)
        begin()->setShowIcon(true);
    key.close();
}

// Every profile is checked and formatted before the stored ones are
// deleted, so that a profile the line cannot carry is refused with nothing
// lost.
void AccountList::saveProfiles() {
    std::vector<std::string> lines;
    lines.reserve(size());
    for (const Account& account : *this) {
        const std::string problem = profileProblem(account);
        if (!problem.empty())
            throw MsgException(problem.c_str());
        lines.push_back(formatProfileLine(account));
    }

    // The key is opened first so that deleting it cannot fail for want of
    // it.
    RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);
    checkRegistryResult(RegDeleteKeyA(HKEY_CURRENT_USER, profileKeyPath));
    key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        checkRegistryResult(RegSetValueExA(key.get(), std::to_string(i).c_str(), 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(line.data()),
                                           static_cast<DWORD>(line.size())));
    }
    key.close();
}

std::size_t AccountList::countShownIcons() const {
    return static_cast<std::size_t>(
        std::count_if(begin(), end(), [](const Account& account) { return account.showIcon; }));
}
