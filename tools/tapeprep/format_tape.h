// tapeprep --format: the file checked against its loader's format before a
// row is written, then punched between the format's own leader and trailer.
#pragma once

#include "safe_output.h"
#include "tape_codes.h"
#include "tape_format.h"

#include <windows.h>

#include <cstddef>

constexpr int EXIT_FAILED = 1;

// What tapeprep.cpp lends the formatted tape.
bool WriteRows(SafeOutput& out, unsigned long count, unsigned char fill);
// A byte the code cannot carry, at the conversion's line and column.
int RefuseByte(const char* inShown, const Conversion& conversion, unsigned char refused);

// The command line, as far as the format is concerned.
struct FormatJob {
    TapeFormat format;
    unsigned long leader;
    unsigned long trailer;
    bool hasCode;
    Code code;
    Newline newline;
    bool hasFill;
    bool piece;  // --from or --to
    bool hasLabel;
    const wchar_t* in;
    const wchar_t* out;
    const char* inShown;  // IN as messages name it
};

// False, with the reason in why, when the other options do not go with
// the format.
bool FormatOptionsFit(const FormatJob& job, char* why, std::size_t size);
// Checks IN and writes OUT; the exit code. OUT stays as it was when IN
// does not check.
int PrepareFormatted(const FormatJob& job, const unsigned char* label, std::size_t labelRows);
