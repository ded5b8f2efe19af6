// The claim on a port: one program drives a port at a time, a send or
// tapecheck --rest, for as long as it touches the registers.
#pragma once

#include "port_io.h"

// Null when another program holds the port.
HANDLE ClaimPort(PortBase base);
void ReleasePort(HANDLE claim);
