// Functions of Windows DLLs looked up when they are first needed rather
// than imported: a DLL that a program needs only now and then (the file
// dialog's, the timer's) then costs nothing at start-up, and a function
// newer than Windows XP does not keep the program from starting there.
#pragma once

#include <windows.h>

// The function, or null when this Windows lacks it.
template <typename Function>
Function LateBound(const char* dll, const char* name)
{
    HMODULE module = GetModuleHandleA(dll);
    if (!module) {
        module = LoadLibraryA(dll);
    }
    return module ? reinterpret_cast<Function>(
                        reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}
