// Intel hex on paper tape: records of ASCII hex digits, each with its
// checksum, an end record last, NUL leader and trailer. Channel 8 may carry
// a parity, which must then hold on every row of the text.
#include "format_checks.h"

#include "tape_row.h"

#include <cstdio>

namespace {

constexpr unsigned char MARK = ':';
constexpr unsigned char CHANNEL_8 = 0x80;
constexpr unsigned ALL_PARITIES = 0xF;  // one bit per Parity

struct HexReader {
    const unsigned char* bytes;
    std::size_t size;
    FormatCheck& check;
    unsigned parities;  // the codes the rows so far agree with
};

// A frame as a person reads it: "'G' (hex 47)", or "hex 8D".
const char* Shown(unsigned char frame, char* text, std::size_t size)
{
    const unsigned char c = frame & 0x7F;
    if (Printable(c))
        std::snprintf(text, size, "'%c' (hex %02X)", c, frame);
    else
        std::snprintf(text, size, "hex %02X", frame);
    return text;
}

// The codes whose channel 8 a frame has.
unsigned Parities(unsigned char frame)
{
    bool odd = false;
    for (unsigned bits = frame; bits; bits >>= 1)
        odd = odd != (bits & 1);
    const bool mark = (frame & CHANNEL_8) != 0;
    return 1u << static_cast<int>(mark ? Parity::MARK : Parity::SPACE)
           | 1u << static_cast<int>(odd ? Parity::ODD : Parity::EVEN);
}

// The codes of a set, "ascii-space or ascii-even".
const char* ParityNames(unsigned parities, char* text, std::size_t size)
{
    std::size_t at = 0;
    text[0] = '\0';
    for (int parity = 0; parity < 4; ++parity)
        if (parities & 1u << parity)
            at += std::snprintf(text + at, size - at, "%s%s", at ? " or " : "",
                                ParityName(static_cast<Parity>(parity)));
    return text;
}

constexpr int END = -1;      // no row there: the tape has ended
constexpr int FAULTED = -2;  // the fault is set

// The text character at offset at, its channel 8 checked against the rows
// before. The end of the tape is a fault when inside names what it is in.
int CheckedChar(HexReader& r, std::size_t at, const char* inside)
{
    if (at >= r.size) {
        if (!inside)
            return END;
        Fault(r.check, r.size, "the end of the tape inside %s\nthe rest of it", inside);
        return FAULTED;
    }
    const unsigned agree = r.parities & Parities(r.bytes[at]);
    if (!agree) {
        char names[64];
        Fault(r.check, at, "hex %02X: channel 8 breaks the parity\n"
              "channel 8 as the rows before have it (%s)", r.bytes[at],
              ParityNames(r.parities, names, sizeof names));
        return FAULTED;
    }
    r.parities = agree;
    return r.bytes[at] & 0x7F;
}

// Two hex digits at offset at, added to sum.
bool HexByte(HexReader& r, std::size_t at, unsigned& value, unsigned& sum)
{
    value = 0;
    for (std::size_t i = at; i < at + 2; ++i) {
        const int c = CheckedChar(r, i, "the record");
        if (c == FAULTED)
            return false;
        const bool digit = c >= '0' && c <= '9', letter = c >= 'A' && c <= 'F';
        if (!digit && !letter) {
            char shown[24];
            return Fault(r.check, i, "%s\na hex digit, 0 to 9 or A to F",
                         Shown(r.bytes[i], shown, sizeof shown));
        }
        value = value << 4 | static_cast<unsigned>(digit ? c - '0' : c - 'A' + 10);
    }
    sum += value;
    return true;
}

// The line end after a record's checksum at at; sets at after it.
bool LineEnd(HexReader& r, std::size_t& at, bool anyLineEnd)
{
    const int cr = CheckedChar(r, at, nullptr);
    const int lf = cr == '\r' ? CheckedChar(r, at + 1, nullptr) : END;
    if (cr == FAULTED || lf == FAULTED)
        return false;
    const bool ends = anyLineEnd ? cr == '\r' || cr == '\n' : cr == '\r' && lf == '\n';
    if (!ends) {
        const std::size_t wrong = cr == '\r' ? at + 1 : at;
        // A line end of CR or LF alone is what --newline crlf mends.
        const bool mends = cr == '\n' || cr == '\r';
        char shown[24];
        return Fault(r.check, wrong, "%s after the checksum\n%s to end the record",
                     wrong < r.size ? Shown(r.bytes[wrong], shown, sizeof shown)
                                    : "the end of the tape",
                     anyLineEnd ? "a line end"
                     : mends    ? "CR LF (tapeprep --newline crlf makes it)"
                                : "CR LF");
    }
    at += cr == '\r' && lf == '\n' ? 2 : 1;
    return true;
}

// Types 02 to 05 are the 16- and 32-bit forms': what an 8-bit loader
// would do with one, and what mends the file.
bool LaterType(HexReader& r, std::size_t at, unsigned type, unsigned long value)
{
    r.check.faultWhole = true;
    if (type == 3 || type == 5)
        return Fault(r.check, at, "record type %02X, a start address\n00 (data) or 01 (end), "
                     "as an 8-bit loader takes: delete the line;\n"
                     "it starts where the end record says", type);
    if (value == 0)
        return Fault(r.check, at, "record type %02X, an address base of 0\n00 (data) or 01 "
                     "(end), as an 8-bit loader takes: delete the line,\n"
                     "which moves no data", type);
    return Fault(r.check, at, "record type %02X, an address base of %04lX\n00 (data) or 01 "
                 "(end): the data after it lies above 64 KiB,\n"
                 "beyond what an 8-bit loader addresses", type, value);
}

// The record at at; sets at after its line end, and ended at the end
// record, after which the loader reads nothing, not even a line end.
bool Record(HexReader& r, std::size_t& at, bool anyLineEnd, bool& ended)
{
    unsigned length = 0, high = 0, low = 0, type = 0, sum = 0, value = 0;
    if (!HexByte(r, at + 1, length, sum) || !HexByte(r, at + 3, high, sum)
        || !HexByte(r, at + 5, low, sum) || !HexByte(r, at + 7, type, sum))
        return false;
    const unsigned long address = high << 8 | low;
    unsigned long data = 0;  // its first two bytes, for types 02 and 04
    for (unsigned i = 0; i < length; ++i) {
        if (!HexByte(r, at + 9 + 2 * i, value, sum))
            return false;
        data = i < 2 ? data << 8 | value : data;
    }
    const std::size_t checksum = at + 9 + 2 * length;
    if (!HexByte(r, checksum, value, sum))
        return false;
    r.check.faultWhole = true;
    if (sum & 0xFF)
        return Fault(r.check, checksum, "checksum %02X\n"
                     "%02X: the two's complement of the sum of the record's bytes", value,
                     (value - sum) & 0xFF);
    if (type > 5)
        return Fault(r.check, at + 7, "record type %02X\n00 (data) or 01 (end)", type);
    if (type > 1)
        return LaterType(r, at + 7, type, data);
    if (type == 1 && length)
        return Fault(r.check, at + 1, "an end record with %u data bytes\n"
                     "00: the end record holds no data", length);
    if (length && address + length - 1 > 0xFFFF)
        return Fault(r.check, at + 3, "data from %04lX past FFFF\n"
                     "a record within the 64 KiB the format addresses", address);
    at = checksum + 2;
    ended = type == 1;
    if (ended) {
        r.check.hasStart = true;
        r.check.start = address;
    } else if (length) {
        Loads(r.check, address, address + length - 1);
    }
    if (!ended && !LineEnd(r, at, anyLineEnd))
        return false;
    r.check.faultWhole = false;
    return true;
}

} // namespace

bool CheckIntelHex(const unsigned char* bytes, std::size_t size, bool anyLineEnd,
                   FormatCheck& check)
{
    std::size_t at = 0;
    while (at < size && (bytes[at] & 0x7F) != MARK)
        ++at;
    check.leader = at;
    while (check.leader > 0 && (bytes[check.leader - 1] & 0x7F) == 0)
        --check.leader;
    if (at == size)
        return Fault(check, size, "no record mark (:)\na record, :LLAAAATT, data and checksum");
    BeginSection(check, at);
    HexReader r = {bytes, size, check, ALL_PARITIES};
    char shown[24];
    for (bool ended = false; !ended;) {
        if (CheckedChar(r, at, nullptr) == FAULTED || !Record(r, at, anyLineEnd, ended))
            return false;
        check.checked = ++check.units;
        // Between records: line ends and NULs.
        for (int c = 0; !ended && (c = CheckedChar(r, at, nullptr)) != MARK; ++at) {
            if (c == FAULTED)
                return false;
            if (c == END)
                return Fault(check, size, "the end of the tape after record %lu\n"
                             "the end record, :00000001FF", check.units);
            if (c != '\r' && c != '\n' && c != 0)
                return Fault(check, at, "%s between records\n':', the start of a record",
                             Shown(bytes[at], shown, sizeof shown));
        }
    }
    // The end record's line end, if it has one, goes with it.
    for (int ends = 0; ends < 2 && at < size && ((bytes[at] & 0x7F) == '\r'
                                                 || (bytes[at] & 0x7F) == '\n'); ++ends)
        ++at;
    int parity = 0;
    while (!(r.parities & 1u << parity))
        ++parity;
    check.parity = static_cast<Parity>(parity);
    check.leaderCode = check.parity == Parity::MARK || check.parity == Parity::ODD ? CHANNEL_8 : 0;
    EndSection(check, at);
    StopsAt(check, bytes, size, at);
    return true;
}
