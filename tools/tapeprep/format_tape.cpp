#include "format_tape.h"

#include "text_buffer.h"
#include "tool_common.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr unsigned char RUBOUT = 0377;

// The leader and trailer a format punches, for the refusal of --fill.
const char* LeaderCode(TapeFormat format)
{
    switch (format) {
    case TapeFormat::PDP11_LDA: return "blank rows, 000";
    case TapeFormat::INTEL_HEX: return "NULs in the tape's code";
    default: return "channel 8 alone, 200 octal";
    }
}

int RefuseTape(const FormatJob& job, const unsigned char* bytes, std::size_t size,
               const FormatCheck& check)
{
    char fault[200];
    FaultText(check, fault, sizeof fault);
    std::fprintf(stderr, "tapeprep: %s is not a good %s tape.\n%sNothing was written. ",
                 job.inShown, FormatName(job.format), fault);
    FormatCheck other;
    if (CheckTape(bytes, size, TapeFormat::NONE, false, other))
        std::fprintf(stderr, "It checks as %s: is that its format?\n", FormatName(other.format));
    else
        std::fputs("Mend the file; tapeview text shows its rows.\n", stderr);
    return EXIT_FAILED;
}

// The rows the file gives the tape: its data, in the code asked for. Sets
// converted when it made them, for the caller to free; -1 when the code
// refused a byte, which it has said.
long DataRows(const FormatJob& job, const unsigned char* bytes, const FormatCheck& check,
              const unsigned char*& rows, unsigned char*& converted)
{
    const std::size_t length = check.trailer - check.data;
    rows = bytes + check.data;
    converted = nullptr;
    if (job.code == Code::RAW && job.newline == Newline::KEEP)
        return static_cast<long>(length);
    converted = static_cast<unsigned char*>(std::malloc(2 * length + 1));
    if (!converted) {
        std::fputs("tapeprep: out of memory\n", stderr);
        return -1;
    }
    Conversion conversion;
    StartConversion(conversion, job.code, job.newline);
    SkipBytes(conversion, bytes, check.data);
    unsigned char refused = 0;
    const long count = ConvertBytes(conversion, rows, length, converted, refused);
    if (count < 0)
        RefuseByte(job.inShown, conversion, refused);
    rows = converted;
    return count;
}

// The leader's frame in the code asked for: a NUL, when it is ASCII.
unsigned char LeaderFrame(const FormatJob& job, const FormatCheck& check)
{
    if (job.code == Code::RAW)
        return check.leaderCode;
    Conversion conversion;
    StartConversion(conversion, job.code, Newline::KEEP);
    const unsigned char nul = 0;
    unsigned char frame[2] = {}, refused = 0;
    ConvertBytes(conversion, &nul, 1, frame, refused);
    return frame[0];
}

// The label as the format's loader skips it, wherever the tape is started:
// for the BIN loader between rubouts, which bracket what it skips; for the
// absolute loader with channel 8 on every row, so that no row is the 001
// that starts a block. The Intel loader waits for a ':', which no letter
// has. Returns the rows; free them.
unsigned char* SkippedLabel(TapeFormat format, const unsigned char* label, std::size_t& rows)
{
    const bool bracket = rows && format == TapeFormat::PDP8_BIN;
    unsigned char* skipped = static_cast<unsigned char*>(std::malloc(rows + 2));
    if (!skipped)
        return nullptr;
    for (std::size_t row = 0; row < rows; ++row)
        skipped[bracket + row] = label[row] | (format == TapeFormat::PDP11_LDA ? 0200 : 0);
    if (bracket) {
        skipped[0] = skipped[rows + 1] = RUBOUT;
        rows += 2;
    }
    return skipped;
}

// The label, the leader, the data, the trailer: what lies in the file
// before its leader or after the end the loader would not read, or read
// wrong.
int WriteTape(const FormatJob& job, const unsigned char* bytes, const FormatCheck& check,
              const unsigned char* label, std::size_t labelRows)
{
    const unsigned char* rows = nullptr;
    unsigned char* converted = nullptr;
    const long count = DataRows(job, bytes, check, rows, converted);
    unsigned char* skipped = SkippedLabel(job.format, label, labelRows);
    if (count < 0 || !skipped) {
        if (!skipped)
            std::fputs("tapeprep: out of memory\n", stderr);
        std::free(converted);
        std::free(skipped);
        return EXIT_FAILED;
    }
    const unsigned char leader = LeaderFrame(job, check);
    SafeOutput out;
    const bool done = OpenSafeOutput(out, job.out, &job.in, 1)
                      && WriteSafeOutput(out, skipped, labelRows)
                      && WriteRows(out, job.leader, leader)
                      && WriteSafeOutput(out, rows, static_cast<std::size_t>(count))
                      && WriteRows(out, job.trailer, leader) && FinishSafeOutput(out);
    std::free(converted);
    std::free(skipped);
    if (done)
        return 0;
    std::fprintf(stderr, "tapeprep: %s\n", out.why);
    return EXIT_FAILED;
}

} // namespace

bool FormatOptionsFit(const FormatJob& job, char* why, std::size_t size)
{
    const char* name = FormatName(job.format);
    const bool intel = job.format == TapeFormat::INTEL_HEX;
    const unsigned long needs = MinimumLeader(job.format);
    if (job.hasFill)
        std::snprintf(why, size, "--format %s punches the leader and trailer its loader wants:\n"
                      "%s. Leave out --fill.", name, LeaderCode(job.format));
    else if (job.piece)
        std::snprintf(why, size, "--from and --to make a repair piece, which no loader reads by"
                      " itself:\nmake it from the punched tape's file, without --format.");
    else if (!intel && ((job.hasCode && job.code != Code::RAW) || job.newline != Newline::KEEP))
        std::snprintf(why, size, "%s is binary: its frames are punched as they are, with no\n"
                      "--code or --newline.", name);
    else if (intel && (job.code == Code::ITA2 || job.code == Code::US_TTY))
        std::snprintf(why, size, "intel-hex is ASCII: --code ascii-even, ascii-odd, ascii-mark"
                      " or\nascii-space, or none.");
    else if (intel && job.newline != Newline::KEEP && job.newline != Newline::CRLF)
        std::snprintf(why, size, "intel-hex records end in CR LF: --newline crlf, or none.");
    else if (job.hasLabel && job.format == TapeFormat::PDP8_RIM)
        std::snprintf(why, size, "--label: the RIM loader takes every row without channel 8 for"
                      " half a\nword, letters too. Punch a pdp8-rim tape without a label.");
    else if (job.leader < needs || job.trailer < needs)
        std::snprintf(why, size, "%s needs at least %lu row%s of leader and of trailer:\n%s.",
                      name, needs, needs == 1 ? "" : "s", intel ? "Intel's rule for its hex tapes"
                                         : "the loader starts after the leader and ends at the"
                                           " trailer");
    else
        return true;
    return false;
}

int PrepareFormatted(const FormatJob& job, const unsigned char* label, std::size_t labelRows)
{
    TextBuffer file = {};
    DWORD error = 0;
    if (!ReadWholeFile(job.in, file, error)) {
        FreeBuffer(file);
        SayCannotRead("tapeprep", job.in, error);
        return EXIT_FAILED;
    }
    static const unsigned char EMPTY = 0;
    const unsigned char* bytes =
        file.data ? reinterpret_cast<const unsigned char*>(file.data) : &EMPTY;
    FormatCheck check;
    int result = 0;
    if (!CheckTape(bytes, file.length, job.format, job.newline == Newline::CRLF, check)) {
        result = RefuseTape(job, bytes, file.length, check);
    } else if (job.newline != Newline::KEEP && job.code == Code::RAW
               && check.parity != Parity::SPACE) {
        std::fprintf(stderr, "tapeprep: the records of %s carry a parity in channel 8 (%s):\n"
                     "--newline would add line ends without it. Give the plain text and\n"
                     "the code: --code %s --newline crlf.\n", job.inShown,
                     ParityName(check.parity), ParityName(check.parity));
        result = EXIT_FAILED;
    } else {
        result = WriteTape(job, bytes, check, label, labelRows);
    }
    FreeBuffer(file);
    return result;
}
