// tapesend.exe under the emulated port and punch, against the window
// program: the same tape and the same register accesses for the same file,
// on LPT1, on a card's port at D010h, through giveio and through InpOut32.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "app_driver.h"
#include "port_claim.h"

#include <doctest/doctest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Bytes that a text-mode read would change or stop at, and then some.
const std::string BYTES = std::string("TAPE\r\n\x1a\xff\x00\x7f", 10) + RandomBytes(30, 31);
const unsigned CARD = 0xD010;
const std::string CARD_PORT = "--lpt2-at 0xD010";

// The accesses with the port's address taken off each register: what one
// file's transfer looks like on any port.
std::vector<std::string> Accesses(const std::vector<TraceLine>& trace, unsigned base)
{
    std::vector<std::string> accesses;
    for (const TraceLine& line : trace) {
        char text[32];
        std::snprintf(text, sizeof text, "%s %+d %02x", line.isIn ? "in" : "out",
                      static_cast<int>(line.port) - static_cast<int>(base), line.value);
        accesses.push_back(text);
    }
    return accesses;
}

// The handshake on an idle punch: per byte control 01, one status read,
// data FF, the byte, control 00; control 01 at the end.
std::vector<std::string> IdleHandshake(const std::string& bytes)
{
    std::vector<std::string> accesses;
    for (unsigned char byte : bytes) {
        char text[16];
        std::snprintf(text, sizeof text, "out +0 %02x", byte);
        for (const char* access : {"out +2 01", "in +1 7f", "out +0 ff", static_cast<const char*>(text),
                                   "out +2 00"})
            accesses.push_back(access);
    }
    accesses.push_back("out +2 01");
    return accesses;
}

struct SendRun {
    EmulatedRun emulated;
    std::vector<std::string> lines;
};

// program (a path) with arguments and FILE holding bytes, under the
// emulated port with its options.
SendRun Send(const std::string& program, const std::string& arguments, const std::string& bytes,
             const std::string& emulatorOptions = "")
{
    const std::string file = TempPath("tape");
    REQUIRE(WriteFileBytes(file, bytes));
    const std::string trace = TempPath("trace"), punched = TempPath("punched");
    std::string output;
    SendRun run;
    run.emulated.exitCode = RunProcessCapturing(
        UnderEmulatedPort(emulatorOptions, trace, punched,
                          Quoted(program) + " " + arguments + " " + Quoted(file)),
        RUN_TIMEOUT_MS, output);
    run.emulated.trace = ReadTrace(trace, &run.emulated.errors);
    run.emulated.punched = ReadFileBytes(punched);
    run.lines = SplitLines(output);
    for (const std::string& line : run.lines) {
        INFO(line);
        CHECK(line.size() <= 79);
    }
    for (const std::string& path : {file, trace, punched})
        DeleteFileA(path.c_str());
    return run;
}

std::string LastLine(const SendRun& run)
{
    return run.lines.empty() ? "" : run.lines.back();
}

// The window program punches bytes on LPT1; its accesses.
std::vector<std::string> WindowAccesses(const std::string& bytes)
{
    AppRun app;
    const std::string file = TempPath("tape");
    app.files.push_back(file);
    REQUIRE(WriteFileBytes(file, bytes));
    REQUIRE(StartApp(app, ""));
    WriteWindowText(GetDlgItem(app.window, 1003), file);
    const HWND send = GetDlgItem(app.window, 1002);
    const std::string sendText = ReadWindowText(send);
    Click(send);
    REQUIRE(WaitUntil([&] { return ReadWindowText(send) == sendText; }, 60000));
    PostMessageA(app.window, WM_CLOSE, 0, 0);
    CHECK(WaitForExit(app) == 0);
    CHECK(ReadFileBytes(app.punched) == bytes);
    std::vector<std::string> errors;
    const std::vector<TraceLine> trace = ReadTrace(app.trace, &errors);
    CHECK(errors.empty());
    return Accesses(trace, 0x378);
}

} // namespace

TEST_CASE("tapesend punches what the window punches, on LPT1 and on a card at D010h")
{
    const std::vector<std::string> window = WindowAccesses(BYTES);
    CHECK(window == IdleHandshake(BYTES));
    struct Case {
        const char* port;
        unsigned base;
        std::string emulatorOptions;
        const char* punched;
    };
    for (const Case& c : {Case{"lpt1", 0x378, "", "Punched 40 bytes on LPT1 (378h)."},
                          Case{"0xD010", CARD, CARD_PORT, "Punched 40 bytes on Port D010h."},
                          Case{"d010H", CARD, CARD_PORT, "Punched 40 bytes on Port D010h."}}) {
        INFO("--port " << c.port);
        const SendRun run =
            Send(SiblingPath("..\\tapesend.exe"), std::string("--port ") + c.port, BYTES,
                 c.emulatorOptions);
        CHECK(run.emulated.exitCode == 0);
        CHECK(run.emulated.errors.empty());
        CHECK(run.emulated.punched == BYTES);
        CHECK(Accesses(run.emulated.trace, c.base) == window);
        CHECK(LastLine(run) == c.punched);
    }
}

TEST_CASE("--from punches the rest; a busy punch is said; a port held or wrong is refused")
{
    const std::string tapesend = SiblingPath("..\\tapesend.exe");
    const SendRun rest = Send(tapesend, "--from 25", BYTES);
    CHECK(rest.emulated.exitCode == 0);
    CHECK(rest.emulated.punched == BYTES.substr(25));
    CHECK(Accesses(rest.emulated.trace, 0x378) == IdleHandshake(BYTES.substr(25)));

    // Switched off for the first 6 s: the line logged at 5 s says so.
    const SendRun waits = Send(tapesend, "--port lpt2", "ab", "--busy-window 0-6000");
    CHECK(waits.emulated.exitCode == 0);
    CHECK(waits.emulated.punched == "ab");
    REQUIRE(waits.lines.size() == 4);
    CHECK(waits.lines[2].rfind("Waiting for the punch (BUSY on for ", 0) == 0);
    CHECK(waits.lines[2].find(" s): 0 of 2 bytes") != std::string::npos);

    for (const char* arguments : {"--port 378", "--port 0x37A", "--port 0xFC", "--port lpt3",
                                  "--port 0x10000", "--from -1", "--from"}) {
        INFO(arguments);
        const SendRun refused = Send(tapesend, arguments, BYTES);
        CHECK(refused.emulated.exitCode == 2);
        CHECK(refused.emulated.trace.empty());
    }
    // The card's port is claimed by its own address, as a send claims LPT1.
    const HANDLE held = ClaimPort(CARD);
    REQUIRE(held != nullptr);
    const SendRun claimed = Send(tapesend, "--port 0xD010", BYTES, CARD_PORT);
    const SendRun other = Send(tapesend, "--port lpt1", "ab");
    ReleasePort(held);
    CHECK(claimed.emulated.exitCode == 1);
    CHECK(claimed.emulated.trace.empty());
    REQUIRE(claimed.lines.size() >= 3);
    CHECK(claimed.lines[claimed.lines.size() - 3] == "Could not open LPT port: Port D010h.");
    CHECK(other.emulated.exitCode == 0);
    CHECK(other.emulated.punched == "ab");

    const SendRun past = Send(tapesend, "--from 40", BYTES);
    CHECK(past.emulated.exitCode == 1);
    REQUIRE_FALSE(past.lines.empty());
    CHECK(past.lines[0].find("--from 40 leaves nothing to punch:") == 0);
    CHECK(past.emulated.trace.empty());
}

TEST_CASE("without giveio, through InpOut32's DLL beside it, at 378h and at D010h"
          * doctest::skip(true))
{
    Folder kit("kit");
    const std::string tapesend = BesideInpOut(kit, "..\\tapesend.exe");
    for (const unsigned base : {0x378u, CARD}) {
        INFO("port " << std::hex << base);
        char port[8];
        std::snprintf(port, sizeof port, "%Xh", base);
        const SendRun run = Send(tapesend, std::string("--port ") + port, BYTES,
                                 base == CARD ? CARD_PORT : "");
        CHECK(run.emulated.exitCode == 0);
        CHECK(run.emulated.errors.empty());
        CHECK(run.emulated.punched == BYTES);
        CHECK(Accesses(run.emulated.trace, base) == IdleHandshake(BYTES));
    }

    // Without the DLL, or with its driver stopped: no register is touched.
    const SendRun alone = Send(SiblingPath("..\\tapesend.exe"), "", BYTES);
    SetEnvironmentVariableA("TAPELARK_INPOUT_DRIVER", "stopped");
    const SendRun stopped = Send(tapesend, "", BYTES);
    SetEnvironmentVariableA("TAPELARK_INPOUT_DRIVER", nullptr);
    for (const SendRun* run : {&alone, &stopped}) {
        CHECK(run->emulated.exitCode == 1);
        CHECK(run->emulated.trace.empty());
        CHECK(run->emulated.errors.empty());
        CHECK(LastLine(*run) == "the port registers here: tapecheck --port 378h says which.");
    }
}
