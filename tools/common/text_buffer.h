// A growable buffer of bytes or text in plain memory, for the tools that
// build a picture or read a whole file: appending, also printf-style.
#pragma once

#include <windows.h>

#include <cstddef>

// Start with TextBuffer buffer = {}; free it with FreeBuffer. data is null
// until the first append, then NUL-terminated. After a failed allocation failed is
// set and later appends do nothing, so a caller checks once at the end.
struct TextBuffer {
    char* data;
    std::size_t length;
    std::size_t capacity;
    bool failed;
};

// Appends count bytes; false when memory ran out.
bool Append(TextBuffer& buffer, const void* bytes, std::size_t count);
// Appends the formatted text, without its NUL; false when memory ran out.
bool AppendF(TextBuffer& buffer, const char* format, ...)
    __attribute__((format(gnu_printf, 2, 3)));
void FreeBuffer(TextBuffer& buffer);

// The whole file appended to bytes. False with the Windows error in error
// when it cannot be opened or read (ERROR_OUTOFMEMORY when memory ran out);
// ErrorReason says why in words.
bool ReadWholeFile(const wchar_t* path, TextBuffer& bytes, DWORD& error);
