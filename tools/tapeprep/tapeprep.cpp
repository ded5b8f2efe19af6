// tapeprep: a punch-ready copy of a file, with leader, an optional label in
// letters and trailer around its bytes, which stay unchanged.
#include "tape_layout.h"
#include "tool_common.h"
#include "version.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr unsigned long DEFAULT_ROWS = 120;  // 12 inches at 10 rows per inch
constexpr unsigned long MAX_ROWS = 100000;
constexpr DWORD CHUNK = 64 * 1024;

const char USAGE[] =
    "usage: tapeprep [--leader N] [--trailer N] [--fill BYTE] [--label TEXT] IN OUT\n"
    "       tapeprep --help | --version\n";

const char HELP[] =
    "Writes OUT, a copy of IN ready to punch: N rows of leader, the label's\n"
    "letters when one is asked for, every byte of IN unchanged, N rows of\n"
    "trailer. Give OUT to tapelark; tapeview shows it before you punch it.\n"
    "  --leader N     rows of leader, 0 to 100000 (120: 12 inches)\n"
    "  --trailer N    rows of trailer, 0 to 100000 (120)\n"
    "  --fill BYTE    the byte of leader, trailer and the label's spaces, 0 to\n"
    "                 255, decimal or 0x hex (0: feed holes only; some loaders\n"
    "                 want 0x80, channel 8)\n"
    "  --label TEXT   TEXT in letters of 5x7 holes, one row per column of a\n"
    "                 letter, a fill row between letters and around the label:\n"
    "                 A-Z (lower case as upper case), 0-9, space and . , - / :\n"
    "                 ( ) + # '\n"
    "The letters use channels 1 to 7: a letter's top is channel 7, its foot\n"
    "channel 1; channel 8 stays blank. Hold the tape with its start to the left\n"
    "and channel 8 at the top edge (the feed holes then run below the middle,\n"
    "between channels 3 and 4), and the label reads left to right.\n"
    "OUT is written to a temporary file beside it and takes OUT's name only\n"
    "when complete: on failure nothing is left behind and an existing OUT is\n"
    "untouched.\n"
    "Exit code: 0 done, 1 when IN cannot be read, OUT cannot be written or\n"
    "names the same file as IN, 2 for a wrong command line.\n";

struct Options {
    unsigned long leader = DEFAULT_ROWS;
    unsigned long trailer = DEFAULT_ROWS;
    unsigned long fill = 0;
    const char* label = nullptr;
    const char* in = nullptr;
    const char* out = nullptr;
};

int Usage(const char* problem, const char* detail)
{
    std::fprintf(stderr, "tapeprep: %s%s\n%s", problem, detail, USAGE);
    return EXIT_USAGE;
}

// Returns -1 when the command line is good, else the exit code.
int ParseOptions(int argc, char** argv, Options& options)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.compare(0, 2, "--") != 0) {
            if (positional == 2)
                return Usage("one file too many: ", argv[i]);
            (positional++ == 0 ? options.in : options.out) = argv[i];
            continue;
        }
        if (arg != "--leader" && arg != "--trailer" && arg != "--fill" && arg != "--label")
            return Usage("unknown option ", argv[i]);
        if (i + 1 == argc)
            return Usage("a value is missing after ", argv[i]);
        const char* value = argv[++i];
        if (arg == "--label") {
            options.label = value;
            continue;
        }
        const bool isFill = arg == "--fill";
        unsigned long& number = isFill ? options.fill
                                : arg == "--leader" ? options.leader : options.trailer;
        if (!ParseNumber(value, 0, isFill ? 255 : MAX_ROWS, true, number))
            return Usage(arg.c_str(), isFill ? " takes a byte, 0 to 255, decimal or 0x hex"
                                             : " takes a number of rows, 0 to 100000");
    }
    if (positional < 2)
        return Usage("IN and OUT are both needed", "");
    return -1;
}

int Fail(const char* what, const char* path)
{
    const DWORD error = GetLastError();
    char reason[200];
    std::fprintf(stderr, "tapeprep: %s %s: %s\n", what, path,
                 ErrorReason(error, reason, sizeof reason));
    return EXIT_FAILED;
}

// One file under two names: the same volume and file index. OUT that does
// not exist yet cannot be IN.
bool SameFile(HANDLE in, const char* out)
{
    const HANDLE other = CreateFileA(out, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION a, b;
    const bool same = GetFileInformationByHandle(in, &a) && GetFileInformationByHandle(other, &b)
                      && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber
                      && a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(other);
    return same;
}

bool WriteAll(HANDLE file, const char* bytes, DWORD count)
{
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) && written == count;
}

bool WriteRows(HANDLE file, unsigned long count, char fill)
{
    const std::string rows(count, fill);
    return WriteAll(file, rows.data(), static_cast<DWORD>(rows.size()));
}

// Leader, label, IN's bytes, trailer. False with the failing step's path.
bool WriteTape(const Options& options, const std::string& label, HANDLE in, HANDLE out,
               const char*& failed)
{
    const char fill = static_cast<char>(options.fill);
    failed = options.out;
    if (!WriteRows(out, options.leader, fill)
        || !WriteAll(out, label.data(), static_cast<DWORD>(label.size())))
        return false;
    std::string chunk(CHUNK, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, &chunk[0], CHUNK, &got, nullptr)) {
            failed = options.in;
            return false;
        }
        if (got == 0)
            break;
        if (!WriteAll(out, chunk.data(), got))
            return false;
    }
    return WriteRows(out, options.trailer, fill);
}

// The folder OUT is in, for the temporary file: it must be on OUT's volume
// for the rename to replace OUT in one step.
std::string FolderOf(const char* path)
{
    char full[MAX_PATH];
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, &name);
    if (length == 0 || length >= MAX_PATH || !name)
        return ".";
    return std::string(full, name);
}

int Prepare(const Options& options, const std::string& label)
{
    const HANDLE in = CreateFileA(options.in, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return Fail("cannot read", options.in);
    if (SameFile(in, options.out)) {
        CloseHandle(in);
        std::fprintf(stderr, "tapeprep: %s and %s are the same file\n", options.in, options.out);
        return EXIT_FAILED;
    }
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(FolderOf(options.out).c_str(), "tpp", 0, temporary)) {
        CloseHandle(in);
        return Fail("cannot write", options.out);
    }
    const HANDLE out = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    const char* failed = options.out;
    bool done = out != INVALID_HANDLE_VALUE && WriteTape(options, label, in, out, failed);
    // The failing step's error, kept from the clean-up's calls.
    DWORD error = done ? 0 : GetLastError();
    if (out != INVALID_HANDLE_VALUE && !CloseHandle(out) && done) {
        done = false;
        error = GetLastError();
    }
    CloseHandle(in);
    if (done && !MoveFileExA(temporary, options.out, MOVEFILE_REPLACE_EXISTING)) {
        done = false;
        error = GetLastError();
    }
    if (done)
        return 0;
    DeleteFileA(temporary);
    SetLastError(error);
    return Fail(failed == options.in ? "cannot read" : "cannot write", failed);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string first = argc > 1 ? argv[1] : "";
    if (argc == 2 && first == "--help") {
        std::fputs(USAGE, stdout);
        std::fputs(HELP, stdout);
        return 0;
    }
    if (argc == 2 && first == "--version") {
        std::printf("tapeprep %s\n", TAPELARK_VERSION);
        return 0;
    }
    Options options;
    const int usage = ParseOptions(argc, argv, options);
    if (usage >= 0)
        return usage;
    std::string label;
    char refused = 0;
    if (options.label && !*options.label)
        return Usage("--label needs some text", "");
    if (options.label && !LabelRows(options.label, static_cast<unsigned char>(options.fill), label,
                                    refused)) {
        char named[32];
        std::snprintf(named, sizeof named, "\"%c\" (0x%02X)", refused,
                      static_cast<unsigned char>(refused));
        return Usage("the label cannot have the character ", named);
    }
    return Prepare(options, label);
}
