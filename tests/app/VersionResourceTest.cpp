// The version block of the real pellmor.exe, read as Explorer's Properties
// and Task Manager read it: through GetFileVersionInfoA and VerQueryValueA.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The version the build was configured with, as FILEVERSION's four numbers;
// parts the version leaves out count as 0.
std::array<unsigned, 4> projectVersion() {
    std::array<unsigned, 4> parts{};
    std::string_view text = PELLMOR_VERSION;
    for (unsigned& part : parts) {
        if (text.empty())
            break;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), part);
        EXPECT_EQ(error, std::errc{}) << PELLMOR_VERSION;
        text.remove_prefix(static_cast<size_t>(end - text.data()));
        if (!text.empty() && text.front() == '.')
            text.remove_prefix(1);
    }
    return parts;
}

class VersionBlock {
public:
    explicit VersionBlock(const char* path) {
        DWORD unused = 0;
        const DWORD size = GetFileVersionInfoSizeA(path, &unused);
        if (size != 0) {
            data.resize(size);
            if (!GetFileVersionInfoA(path, 0, size, data.data()))
                data.clear();
        }
    }

    bool present() const { return !data.empty(); }

    const VS_FIXEDFILEINFO* fixed() {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(data.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // The language and code page that VarFileInfo announces: the string
    // block a reader looks for. A mismatch leaves Explorer's page empty.
    bool translation(WORD& language, WORD& codePage) {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 2 * sizeof(WORD))
            return false;
        const WORD* pair = static_cast<const WORD*>(value);
        language = pair[0];
        codePage = pair[1];
        return true;
    }

    // A string of the announced block; "<missing>" when it is not there.
    std::string text(const char* name) {
        WORD language = 0, codePage = 0;
        if (!translation(language, codePage))
            return "<missing>";
        char path[128];
        std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", language, codePage, name);
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(data.data(), path, &value, &length) || length == 0)
            return "<missing>";
        return static_cast<const char*>(value);
    }

private:
    std::vector<char> data;
};

} // namespace

TEST(VersionResource, FixedNumbersAreTheProjectVersion) {
    VersionBlock block(PELLMOR_EXE_PATH);
    ASSERT_TRUE(block.present()) << PELLMOR_EXE_PATH << " has no version block";
    const VS_FIXEDFILEINFO* fixed = block.fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);

    const std::array<unsigned, 4> want = projectVersion();
    const std::array<unsigned, 4> file = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                                          HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
    const std::array<unsigned, 4> product = {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                                             HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
    EXPECT_EQ(file, want);
    EXPECT_EQ(product, want);

    // A program for users: an application, not marked as a debug or
    // pre-release build.
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask & (VS_FF_DEBUG | VS_FF_PRERELEASE), 0u);
}

TEST(VersionResource, StringsNameTheProductItsVersionAndItsFile) {
    VersionBlock block(PELLMOR_EXE_PATH);
    ASSERT_TRUE(block.present());
    WORD language = 0, codePage = 0;
    ASSERT_TRUE(block.translation(language, codePage));
    // The program's texts are ANSI in the Western code page.
    EXPECT_EQ(codePage, 1252);

    EXPECT_EQ(block.text("ProductName"), "Pellmor");
    EXPECT_EQ(block.text("ProductVersion"), PELLMOR_VERSION);
    EXPECT_EQ(block.text("FileVersion"), PELLMOR_VERSION);
    EXPECT_EQ(block.text("OriginalFilename"), PELLMOR_EXE_NAME);
    // Task Manager lists the process by its description.
    EXPECT_EQ(block.text("FileDescription").rfind("Pellmor", 0), 0u) << block.text("FileDescription");
    EXPECT_NE(block.text("LegalCopyright").find("Pellmor developers"), std::string::npos);
}
