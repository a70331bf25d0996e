#pragma once

// "Start Pellmor when I log on": the value "Pellmor" under the current
// user's Run key, holding the quoted path of this program file (quoted, so
// that a path with blanks stays one piece).
inline constexpr char runKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char runValueName[] = "Pellmor";

// Whether the Run value is there, whatever path it names.
bool startsAtLogon();
// Writes the Run value with this program's path, or removes it. Registry
// failures are MsgExceptions.
void setStartAtLogon(bool on);
