// Punches one file through the real program under the emulated port, as a
// person at the bench does: types its path, clicks the port's send button,
// waits for the tape, closes the window. Then checks that the punch took the
// file byte for byte, with the handshake's register accesses in order.
//   punch_check FILE LPT1|LPT2 SECONDS
// SECONDS bounds the transfer. The pace is not checked: this also runs in
// an emulated machine, many times slower than a real one. The trace and the
// punched bytes are kept beside FILE, as FILE-trace.txt and FILE-punched.bin.
#include "app_driver.h"
#include "harness.h"

#include <cstdio>
#include <cwchar>

namespace {

// The static that holds a message box's text.
constexpr int MESSAGE_TEXT_ID = 0xFFFF;

int Fail(const std::string& file, const std::string& what)
{
    std::fprintf(stderr, "punch_check: %s: %s\n", file.c_str(), what.c_str());
    return 1;
}

// The session's failure, or "" when the program punched the file and ended well.
std::string Punch(AppRun& app, const std::string& file, const Port& port, DWORD limitMs)
{
    // As make run's punch: 13 ms busy after each byte, like a 75 characters
    // a second punch driven by this program.
    if (!StartApp(app, "--busy-ms 13"))
        return "the window did not open";
    WriteWindowText(GetDlgItem(app.window, PATH_FIELD), file);
    const HWND button = GetDlgItem(app.window, port.button);
    Click(button);
    if (!WaitUntil([&] { return ReadWindowText(button) == port.text; }, limitMs))
        return "the transfer did not end within " + std::to_string(limitMs / 1000) + " s";
    std::string failure;
    if (HWND box = WaitForWindow([&] { return FindOwnedDialog(app.window); }, 1000)) {
        failure = "the program says: " + ReadWindowText(GetDlgItem(box, MESSAGE_TEXT_ID));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    } else if (ReadWindowText(app.window) != TITLE) {
        failure = "the caption reads \"" + ReadWindowText(app.window) + "\"";
    }
    PostMessageA(app.window, WM_CLOSE, 0, 0);
    const DWORD exitCode = WaitForExit(app);
    if (failure.empty() && exitCode != 0)
        failure = "exit code " + std::to_string(exitCode) + " (97: the emulated port saw an error)";
    return failure;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4 || (std::wcscmp(argv[2], L"LPT1") && std::wcscmp(argv[2], L"LPT2"))) {
        std::fprintf(stderr, "usage: punch_check FILE LPT1|LPT2 SECONDS\n");
        return 2;
    }
    const std::string file = Utf8(argv[1]);
    const std::string portName = Utf8(argv[2]);
    const Port& port = portName == "LPT1" ? LPT1 : LPT2;
    const std::string bytes = ReadFileBytes(file);
    if (bytes.empty())
        return Fail(file, "cannot be read, or is empty");

    AppRun app;
    const std::string failure = Punch(app, file, port, std::wcstoul(argv[3], nullptr, 10) * 1000);
    CopyFileW(Widen(app.trace).c_str(), Widen(file + "-trace.txt").c_str(), FALSE);
    CopyFileW(Widen(app.punched).c_str(), Widen(file + "-punched.bin").c_str(), FALSE);
    if (!failure.empty())
        return Fail(file, failure);

    std::vector<std::string> errors;
    const std::vector<TraceLine> trace = ReadTrace(app.trace, &errors);
    const std::string punched = ReadFileBytes(app.punched);
    if (!errors.empty())
        return Fail(file, "the emulated port says: " + errors.front());
    if (punched != bytes)
        return Fail(file, "the tape (" + std::to_string(punched.size())
                              + " bytes) is not the file (" + std::to_string(bytes.size())
                              + " bytes) byte for byte");
    const std::string handshake = CheckHandshake(trace, port.base, bytes);
    if (!handshake.empty())
        return Fail(file, "the register accesses on " + portName + ": " + handshake);
    std::printf("%s: %lu bytes punched on %s byte for byte, the handshake in order"
                " (%lu trace lines)\n", file.c_str(), static_cast<unsigned long>(bytes.size()),
                portName.c_str(), static_cast<unsigned long>(trace.size()));
    return 0;
}
