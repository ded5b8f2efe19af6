#include "tool_common.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

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

std::string WindowsErrorText(DWORD error)
{
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, sizeof text, nullptr);
    std::string result = text;
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}
