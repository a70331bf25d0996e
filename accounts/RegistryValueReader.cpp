#include "accounts/RegistryValueReader.h"

#include "accounts/RegistryKey.h"

#include <algorithm>

namespace {
// A value name holds at most 16383 characters.
constexpr std::size_t longestValueName = 16384;
// A value that keeps growing while it is read is given up on after this
// many tries.
constexpr int maxReadAttempts = 8;
} // namespace

RegistryValueReader::RegistryValueReader(DWORD longestName, DWORD longestData)
    : nameBuffer(std::size_t{longestName} + 1), dataBuffer(std::size_t{longestData} + 1) {
}

bool RegistryValueReader::read(HKEY key, DWORD index) {
    for (int attempt = 0; attempt < maxReadAttempts; ++attempt) {
        nameLength = static_cast<DWORD>(nameBuffer.size());
        dataLength = static_cast<DWORD>(dataBuffer.size());
        const LONG result =
            RegEnumValueA(key, index, nameBuffer.data(), &nameLength, nullptr, &valueType,
                          reinterpret_cast<BYTE*>(dataBuffer.data()), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS)
            return false;
        if (result != ERROR_MORE_DATA) {
            checkRegistryResult(result);
            return true;
        }
        // The data size comes back as what the value needs; the name's does
        // not, so the name buffer takes the longest name there can be.
        nameBuffer.resize(std::max(nameBuffer.size(), longestValueName));
        dataBuffer.resize(std::max(std::size_t{dataLength} + 1, dataBuffer.size() * 2));
    }
    checkRegistryResult(ERROR_MORE_DATA);
    return false;
}

std::string RegistryValueReader::name() const {
    return std::string(nameBuffer.data(), std::min<std::size_t>(nameLength, nameBuffer.size()));
}

std::string_view RegistryValueReader::text() const {
    const std::string_view all(dataBuffer.data(),
                               std::min<std::size_t>(dataLength, dataBuffer.size()));
    return all.substr(0, all.find('\0'));
}
