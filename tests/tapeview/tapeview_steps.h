// What tapeview's tests share: its pictures of a string's bytes as strings,
// and a built tool run with its output.
#pragma once

#include "tapeview.h"
#include "test_support.h"

#include <doctest/doctest.h>

#include <climits>
#include <string>

// The pictures as strings, from the bytes of a string.
inline std::string Taken(TextBuffer& buffer)
{
    REQUIRE_FALSE(buffer.failed);
    const std::string text(buffer.data ? buffer.data : "", buffer.length);
    FreeBuffer(buffer);
    return text;
}
inline const unsigned char* Bytes(const std::string& bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.data());
}
inline std::string TapeText(const std::string& bytes)
{
    TextBuffer text = {};
    TapeText(text, Bytes(bytes), bytes.size(), 0, ULONG_MAX);
    return Taken(text);
}
inline std::string TapeSvg(const std::string& bytes, std::size_t rows)
{
    TextBuffer svg = {};
    TapeSvg(svg, Bytes(bytes), bytes.size(), rows);
    return Taken(svg);
}
inline std::string StripSvg(const std::string& bytes, std::size_t from, std::size_t rows)
{
    TextBuffer svg = {};
    StripSvg(svg, Bytes(bytes), bytes.size(), from, rows);
    return Taken(svg);
}

inline bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
