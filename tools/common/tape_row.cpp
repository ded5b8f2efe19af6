#include "tape_row.h"

#include <cstdio>

int TapeRowHeader(char* text, std::size_t size)
{
    char channels[TRACK_COUNT + 1];
    for (int i = 0; i < TRACK_COUNT; ++i)
        channels[i] = TRACKS[i] == FEED ? ' ' : static_cast<char>('1' + TRACKS[i]);
    channels[TRACK_COUNT] = '\0';
    return std::snprintf(text, size, "offset  %s  hex chr\n", channels);
}

void PrintOffsetPlace(unsigned long offset, unsigned long rows, const char* what)
{
    const unsigned long centi = static_cast<unsigned long>((rows * 254ull + 50) / 100);
    std::printf("Offset %lu is %lu.%lu in (%lu.%lu cm) from the start of the %s.\n", offset,
                rows / 10, rows % 10, centi / 10, centi % 10, what);
}

int TapeRowText(unsigned long offset, unsigned char byte, char* text, std::size_t size,
                const char* shown)
{
    char holes[TRACK_COUNT + 1];
    for (int i = 0; i < TRACK_COUNT; ++i)
        holes[i] = TRACKS[i] == FEED ? '.' : (byte >> TRACKS[i] & 1) ? 'O' : ' ';
    holes[TRACK_COUNT] = '\0';
    const char own[2] = {Printable(byte) ? static_cast<char>(byte) : '\0', '\0'};
    if (!shown)
        shown = own;
    if (*shown)
        return std::snprintf(text, size, "%6lu |%s|  %02X  %s\n", offset, holes, byte, shown);
    return std::snprintf(text, size, "%6lu |%s|  %02X\n", offset, holes, byte);
}
