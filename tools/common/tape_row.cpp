#include "tape_row.h"

#include <cstdio>

namespace {

// Across the tape from the left edge: channels 8 to 4, the feed hole,
// channels 3 to 1. Channel n carries bit n-1, so a row reads like the byte
// in binary.
constexpr int FEED = -1;
constexpr int TRACKS[] = {7, 6, 5, 4, 3, FEED, 2, 1, 0};
constexpr int TRACK_COUNT = sizeof TRACKS / sizeof TRACKS[0];

} // namespace

int TapeRowHeader(char* text, std::size_t size)
{
    char channels[TRACK_COUNT + 1];
    for (int i = 0; i < TRACK_COUNT; ++i)
        channels[i] = TRACKS[i] == FEED ? ' ' : static_cast<char>('1' + TRACKS[i]);
    channels[TRACK_COUNT] = '\0';
    return std::snprintf(text, size, "offset  %s  hex chr\n", channels);
}

int TapeRowText(unsigned long offset, unsigned char byte, char* text, std::size_t size)
{
    char holes[TRACK_COUNT + 1];
    for (int i = 0; i < TRACK_COUNT; ++i)
        holes[i] = TRACKS[i] == FEED ? '.' : (byte >> TRACKS[i] & 1) ? 'O' : ' ';
    holes[TRACK_COUNT] = '\0';
    if (byte >= 0x20 && byte < 0x7F)
        return std::snprintf(text, size, "%6lu |%s|  %02X  %c\n", offset, holes, byte, byte);
    return std::snprintf(text, size, "%6lu |%s|  %02X\n", offset, holes, byte);
}
