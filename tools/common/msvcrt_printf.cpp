// printf and friends from Windows' own C library, msvcrt.dll. MinGW's C++
// headers route them to its C99 printf, which would add 24 KiB to a program
// that ships within 64 KiB. Nothing here formats a long long: msvcrt on
// Windows XP lacks %ll.
#include <cstdarg>
#include <cstdio>

extern "C" int __cdecl __mingw_vfprintf(FILE* file, const char* format, va_list args)
{
    return __ms_vfprintf(file, format, args);
}

// With C99's result: the whole text's length, the buffer always terminated.
extern "C" int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format,
                                         va_list args)
{
    va_list again;
    va_copy(again, args);
    const int length = _vscprintf(format, args);
    if (size > 0 && length >= 0) {
        _vsnprintf(buffer, size, format, again);
        buffer[static_cast<size_t>(length) < size ? length : size - 1] = '\0';
    }
    va_end(again);
    return length;
}
