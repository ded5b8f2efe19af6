#include "svg.h"

#include <cstdio>

const char* Hex(unsigned byte, char* text)
{
    std::snprintf(text, 4, "%02X", byte);
    return text;
}

void StartSvg(TextBuffer& svg, double width, double height)
{
    AppendF(svg,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%.0f\""
            " height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\""
            " font-size=\"12\" fill=\"#222\">\n"
            "<rect width=\"100%%\" height=\"100%%\" fill=\"#fff\"/>\n",
            width, height, width, height);
}

void Text(TextBuffer& svg, double x, double y, const char* attributes, const char* text)
{
    AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>%s</text>\n", x, y, attributes, text);
}

void Number(TextBuffer& svg, double x, double y, const char* attributes, unsigned long n)
{
    AppendF(svg, "<text x=\"%.1f\" y=\"%.1f\"%s>%lu</text>\n", x, y, attributes, n);
}

void Line(TextBuffer& svg, double x1, double y1, double x2, double y2, const char* attributes)
{
    AppendF(svg, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"%s/>\n", x1, y1, x2, y2,
            attributes);
}
