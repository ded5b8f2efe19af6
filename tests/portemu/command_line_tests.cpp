// portemu's command line and outputs: --live rows as they are punched, a
// wrong command line, and the files it writes, never over the program.
#include "tape_row.h"
#include "test_support.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <set>
#include <string>

TEST_CASE("--live shows each row the moment the punch takes its byte")
{
    const std::string portemu = "\"" + SiblingPath("..\\portemu.exe") + "\" --live ";
    const std::string steps = " -- \"" + SiblingPath("port_steps.exe") + "\" ";
    auto withoutCr = [](std::string text) {
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    };
    auto row = [](unsigned long offset, char byte) {
        char text[64];
        TapeRowText(offset, static_cast<unsigned char>(byte), text, sizeof text);
        return "LPT1 " + std::string(text);
    };
    char header[64];
    TapeRowHeader(header, sizeof header);
    std::string output;
    CHECK(RunProcessCapturing(portemu + "--busy-ms 5" + steps + "bytes 3 12 1 wait", RUN_TIMEOUT_MS,
                              output)
          == 0);
    CHECK(withoutCr(output) == "port " + std::string(header) + row(0, 'A') + row(1, 'B') + row(2, 'C'));

    // Stuck after the first byte, the program waits for good; the row of
    // that byte is out while it waits, before portemu is stopped.
    CHECK(RunProcessCapturing(portemu + "--stuck-after 1" + steps + "bytes 2 12 1 wait", 3000,
                              output) == STILL_ACTIVE);
    CHECK(withoutCr(output) == "port " + std::string(header) + row(0, 'A'));
}

TEST_CASE("a wrong command line says what was wrong, then the usage, and exits 99")
{
    const std::string portemu = "\"" + SiblingPath("..\\portemu.exe") + "\" ";
    const std::string program = " -- \"" + SiblingPath("port_steps.exe") + "\" after-open";
    const std::string window = "--busy-window takes FROM-TO in ms, FROM before TO, not ";
    const struct {
        const char* options;
        std::string says;
    } cases[] = {
        {"--absent lpt3", "--absent takes lpt1 or lpt2, not lpt3"},
        {"--absent", "--absent takes lpt1 or lpt2, not --"},
        {"--busy-window 300-100", window + "300-100"},
        {"--busy-window 300", window + "300"},
        {"--busy-window -100", window + "-100"},
        {"--busy-ms x", "--busy-ms takes a number of ms, 0 to 4294967295, not x"},
        {"--unknown", "unknown option --unknown (portemu --help lists the options)"},
        {"--busy both", "--busy takes lpt1 or lpt2, not both"},
        {"--error", "--error takes lpt1 or lpt2, not --"},
        {"--tape-low-after -1",
         "--tape-low-after takes a number of bytes, 0 to 4294967295, not -1"},
    };
    std::string output;
    for (const auto& c : cases) {
        INFO(c.options);
        CHECK(RunProcessCapturing(portemu + c.options + program, RUN_TIMEOUT_MS, output) == 99);
        const std::vector<std::string> lines = SplitLines(output);
        REQUIRE(lines.size() >= 2);
        CHECK(lines[0] == "portemu: " + c.says);
        CHECK(lines[1].rfind("usage: portemu", 0) == 0);
    }
    CHECK(RunProcessCapturing(portemu + "--live", RUN_TIMEOUT_MS, output) == 99);
    CHECK(output.rfind("portemu: the program to run is missing: it goes after --\r\nusage:", 0)
          == 0);
    CHECK(RunProcess(portemu + "--busy-window 0-1 --absent lpt2" + program, RUN_TIMEOUT_MS) == 0);
    CHECK(RunProcess(portemu + "--version", RUN_TIMEOUT_MS) == 0);
    for (const char* help : {"--help", "-h", "/?"}) {
        CHECK(RunProcessCapturing(portemu + help, RUN_TIMEOUT_MS, output) == 0);
        CHECK(output.rfind("usage: portemu", 0) == 0);
        CHECK(output.find("Exit code: PROGRAM's own") != std::string::npos);
    }
}

TEST_CASE("the trace goes to a file named in any script, never over the program")
{
    const std::string steps = SiblingPath("port_steps.exe");
    const std::string portemu = SiblingPath("..\\portemu.exe");
    // Лента ω-ID.trace
    const std::string trace = "\xD0\x9B\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0 \xCF\x89-"
                              + std::to_string(GetCurrentProcessId()) + ".trace";
    CHECK(RunProcess("\"" + portemu + "\" --trace \"" + trace + "\" -- \"" + steps + "\" registers",
                     RUN_TIMEOUT_MS)
          == 0);
    const std::string text = ReadFileBytes(trace);
    DeleteFileW(Widen(trace).c_str());
    CHECK(ParseTrace(text.data(), text.size(), nullptr, 0, nullptr) == 14);

    const std::string before = ReadFileBytes(steps);
    CHECK(RunProcess("\"" + portemu + "\" --trace \"" + steps + "\" -- \"" + steps + "\" registers",
                     RUN_TIMEOUT_MS)
          == 98);
    CHECK(ReadFileBytes(steps) == before);
}

TEST_CASE("a run that cannot start leaves no output behind, and an earlier one as it was")
{
    const Folder folder("portemu");
    REQUIRE(WriteFileBytes(folder / "trace.txt", "an earlier trace"));
    const std::string steps = SiblingPath("port_steps.exe");
    const std::string outputs = "\"" + SiblingPath("..\\portemu.exe") + "\" --trace \""
                                + folder / "trace.txt" + "\" --punched \"";
    // The punched bytes would go over the program; the program is not there.
    CHECK(RunProcess(outputs + steps + "\" -- \"" + steps + "\" registers", RUN_TIMEOUT_MS) == 98);
    CHECK(RunProcess(outputs + folder / "punched.bin" + "\" -- \"" + folder / "none.exe" + "\"",
                     RUN_TIMEOUT_MS)
          == 98);
    CHECK(folder.Names() == std::set<std::string>{"trace.txt"});
    CHECK(ReadFileBytes(folder / "trace.txt") == "an earlier trace");
}
