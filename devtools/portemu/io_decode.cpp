// Decoding of the x86 in/out instruction forms.
#include "io_decode.h"

#include <cstdio>

namespace {

bool IsPrefix(std::uint8_t byte)
{
    switch (byte) {
    case 0x66: case 0x67: case 0xF0: case 0xF2: case 0xF3:
    case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65:
        return true;
    default:
        return false;
    }
}

} // namespace

bool DecodeIo(const std::uint8_t* code, std::size_t available, IoInstruction& io)
{
    std::size_t at = 0;
    while (at < available && IsPrefix(code[at])) {
        io.sizePrefix |= code[at] == 0x66;
        io.rep |= code[at] == 0xF3 || code[at] == 0xF2;
        ++at;
    }
    if (at >= available)
        return false;
    std::uint8_t opcode = code[at++];
    unsigned wide = io.sizePrefix ? 2 : 4;
    if ((opcode & 0xF4) == 0xE4) {  // E4-E7 and EC-EF
        io.isIn = !(opcode & 0x02);
        io.width = (opcode & 0x01) ? wide : 1;
        if (!(opcode & 0x08)) {
            if (at >= available)
                return false;
            io.form = IoForm::Immediate;
            io.immediate = code[at++];
        }
    } else if ((opcode & 0xFC) == 0x6C) {  // ins, outs
        io.form = IoForm::String;
        io.isIn = !(opcode & 0x02);
        io.width = (opcode & 0x01) ? wide : 1;
    } else {
        return false;
    }
    io.length = static_cast<unsigned>(at);
    return true;
}

const char* FormProblem(const IoInstruction& io)
{
    if (io.form == IoForm::Immediate)
        return "immediate port number";
    if (io.form == IoForm::String)
        return "string I/O";
    if (io.width != 1)
        return "wider than 8 bits";
    if (io.sizePrefix)
        return "operand-size prefix";
    return nullptr;
}

void DescribeForm(const IoInstruction& io, char* text, std::size_t size)
{
    const char* reg = io.width == 1 ? "al" : io.width == 2 ? "ax" : "eax";
    char suffix = io.width == 1 ? 'b' : io.width == 2 ? 'w' : 'd';
    const char* prefix = io.sizePrefix && io.width == 1 ? "66 " : "";
    char port[8];
    if (io.form == IoForm::Immediate)
        std::snprintf(port, sizeof port, "0x%02x", io.immediate);
    else
        std::snprintf(port, sizeof port, "dx");

    if (io.form == IoForm::String)
        std::snprintf(text, size, "%s%s%c", io.rep ? "rep " : "", io.isIn ? "ins" : "outs", suffix);
    else if (io.isIn)
        std::snprintf(text, size, "%sin %s, %s", prefix, reg, port);
    else
        std::snprintf(text, size, "%sout %s, %s", prefix, port, reg);
}
