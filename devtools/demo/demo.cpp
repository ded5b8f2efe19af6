// A scripted session with the real program under the emulated punch, for
// trying it where nobody can click: picks a file by typing its path, sends
// it to LPT1, takes screenshots on the way and closes the window.
//   demo SAMPLE OUTDIR SECONDS [PORTEMU OPTIONS]
// SAMPLE is first copied to C:\tapes\, so that the screenshots show a path
// a bench user would have rather than one of the machine that made them.
// The transfer has SECONDS to end. OUTDIR receives window.png,
// window-punching.png, trace.txt, punched.bin and session-exit.txt.
#include "app_driver.h"
#include "screenshot.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int ID_PATH = 1003;
constexpr int ID_SEND_LPT1 = 1002;
// The static that holds a message box's text.
constexpr int MESSAGE_TEXT_ID = 0xFFFF;

// C:\tapes\ and the sample's own file name.
std::string CopyToTapes(const std::string& sample)
{
    const char* const folder = "C:\\tapes\\";
    const size_t slash = sample.find_last_of("\\/:");
    const std::string copy = folder + sample.substr(slash == std::string::npos ? 0 : slash + 1);
    CreateDirectoryA(folder, nullptr);
    return CopyFileA(sample.c_str(), copy.c_str(), FALSE) ? copy : std::string();
}

bool Screenshot(HWND window, const std::string& path)
{
    // Let the window finish painting what it was just told.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    const bool saved = SaveWindowPng(window, path.c_str());
    std::printf("%s %s\n", saved ? "saved" : "could not save", path.c_str());
    return saved;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "demo: %s\n", what);
    return 1;
}

// The session; its exit code. OUTDIR gets the trace and the punched bytes
// however the transfer ended: a transfer that does not end in time is
// stopped by closing the window, as a person would.
int RunSession(const std::string& sample, const std::string& out, DWORD limitMs,
               const char* emulatorOptions)
{
    AppRun app;
    if (!StartApp(app, emulatorOptions))
        return Fail("the window did not open");
    const HWND field = GetDlgItem(app.window, ID_PATH);
    const HWND send = GetDlgItem(app.window, ID_SEND_LPT1);
    const std::string title = ReadWindowText(app.window);

    WriteWindowText(field, sample);
    Screenshot(app.window, out + "window.png");

    std::printf("sending %s to LPT1\n", sample.c_str());
    const DWORD start = GetTickCount();
    Click(send);
    // Caught while the caption shows the progress.
    if (WaitUntil([&] { return ReadWindowText(app.window).find(" bytes") != std::string::npos; },
                  limitMs))
        Screenshot(app.window, out + "window-punching.png");
    const DWORD spent = GetTickCount() - start;
    const bool ended = WaitUntil([&] { return ReadWindowText(app.window) == title; },
                                 spent < limitMs ? limitMs - spent : 0);
    if (!ended)
        std::fprintf(stderr, "demo: the transfer did not end within %lu s: closing the window\n",
                     limitMs / 1000);
    if (HWND box = WaitForWindow([&] { return FindOwnedDialog(app.window); }, 1000)) {
        std::printf("the program says: %s\n", ReadWindowText(GetDlgItem(box, MESSAGE_TEXT_ID)).c_str());
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }

    PostMessageA(app.window, WM_CLOSE, 0, 0);
    const DWORD exitCode = WaitForExit(app);
    std::printf("the program exited with code %lu\n", exitCode);
    CopyFileA(app.trace.c_str(), (out + "trace.txt").c_str(), FALSE);
    CopyFileA(app.punched.c_str(), (out + "punched.bin").c_str(), FALSE);
    return ended && exitCode == 0 ? 0 : 1;
}

} // namespace

// The exit code also goes to OUTDIR\session-exit.txt: run inside Wine's
// desktop, the session's own exit code does not reach the shell.
int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5)
        return Fail("usage: demo SAMPLE OUTDIR SECONDS [PORTEMU OPTIONS]");
    const std::string out = std::string(argv[2]) + "\\";
    const std::string sample = CopyToTapes(argv[1]);
    const int exitCode = sample.empty()
        ? Fail("could not copy the sample to C:\\tapes\\")
        : RunSession(sample, out, std::strtoul(argv[3], nullptr, 10) * 1000,
                     argc == 5 ? argv[4] : "");
    if (std::FILE* file = std::fopen((out + "session-exit.txt").c_str(), "w")) {
        std::fprintf(file, "%d\n", exitCode);
        std::fclose(file);
    }
    return exitCode;
}
