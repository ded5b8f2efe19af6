// What the loader formats' tests share: a tape of each format built by
// hand, and a built tool run with its output.
#pragma once

#include "test_support.h"

#include <cstdio>
#include <string>
#include <vector>

inline bool Has(const ToolRun& run, const std::string& line)
{
    for (const std::string& each : run.lines)
        if (each == line)
            return true;
    return false;
}

inline std::string Rows(std::size_t count, unsigned char frame)
{
    return std::string(count, static_cast<char>(frame));
}

// PDP-8: a 12-bit word in two frames of 6 bits, channel 7 on an origin's first.
inline std::string Word(unsigned value, bool origin = false)
{
    return {static_cast<char>((value >> 6 & 077) | (origin ? 0100 : 0)),
            static_cast<char>(value & 077)};
}

// The BIN checksum of the origin and data frames given.
inline std::string Checksum(const std::string& counted)
{
    unsigned sum = 0;
    for (char frame : counted)
        sum += static_cast<unsigned char>(frame);
    return Word(sum & 07777);
}

// PDP-11: a block at address with its data and the checksum that makes it sum to 0.
inline std::string Block(unsigned address, const std::string& data)
{
    const std::size_t count = data.size() + 6;
    std::string block = {'\1', '\0', static_cast<char>(count & 0xFF), static_cast<char>(count >> 8),
                         static_cast<char>(address & 0xFF), static_cast<char>(address >> 8)};
    block += data;
    unsigned sum = 0;
    for (char frame : block)
        sum += static_cast<unsigned char>(frame);
    return block + static_cast<char>(-sum & 0xFF);
}

// Intel hex: a record with its checksum and CR LF.
inline std::string Record(unsigned address, const std::string& data, unsigned type = 0)
{
    const std::string bytes = std::string{static_cast<char>(data.size()),
                                          static_cast<char>(address >> 8),
                                          static_cast<char>(address & 0xFF),
                                          static_cast<char>(type)} + data;
    std::string text = ":";
    unsigned sum = 0;
    char digits[4];
    for (char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(byte));
        text += digits;
        sum += static_cast<unsigned char>(byte);
    }
    std::snprintf(digits, sizeof digits, "%02X", -sum & 0xFF);
    return text + digits + "\r\n";
}

// Channel 8 set for the rows' odd (or even) parity, or always.
inline std::string WithParity(const std::string& text, bool mark, bool odd)
{
    std::string coded;
    for (char c : text) {
        unsigned holes = 0;
        for (unsigned bits = static_cast<unsigned char>(c); bits; bits >>= 1)
            holes += bits & 1;
        coded += static_cast<char>(c | ((mark || (holes % 2 == 0) == odd) ? 0x80 : 0));
    }
    return coded;
}

const std::string BIN_COUNTED = Word(0200, true) + Word(07300) + Word(01234);
// Field 1, text between rubouts (with a 200 in it that is no trailer), the checksum.
const std::string BIN = "\310" + Word(0200, true) + Word(07300) + "\377\200AB\377" + Word(01234)
                        + Checksum(BIN_COUNTED);
const std::string RIM = Word(0200, true) + Word(07300) + Word(0201, true) + Word(05200);
const std::string LDA_FIRST = Block(01000, std::string("\0\x80\xFF\1\2\3\4\5\6\7\x10\x11\x12\x13\x14\x15", 16));
const std::string LDA = LDA_FIRST + std::string(2, '\0') + Block(01020, std::string("\x01\x00", 2)) + Block(01001, "");
const std::string HEX = Record(0x100, std::string("\x3E\x01\xD3\x00\x76", 5))
                        + Record(0x105, std::string("\xC3\x00\x01", 3))
                        + Record(0x100, "", 1);

inline std::string LfOnly(std::string text)
{
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}
