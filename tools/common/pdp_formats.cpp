// The DEC loaders' formats: the PDP-8 binary (BIN) and read-in mode (RIM)
// loaders' frames of 6 data bits, and the PDP-11 absolute loader's blocks.
#include "format_checks.h"

namespace {

constexpr unsigned char LEADER = 0200, RUBOUT = 0377;
constexpr unsigned char ORIGIN = 0100;  // channel 7: an origin's first frame

// A complete word of two frames, as it waits to be loaded: the last word
// before the trailer is the checksum, not data.
struct Word {
    unsigned value;
    bool origin;
    std::size_t at;
    unsigned frames;  // its two frames summed, for the checksum
    unsigned field;   // the field in force when it was read
};

struct Pdp8Reader {
    const unsigned char* bytes;
    bool rim;
    FormatCheck& check;
    bool inText;      // between rubouts: the loader skips it
    std::size_t textAt;  // the rubout that began it
    bool half;        // the first frame of a word is read
    unsigned char first;
    std::size_t firstAt;
    unsigned field;
    unsigned address;
    bool haveOrigin;
    bool expectData;  // RIM: an address is read, its data word comes next
    bool haveLast;    // a word is read; BIN: last holds it
    Word last;
    unsigned long sum;  // BIN: the frames of the words before the last
};

// The word before the last is data or an origin after all: load it.
void Commit(Pdp8Reader& r, const Word& word)
{
    r.sum += word.frames;
    if (word.origin) {
        r.address = word.value;
        return;
    }
    Loads(r.check, static_cast<unsigned long>(word.field) << 12 | r.address);
    r.address = (r.address + 1) & 07777;
}

bool BinWord(Pdp8Reader& r, const Word& word)
{
    if (!word.origin && !r.haveOrigin)
        return Fault(r.check, word.at,
                     "a data word before any origin\nan origin first: channel 7 on its first frame");
    if (r.haveLast)
        Commit(r, r.last);
    r.haveOrigin = r.haveOrigin || word.origin;
    r.last = word;
    r.haveLast = true;
    return true;
}

bool RimWord(Pdp8Reader& r, const Word& word)
{
    if (r.expectData && word.origin)
        return Fault(r.check, word.at,
                     "a second address (channel 7)\nthe data word of the address before");
    if (!r.expectData && !word.origin)
        return Fault(r.check, word.at, "a data word with no address before it\n"
                                       "an address first: RIM gives each data word its own");
    if (word.origin)
        r.address = word.value;
    else
        Loads(r.check, r.address);
    r.expectData = word.origin;
    r.haveLast = true;
    return true;
}

// A frame of the data: a word's half, a field setting or text between
// rubouts. Sets trailer at the trailer's first frame.
bool Pdp8Frame(Pdp8Reader& r, std::size_t at, std::size_t& trailer)
{
    const unsigned char frame = r.bytes[at];
    char shown[24];
    if (r.inText || (frame == RUBOUT && !r.rim)) {
        if (!r.inText)
            r.textAt = at;
        r.inText = r.inText != (frame == RUBOUT);
        return true;
    }
    if (frame == LEADER && !r.half) {
        trailer = at;
        return true;
    }
    if (frame & 0200) {
        OctalFrame(frame, shown, sizeof shown);
        if (r.rim)
            return Fault(r.check, at, "%s\nan address or data frame, or trailer (200)", shown);
        if (r.half)
            return Fault(r.check, at, "%s\nthe word's second frame, 000 to 077", shown);
        if (!IsFieldSetting(frame))
            return Fault(r.check, at, "%s\ntrailer (200), a field setting (300 to 370) or data",
                         shown);
        r.field = (frame >> 3) & 7;
        return true;
    }
    if (!r.half) {
        r.first = frame;
        r.firstAt = at;
        r.half = true;
        return true;
    }
    if (frame & ORIGIN)
        return Fault(r.check, at, "%s\na word's second frame, 000 to 077: channel 7 only on "
                     "the first", OctalFrame(frame, shown, sizeof shown));
    r.half = false;
    const Word word = {static_cast<unsigned>((r.first & 077) << 6 | frame),
                       (r.first & ORIGIN) != 0, r.firstAt,
                       static_cast<unsigned>(r.first) + frame, r.field};
    if (!(r.rim ? RimWord(r, word) : BinWord(r, word)))
        return false;
    ++r.check.units;
    r.check.origins += word.origin;
    return true;
}

// At the trailer, or the end of the tape: the last word is whole, and for
// BIN it is the checksum.
bool Pdp8End(Pdp8Reader& r, std::size_t at, bool atTrailer)
{
    const char* where = atTrailer ? "the trailer" : "the end of the tape";
    if (r.inText)
        return Fault(r.check, r.textAt, "a rubout (377) with no second one after it\n"
                                        "a second rubout to end the text the loader skips");
    if (r.half || r.expectData)
        return Fault(r.check, at, "%s inside %s\nthe %s", where, r.half ? "a word" : "a pair",
                     r.half ? "word's second frame" : "address's data word");
    if (!r.haveLast)
        return Fault(r.check, at, "%s with no words\n%s", where,
                     r.rim ? "an address and its data word first"
                           : "an origin, data and the checksum first");
    if (r.rim)
        return true;
    --r.check.units;  // the last word is the checksum, no word of the program
    if (r.last.origin)
        return Fault(r.check, r.last.at, "an origin as the last word\n"
                                         "the checksum, a word without channel 7, last");
    const unsigned sum = r.sum & 07777;
    if (r.last.value != sum)
        return Fault(r.check, r.last.at, "checksum %04o\n%04o: the sum of the origin and data "
                                         "frames", r.last.value, sum);
    return true;
}

} // namespace

bool IsFieldSetting(unsigned char frame)
{
    return (frame & 0307) == 0300;
}

void Pdp8Start(const unsigned char* bytes, std::size_t size, std::size_t& leader,
               std::size_t& data)
{
    bool inText = false;
    std::size_t at = 0;
    for (; at < size && (inText || bytes[at] != LEADER); ++at)
        inText = inText != (bytes[at] == RUBOUT);
    std::size_t end = at;
    while (end < size && bytes[end] == LEADER)
        ++end;
    std::size_t rest = end;
    while (rest < size && (bytes[rest] == LEADER || bytes[rest] == 0))
        ++rest;
    // No leader, or only the trailer after the data.
    if (rest == size)
        at = end = 0;
    leader = at;
    data = end;
}

bool CheckPdp8(const unsigned char* bytes, std::size_t size, bool rim, FormatCheck& check)
{
    check.leaderCode = LEADER;
    Pdp8Start(bytes, size, check.leader, check.data);
    Pdp8Reader r = {bytes, rim, check, false, 0, false, 0, 0, 0, 0, false, false, false, {}, 0};
    std::size_t trailer = size;
    for (std::size_t at = check.data; at < size && trailer == size; ++at)
        if (!Pdp8Frame(r, at, trailer))
            return false;
    check.trailer = trailer;
    if (!Pdp8End(r, trailer, trailer < size))
        return false;
    char shown[24];
    for (std::size_t at = trailer; at < size; ++at)
        if (bytes[at] != LEADER && bytes[at] != 0)
            return Fault(check, at, "%s after the trailer\n"
                                    "trailer (200) or blank tape: the loader has stopped",
                         OctalFrame(bytes[at], shown, sizeof shown));
    return true;
}

namespace {

// The block at offset at, its header and checksum checked: its count of
// header and data frames, and its address.
bool Pdp11Block(const unsigned char* bytes, std::size_t size, std::size_t at,
                FormatCheck& check, unsigned long& count, unsigned long& address)
{
    char shown[24];
    if (size - at < 6)
        return Fault(check, size, "the end of the tape in a header\n"
                                  "6 header frames: 001 000, count and address");
    if (bytes[at + 1] != 0)
        return Fault(check, at + 1, "%s after the 001\n000: a block starts 001 000",
                     OctalFrame(bytes[at + 1], shown, sizeof shown));
    count = bytes[at + 2] | bytes[at + 3] << 8;
    address = bytes[at + 4] | bytes[at + 5] << 8;
    if (count < 6)
        return Fault(check, at + 2, "byte count %lu\n"
                     "6 or more: the count includes the 6 header frames", count);
    if (size - at <= count)
        return Fault(check, size, "the end of the tape inside the block\n"
                     "%lu frames more: the count's, then the checksum",
                     static_cast<unsigned long>(count + 1 - (size - at)));
    unsigned sum = 0;
    for (std::size_t i = 0; i <= count; ++i)
        sum += bytes[at + i];
    if (sum & 0xFF)
        return Fault(check, at + count, "checksum %s\n"
                     "octal %03o: the block's frames then sum to 0 modulo 256",
                     OctalFrame(bytes[at + count], shown, sizeof shown),
                     (bytes[at + count] - sum) & 0xFF);
    if (count > 6 && address + count - 7 > 0xFFFF)
        return Fault(check, at + 4, "data from %06lo past 177777\n"
                     "a block within the 64 KiB the loader addresses", address);
    return true;
}

} // namespace

bool CheckPdp11(const unsigned char* bytes, std::size_t size, FormatCheck& check)
{
    std::size_t at = 0;
    while (at < size && bytes[at] != 1)
        ++at;
    check.data = at;
    check.leader = at;
    while (check.leader > 0 && bytes[check.leader - 1] == 0)
        --check.leader;
    if (at == size)
        return Fault(check, size, "no block\n001 000, the start of a block");
    char shown[24];
    for (unsigned long count = 0, address = 0;;) {
        if (!Pdp11Block(bytes, size, at, check, count, address))
            return false;
        ++check.units;
        at += count + 1;
        if (count == 6) {
            check.hasStart = true;
            check.start = address;
            break;
        }
        Loads(check, address);
        Loads(check, address + count - 7);
        while (at < size && bytes[at] == 0)
            ++at;
        if (at == size)
            return Fault(check, size, "the end of the tape after block %lu\n"
                         "the end block: count 6 and the start address", check.units);
        if (bytes[at] != 1)
            return Fault(check, at, "%s between blocks\n"
                         "000, or the 001 that starts the next block",
                         OctalFrame(bytes[at], shown, sizeof shown));
    }
    check.trailer = at;
    for (; at < size; ++at)
        if (bytes[at] != 0)
            return Fault(check, at, "%s after the end block\n"
                         "trailer (000): the loader has stopped",
                         OctalFrame(bytes[at], shown, sizeof shown));
    return true;
}
