// tapeprep: a punch-ready copy of a file: leader, an optional label in
// letters, the file's bytes (all or a piece, in the code asked for) and
// trailer; or a test strip of every channel.
#include "format_tape.h"
#include "options.h"
#include "tape_codes.h"
#include "tape_layout.h"
#include "safe_output.h"
#include "tool_common.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD CHUNK = 64 * 1024;

// Channels 1 to 8 each alone, all eight, none.
const unsigned char TEST_ROWS[] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0xFF, 0x00};

int CannotRead(const wchar_t* path, DWORD error)
{
    SayCannotRead("tapeprep", path, error);
    return EXIT_FAILED;
}

} // namespace

bool WriteRows(SafeOutput& out, unsigned long count, unsigned char fill)
{
    static unsigned char rows[MAX_ROWS];
    std::memset(rows, fill, count);
    return WriteSafeOutput(out, rows, count);
}

int RefuseByte(const char* inShown, const Conversion& conversion, unsigned char refused)
{
    std::fprintf(stderr,
                 "tapeprep: %s, line %lu, column %lu: byte 0x%02X %s.\n"
                 "Change the file there, or choose a code that has it (tapeprep --help).\n",
                 inShown, conversion.line, conversion.column, refused,
                 RefusalReason(conversion.code));
    return EXIT_FAILED;
}

namespace {

unsigned char g_chunk[CHUNK];
unsigned char g_converted[2 * CHUNK + 1];

enum class Outcome { DONE, READ_FAILED, WRITE_FAILED, REFUSED };

// IN's bytes from --from to --to in the code asked for.
Outcome WriteData(const Options& options, HANDLE in, SafeOutput& out, Conversion& conversion,
                  unsigned char& refused)
{
    unsigned long long offset = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, g_chunk, CHUNK, &got, nullptr))
            return Outcome::READ_FAILED;
        if (got == 0)
            return Outcome::DONE;
        // This chunk holds IN's bytes offset to end; convert first to last.
        const unsigned long long start = offset, end = offset + got;
        unsigned long long first = start;
        if (first < options.from)
            first = end < options.from ? end : options.from;
        unsigned long long last = end;
        if (options.hasTo && last > options.to)
            last = first > options.to ? first : options.to;
        SkipBytes(conversion, g_chunk, static_cast<size_t>(first - start));
        offset = end;
        const long converted = ConvertBytes(conversion, g_chunk + (first - start),
                                            static_cast<size_t>(last - first), g_converted,
                                            refused);
        if (converted < 0)
            return Outcome::REFUSED;
        if (!WriteSafeOutput(out, g_converted, static_cast<size_t>(converted)))
            return Outcome::WRITE_FAILED;
        if (options.hasTo && offset >= options.to)
            return Outcome::DONE;
    }
}

// Checks --from and --to against IN's size; -1 when they fit.
int CheckRange(const Options& options, HANDLE in)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(in, &size))
        return CannotRead(options.in, GetLastError());
    const unsigned long long bytes = static_cast<unsigned long long>(size.QuadPart);
    const bool fromPast = options.from > bytes, toPast = options.hasTo && options.to > bytes;
    if (!fromPast && !toPast)
        return -1;
    // Past the end means IN is shorter than a count, so its size fits one.
    const unsigned long shorter = static_cast<unsigned long>(bytes);
    std::fprintf(stderr,
                 "tapeprep: --%s %lu is past the end of %s, which has %lu bytes.\n"
                 "Give a count from 0 to %lu; tapeview text shows the file's rows.\n",
                 fromPast ? "from" : "to", fromPast ? options.from : options.to,
                 options.inShown, shorter, shorter);
    return EXIT_FAILED;
}

int Prepare(const Options& options)
{
    HANDLE in = INVALID_HANDLE_VALUE;
    if (!options.testStrip) {
        in = CreateFileW(options.in, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (in == INVALID_HANDLE_VALUE)
            return CannotRead(options.in, GetLastError());
        const int range = CheckRange(options, in);
        if (range >= 0) {
            CloseHandle(in);
            return range;
        }
    }
    SafeOutput out;
    if (!OpenSafeOutput(out, options.out, &options.in, options.testStrip ? 0 : 1)) {
        if (in != INVALID_HANDLE_VALUE)
            CloseHandle(in);
        std::fprintf(stderr, "tapeprep: %s\n", out.why);
        return EXIT_FAILED;
    }
    Conversion conversion;
    StartConversion(conversion, options.code, options.newline);
    unsigned char refused = 0;
    const unsigned char fill = static_cast<unsigned char>(options.fill);
    Outcome outcome = WriteRows(out, options.leader, fill)
                              && WriteSafeOutput(out, options.labelRows, options.labelRowCount)
                          ? Outcome::DONE
                          : Outcome::WRITE_FAILED;
    if (outcome == Outcome::DONE)
        outcome = options.testStrip ? (WriteSafeOutput(out, TEST_ROWS, sizeof TEST_ROWS)
                                           ? Outcome::DONE
                                           : Outcome::WRITE_FAILED)
                                    : WriteData(options, in, out, conversion, refused);
    if (outcome == Outcome::DONE && !WriteRows(out, options.trailer, fill))
        outcome = Outcome::WRITE_FAILED;
    const DWORD error = GetLastError();
    if (in != INVALID_HANDLE_VALUE)
        CloseHandle(in);
    if (outcome == Outcome::DONE && FinishSafeOutput(out))
        return 0;
    if (outcome == Outcome::DONE || outcome == Outcome::WRITE_FAILED) {
        std::fprintf(stderr, "tapeprep: %s\n", out.why);
        return EXIT_FAILED;
    }
    AbandonSafeOutput(out);
    if (outcome == Outcome::READ_FAILED)
        return CannotRead(options.in, error);
    return RefuseByte(options.inShown, conversion, refused);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    static Options options;
    const int usage = ParseOptions(argc, argv, options);
    if (usage >= 0)
        return usage;
    return options.format == TapeFormat::NONE
               ? Prepare(options)
               : PrepareFormatted(FormatJobOf(options), options.labelRows, options.labelRowCount);
}
