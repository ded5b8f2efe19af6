// tapeprep's command line: what it asks for, read and checked against
// itself before a file is opened.
#pragma once

#include "format_tape.h"
#include "tape_codes.h"
#include "tape_format.h"

#include <windows.h>

#include <cstddef>

constexpr unsigned long MAX_ROWS = 100000;

struct Options {
    unsigned long leader;
    unsigned long trailer;
    unsigned long fill;
    unsigned long from;
    unsigned long to;
    bool hasFrom;
    bool hasTo;
    Code code;
    Newline newline;
    bool hasCode;
    bool hasFill;
    TapeFormat format;
    const char* label;  // null without --label
    bool testStrip;
    const wchar_t* in;  // null with --test-strip
    const wchar_t* out;
    char inShown[MAX_PATH * 2];  // IN as messages name it
    char labelText[512];
    // The label's rows, TEST's with --test-strip: 1 + 6 per character.
    unsigned char labelRows[1 + 6 * sizeof labelText];
    std::size_t labelRowCount;
};

// Fills options, which start zeroed; returns -1 when the command line is good, else the exit
// code, having answered --help or --version or said what was wrong.
int ParseOptions(int argc, wchar_t** argv, Options& options);
// The command line as --format sees it.
FormatJob FormatJobOf(const Options& options);
