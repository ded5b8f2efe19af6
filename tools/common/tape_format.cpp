// The formats by name, the format a tape looks like, and the fault as text.
#include "format_checks.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

const char FORMAT_NAMES[] = "pdp8-bin, pdp8-rim, pdp11-lda, intel-hex";

namespace {

const char* const NAMES[] = {"none", "pdp8-bin", "pdp8-rim", "pdp11-lda", "intel-hex"};

bool IsHexText(unsigned char c)
{
    return (c >= '0' && c <= ':') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')
           || c == '\r' || c == '\n' || c == 0;
}

// From its first record mark to its last character nearly all of the tape
// is hex digits, marks and line ends.
bool LooksIntelHex(const unsigned char* bytes, std::size_t size)
{
    std::size_t first = 0, last = size, text = 0;
    while (first < size && (bytes[first] & 0x7F) != ':')
        ++first;
    while (last > first && (bytes[last - 1] & 0x7F) == 0)
        --last;
    for (std::size_t at = first; at < last; ++at)
        text += IsHexText(bytes[at] & 0x7F);
    return last - first >= sizeof ":00000001FF" - 1 && text * 10 >= (last - first) * 9;
}

// Leader of 200, then most frames outside the text between rubouts are
// frames of 6 bits or field settings, up to the trailer.
bool LooksPdp8(const unsigned char* bytes, std::size_t size)
{
    std::size_t leader = 0, data = 0, last = size, frames = 0, counted = 0;
    Pdp8Start(bytes, size, leader, data);
    if (data == 0)
        return false;
    while (last > data && (bytes[last - 1] == 0200 || bytes[last - 1] == 0))
        --last;
    bool inText = false;
    for (std::size_t at = data; at < last; ++at) {
        if (bytes[at] == 0377)
            inText = !inText;
        else if (!inText) {
            ++counted;
            frames += bytes[at] < 0200 || IsFieldSetting(bytes[at]);
        }
    }
    // A rubout whose text never ends leaves nothing to count: still PDP-8.
    return frames * 10 >= counted * 8;
}

bool LooksPdp11(const unsigned char* bytes, std::size_t size)
{
    for (std::size_t at = 0; at + 1 < size; ++at)
        if (bytes[at] == 1 && bytes[at + 1] == 0)
            return true;
    return false;
}

bool CheckAs(const unsigned char* bytes, std::size_t size, TapeFormat format, bool anyLineEnd,
             FormatCheck& check)
{
    check = FormatCheck();
    check.format = format;
    check.trailer = size;
    switch (format) {
    case TapeFormat::PDP8_BIN: check.good = CheckPdp8(bytes, size, false, check); break;
    case TapeFormat::PDP8_RIM: check.good = CheckPdp8(bytes, size, true, check); break;
    case TapeFormat::PDP11_LDA: check.good = CheckPdp11(bytes, size, check); break;
    case TapeFormat::INTEL_HEX: check.good = CheckIntelHex(bytes, size, anyLineEnd, check); break;
    case TapeFormat::NONE: break;
    }
    return check.good;
}

TapeFormat LooksLike(const unsigned char* bytes, std::size_t size)
{
    if (LooksIntelHex(bytes, size))
        return TapeFormat::INTEL_HEX;
    // Its first block whole and right: a PDP-11 tape, whatever its data
    // holds that looks like a PDP-8's.
    FormatCheck blocks;
    if (CheckAs(bytes, size, TapeFormat::PDP11_LDA, false, blocks) || blocks.units > 0)
        return TapeFormat::PDP11_LDA;
    if (LooksPdp8(bytes, size))
        return TapeFormat::PDP8_BIN;
    return LooksPdp11(bytes, size) ? TapeFormat::PDP11_LDA : TapeFormat::NONE;
}

} // namespace

bool FormatByName(const char* name, TapeFormat& format)
{
    for (int i = 1; i < 5; ++i)
        if (std::strcmp(name, NAMES[i]) == 0) {
            format = static_cast<TapeFormat>(i);
            return true;
        }
    return false;
}

const char* FormatName(TapeFormat format)
{
    return NAMES[static_cast<int>(format)];
}

unsigned long MinimumLeader(TapeFormat format)
{
    // The PDP-8 loaders know the data's end by the trailer; Intel asks for 25.
    switch (format) {
    case TapeFormat::PDP8_BIN:
    case TapeFormat::PDP8_RIM: return 1;
    case TapeFormat::INTEL_HEX: return 25;
    default: return 0;
    }
}

const char* ParityName(Parity parity)
{
    static const char* const PARITIES[] = {"ascii-space", "ascii-mark", "ascii-even", "ascii-odd"};
    return PARITIES[static_cast<int>(parity)];
}

bool CheckTape(const unsigned char* bytes, std::size_t size, TapeFormat format, bool anyLineEnd,
               FormatCheck& check)
{
    const bool found = format == TapeFormat::NONE;
    if (found)
        format = LooksLike(bytes, size);
    if (CheckAs(bytes, size, format, anyLineEnd, check) || !found
        || format != TapeFormat::PDP8_BIN)
        return check.good;
    // A RIM tape gives each data word an address of its own: read as BIN,
    // it has about as many origins as data words, where a BIN tape has few.
    FormatCheck rim;
    if (CheckAs(bytes, size, TapeFormat::PDP8_RIM, false, rim)
        || (check.origins > 1 && check.origins * 2 >= check.units - check.origins))
        check = rim;
    return check.good;
}

bool Fault(FormatCheck& check, std::size_t at, const char* format, ...)
{
    char text[sizeof check.found + sizeof check.expects];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const char* newline = std::strchr(text, '\n');
    const std::size_t foundLength = newline ? static_cast<std::size_t>(newline - text) : 0;
    std::snprintf(check.found, sizeof check.found, "%.*s", static_cast<int>(foundLength), text);
    std::snprintf(check.expects, sizeof check.expects, "%s", newline ? newline + 1 : text);
    check.faultAt = at;
    check.faultUnit = check.units + 1;
    return false;
}

const char* OctalFrame(unsigned char frame, char* text, std::size_t size)
{
    std::snprintf(text, size, "octal %03o (hex %02X)", frame, frame);
    return text;
}

void Loads(FormatCheck& check, unsigned long address)
{
    if (!check.loads || address < check.lowest)
        check.lowest = address;
    if (!check.loads || address > check.highest)
        check.highest = address;
    check.loads = true;
}

const char* UnitName(TapeFormat format)
{
    switch (format) {
    case TapeFormat::PDP11_LDA: return "block";
    case TapeFormat::INTEL_HEX: return "record";
    default: return "word";
    }
}

int FaultText(const FormatCheck& check, char* text, std::size_t size)
{
    char where[48];
    const char* unit = UnitName(check.format);
    const unsigned long offset = static_cast<unsigned long>(check.faultAt);
    if (check.faultUnit)
        std::snprintf(where, sizeof where, "%c%s %lu, offset %lu", unit[0] - 'a' + 'A', unit + 1,
                      check.faultUnit, offset);
    else
        std::snprintf(where, sizeof where, "Offset %lu", offset);
    return std::snprintf(text, size, "%s: found %s;\nexpects %s.\n", where, check.found,
                         check.expects);
}

const char* AddressText(TapeFormat format, unsigned long address, char* text, std::size_t size)
{
    const char* form = format == TapeFormat::INTEL_HEX   ? "%04lX"
                       : format == TapeFormat::PDP11_LDA ? "%06lo"
                                                         : "%05lo";
    std::snprintf(text, size, form, address);
    return text;
}
