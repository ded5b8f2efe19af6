// What the console tools share: reading a number from their command line,
// and Windows' text for an error.
#pragma once

#include <windows.h>

#include <string>

// A whole number from min to max: decimal, or also hexadecimal after 0x
// when hex is allowed. False for anything else: no text, a sign, a space,
// characters after the digits, or a number too large to hold.
bool ParseNumber(const char* text, unsigned long min, unsigned long max, bool hex,
                 unsigned long& number);

// Windows' own text for an error number, without its closing line break.
std::string WindowsErrorText(DWORD error);
