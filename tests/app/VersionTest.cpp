// The version the real pellmor.exe shows, in its version block (Explorer's
// Properties, Task Manager) and in its About box, is the project's.
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

TEST(Version, TheVersionBlockCarriesTheProjectVersion) {
    std::vector<char> block(GetFileVersionInfoSizeA(PELLMOR_EXE_PATH, nullptr));
    ASSERT_TRUE(GetFileVersionInfoA(PELLMOR_EXE_PATH, 0, DWORD(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    unsigned want[4] = {};
    std::sscanf(PELLMOR_VERSION, "%u.%u.%u.%u", &want[0], &want[1], &want[2], &want[3]);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(want[1], want[0]));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(want[3], want[2]));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    // The strings of the block that the translation announces.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    for (const char* name : {"FileVersion", "ProductVersion"}) {
        char path[64];
        std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                      translation[1], name);
        char* text = nullptr;
        ASSERT_TRUE(VerQueryValueA(block.data(), path, reinterpret_cast<void**>(&text), &length));
        EXPECT_STREQ(text, PELLMOR_VERSION) << name;
    }
}

TEST(Version, TheAboutBoxShowsTheProjectVersion) {
    const HMODULE exe = LoadLibraryExA(PELLMOR_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(IDD_ABOUT), MAKEINTRESOURCEA(5));
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
    const std::string dialog(bytes, SizeofResource(exe, found));
    FreeLibrary(exe);
    // The template holds its texts as NUL-ended UTF-16: the whole text,
    // so that "Pellmor 1.10" does not pass for "Pellmor 1.1".
    std::string text;
    for (char c : std::string("Pellmor " PELLMOR_VERSION) + '\0')
        text += {c, '\0'};
    EXPECT_NE(dialog.find(text), std::string::npos);
}
