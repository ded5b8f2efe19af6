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

// "It loads 00200 to 00277 (octal)", and where the format starts it.
void PrintLoads(const FormatCheck& check)
{
    char low[16], high[16], start[16];
    AddressText(check.format, check.lowest, low, sizeof low);
    AddressText(check.format, check.highest, high, sizeof high);
    AddressText(check.format, check.start, start, sizeof start);
    const char* base = check.format == TapeFormat::INTEL_HEX ? "hex" : "octal";
    if (check.loads)
        std::printf("It loads %s to %s (%s)", low, high, base);
    else
        std::printf("It loads no data");
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

void PrintGood(const FormatCheck& check, std::size_t size, const char* name)
{
    const unsigned long units = check.units;
    std::printf("%s holds a tape in %s, and it checks:\n", name, FormatName(check.format));
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
    PrintLoads(check);
    PrintPart(0, check.leader, "before the leader, which the loader does not read", false);
    PrintPart(check.leader, check.data, "leader", true);
    PrintPart(check.data, check.trailer, "data", false);
    PrintPart(check.trailer, size, "trailer", true);
    const unsigned long needs = MinimumLeader(check.format);
    const unsigned long leader = static_cast<unsigned long>(check.data - check.leader);
    const unsigned long trailer = static_cast<unsigned long>(size - check.trailer);
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
        std::printf("%s holds none of the formats\n%s: no hex records, no PDP-8 leader\n"
                    "(200) before frames of 6 bits, no PDP-11 block (001 000).\n",
                    name, FORMAT_NAMES);
        return 1;
    }
    char fault[200];
    FaultText(check, fault, sizeof fault);
    // 10 rows to the inch: tenths of an inch and of a centimetre.
    const unsigned long at = static_cast<unsigned long>(check.faultAt);
    const unsigned long centi = static_cast<unsigned long>((check.faultAt * 254ull + 50) / 100);
    std::printf("%s holds a tape in %s with a fault:\n%s"
                "Offset %lu is %lu.%lu in (%lu.%lu cm) from the start of the tape.\n",
                name, FormatName(check.format), fault, at, at / 10, at % 10, centi / 10,
                centi % 10);
    PrintAround(bytes, size, check.faultAt);
    return 1;
}
