// The SVG elements both kinds of picture draw with. Fixed number formats:
// the same picture gives the same bytes.
#pragma once

#include "text_buffer.h"

template <typename T> T Min(T a, T b) { return a < b ? a : b; }
template <typename T> T Max(T a, T b) { return a < b ? b : a; }

// Attributes start with a space.
constexpr char CENTRED[] = " text-anchor=\"middle\"";
constexpr char RIGHT_ALIGNED[] = " text-anchor=\"end\"";
constexpr char TITLE[] = " font-size=\"16\" font-weight=\"bold\"";
constexpr char NOTE[] = " fill=\"#555\"";

// Two hex digits into text, which has room for 4. Returns text.
const char* Hex(unsigned byte, char* text);

// The picture's frame on a white ground; it ends with "</svg>\n".
void StartSvg(TextBuffer& svg, double width, double height);
// The text must already be escaped.
void Text(TextBuffer& svg, double x, double y, const char* attributes, const char* text);
void Number(TextBuffer& svg, double x, double y, const char* attributes, unsigned long n);
void Line(TextBuffer& svg, double x1, double y1, double x2, double y2, const char* attributes);
