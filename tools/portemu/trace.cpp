#include "trace.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

int FormatTraceLine(const TraceLine& line, char* text, std::size_t size)
{
    const char* op = line.isIn ? "in" : "out";
    if (line.isIn && line.repeats > 1)
        return std::snprintf(text, size, "%llu %s %03x %02x x%llu\n", line.micros, op, line.port,
                             line.value, line.repeats);
    return std::snprintf(text, size, "%llu %s %03x %02x\n", line.micros, op, line.port,
                         line.value);
}

std::vector<TraceLine> ParseTrace(const std::string& whole, std::vector<std::string>* errors)
{
    std::vector<TraceLine> lines;
    std::istringstream stream(whole);
    std::string text;
    while (std::getline(stream, text)) {
        TraceLine line = {};
        char direction[4] = {};
        line.repeats = 1;
        const int fields = std::sscanf(text.c_str(), "%llu %3s %x %x x%llu", &line.micros,
                                       direction, &line.port, &line.value, &line.repeats);
        const std::string op = direction;
        if (fields < 4 || (op != "in" && op != "out")) {
            if (errors)
                errors->push_back(text);
            continue;
        }
        line.isIn = op == "in";
        lines.push_back(line);
    }
    return lines;
}

std::vector<TraceLine> ReadTrace(const std::string& path, std::vector<std::string>* errors)
{
    std::ifstream file(path, std::ios::binary);
    return ParseTrace(std::string(std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()),
                      errors);
}
