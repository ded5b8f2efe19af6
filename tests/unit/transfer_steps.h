// What the transfer's unit tests share: the fake port's events by name, a
// file for a send.
#pragma once

#include "fake_port.h"
#include "test_support.h"
#include "transfer.h"

#include <doctest/doctest.h>

#include <string>

inline PortEvent Out(unsigned address, unsigned value) { return {PortOp::Out, address, value}; }
inline PortEvent In(unsigned address, unsigned value) { return {PortOp::In, address, value}; }
inline PortEvent Pause(unsigned ms) { return {PortOp::Pause, 0, ms}; }
const PortEvent OPEN = {PortOp::OpenAccess, 0, 0};
const PortEvent CLOSE = {PortOp::CloseAccess, 0, 0};
const PortEvent TIMING_ON = {PortOp::FineTimingOn, 0, 0};
const PortEvent TIMING_OFF = {PortOp::FineTimingOff, 0, 0};

// A file in the temporary folder, removed when the test ends.
struct TempFile {
    std::string path = TempPath("tape");
    explicit TempFile(const std::string& bytes) { REQUIRE(WriteFileBytes(path, bytes)); }
    ~TempFile() { DeleteFileA(path.c_str()); }
};

inline std::vector<unsigned> Bytes(std::initializer_list<unsigned> values) { return values; }

inline TransferOutcome SendBytes(const std::string& bytes, PortBase base,
                                 TransferControl* control = nullptr)
{
    TempFile file(bytes);
    return SendFileToPunch(Widen(file.path).c_str(), base, control);
}

