// What the console tools share: Windows' text for an error and the reason
// in plain words, a path as the console shows it, and the line that says a
// file cannot be read.
#pragma once

#include <windows.h>

#include <cstddef>

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
// "TOOL: cannot read PATH: why" on stderr.
void SayCannotRead(const char* tool, const wchar_t* path, DWORD error);
