// The outputs of a run under the emulated port, and the trace's folding.
#include "recording.h"

#include <cstdio>

namespace {

// The debug loop must not pay for a system call per trace line.
constexpr std::size_t OUTPUT_CHUNK = 64 * 1024;

// Writes what is buffered; a failed write has removed the file and is
// reported when the output closes.
void WriteBuffered(OutputFile& out)
{
    if (out.open && !WriteSafeOutput(out.file, out.buffer.data, out.buffer.length))
        out.open = false;
    out.buffer.length = 0;
}

void AppendLine(Trace& trace, const TraceLine& line)
{
    char text[64];
    const int length = FormatTraceLine(line, text, sizeof text);
    AppendOutput(trace.out, text, static_cast<std::size_t>(length));
}

void WritePendingRead(Trace& trace)
{
    if (!trace.readPending)
        return;
    AppendLine(trace, trace.pending);
    trace.readPending = false;
}

} // namespace

bool OpenOutput(OutputFile& out, const wchar_t* path, const wchar_t* program)
{
    if (!path)
        return true;
    out.open = OpenSafeOutput(out.file, path, &program, 1);
    if (!out.open)
        std::fprintf(stderr, "portemu: %s\n", out.file.why);
    return out.open;
}

void AppendOutput(OutputFile& out, const void* bytes, std::size_t count)
{
    if (!out.file.path)
        return;
    Append(out.buffer, bytes, count);
    if (out.buffer.length >= OUTPUT_CHUNK)
        WriteBuffered(out);
}

bool CloseOutput(OutputFile& out)
{
    if (!out.file.path)
        return true;
    WriteBuffered(out);
    const bool done = out.open && !out.buffer.failed && FinishSafeOutput(out.file);
    if (!done) {
        if (out.open)
            AbandonSafeOutput(out.file);
        std::fprintf(stderr, "portemu: %s\n", out.file.why[0] ? out.file.why : "out of memory");
    }
    FreeBuffer(out.buffer);
    return done;
}

void AbandonOutput(OutputFile& out)
{
    if (out.open)
        AbandonSafeOutput(out.file);
    out.open = false;
    FreeBuffer(out.buffer);
}

void TraceAccess(Trace& trace, unsigned long long micros, bool isIn, unsigned port, unsigned value)
{
    TraceLine& pending = trace.pending;
    if (isIn && trace.readPending && pending.port == port && pending.value == value) {
        ++pending.repeats;
        return;
    }
    WritePendingRead(trace);
    const TraceLine line = {micros, isIn, port, value, 1};
    if (isIn) {
        trace.readPending = true;
        pending = line;
        return;
    }
    AppendLine(trace, line);
}

void TraceError(Trace& trace, const char* text)
{
    WritePendingRead(trace);
    char line[256];
    const int length = FormatTraceError(text, line, sizeof line);
    AppendOutput(trace.out, line, static_cast<std::size_t>(length));
}

bool CloseTrace(Trace& trace)
{
    WritePendingRead(trace);
    return CloseOutput(trace.out);
}
