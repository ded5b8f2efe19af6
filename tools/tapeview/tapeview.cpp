// tapeview: pictures of what the emulated punch did.
//   tapeview text PUNCHED                          the tape as text, to stdout
//   tapeview tape-svg PUNCHED OUT.svg [--rows N]   the tape, first N bytes (64)
//   tapeview timing-svg TRACE OUT.svg [--bytes N]  the handshake of the first
//                                                  N bytes (3), and a summary
//                                                  line to stdout
//   tapeview --help | --version
// Exit code 0 when done, 1 when a file cannot be read or written or the
// trace holds no byte, 2 for a wrong command line.
#include "tapeview.h"
#include "version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr std::size_t DEFAULT_ROWS = 64;
constexpr std::size_t DEFAULT_BYTES = 3;

const char USAGE[] =
    "usage: tapeview text PUNCHED\n"
    "       tapeview tape-svg PUNCHED OUT.svg [--rows N]\n"
    "       tapeview timing-svg TRACE OUT.svg [--bytes N]\n";

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
    std::string bytes;
    if (!Read(punched, bytes))
        return EXIT_FAILED;
    std::fputs(TapeText(bytes).c_str(), stdout);
    return 0;
}

int DrawTape(const char* punched, const char* out, std::size_t rows)
{
    std::string bytes;
    if (!Read(punched, bytes) || !Write(out, TapeSvg(bytes, rows)))
        return EXIT_FAILED;
    return 0;
}

int DrawTiming(const char* tracePath, const char* out, std::size_t byteCount)
{
    std::string text;
    if (!Read(tracePath, text))
        return EXIT_FAILED;
    std::vector<std::string> skipped;
    const Handshake handshake = ReadHandshake(ParseTrace(text, &skipped));
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
    if (command == "--version" && argc == 2) {
        std::printf("tapeview %s\n", TAPELARK_VERSION);
        return 0;
    }
    if (command == "--help" && argc == 2) {
        std::fputs(USAGE, stdout);
        return 0;
    }
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
