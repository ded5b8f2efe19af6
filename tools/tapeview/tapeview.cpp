// tapeview: the tape that a file makes, as text or SVG, and the handshake
// of a portemu trace as a timing diagram. See HELP below.
#include "tapeview.h"
#include "tool_common.h"
#include "version.h"

#include <algorithm>
#include <cstdio>
#include <climits>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr std::size_t DEFAULT_ROWS = 64;
constexpr std::size_t DEFAULT_STRIP_ROWS = 200;
constexpr std::size_t DEFAULT_BYTES = 3;

const char USAGE[] =
    "usage: tapeview text FILE\n"
    "       tapeview tape-svg FILE OUT.svg [--rows N]\n"
    "       tapeview strip-svg FILE OUT.svg [--from ROW] [--rows N]\n"
    "       tapeview timing-svg TRACE OUT.svg [--bytes N]\n"
    "       tapeview --help | --version\n";

const char HELP[] =
    "Shows the tape that FILE makes, one row per byte, before you punch it (any\n"
    "file: a tapeprep tape, a text, a program) or after (portemu's --punched).\n"
    "  text        every row as text, to stdout\n"
    "  tape-svg    the first N rows (64) down the page, with hex and characters\n"
    "  strip-svg   N rows (200) from row ROW (0) on, along the page: the start on\n"
    "              the left, channel 8 at the top, so that a tapeprep label reads\n"
    "              as text\n"
    "  timing-svg  the handshake of the first N bytes (3) of a portemu trace, and\n"
    "              a summary line to stdout\n"
    "Exit code: 0 done, 1 when a file cannot be read or written or the trace\n"
    "holds no byte, 2 for a wrong command line.\n";

bool Read(const char* path, std::string& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "tapeview: cannot read %s\n", path);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

bool Write(const char* path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    if (file.write(text.data(), static_cast<std::streamsize>(text.size())) && file.flush())
        return true;
    std::fprintf(stderr, "tapeview: cannot write %s\n", path);
    return false;
}

// A "--NAME N" that a command takes; N at least minimum.
struct Number {
    const char* name;
    std::size_t& value;
    unsigned long minimum;
};

// The options after the two file arguments, each at most once.
bool ParseNumbers(int argc, char** argv, std::initializer_list<Number> numbers)
{
    if (argc < 4)
        return false;
    std::vector<const Number*> seen;
    for (int i = 4; i < argc; i += 2) {
        const Number* number = nullptr;
        for (const Number& candidate : numbers)
            if (std::strcmp(argv[i], candidate.name) == 0)
                number = &candidate;
        if (!number || i + 1 == argc
            || std::find(seen.begin(), seen.end(), number) != seen.end())
            return false;
        seen.push_back(number);
        unsigned long value = 0;
        if (!ParseNumber(argv[i + 1], number->minimum, ULONG_MAX, false, value))
            return false;
        number->value = value;
    }
    return true;
}

int ShowText(const char* file)
{
    std::string bytes;
    if (!Read(file, bytes))
        return EXIT_FAILED;
    std::fputs(TapeText(bytes).c_str(), stdout);
    return 0;
}

int DrawTape(const char* file, const char* out, std::size_t rows)
{
    std::string bytes;
    if (!Read(file, bytes) || !Write(out, TapeSvg(bytes, rows)))
        return EXIT_FAILED;
    return 0;
}

int DrawStrip(const char* file, const char* out, std::size_t from, std::size_t rows)
{
    std::string bytes;
    if (!Read(file, bytes) || !Write(out, StripSvg(bytes, from, rows)))
        return EXIT_FAILED;
    return 0;
}

int DrawTiming(const char* tracePath, const char* out, std::size_t byteCount)
{
    std::string text;
    if (!Read(tracePath, text))
        return EXIT_FAILED;
    std::vector<TraceLine> trace;
    ForEachTraceLine(text.data(), text.size(),
                     [](const TraceLine* line, const char* text, std::size_t length, void* into) {
                         if (line)
                             static_cast<std::vector<TraceLine>*>(into)->push_back(*line);
                         else
                             std::fprintf(stderr, "tapeview: skipped trace line: %.*s\n",
                                          static_cast<int>(length), text);
                     },
                     &trace);
    const Handshake handshake = ReadHandshake(trace);
    if (handshake.bytes.empty()) {
        std::fprintf(stderr, "tapeview: no byte was punched in %s\n", tracePath);
        return EXIT_FAILED;
    }
    if (!Write(out, TimingSvg(handshake, byteCount)))
        return EXIT_FAILED;
    std::printf("%s\n", TimingSummary(handshake, byteCount).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--version" && argc == 2) {
        std::printf("tapeview %s\n", TAPELARK_VERSION);
        return 0;
    }
    if (command == "--help" && argc == 2) {
        std::fputs(USAGE, stdout);
        std::fputs(HELP, stdout);
        return 0;
    }
    if (command == "text" && argc == 3)
        return ShowText(argv[2]);
    std::size_t rows = DEFAULT_ROWS;
    if (command == "tape-svg" && ParseNumbers(argc, argv, {{"--rows", rows, 1}}))
        return DrawTape(argv[2], argv[3], rows);
    std::size_t from = 0;
    rows = DEFAULT_STRIP_ROWS;
    if (command == "strip-svg"
        && ParseNumbers(argc, argv, {{"--from", from, 0}, {"--rows", rows, 1}}))
        return DrawStrip(argv[2], argv[3], from, rows);
    std::size_t bytes = DEFAULT_BYTES;
    if (command == "timing-svg" && ParseNumbers(argc, argv, {{"--bytes", bytes, 1}}))
        return DrawTiming(argv[2], argv[3], bytes);
    std::fputs(USAGE, stderr);
    return EXIT_USAGE;
}
