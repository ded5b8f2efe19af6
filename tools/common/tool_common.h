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

// What --port takes where a port may be anywhere, for refusals.
#define PORT_TAKES "lpt1, lpt2 or a port's address in hex (0xD010 or D010h)"
// A port as --port gives it: lpt1 or lpt2 in any case, or the address of
// its data register in hex, 0xD010 or D010h, a multiple of 4 from 100h to
// FFFCh (a PCI card's port as Device Manager shows it). False for anything
// else, a plain number too: 378 could be meant as decimal.
bool ParsePortAddress(const wchar_t* text, unsigned& base);
// "LPT1 (378h)", "LPT2 (278h)", or "Port D010h". Returns text.
const char* PortName(unsigned base, char* text, std::size_t size);
