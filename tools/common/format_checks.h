// The checks of each format behind CheckTape, and what they share.
#pragma once

#include "tape_format.h"

#include <cstddef>

// Sets the first fault at offset at, in the unit after the ones read. The
// text (printf-style) is what was found, a newline, what the format
// expects. Returns false.
bool Fault(FormatCheck& check, std::size_t at, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));
// A frame as DEC's documents write it, "octal 201 (hex 81)". Returns text.
const char* OctalFrame(unsigned char frame, char* text, std::size_t size);
// Data loaded from first to last, into the section being read.
void Loads(FormatCheck& check, unsigned long first, unsigned long last);
// A section starts with its data at offset data, and ends before trailer.
void BeginSection(FormatCheck& check, std::size_t data);
void EndSection(FormatCheck& check, std::size_t trailer);
// The loader has stopped before offset trailer: the trailer is what follows
// of blank rows and leader frames, then after the end what it does not read.
void StopsAt(FormatCheck& check, const unsigned char* bytes, std::size_t size,
             std::size_t trailer);

bool CheckPdp8(const unsigned char* bytes, std::size_t size, bool rim, FormatCheck& check);
bool CheckPdp11(const unsigned char* bytes, std::size_t size, FormatCheck& check);
bool CheckIntelHex(const unsigned char* bytes, std::size_t size, bool anyLineEnd,
                   FormatCheck& check);
