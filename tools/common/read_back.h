// What a tape read back tells: the loader format it holds, checked, and
// how it compares with the file it was punched from.
#pragma once

#include <cstddef>

// Compares a tape with what a reader read back, leaving out the runs of
// trim at the start and end of each; prints the verdict to stdout. Returns
// 0 when they are the same, 1 when they differ.
int CompareTapes(const unsigned char* expected, std::size_t expectedSize, const char* expectedName,
                 const unsigned char* actual, std::size_t actualSize, const char* actualName,
                 unsigned char trim);

// Checks a tape against the loader format it holds and prints the verdict
// to stdout: what it loads and where its parts lie, or the first fault,
// its offset and its distance from the tape's start. Returns 0 when it
// checks, 1 on a fault or a tape of no format.
int CheckFormat(const unsigned char* bytes, std::size_t size, const char* name);
