// pellmor.exe's About box and version block (Explorer's Properties) say the
// version the build was made as, whatever it is.
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

// Resources hold texts as NUL-ended UTF-16, sought whole so that "1.10" does
// not pass for "1.1": in the version block a value follows the NUL that ends
// its name.
TEST(Version, TheAboutBoxAndTheVersionBlockSayTheBuildsVersion) {
    const HMODULE exe = LoadLibraryExA(PELLMOR_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const std::pair<int, std::string> wanted[] = {{IDD_ABOUT, "Pellmor " PELLMOR_VERSION},
                                                  {0, std::string(1, '\0') + PELLMOR_VERSION}};
    for (const auto& [id, text] : wanted) {
        const HRSRC found =
            FindResourceA(exe, MAKEINTRESOURCEA(id ? id : 1), id ? RT_DIALOG : RT_VERSION);
        ASSERT_NE(found, nullptr) << id;
        std::string wide;
        for (char c : text + '\0')
            wide += {c, '\0'};
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
        EXPECT_NE(std::string(bytes, SizeofResource(exe, found)).find(wide), std::string::npos)
            << id;
    }
}
