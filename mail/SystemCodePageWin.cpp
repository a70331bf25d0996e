#include "mail/SystemCodePage.h"

#include <windows.h>

#include <climits>

bool systemToUtf8(unsigned codePage, std::string_view bytes, std::string& out) {
    if (bytes.empty())
        return true;
    if (bytes.size() > INT_MAX / 4)
        return false;
    const UINT from = codePage == systemAnsiCodePage ? CP_ACP : codePage;
    const int length = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(from, 0, bytes.data(), length, nullptr, 0);
    if (wide <= 0)
        return false;
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, bytes.data(), length, text.data(), wide);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0)
        return false;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(narrow));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, out.data() + start, narrow, nullptr, nullptr);
    return true;
}
