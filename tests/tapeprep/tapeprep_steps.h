// What tapeprep's tests share: the built tapeprep run with its output, and
// the tape it makes of some bytes in a code.
#pragma once

#include "test_support.h"

#include <doctest/doctest.h>

#include <string>

constexpr DWORD RUN_TIMEOUT_MS = 60000;

struct Run {
    DWORD exitCode;
    std::string output;
};

inline Run Tapeprep(const std::string& arguments)
{
    Run run;
    run.exitCode = RunProcessCapturing("\"" + SiblingPath("..\\tapeprep.exe") + "\" " + arguments,
                                       RUN_TIMEOUT_MS, run.output);
    return run;
}

inline std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

// The tape of bytes with no leader or trailer, in the code the options ask for.
inline std::string Coded(const std::string& bytes, const std::string& options)
{
    Folder folder("tapeprep");
    REQUIRE(WriteFileBytes(folder / "in.txt", bytes));
    const Run run = Tapeprep("--leader 0 --trailer 0 " + options + " " + Quoted(folder / "in.txt")
                             + " " + Quoted(folder / "out.bin"));
    INFO(run.output);
    CHECK(run.exitCode == 0);
    return ReadFileBytes(folder / "out.bin");
}
