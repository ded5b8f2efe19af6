// A recording stand-in for the port layer and its clock: every call becomes
// an event, status reads come from a script and time moves only when the
// test says, so a test can play any punch it likes.
#pragma once

#include "port_io.h"
#include "timing.h"

#include <functional>
#include <string>
#include <vector>

enum class PortOp { OpenAccess, CloseAccess, In, Out, Pause, Rest, FineTimingOn, FineTimingOff };

struct PortEvent {
    PortOp op;
    unsigned address; // In and Out only
    unsigned value;   // the byte for In and Out, milliseconds for Pause
};

std::string DescribeEvent(const PortEvent& event);

struct FakePort {
    bool accessGranted = true;
    // Status values read in turn; once used up, every read gives idleStatus.
    std::vector<unsigned> statusScript;
    unsigned idleStatus = 0x7F;
    // Runs after each event is recorded: lets a test act mid-transfer.
    std::function<void(const PortEvent&)> onEvent;
    // The punch clock: pauses and rests move it on, and so may onEvent.
    DWORD clockMs = GetTickCount();
    std::vector<PortEvent> events;
    size_t statusReads = 0;
};

// The fake that the port functions record into; reset before each test.
FakePort& Fake();
void ResetFake();

// Compares the recorded events with the expected ones and names the first
// event that differs.
void CheckEvents(const std::vector<PortEvent>& expected);

// The bytes a punch would have taken: the data register's value at each
// control write of 0x00.
std::vector<unsigned> PunchedBytes();
