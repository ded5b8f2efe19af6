#include "tool_common.h"

#include "command_line.h"
#include "port_io.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdio>
#include <cwchar>

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

void SayCannotRead(const char* tool, const wchar_t* path, DWORD error)
{
    char shown[MAX_PATH * 2], reason[300];
    std::fprintf(stderr, "%s: cannot read %s: %s\n", tool, NarrowPath(path, shown, sizeof shown),
                 ErrorReason(error, reason, sizeof reason));
}

namespace {

// Below 100h lie the PC's own timer, interrupt and DMA controllers.
constexpr unsigned LOWEST_PORT = 0x100;
constexpr unsigned HIGHEST_PORT = 0xFFFC;  // its control register at FFFEh

} // namespace

bool ParsePortAddress(const wchar_t* text, unsigned& base)
{
    char word[8];
    if (std::wcslen(text) >= sizeof word)
        return false;
    AsciiArgument(text, word, sizeof word);
    if (!lstrcmpiA(word, "lpt1") || !lstrcmpiA(word, "lpt2")) {
        base = word[3] == '1' ? LPT1_BASE : LPT2_BASE;
        return true;
    }
    std::size_t length = std::strlen(word);
    const char* digits = word;
    if (length > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        digits += 2;
        length -= 2;
    } else if (length > 1 && (word[length - 1] == 'h' || word[length - 1] == 'H')) {
        --length;
    } else {
        return false;
    }
    unsigned value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(digits[i]);
        if (!std::isxdigit(c))
            return false;
        value = value * 16 + (std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    if (value < LOWEST_PORT || value > HIGHEST_PORT || value % 4 != 0)
        return false;
    base = value;
    return true;
}

const char* PortName(unsigned base, char* text, std::size_t size)
{
    if (base == LPT1_BASE || base == LPT2_BASE)
        std::snprintf(text, size, "LPT%c (%Xh)", base == LPT1_BASE ? '1' : '2', base);
    else
        std::snprintf(text, size, "Port %Xh", base);
    return text;
}
