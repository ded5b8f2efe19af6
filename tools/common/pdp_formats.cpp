// The DEC loaders' formats: the PDP-8 binary (BIN) and read-in mode (RIM)
// loaders' frames of 6 data bits, and the PDP-11 absolute loader's blocks.
#include "format_checks.h"

namespace {

constexpr unsigned char LEADER = 0200, RUBOUT = 0377;
constexpr unsigned char ORIGIN = 0100;  // channel 7: an origin's first frame

// How a loader takes the frames that are no half of a word; the rest the
// BIN and RIM loaders read alike: a word's first frame of 6 bits, channel 7
// on an origin's, then its second frame raw.
struct Pdp8Rules {
    bool rubouts;      // 377 begins and ends text it skips
    bool fields;       // 300 to 376 set the field, from bits 6 to 4
    bool stops;        // 200 to 277 after a word end a section, whose last
                       // word is its checksum; otherwise skipped as leader
    bool addressEach;  // each data word follows an address of its own
};

// BIN halts at the trailer and CONTINUE reads on; RIM never stops, and
// skips every frame with channel 8.
constexpr Pdp8Rules BIN_RULES = {true, true, true, false};
constexpr Pdp8Rules RIM_RULES = {false, false, false, true};

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
    const Pdp8Rules& rules;
    FormatCheck& check;
    bool inText = false;     // between rubouts: the loader skips it
    std::size_t textAt = 0;  // the rubout that began it
    bool half = false;       // the first frame of a word is read
    unsigned char first = 0;
    std::size_t firstAt = 0;
    std::size_t wordEnd = 0;  // after the last word's second frame
    unsigned field = 0;
    unsigned address = 0;
    bool inSection = false;
    bool haveOrigin = false;  // in this section
    bool expectData = false;  // RIM: an address is read, its data word comes next
    bool haveLast = false;    // a word is read in this section; BIN: last holds it
    Word last = {};
    unsigned long sum = 0;  // BIN: the frames of the words before the last
};

// The word before the last is data or an origin after all: load it.
void Commit(Pdp8Reader& r, const Word& word)
{
    r.sum += word.frames;
    if (word.origin) {
        r.address = word.value;
        return;
    }
    const unsigned long address = static_cast<unsigned long>(word.field) << 12 | r.address;
    Loads(r.check, address, address);
    r.address = (r.address + 1) & 07777;
}

bool BinWord(Pdp8Reader& r, const Word& word)
{
    if (!word.origin && !r.haveOrigin)
        return Fault(r.check, word.at, "a data word before the section's origin\n"
                     "an origin first: channel 7 on its first frame");
    if (r.haveLast)
        Commit(r, r.last);
    r.haveOrigin = r.haveOrigin || word.origin;
    r.last = word;
    return true;
}

// The RIM loader clears its address after each data word it stores.
bool RimWord(Pdp8Reader& r, const Word& word)
{
    if (!r.expectData && !word.origin)
        return Fault(r.check, word.at, "a data word with no address before it\n"
                                       "an address first: RIM gives each data word its own");
    if (word.origin) {
        r.address = word.value;
    } else {
        const unsigned long address = static_cast<unsigned long>(word.field) << 12 | r.address;
        Loads(r.check, address, address);
    }
    r.expectData = word.origin;
    return true;
}

// A word's second frame, read raw: channels 7 and 8 would spill into the
// word, and a rubout there leaves what follows misaligned.
bool SecondFrame(Pdp8Reader& r, std::size_t at)
{
    const unsigned char frame = r.bytes[at];
    char shown[24];
    if (frame == RUBOUT && r.rules.rubouts)
        return Fault(r.check, at, "a rubout (377) inside a word\nthe word's second frame: the "
                     "loader takes the rubout for it,\nand reads what follows misaligned");
    if (frame & 0300)
        return Fault(r.check, at, "%s as a word's second frame\n000 to 077: channels 7 and 8 "
                     "only on a word's first", OctalFrame(frame, shown, sizeof shown));
    r.half = false;
    r.wordEnd = at + 1;
    const Word word = {static_cast<unsigned>((r.first & 077) << 6 | frame),
                       (r.first & ORIGIN) != 0, r.firstAt,
                       static_cast<unsigned>(r.first) + frame, r.field};
    // A fault in the word's order is in a word read whole.
    r.check.faultWhole = true;
    if (!(r.rules.addressEach ? RimWord(r, word) : BinWord(r, word)))
        return false;
    r.check.faultWhole = false;
    r.haveLast = true;
    ++r.check.units;
    if (!r.rules.stops)
        r.check.checked = r.check.units;
    return true;
}

// BIN's section ends: its last word is the checksum.
bool CloseSection(Pdp8Reader& r, std::size_t at)
{
    if (!r.rules.stops) {
        EndSection(r.check, at);
        return true;
    }
    --r.check.units;  // the last word is the checksum, no word of the program
    r.check.faultWhole = true;
    if (r.last.origin)
        return Fault(r.check, r.last.at, "an origin as the last word\n"
                                         "the checksum, a word without channel 7, last");
    const unsigned sum = r.sum & 07777;
    if (r.last.value != sum)
        return Fault(r.check, r.last.at, "checksum %04o\n%04o: the sum of the origin and data "
                                         "frames", r.last.value, sum);
    r.check.faultWhole = false;
    r.check.checked = r.check.units;
    EndSection(r.check, at);
    r.inSection = r.haveOrigin = r.haveLast = false;
    r.sum = 0;
    return true;
}

// A frame as the loader takes it. Sets stopped at BIN's trailer. A section
// begins at its first frame that is not leader: a field setting or text
// before its first word belongs to it.
bool Pdp8Frame(Pdp8Reader& r, std::size_t at, bool& stopped)
{
    const unsigned char frame = r.bytes[at];
    if (r.half)
        return SecondFrame(r, at);
    const bool rubout = frame == RUBOUT && r.rules.rubouts;
    const bool field = (frame & 0300) == 0300 && r.rules.fields && !rubout;
    if (!r.inText && (frame & 0200) && !rubout && !field) {
        stopped = r.rules.stops && r.haveLast;
        return !stopped || CloseSection(r, at);
    }
    if (!r.inSection)
        BeginSection(r.check, at);
    r.inSection = true;
    if (r.inText || rubout) {
        if (!r.inText)
            r.textAt = at;
        r.inText = r.inText != rubout;
    } else if (field) {
        r.field = (frame >> 3) & 7;
    } else {
        r.first = frame;
        r.firstAt = at;
        r.half = true;
    }
    return true;
}

// The tape ends, or only blank rows follow: a word, a pair or text left
// open is a fault; a BIN section ends as at a trailer.
bool Pdp8End(Pdp8Reader& r, std::size_t at)
{
    if (r.inText)
        return Fault(r.check, r.textAt, "a rubout (377) with no second one after it\n"
                                        "a second rubout to end the text the loader skips");
    if (r.half || r.expectData)
        return Fault(r.check, at, "the end of the tape inside %s\nthe %s",
                     r.half ? "a word" : "a pair",
                     r.half ? "word's second frame" : "address's data word");
    if (r.wordEnd == 0)
        return Fault(r.check, at, "the end of the tape with no words\n%s",
                     r.rules.addressEach ? "an address and its data word first"
                                         : "an origin, data and the checksum first");
    return !r.haveLast || CloseSection(r, r.wordEnd);
}

// Whether a word's first frame follows, blank rows aside: the next section.
bool DataAhead(const Pdp8Reader& r, const unsigned char* bytes, std::size_t from,
               std::size_t size)
{
    bool inText = r.inText;
    for (std::size_t at = from; at < size; ++at) {
        if (bytes[at] == RUBOUT && r.rules.rubouts)
            inText = !inText;
        else if (!inText && bytes[at] != 0 && bytes[at] < 0200)
            return true;
    }
    return false;
}

// Where the loader is started: at the first frame of leader (channel 8)
// outside text between rubouts, unless nothing but leader and blank rows
// follows it: then the tape has no leader, and the loader starts at its
// first frame.
std::size_t Pdp8Start(const unsigned char* bytes, std::size_t size, const Pdp8Rules& rules)
{
    bool inText = false;
    std::size_t at = 0;
    for (; at < size; ++at) {
        const bool rubout = bytes[at] == RUBOUT && rules.rubouts;
        if (!inText && !rubout && (bytes[at] & 0200))
            break;
        inText = inText != rubout;
    }
    std::size_t rest = at;
    while (rest < size && ((bytes[rest] & 0200) || bytes[rest] == 0))
        ++rest;
    return rest == size ? 0 : at;
}

} // namespace

bool CheckPdp8(const unsigned char* bytes, std::size_t size, bool rim, FormatCheck& check)
{
    const Pdp8Rules& rules = rim ? RIM_RULES : BIN_RULES;
    check.leaderCode = LEADER;
    check.leader = Pdp8Start(bytes, size, rules);
    Pdp8Reader r = {bytes, rules, check};
    // Blank rows from here to the end are run-out, not words.
    std::size_t blank = size;
    while (blank > check.leader && bytes[blank - 1] == 0)
        --blank;
    for (std::size_t at = check.leader;; ++at) {
        if (at == size || (at >= blank && !r.half && !r.inText)) {
            if (!Pdp8End(r, at))
                return false;
            StopsAt(check, bytes, size, r.wordEnd);
            return true;
        }
        bool stopped = false;
        if (!Pdp8Frame(r, at, stopped))
            return false;
        if (stopped && !DataAhead(r, bytes, at + 1, size)) {
            StopsAt(check, bytes, size, at);
            return true;
        }
    }
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
    check.faultWhole = true;  // its header read: a fault in its count, sum or address
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
    check.faultWhole = false;
    return true;
}

} // namespace

bool CheckPdp11(const unsigned char* bytes, std::size_t size, FormatCheck& check)
{
    std::size_t at = 0;
    while (at < size && bytes[at] != 1)
        ++at;
    check.leader = at;
    while (check.leader > 0 && bytes[check.leader - 1] == 0)
        --check.leader;
    if (at == size)
        return Fault(check, size, "no block\n001 000, the start of a block");
    BeginSection(check, at);
    char shown[24];
    for (unsigned long count = 0, address = 0;;) {
        if (!Pdp11Block(bytes, size, at, check, count, address))
            return false;
        check.checked = ++check.units;
        at += count + 1;
        if (count == 6) {
            check.hasStart = true;
            check.start = address;
            break;
        }
        Loads(check, address, address + count - 7);
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
    // The loader has jumped to the start or halted: it reads no further.
    EndSection(check, at);
    StopsAt(check, bytes, size, at);
    return true;
}
