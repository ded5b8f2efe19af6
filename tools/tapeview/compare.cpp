// A tape against what a reader read back from it: leader and trailer left
// out, since a reader adds or loses blank rows there.
#include "tapeview.h"

#include "tape_row.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t ROWS_AROUND = 3;

// The part between the runs of trim at either end.
struct Middle {
    const unsigned char* bytes;
    std::size_t start;  // offset of its first byte in the file
    std::size_t length;
};

Middle Trimmed(const unsigned char* bytes, std::size_t size, unsigned char trim)
{
    std::size_t start = 0, end = size;
    while (start < end && bytes[start] == trim)
        ++start;
    while (end > start && bytes[end - 1] == trim)
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

} // namespace

int CompareTapes(const unsigned char* expectedBytes, std::size_t expectedSize,
                 const char* expectedName, const unsigned char* actualBytes,
                 std::size_t actualSize, const char* actualName, unsigned char trim)
{
    const Middle expected = Trimmed(expectedBytes, expectedSize, trim);
    const Middle actual = Trimmed(actualBytes, actualSize, trim);
    const std::size_t common = expected.length < actual.length ? expected.length : actual.length;
    std::size_t same = 0;
    while (same < common
           && expected.bytes[expected.start + same] == actual.bytes[actual.start + same])
        ++same;
    if (same == expected.length && same == actual.length) {
        std::printf("The same: %lu bytes compared, without the rows of %02X at either end.\n",
                    static_cast<unsigned long>(same), trim);
        return 0;
    }
    const unsigned long at = static_cast<unsigned long>(expected.start + same);
    if (same < common)
        std::printf("First difference at offset %lu of %s: %02X there, %02X read back\n"
                    "(offset %lu of %s).\n",
                    at, expectedName, expected.bytes[at], actual.bytes[actual.start + same],
                    static_cast<unsigned long>(actual.start + same), actualName);
    if (actual.length < expected.length)
        std::printf("%s ends early, at offset %lu of %s:\n%lu more bytes were not read.\n",
                    actualName, static_cast<unsigned long>(expected.start + actual.length),
                    expectedName, static_cast<unsigned long>(expected.length - actual.length));
    if (same < expected.length)
        std::printf("Offset %lu is the count of bytes before it: tapeprep --from %lu makes a\n"
                    "repair piece that starts there.\n",
                    at, at);
    if (actual.length > expected.length)
        std::printf("%s goes on too long:\n%lu bytes more than %s, from its offset %lu.\n",
                    actualName, static_cast<unsigned long>(actual.length - expected.length),
                    expectedName, static_cast<unsigned long>(actual.start + expected.length));
    ShowAround(expected, actual, same);
    return 1;
}
