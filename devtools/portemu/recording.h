// What a run under the emulated port leaves: the trace and the punched bytes.
// Output files are written in large pieces through a safe output, and the
// trace's polling reads are folded.
#pragma once

#include "safe_output.h"
#include "text_buffer.h"
#include "trace.h"

struct OutputFile {
    bool open = false;
    SafeOutput file = {};
    TextBuffer buffer = {};
};

// A null path means the output was not asked for. PROGRAM is an input:
// an output may not be written over it. False, having said why, when the
// output cannot be written.
bool OpenOutput(OutputFile& out, const wchar_t* path, const wchar_t* program);
void AppendOutput(OutputFile& out, const void* bytes, std::size_t count);
// False, having said why, when the output could not be written.
bool CloseOutput(OutputFile& out);
// Removes what was written, for a run that did not start; an existing file
// of the name stays as it was.
void AbandonOutput(OutputFile& out);

// Reads in a polling loop come by the thousand: a run of reads of one port
// that return the same value is held back and written as a single line.
struct Trace {
    OutputFile out;
    bool readPending = false;
    TraceLine pending = {};
};

void TraceAccess(Trace& trace, unsigned long long micros, bool isIn, unsigned port, unsigned value);
void TraceError(Trace& trace, const char* text);
// Writes the read held back, and closes the trace file.
bool CloseTrace(Trace& trace);
