// The formats by name, the format a tape looks like, and the fault as text.
#include "format_checks.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

const char FORMAT_NAMES[] = "pdp8-bin, pdp8-rim, pdp11-lda, intel-hex";

namespace {

const char* const NAMES[] = {"none", "pdp8-bin", "pdp8-rim", "pdp11-lda", "intel-hex"};

bool CheckAs(const unsigned char* bytes, std::size_t size, TapeFormat format, bool anyLineEnd,
             FormatCheck& check)
{
    check = FormatCheck();
    check.format = format;
    check.trailer = check.after = size;
    switch (format) {
    case TapeFormat::PDP8_BIN: check.good = CheckPdp8(bytes, size, false, check); break;
    case TapeFormat::PDP8_RIM: check.good = CheckPdp8(bytes, size, true, check); break;
    case TapeFormat::PDP11_LDA: check.good = CheckPdp11(bytes, size, check); break;
    case TapeFormat::INTEL_HEX: check.good = CheckIntelHex(bytes, size, anyLineEnd, check); break;
    case TapeFormat::NONE: break;
    }
    return check.good;
}

// Whether a check that failed got further along the tape than best: its
// fault later, or at the same place after more units that passed.
bool Further(const FormatCheck& check, const FormatCheck& best)
{
    if (check.faultAt != best.faultAt)
        return check.faultAt > best.faultAt;
    return check.checked > best.checked;
}

// The format whose check the tape passes, the most particular first; or
// the one it gets furthest in, with its fault; NONE when every check
// faults before it reads a unit whole.
void CheckEachFormat(const unsigned char* bytes, std::size_t size, FormatCheck& check)
{
    static const TapeFormat ORDER[] = {TapeFormat::INTEL_HEX, TapeFormat::PDP11_LDA,
                                       TapeFormat::PDP8_BIN, TapeFormat::PDP8_RIM};
    FormatCheck each;
    bool any = false;
    for (TapeFormat format : ORDER) {
        if (CheckAs(bytes, size, format, false, each)) {
            check = each;
            return;
        }
        if ((each.faultUnit > 1 || each.faultWhole) && (!any || Further(each, check))) {
            check = each;
            any = true;
        }
    }
    if (!any) {
        check = FormatCheck();
        check.format = TapeFormat::NONE;
    }
}

Section* Current(FormatCheck& check)
{
    const unsigned at = check.sectionCount - 1;
    return check.sectionCount && at < MAX_SECTIONS ? &check.sections[at] : nullptr;
}

// Adds first to last to the section's areas, joined with those it touches.
void AddArea(Section& section, unsigned long first, unsigned long last)
{
    LoadArea* areas = section.areas;
    unsigned& count = section.areaCount;
    unsigned at = 0;
    while (at < count && areas[at].last + 1 < first)
        ++at;
    unsigned end = at;  // past the areas it touches
    for (; end < count && areas[end].first <= last + 1; ++end) {
        first = areas[end].first < first ? areas[end].first : first;
        last = areas[end].last > last ? areas[end].last : last;
    }
    if (end == at && count == MAX_AREAS) {
        section.moreAreas = true;
        return;
    }
    // The areas from end on move to just after the new one.
    const unsigned moved = count - end, to = at + 1;
    if (to > end)
        for (unsigned i = moved; i-- > 0;)
            areas[to + i] = areas[end + i];
    else
        for (unsigned i = 0; i < moved; ++i)
            areas[to + i] = areas[end + i];
    areas[at] = {first, last};
    count = to + moved;
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
    if (format != TapeFormat::NONE)
        return CheckAs(bytes, size, format, anyLineEnd, check);
    CheckEachFormat(bytes, size, check);
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

void Loads(FormatCheck& check, unsigned long first, unsigned long last)
{
    if (!check.loads || first < check.lowest)
        check.lowest = first;
    if (!check.loads || last > check.highest)
        check.highest = last;
    check.loads = true;
    if (Section* section = Current(check))
        AddArea(*section, first, last);
}

void BeginSection(FormatCheck& check, std::size_t data)
{
    if (check.sectionCount == 0)
        check.data = data;
    ++check.sectionCount;
    if (Section* section = Current(check)) {
        *section = Section();
        section->data = data;
        section->units = check.units;
    }
}

void EndSection(FormatCheck& check, std::size_t trailer)
{
    if (Section* section = Current(check)) {
        section->trailer = trailer;
        section->units = check.units - section->units;
    }
}

void StopsAt(FormatCheck& check, const unsigned char* bytes, std::size_t size,
             std::size_t trailer)
{
    check.trailer = check.after = trailer;
    while (check.after < size
           && (bytes[check.after] == 0 || bytes[check.after] == check.leaderCode))
        ++check.after;
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
