// The x86 in/out instruction forms, decoded from the program's code.
#pragma once

#include <cstddef>
#include <cstdint>

enum class IoForm { ThroughDx, Immediate, String };

struct IoInstruction {
    IoForm form = IoForm::ThroughDx;
    bool isIn = false;
    unsigned width = 1;  // bytes moved per transfer
    bool sizePrefix = false;
    bool rep = false;
    std::uint8_t immediate = 0;
    unsigned length = 0;
};

// Decodes the I/O instructions (E4-E7, EC-EF, 6C-6F) after any prefixes.
// False for anything else, which is then not ours to handle.
bool DecodeIo(const std::uint8_t* code, std::size_t available, IoInstruction& io);

// Why the program may not use this form, or null: only `in al, dx` and
// `out dx, al` are what the program may use.
const char* FormProblem(const IoInstruction& io);

// The instruction as an assembler writes it, e.g. "out dx, al".
void DescribeForm(const IoInstruction& io, char* text, std::size_t size);
