// A tool's output file, written so that nothing is ever lost: the bytes go
// to a temporary file beside OUT, which takes OUT's name only when complete.
// OUT naming one of the tool's inputs is refused by file identity (any
// spelling of the path, a hard link). On any failure, and on Ctrl+C,
// Ctrl+Break or the console closing, the temporary file is removed and an
// existing OUT stays as it was.
#pragma once

#include <windows.h>

#include <cstddef>

struct SafeOutput {
    HANDLE file;
    const wchar_t* path;         // OUT, as given
    wchar_t temporary[640];
    SafeOutput* next;            // the other outputs open in this process
    // After a failure: what went wrong and, in plain words, why, e.g.
    // "cannot write out.tape: in use by another program".
    char why[400];
};

// Refuses OUT = one of the inputs (count of them; an input that does not
// exist is not OUT), then opens the temporary file. False, with why set,
// when OUT cannot be written; nothing is then left behind.
bool OpenSafeOutput(SafeOutput& out, const wchar_t* path, const wchar_t* const* inputs,
                    int count);
// False, with why set and the temporary file removed, when a write fails.
bool WriteSafeOutput(SafeOutput& out, const void* bytes, std::size_t count);
// Closes the temporary file and gives it OUT's name, replacing an existing
// OUT. False, with why set and the temporary file removed, when that fails.
bool FinishSafeOutput(SafeOutput& out);
// Removes the temporary file: for a tool that fails on its own side (an
// input that cannot be read); OUT stays as it was.
void AbandonSafeOutput(SafeOutput& out);
