#pragma once

// Where the account's status texts take the time of day from: a function
// that writes the local time as "hh:mm:ss" (24-hour clock) into a buffer of
// at least 9 bytes and returns the buffer. It is the C run-time's _strtime;
// tests put a fixed clock here.
using TimeOfDayFunction = char* (*)(char* buffer);
extern TimeOfDayFunction timeOfDay;

// The C run-time's clock, what timeOfDay holds unless a test changed it.
char* runtimeTimeOfDay(char* buffer);
