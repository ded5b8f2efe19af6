// A scripted session with the real program under the emulated punch, for
// trying it where nobody can click: picks a file by typing its path, sends
// it to LPT1, takes screenshots on the way and closes the window.
//   demo SAMPLE OUTDIR [PORTEMU OPTIONS]
// SAMPLE is first copied to C:\tapes\, so that the screenshots show a path
// a bench user would have rather than one of the machine that made them.
// OUTDIR receives window.png, window-punching.png, trace.txt and punched.bin.
#include "app_driver.h"
#include "screenshot.h"

#include <cstdio>
#include <string>

namespace {

constexpr DWORD TRANSFER_TIMEOUT_MS = 120000;
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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4)
        return Fail("usage: demo SAMPLE OUTDIR [PORTEMU OPTIONS]");
    const std::string sample = CopyToTapes(argv[1]);
    if (sample.empty())
        return Fail("could not copy the sample to C:\\tapes\\");
    const std::string out = std::string(argv[2]) + "\\";

    AppRun app;
    if (!StartApp(app, argc == 4 ? argv[3] : ""))
        return Fail("the window did not open");
    const HWND field = GetDlgItem(app.window, ID_PATH);
    const HWND send = GetDlgItem(app.window, ID_SEND_LPT1);
    const std::string title = ReadWindowText(app.window);

    WriteWindowText(field, sample);
    Screenshot(app.window, out + "window.png");

    std::printf("sending %s to LPT1\n", sample.c_str());
    Click(send);
    // Caught while the caption shows the progress.
    if (WaitUntil([&] { return ReadWindowText(app.window).find(" bytes") != std::string::npos; },
                  TRANSFER_TIMEOUT_MS))
        Screenshot(app.window, out + "window-punching.png");
    const bool ended = WaitUntil([&] { return ReadWindowText(app.window) == title; },
                                 TRANSFER_TIMEOUT_MS);
    if (!ended)
        return Fail("the transfer did not end");
    if (HWND box = WaitForWindow([&] { return FindOwnedDialog(app.window); }, 1000)) {
        std::printf("the program says: %s\n", ReadWindowText(GetDlgItem(box, MESSAGE_TEXT_ID)).c_str());
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }

    PostMessageA(app.window, WM_CLOSE, 0, 0);
    const DWORD exitCode = WaitForExit(app);
    std::printf("the program exited with code %lu\n", exitCode);
    CopyFileA(app.trace.c_str(), (out + "trace.txt").c_str(), FALSE);
    CopyFileA(app.punched.c_str(), (out + "punched.bin").c_str(), FALSE);
    return exitCode == 0 ? 0 : 1;
}
