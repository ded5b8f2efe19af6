// What tapeprep's tests share: the built tapeprep run with its output, and
// the tape it makes of some bytes in a code.
#pragma once

#include "test_support.h"

#include <doctest/doctest.h>

#include <string>

inline ToolRun Tapeprep(const std::string& arguments)
{
    return RunTool("..\\tapeprep.exe", arguments);
}

// The tape of bytes with no leader or trailer, in the code the options ask for.
inline std::string Coded(const std::string& bytes, const std::string& options)
{
    Folder folder("tapeprep");
    REQUIRE(WriteFileBytes(folder / "in.txt", bytes));
    const ToolRun run = Tapeprep("--leader 0 --trailer 0 " + options + " "
                                 + Quoted(folder / "in.txt") + " " + Quoted(folder / "out.bin"));
    INFO(run.output);
    CHECK(run.exitCode == 0);
    return ReadFileBytes(folder / "out.bin");
}
