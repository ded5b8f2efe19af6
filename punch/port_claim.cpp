#include "port_claim.h"

// Two programs driving one port would interleave their handshakes into one
// corrupt tape, so each port has a named mutex, held while a program drives
// it: a transfer, or tapecheck putting the port at rest. It is named in the
// Global namespace: with Fast User Switching every session has a Local
// namespace of its own, but all of them share the one port.
HANDLE ClaimPort(PortBase base)
{
    char name[40];
    wsprintfA(name, "Global\\Tapelark.Port.%03X", base);
    // Another user's copy holding the mutex denies us access to it: the
    // port is just as busy.
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (!mutex)
        return nullptr;
    // Abandoned: a copy ended mid-transfer. The port is free, and every
    // transfer starts by putting the port at rest.
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
        return mutex;
    CloseHandle(mutex);
    return nullptr;
}

void ReleasePort(HANDLE claim)
{
    ReleaseMutex(claim);
    CloseHandle(claim);
}
