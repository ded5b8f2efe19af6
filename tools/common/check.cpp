// A tape checked against the loader format it holds: what it loads and
// where its parts lie, or the first fault and where to find it on the tape.
#include "read_back.h"

#include "tape_format.h"
#include "tape_row.h"

#include <cstdio>

namespace {

constexpr std::size_t ROWS_AROUND = 3;

const char* Plural(unsigned long count)
{
    return count == 1 ? "" : "s";
}

// "It loads 00200 to 00277 and 10000 to 10017 (octal)", within 79
// columns, and where the format starts it.
void PrintLoads(const FormatCheck& check, const Section& section)
{
    const char* base = check.format == TapeFormat::INTEL_HEX ? "hex" : "octal";
    int column = std::printf("It loads");
    if (section.areaCount == 0)
        column += std::printf(" no data");
    for (unsigned i = 0; i < section.areaCount; ++i) {
        char first[16], last[16], area[48];
        AddressText(check.format, section.areas[i].first, first, sizeof first);
        AddressText(check.format, section.areas[i].last, last, sizeof last);
        const bool final = i + 1 == section.areaCount && !section.moreAreas;
        const bool one = section.areas[i].first == section.areas[i].last;
        const int length = std::snprintf(area, sizeof area, "%s%s%s%s",
                                         i == 0 ? " " : final ? " and " : ", ", first,
                                         one ? "" : " to ", one ? "" : last);
        if (column + length > 66) {
            std::printf("\n ");
            column = 1;
        }
        column += std::printf("%s", area);
    }
    if (section.moreAreas)
        std::printf(" and more areas");
    if (section.areaCount)
        std::printf(" (%s)", base);
    char start[16];
    AddressText(check.format, check.start, start, sizeof start);
    if (!check.hasStart)
        std::printf(".\n");
    else if (check.format == TapeFormat::INTEL_HEX)
        std::printf(";\nits end record gives the start address %s.\n", start);
    else if (check.start & 1)
        std::printf(";\nthe end block's address %s is odd: the loader halts.\n", start);
    else
        std::printf(" and starts at %s.\n", start);
}

void PrintPart(std::size_t from, std::size_t to, const char* what, bool count)
{
    if (from == to)
        return;
    std::printf("  rows %lu to %lu: %s", static_cast<unsigned long>(from),
                static_cast<unsigned long>(to - 1), what);
    if (count)
        std::printf(", %lu row%s", static_cast<unsigned long>(to - from), Plural(to - from));
    std::printf("\n");
}

// What a section holds, each unit checked.
void PrintUnits(const FormatCheck& check, unsigned long units)
{
    if (check.format == TapeFormat::PDP8_BIN)
        std::printf("%lu word%s and the checksum, which is right.\n", units, Plural(units));
    else if (check.format == TapeFormat::PDP8_RIM)
        std::printf("%lu address%s, each with its data word.\n", units / 2,
                    units == 2 ? "" : "es");
    else if (check.format == TapeFormat::PDP11_LDA)
        std::printf("%lu block%s and the end block, every checksum right.\n", units - 1,
                    Plural(units - 1));
    else
        std::printf("%lu record%s and the end record, every checksum right;\n"
                    "channel 8 as --code %s punches it.\n", units - 1, Plural(units - 1),
                    ParityName(check.parity));
}

// A tape of several sections told section by section: the loader halts
// at each trailer, and CONTINUE reads the next.
void PrintSections(const FormatCheck& check)
{
    if (check.sectionCount == 1) {
        PrintUnits(check, check.sections[0].units);
        PrintLoads(check, check.sections[0]);
        return;
    }
    std::printf("%u sections: the loader halts after each, and CONTINUE reads the next.\n",
                check.sectionCount);
    for (unsigned i = 0; i < check.sectionCount && i < MAX_SECTIONS; ++i) {
        const Section& section = check.sections[i];
        std::printf("Section %u, rows %lu to %lu: ", i + 1, static_cast<unsigned long>(section.data),
                    static_cast<unsigned long>(section.trailer - 1));
        PrintUnits(check, section.units);
        PrintLoads(check, section);
    }
    if (check.sectionCount > MAX_SECTIONS)
        std::printf("And %u sections more.\n", check.sectionCount - MAX_SECTIONS);
}

void PrintGood(const FormatCheck& check, std::size_t size, const char* name)
{
    std::printf("%s holds a tape in %s, and it checks:\n", name, FormatName(check.format));
    PrintSections(check);
    PrintPart(0, check.leader, "before the leader, which the loader does not read", false);
    PrintPart(check.leader, check.data, "leader", true);
    PrintPart(check.data, check.trailer, "data", false);
    PrintPart(check.trailer, check.after, "trailer", true);
    PrintPart(check.after, size, "after the end, which the loader does not read", true);
    const unsigned long needs = MinimumLeader(check.format);
    const unsigned long leader = static_cast<unsigned long>(check.data - check.leader);
    const unsigned long trailer = static_cast<unsigned long>(check.after - check.trailer);
    if (leader < needs || trailer < needs)
        std::printf("Note: %lu row%s of leader and %lu of trailer, where the loader needs\n"
                    "%lu: tapeprep --format %s adds them.\n",
                    leader, Plural(leader), trailer, needs, FormatName(check.format));
}

// The rows around the fault, the fault's marked.
void PrintAround(const unsigned char* bytes, std::size_t size, std::size_t at)
{
    char row[40];
    TapeRowHeader(row, sizeof row);
    std::printf("  %s", row);
    const std::size_t first = at > ROWS_AROUND ? at - ROWS_AROUND : 0;
    for (std::size_t i = first; i <= at + ROWS_AROUND && i < size; ++i) {
        TapeRowText(static_cast<unsigned long>(i), bytes[i], row, sizeof row);
        std::printf("%s %s", i == at ? ">" : " ", row);
    }
    if (at == size)
        std::printf(">        (end)\n");
}

} // namespace

int CheckFormat(const unsigned char* bytes, std::size_t size, const char* name)
{
    FormatCheck check;
    if (CheckTape(bytes, size, TapeFormat::NONE, false, check)) {
        PrintGood(check, size, name);
        return 0;
    }
    if (check.format == TapeFormat::NONE) {
        std::printf("%s holds none of the formats\n%s:\n"
                    "it holds no whole record, block or word of any of them.\n",
                    name, FORMAT_NAMES);
        return 1;
    }
    char fault[200];
    FaultText(check, fault, sizeof fault);
    const unsigned long at = static_cast<unsigned long>(check.faultAt);
    std::printf("%s holds a tape in %s with a fault:\n%s", name, FormatName(check.format), fault);
    PrintOffsetPlace(at, at, "tape");
    PrintAround(bytes, size, check.faultAt);
    return 1;
}
