// Writes OUT through a safe output for good, a little at a time, after
// printing "writing": Ctrl+C is the only way it ends.
//   safe_output_steps OUT
#include "safe_output.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    SafeOutput out;
    if (argc != 2 || !OpenSafeOutput(out, argv[1], nullptr, 0))
        return 2;
    std::printf("writing\n");
    std::fflush(stdout);
    static const char chunk[4096] = {};
    while (WriteSafeOutput(out, chunk, sizeof chunk))
        Sleep(1);
    return 1;
}
