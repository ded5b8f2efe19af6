#include "trace.h"

#include <cstdio>
#include <cstring>

int FormatTraceLine(const TraceLine& line, char* text, std::size_t size)
{
    const char* op = line.isIn ? "in" : "out";
    if (line.isIn && line.repeats > 1)
        return std::snprintf(text, size, "%llu %s %03x %02x x%llu\n", line.micros, op, line.port,
                             line.value, line.repeats);
    return std::snprintf(text, size, "%llu %s %03x %02x\n", line.micros, op, line.port,
                         line.value);
}

int FormatTraceError(const char* problem, char* text, std::size_t size)
{
    return std::snprintf(text, size, "ERROR %s\n", problem);
}

namespace {

// Digits in base 10 or 16 from at; false when there are none or too many.
bool Number(const char*& at, const char* end, unsigned base, unsigned long long limit,
            unsigned long long& value)
{
    value = 0;
    const char* start = at;
    for (; at < end; ++at) {
        const char c = *at;
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (value > (limit - digit) / base)
            return false;
        value = value * base + digit;
    }
    return at > start;
}

bool TakeText(const char*& at, const char* end, const char* word)
{
    const std::size_t length = std::strlen(word);
    if (static_cast<std::size_t>(end - at) < length || std::memcmp(at, word, length) != 0)
        return false;
    at += length;
    return true;
}

} // namespace

bool ParseTraceLine(const char* text, std::size_t length, TraceLine& line)
{
    const char* at = text;
    const char* end = text + length;
    if (end > at && end[-1] == '\n')
        --end;
    if (end > at && end[-1] == '\r')
        --end;
    unsigned long long micros, port, value, repeats = 1;
    bool isIn = false;
    if (!Number(at, end, 10, ~0ULL, micros) || !TakeText(at, end, " ")
        || !((isIn = TakeText(at, end, "in")) || TakeText(at, end, "out"))
        || !TakeText(at, end, " ") || !Number(at, end, 16, 0xFFFF, port) || !TakeText(at, end, " ")
        || !Number(at, end, 16, 0xFF, value))
        return false;
    if (isIn && TakeText(at, end, " x") && !Number(at, end, 10, ~0ULL, repeats))
        return false;
    if (at != end)
        return false;
    line = {micros, isIn, static_cast<unsigned>(port), static_cast<unsigned>(value), repeats};
    return true;
}

void ForEachTraceLine(const char* text, std::size_t length, TraceVisitor visit, void* context)
{
    const char* end = text + length;
    while (text < end) {
        const char* next = static_cast<const char*>(std::memchr(text, '\n', end - text));
        const char* lineEnd = next ? next : end;
        std::size_t size = static_cast<std::size_t>(lineEnd - text);
        if (size > 0 && text[size - 1] == '\r')
            --size;
        TraceLine line;
        visit(ParseTraceLine(text, size, line) ? &line : nullptr, text, size, context);
        text = next ? next + 1 : end;
    }
}

namespace {

struct Collected {
    TraceLine* lines;
    std::size_t capacity;
    std::size_t count;
    std::size_t unread;
};

void Collect(const TraceLine* line, const char*, std::size_t, void* context)
{
    Collected& collected = *static_cast<Collected*>(context);
    if (!line) {
        ++collected.unread;
        return;
    }
    if (collected.count < collected.capacity)
        collected.lines[collected.count] = *line;
    ++collected.count;
}

} // namespace

std::size_t ParseTrace(const char* text, std::size_t length, TraceLine* lines,
                       std::size_t capacity, std::size_t* unread)
{
    Collected collected = {lines, capacity, 0, 0};
    ForEachTraceLine(text, length, Collect, &collected);
    if (unread)
        *unread = collected.unread;
    return collected.count;
}
