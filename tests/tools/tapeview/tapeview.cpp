// tapeview: pictures of what the emulated punch did.
//   tapeview text PUNCHED                          the tape as text, to stdout
//   tapeview tape-svg PUNCHED OUT.svg [--rows N]   the tape, first N bytes (64)
//   tapeview timing-svg TRACE OUT.svg [--bytes N]  the handshake of the first
//                                                  N bytes (3), and a summary
//                                                  line to stdout
// Exit code 0 when done, 1 when a file cannot be read or written or the
// trace holds no byte, 2 for a wrong command line.
#include "tapeview.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr std::size_t DEFAULT_ROWS = 64;
constexpr std::size_t DEFAULT_BYTES = 3;

const char USAGE[] =
    "usage: tapeview text PUNCHED\n"
    "       tapeview tape-svg PUNCHED OUT.svg [--rows N]\n"
    "       tapeview timing-svg TRACE OUT.svg [--bytes N]\n";

// The helpers read a missing file as empty: look first, so that it is an error.
bool Readable(const char* path)
{
    if (std::ifstream(path))
        return true;
    std::fprintf(stderr, "tapeview: cannot read %s\n", path);
    return false;
}

bool Write(const char* path, const std::string& text)
{
    if (WriteFileBytes(path, text))
        return true;
    std::fprintf(stderr, "tapeview: cannot write %s\n", path);
    return false;
}

// The optional "OPTION N" after the two file arguments; N is at least 1.
bool ParseLimit(int argc, char** argv, const char* option, std::size_t& limit)
{
    if (argc == 4)
        return true;
    if (argc != 6 || std::strcmp(argv[4], option) != 0)
        return false;
    const char* text = argv[5];
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*text < '0' || *text > '9' || *end != '\0' || value == 0)
        return false;
    limit = value;
    return true;
}

int ShowText(const char* punched)
{
    if (!Readable(punched))
        return EXIT_FAILED;
    std::fputs(TapeText(ReadFileBytes(punched)).c_str(), stdout);
    return 0;
}

int DrawTape(const char* punched, const char* out, std::size_t rows)
{
    if (!Readable(punched) || !Write(out, TapeSvg(ReadFileBytes(punched), rows)))
        return EXIT_FAILED;
    return 0;
}

int DrawTiming(const char* tracePath, const char* out, std::size_t byteCount)
{
    if (!Readable(tracePath))
        return EXIT_FAILED;
    std::vector<std::string> skipped;
    const Handshake handshake = ReadHandshake(ReadTrace(tracePath, &skipped));
    for (const std::string& line : skipped)
        std::fprintf(stderr, "tapeview: skipped trace line: %s\n", line.c_str());
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
    if (command == "text" && argc == 3)
        return ShowText(argv[2]);
    std::size_t limit = DEFAULT_ROWS;
    if (command == "tape-svg" && ParseLimit(argc, argv, "--rows", limit))
        return DrawTape(argv[2], argv[3], limit);
    limit = DEFAULT_BYTES;
    if (command == "timing-svg" && ParseLimit(argc, argv, "--bytes", limit))
        return DrawTiming(argv[2], argv[3], limit);
    std::fputs(USAGE, stderr);
    return EXIT_USAGE;
}
