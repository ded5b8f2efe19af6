// A program that imports a function XP lacks (PowerCreateRequest came with
// Windows 7): the XP import check must refuse it.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#include <windows.h>

int main()
{
    return PowerCreateRequest(nullptr) ? 0 : 1;
}
