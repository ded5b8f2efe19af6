// A tape against what a reader read back from it: what comes before the
// data and after it left out, since a read starts and ends wherever the
// tape lay in the reader; a row that a reader lost, gained or read wrong
// named as such.
#include "read_back.h"

#include "tape_format.h"
#include "tape_row.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t ROWS_AROUND = 3;

// The data: for a tape in a loader format, from the end of its leader,
// past any lettering before it; without the runs of trim, and of the
// format's leader code, at either end.
struct Middle {
    const unsigned char* bytes;
    std::size_t start;  // offset of its first byte in the file
    std::size_t length;
};

Middle Trimmed(const unsigned char* bytes, std::size_t size, unsigned char trim,
               TapeFormat format)
{
    FormatCheck check;
    std::size_t start = 0, end = size;
    if (format != TapeFormat::NONE) {
        CheckTape(bytes, size, format, true, check);
        start = check.data;
    }
    const unsigned char leader = format != TapeFormat::NONE ? check.leaderCode : trim;
    while (start < end && (bytes[start] == trim || bytes[start] == leader))
        ++start;
    while (end > start && (bytes[end - 1] == trim || bytes[end - 1] == leader))
        --end;
    return {bytes, start, end - start};
}

// The row of the middle's index as text without its line end, or where
// the file has no such row.
void Row(const Middle& middle, std::size_t index, char* text, std::size_t size)
{
    if (index >= middle.length) {
        std::snprintf(text, size, "%s", index == middle.length ? "       (end)" : "");
        return;
    }
    const int length = TapeRowText(static_cast<unsigned long>(middle.start + index),
                                   middle.bytes[middle.start + index], text, size);
    text[length > 0 ? length - 1 : 0] = '\0';
}

// Both files' rows around index, side by side, the row at index marked.
void ShowAround(const Middle& expected, const Middle& actual, std::size_t index)
{
    char left[40], right[40];
    TapeRowHeader(left, sizeof left);
    left[std::strlen(left) - 1] = '\0';
    std::printf("  %-30s  %s\n  %-30s  %s\n", "expected", "read back", left, left);
    const std::size_t first = index > ROWS_AROUND ? index - ROWS_AROUND : 0;
    for (std::size_t i = first; i <= index + ROWS_AROUND; ++i) {
        if (i > expected.length && i > actual.length)
            break;
        Row(expected, i, left, sizeof left);
        Row(actual, i, right, sizeof right);
        if (*right)
            std::printf("%s %-30s  %s\n", i == index ? ">" : " ", left, right);
        else
            std::printf("%s %s\n", i == index ? ">" : " ", left);
    }
}

// "1 row", "2 rows": the count with its noun.
const char* Counted(std::size_t count, const char* noun, char* text, std::size_t size)
{
    std::snprintf(text, size, "%lu %s%s", static_cast<unsigned long>(count), noun,
                  count == 1 ? "" : "s");
    return text;
}

// Rows lost or gained in one place, said with where the two first differ
// when the rest matches shifted past them. Returns whether it was so.
bool ReportShift(const Middle& expected, const char* expectedName, const Middle& actual,
                 const char* actualName, std::size_t same)
{
    const bool lost = actual.length < expected.length;
    const Middle& longer = lost ? expected : actual;
    const Middle& shorter = lost ? actual : expected;
    const std::size_t extra = longer.length - shorter.length, rest = shorter.length - same;
    if (extra == 0 || rest == 0
        || std::memcmp(longer.bytes + longer.start + same + extra,
                       shorter.bytes + shorter.start + same, rest)
               != 0)
        return false;
    char shift[40], matching[40];
    Counted(extra, "row", shift, sizeof shift);
    const unsigned long at = static_cast<unsigned long>(expected.start + same);
    if (lost)
        std::printf("%s lost %s at offset %lu of %s:\n", actualName, shift, at, expectedName);
    else
        std::printf("%s has %s too many at its offset %lu (offset %lu of %s):\n", actualName,
                    shift, static_cast<unsigned long>(actual.start + same), at, expectedName);
    std::printf("they first differ there; the rest (%s) matches shifted by %s.\n",
                Counted(rest, "row", matching, sizeof matching), shift);
    if (!lost && extra == 1 && same > 0
        && actual.bytes[actual.start + same] == actual.bytes[actual.start + same - 1])
        std::printf("The row too many repeats the row before it: a row read twice.\n");
    return true;
}

// One row read wrong, the rest the same: which channel a reader missed or
// saw in it. Returns whether it was so.
bool ReportChanged(const Middle& expected, const Middle& actual, std::size_t same)
{
    const std::size_t rest = expected.length - same - 1;
    if (expected.length != actual.length
        || std::memcmp(expected.bytes + expected.start + same + 1,
                       actual.bytes + actual.start + same + 1, rest)
               != 0)
        return false;
    const unsigned was = expected.bytes[expected.start + same];
    const unsigned read = actual.bytes[actual.start + same];
    const unsigned channels = was ^ read;
    char matching[40];
    std::printf("Only that row differs");
    for (int channel = 1; channel <= 8; ++channel)
        if (channels == 1u << (channel - 1))
            std::printf(": channel %d %s", channel,
                        was & channels ? "punched, not read" : "read, not punched");
    std::printf(";\nthe rest (%s) matches.\n", Counted(rest, "row", matching, sizeof matching));
    return true;
}

} // namespace

int CompareTapes(const unsigned char* expectedBytes, std::size_t expectedSize,
                 const char* expectedName, const unsigned char* actualBytes,
                 std::size_t actualSize, const char* actualName, unsigned char trim)
{
    // The format's rules only for a tape that holds one whole.
    FormatCheck check;
    const TapeFormat format = CheckTape(expectedBytes, expectedSize, TapeFormat::NONE, false, check)
                                  ? check.format
                                  : TapeFormat::NONE;
    const Middle expected = Trimmed(expectedBytes, expectedSize, trim, format);
    const Middle actual = Trimmed(actualBytes, actualSize, trim, format);
    const std::size_t common = expected.length < actual.length ? expected.length : actual.length;
    std::size_t same = 0;
    while (same < common
           && expected.bytes[expected.start + same] == actual.bytes[actual.start + same])
        ++same;
    char count[40];
    if (same == expected.length && same == actual.length) {
        Counted(same, "byte", count, sizeof count);
        if (format == TapeFormat::NONE)
            std::printf("The same: %s compared, without the rows of %02X at either end.\n",
                        count, trim);
        else
            std::printf("The same: %s of %s data compared, without leader and\n"
                        "trailer.\n", count, FormatName(format));
        return 0;
    }
    const unsigned long at = static_cast<unsigned long>(expected.start + same);
    bool explained = ReportShift(expected, expectedName, actual, actualName, same);
    if (!explained && same < common) {
        std::printf("First difference at offset %lu of %s: %02X there, %02X read back\n"
                    "(offset %lu of %s).\n",
                    at, expectedName, expected.bytes[at], actual.bytes[actual.start + same],
                    static_cast<unsigned long>(actual.start + same), actualName);
        explained = ReportChanged(expected, actual, same);
    }
    if (!explained && actual.length < expected.length) {
        const std::size_t unread = expected.length - actual.length;
        std::printf("%s ends early, at offset %lu of %s:\n%s %s not read.\n", actualName,
                    static_cast<unsigned long>(expected.start + actual.length), expectedName,
                    Counted(unread, "more byte", count, sizeof count),
                    unread == 1 ? "was" : "were");
    }
    PrintOffsetPlace(at, static_cast<unsigned long>(same), "data");
    if (same < expected.length)
        std::printf("Offset %lu is the count of bytes before it: tapeprep --from %lu makes a\n"
                    "repair piece that starts there.\n",
                    at, at);
    if (!explained && actual.length > expected.length)
        std::printf("%s goes on too long:\n%s more than %s, from its offset %lu.\n", actualName,
                    Counted(actual.length - expected.length, "byte", count, sizeof count),
                    expectedName, static_cast<unsigned long>(actual.start + expected.length));
    ShowAround(expected, actual, same);
    return 1;
}
