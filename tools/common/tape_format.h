// The loader formats a tape can hold, and a tape checked against one as its
// loader would read it: which format, where the lettering, leader, data
// and trailer lie, what it loads and where it starts, or the first fault.
//   pdp8-bin   PDP-8 binary loader: origins, data words, field settings,
//              text between rubouts, a checksum word; 200 leader, trailer;
//              a section after each trailer, which CONTINUE reads
//   pdp8-rim   PDP-8 read-in mode loader: address and data word pairs
//   pdp11-lda  PDP-11 absolute loader: blocks 001 000 count address data sum
//   intel-hex  Intel hex records :LLAAAATT...CC in ASCII, NUL leader
#pragma once

#include <cstddef>

enum class TapeFormat { NONE, PDP8_BIN, PDP8_RIM, PDP11_LDA, INTEL_HEX };

// The names the command lines take, for messages.
extern const char FORMAT_NAMES[];
// False for a name that is no format.
bool FormatByName(const char* name, TapeFormat& format);
const char* FormatName(TapeFormat format);
// The rows of leader and of trailer the format's loader needs at least.
unsigned long MinimumLeader(TapeFormat format);

// Channel 8 on an intel-hex tape's text, named as tapeprep's codes.
enum class Parity { SPACE, MARK, EVEN, ODD };
const char* ParityName(Parity parity);

// An area of memory a tape loads: its first and last address.
struct LoadArea {
    unsigned long first;
    unsigned long last;
};

constexpr unsigned MAX_AREAS = 6;
constexpr unsigned MAX_SECTIONS = 6;

// What the loader reads between one stop and the next: a pdp8-bin tape's
// sections each end at a trailer, where the loader halts.
struct Section {
    std::size_t data;     // its first frame of data
    std::size_t trailer;  // the frame it ends before
    unsigned long units;
    LoadArea areas[MAX_AREAS];  // in the order of their addresses, joined where they touch
    unsigned areaCount;
    bool moreAreas;  // areas beyond those held
};

struct FormatCheck {
    TapeFormat format;  // NONE when the tape looks like none of them
    bool good;
    // The parts as offsets: lettering the loader does not read before
    // leader, the leader before data, the data before trailer, the trailer
    // before what lies after the end, which the loader does not read.
    std::size_t leader;
    std::size_t data;
    std::size_t trailer;
    std::size_t after;
    unsigned char leaderCode;  // the leader and trailer frame in the tape's code
    Parity parity;             // intel-hex: channel 8 on its text
    unsigned long units;       // words, blocks or records read, each checked
    unsigned long checked;     // those of them every check has passed: BIN's at its checksum
    bool loads;                // false when no data is loaded
    unsigned long lowest;      // the lowest and highest address loaded
    unsigned long highest;
    Section sections[MAX_SECTIONS];  // the first ones, each as it loads
    unsigned sectionCount;           // all of them
    bool hasStart;
    unsigned long start;  // pdp11-lda: odd means the loader halts
    // The first fault: its offset, the word, block or record it lies in
    // (from 1; 0 before the first), what is there and what the format wants.
    std::size_t faultAt;
    unsigned long faultUnit;
    bool faultWhole;  // the unit was read whole: its checksum, order or address is wrong
    char found[64];
    char expects[160];  // may take two lines
};

// Checks all of the tape against format, or against the format it looks
// like for NONE. anyLineEnd lets an intel-hex record end in LF or CR alone,
// as a file whose line ends tapeprep makes CR LF. True when it checks.
bool CheckTape(const unsigned char* bytes, std::size_t size, TapeFormat format, bool anyLineEnd,
               FormatCheck& check);

// "word", "block" or "record".
const char* UnitName(TapeFormat format);
// The fault in two lines with their newlines: "Block 2, offset 305: found
// ...;" and "expects ...". Each stays within 79 columns.
int FaultText(const FormatCheck& check, char* text, std::size_t size);
// An address as the format's makers write it: PDP-8 field and address in
// five octal digits, PDP-11 six octal digits, Intel four hex digits.
const char* AddressText(TapeFormat format, unsigned long address, char* text, std::size_t size);
