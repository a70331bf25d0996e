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

// The value that marks the saving key's set as whole.
constexpr char completeMark[] = "complete";

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
        if (value.name() == completeMark && value.type() == REG_DWORD)
            continue;
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

// The saving key when a save wrote its whole set there and then failed;
// no key otherwise.
RegistryKey openCompleteSavingKey() {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, savingKeyPath, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return {};
    RegistryKey key = RegistryKey::adopt(handle);
    if (RegQueryValueExA(key.get(), completeMark, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return {};
    return key;
}

// Makes `path` hold exactly `lines`, as values "0", "1", ...
void replaceProfiles(const char* path, const std::vector<std::string>& lines) {
    // The key is opened first so that deleting it cannot fail for want of
    // it.
    RegistryKey key = RegistryKey::create(HKEY_CURRENT_USER, path);
    checkRegistryResult(RegDeleteKeyA(HKEY_CURRENT_USER, path));
    key = RegistryKey::create(HKEY_CURRENT_USER, path);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        checkRegistryResult(RegSetValueExA(key.get(), std::to_string(i).c_str(), 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(line.data()),
                                           static_cast<DWORD>(line.size())));
    }
    key.close();
}

} // namespace

// All values are read before the list is touched, so that a registry
// failure leaves the running accounts as they were.
void AccountList::loadProfiles() {
    RegistryKey key = openCompleteSavingKey();
    if (!key.get())
        key = RegistryKey::create(HKEY_CURRENT_USER, profileKeyPath);
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

    // At every step one whole set is stored: the old one in the profile
    // key until the new one is complete in the saving key, which stays
    // until the profile key holds the new one too. A complete set left
    // there by a save that failed is put in place before it is replaced.
    if (RegistryKey interrupted = openCompleteSavingKey(); interrupted.get()) {
        std::vector<std::string> earlier;
        for (StoredProfile& profile : readStoredProfiles(interrupted.get()))
            earlier.push_back(std::move(profile.line));
        interrupted.close();
        replaceProfiles(profileKeyPath, earlier);
        checkRegistryResult(RegDeleteKeyA(HKEY_CURRENT_USER, savingKeyPath));
    }
    replaceProfiles(savingKeyPath, lines);
    {
        RegistryKey saving = RegistryKey::create(HKEY_CURRENT_USER, savingKeyPath);
        const DWORD complete = 1;
        checkRegistryResult(RegSetValueExA(saving.get(), completeMark, 0, REG_DWORD,
                                           reinterpret_cast<const BYTE*>(&complete), sizeof complete));
        saving.close();
    }
    replaceProfiles(profileKeyPath, lines);
    checkRegistryResult(RegDeleteKeyA(HKEY_CURRENT_USER, savingKeyPath));
}

std::size_t AccountList::countShownIcons() const {
    return static_cast<std::size_t>(
        std::count_if(begin(), end(), [](const Account& account) { return account.showIcon; }));
}
