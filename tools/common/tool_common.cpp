#include "tool_common.h"

#include <algorithm>
#include <cstdarg>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

bool ParseNumber(const char* text, unsigned long min, unsigned long max, bool hex,
                 unsigned long& number)
{
    if (!text)
        return false;
    const bool isHex = hex && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* digits = isHex ? text + 2 : text;
    // strtoul would take a sign or leading spaces.
    const unsigned char lead = static_cast<unsigned char>(*digits);
    if (!(isHex ? std::isxdigit(lead) : std::isdigit(lead)))
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(digits, &end, isHex ? 16 : 10);
    if (*end != '\0' || errno != 0 || value < min || value > max)
        return false;
    number = value;
    return true;
}

bool ParseNumberW(const wchar_t* text, unsigned long min, unsigned long max, bool hex,
                  unsigned long& number)
{
    // A number is plain ASCII: anything else already makes it wrong.
    char narrow[32];
    std::size_t at = 0;
    for (; text && text[at]; ++at) {
        if (at + 1 == sizeof narrow || text[at] > 0x7F)
            return false;
        narrow[at] = static_cast<char>(text[at]);
    }
    narrow[at] = '\0';
    return text && ParseNumber(narrow, min, max, hex, number);
}

const char* WindowsErrorText(DWORD error, char* text, std::size_t size)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, static_cast<DWORD>(size), nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r'
                          || text[length - 1] == ' ' || text[length - 1] == '.'))
        --length;
    if (size > 0)
        text[length] = '\0';
    return text;
}

const char* ErrorReason(DWORD error, char* text, std::size_t size)
{
    const char* plain = nullptr;
    switch (error) {
    case ERROR_FILE_NOT_FOUND: plain = "not found"; break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: plain = "no such folder, or not a valid name"; break;
    case ERROR_ACCESS_DENIED: plain = "access denied (read-only, a folder, or not yours)"; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: plain = "in use by another program; close it there first"; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: plain = "the disk is full"; break;
    case ERROR_WRITE_PROTECT: plain = "the disk is write-protected"; break;
    case ERROR_NOT_READY: plain = "the drive is not ready"; break;
    case ERROR_FILENAME_EXCED_RANGE: plain = "the path is too long"; break;
    default: break;
    }
    if (plain) {
        std::snprintf(text, size, "%s", plain);
        return text;
    }
    char windows[160];
    WindowsErrorText(error, windows, sizeof windows);
    std::snprintf(text, size, "%s (Windows error %lu)", windows[0] ? windows : "failed", error);
    return text;
}

const char* NarrowPath(const wchar_t* path, char* text, std::size_t size)
{
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0)
        codePage = CP_ACP;
    if (size == 0)
        return text;
    if (WideCharToMultiByte(codePage, 0, path, -1, text, static_cast<int>(size), nullptr, nullptr)
        == 0) {
        // Too long: as much as fits, at up to two bytes a character.
        const int keep = static_cast<int>(std::min(std::wcslen(path), (size - 1) / 2));
        const int length = WideCharToMultiByte(codePage, 0, path, keep, text,
                                               static_cast<int>(size) - 1, nullptr, nullptr);
        text[length] = '\0';
    }
    return text;
}

const char* AsciiArgument(const wchar_t* argument, char* text, std::size_t size)
{
    std::size_t i = 0;
    for (; argument[i] && i + 1 < size; ++i)
        text[i] = argument[i] < 0x80 ? static_cast<char>(argument[i]) : '?';
    text[i] = '\0';
    return text;
}

int CommandLineError(const char* tool, const char* usage, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::fprintf(stderr, "%s: ", tool);
    std::vfprintf(stderr, format, args);
    std::fprintf(stderr, "\n%s", usage);
    va_end(args);
    return 2;
}
