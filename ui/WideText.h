#pragma once

#include <windows.h>

#include <string>

// The UTF-16 of `text`, read in `codePage`: CP_UTF8 for the decoded text of
// a message, CP_ACP for the program's own byte strings. What the wide menu
// and notification functions take, so any script shows whatever the
// system's code page.
std::wstring widened(const std::string& text, UINT codePage);
