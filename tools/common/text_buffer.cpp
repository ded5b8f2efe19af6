#include "text_buffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Room for count more bytes and the closing NUL.
bool Reserve(TextBuffer& buffer, std::size_t count)
{
    if (buffer.failed)
        return false;
    if (buffer.length + count < buffer.capacity)
        return true;
    std::size_t capacity = buffer.capacity ? buffer.capacity : 256;
    while (capacity <= buffer.length + count) {
        if (capacity > static_cast<std::size_t>(-1) / 2) {
            buffer.failed = true;
            return false;
        }
        capacity *= 2;
    }
    char* data = static_cast<char*>(std::realloc(buffer.data, capacity));
    if (!data) {
        buffer.failed = true;
        return false;
    }
    buffer.data = data;
    buffer.capacity = capacity;
    return true;
}

} // namespace

bool Append(TextBuffer& buffer, const void* bytes, std::size_t count)
{
    if (!Reserve(buffer, count))
        return false;
    std::memcpy(buffer.data + buffer.length, bytes, count);
    buffer.length += count;
    buffer.data[buffer.length] = '\0';
    return true;
}

bool AppendF(TextBuffer& buffer, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    const bool ok = length >= 0 && Reserve(buffer, static_cast<std::size_t>(length));
    if (ok) {
        std::vsnprintf(buffer.data + buffer.length, static_cast<std::size_t>(length) + 1, format,
                       again);
        buffer.length += static_cast<std::size_t>(length);
    }
    va_end(again);
    return ok;
}

void FreeBuffer(TextBuffer& buffer)
{
    std::free(buffer.data);
    buffer = TextBuffer();
}

bool ReadWholeFile(const wchar_t* path, TextBuffer& bytes, DWORD& error)
{
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    const DWORD CHUNK = 64 * 1024;
    error = 0;
    for (;;) {
        if (!Reserve(bytes, CHUNK)) {
            error = ERROR_OUTOFMEMORY;
            break;
        }
        DWORD got = 0;
        if (!ReadFile(file, bytes.data + bytes.length, CHUNK, &got, nullptr)) {
            error = GetLastError();
            break;
        }
        bytes.length += got;
        bytes.data[bytes.length] = '\0';
        if (got == 0)
            break;
    }
    CloseHandle(file);
    return error == 0;
}
