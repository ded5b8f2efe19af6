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
// A data address, extending the range the tape loads.
void Loads(FormatCheck& check, unsigned long address);

// A PDP-8 frame of channels 8 and 7 with a field number, 300 to 370.
bool IsFieldSetting(unsigned char frame);
// Where a PDP-8 tape's leader and data begin: at the first 200 outside
// text between rubouts; a tape with no leader before its data starts its
// data at its first frame.
void Pdp8Start(const unsigned char* bytes, std::size_t size, std::size_t& leader,
               std::size_t& data);
bool CheckPdp8(const unsigned char* bytes, std::size_t size, bool rim, FormatCheck& check);
bool CheckPdp11(const unsigned char* bytes, std::size_t size, FormatCheck& check);
bool CheckIntelHex(const unsigned char* bytes, std::size_t size, bool anyLineEnd,
                   FormatCheck& check);
