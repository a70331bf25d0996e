// The About box's version line, read from the dialog template inside the real
// pellmor.exe: the resource script takes it from the project version, as the
// version block does, and a text written there by hand again would let the
// two drift apart.
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Every text of a dialog template that begins with "Pellmor " and a digit.
// The template holds its texts as NUL-ended UTF-16 on even offsets; the
// texts wanted here are ASCII.
std::vector<std::string> versionTexts(const unsigned char* bytes, size_t size) {
    const char prefix[] = "Pellmor ";
    const size_t prefixLength = std::strlen(prefix);
    std::vector<std::string> found;
    for (size_t at = 0; at + 2 * (prefixLength + 1) <= size; at += 2) {
        std::string text;
        size_t next = at;
        for (; next + 1 < size; next += 2) {
            const unsigned unit = bytes[next] | (bytes[next + 1] << 8);
            if (unit == 0 || unit > 0x7F)
                break;
            text += static_cast<char>(unit);
        }
        if (text.size() > prefixLength && text.compare(0, prefixLength, prefix) == 0 &&
            text[prefixLength] >= '0' && text[prefixLength] <= '9') {
            found.push_back(text);
            at = next;
        }
    }
    return found;
}

} // namespace

TEST(AboutVersion, TheAboutBoxShowsTheProjectVersion) {
    const HMODULE exe = LoadLibraryExA(PELLMOR_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr) << PELLMOR_EXE_PATH;
    const HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(IDD_ABOUT), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_NE(found, nullptr) << "no About box in " << PELLMOR_EXE_PATH;
    const HGLOBAL loaded = LoadResource(exe, found);
    ASSERT_NE(loaded, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    const std::vector<std::string> texts = versionTexts(bytes, SizeofResource(exe, found));
    FreeLibrary(exe);

    EXPECT_EQ(texts, std::vector<std::string>{"Pellmor " PELLMOR_VERSION});
}

TEST(AboutVersion, TheSearchFindsOnlyWholeVersionTexts) {
    // "Pellmor 1.10" must not pass for "Pellmor 1.1", and the caption
    // "About Pellmor" is no version text.
    std::vector<unsigned char> bytes;
    for (const char* text : {"About Pellmor", "Pellmor 1.10", "OK", "Pellmor rules"}) {
        for (const char* c = text; *c; ++c) {
            bytes.push_back(static_cast<unsigned char>(*c));
            bytes.push_back(0);
        }
        bytes.push_back(0);
        bytes.push_back(0);
    }
    EXPECT_EQ(versionTexts(bytes.data(), bytes.size()), std::vector<std::string>{"Pellmor 1.10"});
}
