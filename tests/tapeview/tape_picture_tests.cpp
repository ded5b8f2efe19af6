// tapeview's pictures: the tape SVG down the page, a row a byte, and the
// strip SVG along it, where a tapeprep label reads as text.
#include "tape_layout.h"
#include "tapeview_steps.h"

#include <algorithm>
#include <cstdio>

namespace {

struct Circle {
    bool feed;
    double x;
    double y;
};

// The tape's holes; the legend's sample holes carry no class and are left out.
std::vector<Circle> Holes(const std::string& svg)
{
    std::vector<Circle> holes;
    for (std::size_t at = svg.find("<circle class="); at != std::string::npos;
         at = svg.find("<circle class=", at + 1)) {
        char kind[8] = {};
        Circle circle = {};
        REQUIRE(std::sscanf(svg.c_str() + at, "<circle class=\"%4[a-z]\" cx=\"%lf\" cy=\"%lf\"",
                            kind, &circle.x, &circle.y) == 3);
        circle.feed = std::string(kind) == "feed";
        holes.push_back(circle);
    }
    return holes;
}

std::vector<Circle> Row(const std::vector<Circle>& holes, double y, bool feed)
{
    std::vector<Circle> row;
    std::copy_if(holes.begin(), holes.end(), std::back_inserter(row),
                 [&](const Circle& circle) { return circle.y == y && circle.feed == feed; });
    std::sort(row.begin(), row.end(), [](const Circle& a, const Circle& b) { return a.x < b.x; });
    return row;
}

} // namespace

TEST_CASE("the tape SVG draws one row per byte, channels as in the text, cut at --rows")
{
    const std::string bytes("\x00\xFF\x41\x01\x80", 5);
    const std::vector<Circle> holes = Holes(TapeSvg(bytes, 64));
    std::vector<double> rowY;
    for (const Circle& circle : holes)
        if (circle.feed)
            rowY.push_back(circle.y);
    REQUIRE(rowY.size() == bytes.size());
    CHECK(std::is_sorted(rowY.begin(), rowY.end()));

    // The all-ones row gives each channel's place, channel 8 leftmost.
    const std::vector<Circle> channels = Row(holes, rowY[1], false);
    REQUIRE(channels.size() == 8);
    const double feedX = Row(holes, rowY[1], true).at(0).x;
    CHECK(channels[4].x < feedX);
    CHECK(feedX < channels[5].x);
    for (std::size_t row = 0; row < bytes.size(); ++row) {
        INFO("row " << row);
        std::vector<double> expected;
        for (int bit = 7; bit >= 0; --bit)
            if (bytes[row] >> bit & 1)
                expected.push_back(channels[7 - bit].x);
        std::vector<double> drawn;
        for (const Circle& circle : Row(holes, rowY[row], false))
            drawn.push_back(circle.x);
        CHECK(drawn == expected);
        CHECK(Row(holes, rowY[row], true).at(0).x == feedX);
    }

    const std::string cut = TapeSvg(bytes, 2);
    const std::vector<Circle> cutHoles = Holes(cut);
    CHECK(cutHoles.size() == 2 + 8);
    CHECK(std::count_if(cutHoles.begin(), cutHoles.end(),
                        [](const Circle& circle) { return circle.feed; }) == 2);
    CHECK(Contains(cut, "3 more bytes"));
    CHECK_FALSE(Contains(TapeSvg(bytes, 5), "more bytes"));

    // Bytes that are markup in SVG are written as entities.
    const std::string markup = TapeSvg("<&", 64);
    CHECK(Contains(markup, ">&lt;</text>"));
    CHECK(Contains(markup, ">&amp;</text>"));
}

TEST_CASE("the strip SVG of a tapeprep tape: the label reads as text along the tape")
{
    const std::string in = TempPath("in");
    const std::string tape = TempPath("tape");
    const std::string svg = TempPath("strip");
    REQUIRE(WriteFileBytes(in, "xy"));
    REQUIRE(RunTool("..\\tapeprep.exe", "--leader 4 --trailer 2 --fill 0x80 --label FL7 "
                                            + Quoted(in) + " " + Quoted(tape))
                .exitCode
            == 0);
    const std::string bytes = ReadFileBytes(tape);
    REQUIRE(bytes.size() == 4 + 1 + 3 * 6 + 2 + 2);

    // The picture's holes as text: one line per height, top first, one
    // character per row of tape, left to right.
    const std::vector<Circle> holes = Holes(StripSvg(bytes, 0, 1000));
    std::vector<double> heights, columns;
    for (const Circle& circle : holes) {
        (circle.feed ? columns : heights).push_back(circle.feed ? circle.x : circle.y);
    }
    std::sort(heights.begin(), heights.end());
    heights.erase(std::unique(heights.begin(), heights.end()), heights.end());
    REQUIRE(columns.size() == bytes.size());
    REQUIRE(heights.size() == 8);
    std::vector<std::string> picture(8, std::string(bytes.size(), '.'));
    for (const Circle& circle : holes)
        if (!circle.feed)
            picture[std::find(heights.begin(), heights.end(), circle.y) - heights.begin()]
                   [std::find(columns.begin(), columns.end(), circle.x) - columns.begin()] = '#';

    // Channel 8 on top holds the fill rows; below it, the letters upright.
    CHECK(picture[0] == "####" "#.....#.....#.....#" ".." "##");
    for (int dot = 0; dot < GLYPH_ROWS; ++dot) {
        INFO("dot row " << dot);
        CHECK(picture[1 + dot].substr(4, 19)
              == std::string(".") + GlyphDrawing('F')[dot] + "." + GlyphDrawing('L')[dot] + "."
                     + GlyphDrawing('7')[dot] + ".");
    }

    // The program draws exactly that, from a given row, cut where asked.
    auto tapeview = [&](const std::string& options) {
        const std::string files = Quoted(tape) + " " + Quoted(svg);
        return RunTool("..\\tapeview.exe", "strip-svg " + files + options).exitCode;
    };
    CHECK(tapeview("") == 0);
    CHECK(ReadFileBytes(svg) == StripSvg(bytes, 0, 200));
    CHECK(tapeview(" --rows 10 --from 4") == 0);
    const std::string cut = ReadFileBytes(svg);
    CHECK(cut == StripSvg(bytes, 4, 10));
    size_t shown = 10;  // the feed holes
    for (const std::string& line : picture)
        shown += std::count(line.begin() + 4, line.begin() + 14, '#');
    CHECK(Holes(cut).size() == shown);
    CHECK(Contains(cut, "rows 4 to 13"));
    CHECK(Contains(cut, "13 more bytes not drawn."));
    for (const char* wrong : {" --rows 0", " --from", " --from 1 --from 2", " --bytes 3"})
        CHECK(tapeview(wrong) == 2);
    for (const std::string& path : {in, tape, svg})
        DeleteFileA(path.c_str());
}
