// What the console tools share: reading a number from their command line,
// Windows' text for an error and the reason in plain words, and a path as
// the console shows it.
#pragma once

#include <windows.h>

#include <cstddef>

// A wrong command line: "TOOL: " and what was wrong on stderr, then the
// usage. Returns 2, the tools' exit code for it.
int CommandLineError(const char* tool, const char* usage, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));

// A whole number from min to max: decimal, or also hexadecimal after 0x
// when hex is allowed. False for anything else: no text, a sign, a space,
// characters after the digits, or a number too large to hold.
bool ParseNumber(const char* text, unsigned long min, unsigned long max, bool hex,
                 unsigned long& number);
// The same for a wide command line's argument.
bool ParseNumberW(const wchar_t* text, unsigned long min, unsigned long max, bool hex,
                  unsigned long& number);

// Windows' own text for an error number, without its closing line break;
// "" when Windows has none. Returns text.
const char* WindowsErrorText(DWORD error, char* text, std::size_t size);
// Why a file could not be opened, read or written, in plain words: "in use
// by another program", "not found", "access denied", ...; for other errors
// Windows' text and the number. Returns text.
const char* ErrorReason(DWORD error, char* text, std::size_t size);

// A wide path in the console's code page, for messages: a character the
// code page lacks shows as '?'. Returns text.
const char* NarrowPath(const wchar_t* path, char* text, std::size_t size);
// A wide command line's argument as ASCII, for comparing it with options
// and naming it in messages: any other character becomes '?', which no
// option has. Returns text.
const char* AsciiArgument(const wchar_t* argument, char* text, std::size_t size);
