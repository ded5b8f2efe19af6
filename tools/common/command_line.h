// The tools' command lines, read against a table of their options: options
// with a value and without, numbers in their ranges, words from a list,
// files; --help, -h, /? and --version; and the refusal that says what was
// wrong, in lines that fit an 80-column console, then the usage.
#pragma once

#include <windows.h>

#include <cstddef>

enum class ValueKind { NONE, TEXT, NUMBER, WORD };

// One option of a table; the parse fills in what the command line gave.
struct Option {
    const char* name;  // "--leader"
    ValueKind kind;
    const char* takes;  // what the value must be, for a refusal: "a byte, 0 to 255"
    unsigned long min;  // NUMBER: its range
    unsigned long max;
    bool hex;                  // NUMBER: 0x hex as well as decimal
    const char* const* words;  // WORD: the words it takes, ending in null
    bool anyCase;              // WORD: LPT1 as well as lpt1
    bool given;
    // NUMBER: the number, its default until given; WORD: the word's index.
    unsigned long number;
    unsigned long wordsGiven;  // WORD: bit n set when word n was given
    const wchar_t* value;      // the value as given
};

Option FlagOption(const char* name);
Option TextOption(const char* name, const char* takes);
Option NumberOption(const char* name, unsigned long min, unsigned long max, bool hex,
                    const char* takes, unsigned long byDefault = 0);
Option WordOption(const char* name, const char* const* words, bool anyCase, const char* takes);

constexpr int MAX_FILES = 3;

// A tool's command line: its table, and what the parse found besides.
struct CommandLine {
    const char* tool;   // "tapeprep", as every refusal starts
    const char* usage;  // printed after a refusal, and before the help
    const char* help;
    int wrongExit;  // the exit code of a wrong command line
    Option* options;
    int optionCount;
    int maxFiles;  // up to MAX_FILES
    int minFiles;
    // The command of a tool that has several (tapeview's), named in
    // refusals; null for a tool of one.
    const char* command;
    bool onceEach;  // an option given twice is refused
    // "--" ends the options; PROGRAM and its arguments follow (portemu).
    bool programAfterDashes;
    const wchar_t* files[MAX_FILES];
    int fileCount;
    int program;  // argv index of PROGRAM, or 0
};

CommandLine ToolCommandLine(const char* tool, const char* usage, const char* help,
                            int wrongExit, Option* options, int optionCount, int maxFiles);

// --help, -h or /? (the usage and the help to stdout), or --version, as
// the only argument: 0, having answered; else -1.
int AnswerHelp(const CommandLine& line, int argc, wchar_t** argv);
// Reads argv from first on, after AnswerHelp when first is 1. -1 when the
// command line is good; else the exit code, having answered or refused.
int ParseCommandLine(CommandLine& line, int argc, wchar_t** argv, int first);

// A wrong command line: "TOOL: " and what was wrong on stderr, broken into
// lines of at most 79 characters, then the usage. Returns line.wrongExit.
int CommandLineError(const CommandLine& line, const char* format, ...)
    __attribute__((format(gnu_printf, 2, 3)));
// "--port takes lpt1, lpt2 or both, not lpt3"; returns line.wrongExit.
int RefuseValue(const CommandLine& line, const Option& option);

// A whole number from min to max: decimal, or also hexadecimal after 0x
// when hex is allowed. False for anything else: no text, a sign, a space,
// characters after the digits, a character beyond ASCII, or a number too
// large to hold.
bool ParseNumberW(const wchar_t* text, unsigned long min, unsigned long max, bool hex,
                  unsigned long& number);
// A wide command line's argument as ASCII, for comparing it with options
// and names: any other character becomes '?', which none has. Returns text.
const char* AsciiArgument(const wchar_t* argument, char* text, std::size_t size);
