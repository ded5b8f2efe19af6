// The three commands, clicked from outside: failed sends and their boxes,
// sends to the emulated punch, and the file dialog.
#include "harness.h"

#include <doctest/doctest.h>

#include <dlgs.h>

#include <initializer_list>

namespace {

const char* const NO_FILE = "Could not open the file";
const char* const NO_PORT = "Could not open LPT port";

struct FailedSend {
    const char* what;
    const char* pathText; // put into the field first, unless null
    Port port;
    const char* message;
    std::string caption = TITLE; // afterwards
};

// Each send fails with its message box; once that is closed, the window is
// as it was before the click, but for the caption.
void CheckFailedSends(AppRun& app, std::initializer_list<FailedSend> sends)
{
    HWND field = GetDlgItem(app.window, PATH_FIELD);
    for (const FailedSend& send : sends) {
        INFO(std::string(send.what));
        if (send.pathText) {
            WriteWindowText(field, send.pathText);
        }
        const std::string pathText = ReadWindowText(field);
        Click(GetDlgItem(app.window, send.port.button), 500);
        ExpectErrorBox(app.window, send.message);
        CheckControls(app.window, pathText);
        CHECK(ReadWindowText(app.window) == send.caption);
    }
}

} // namespace

TEST_SUITE("errors") {

TEST_CASE("failed sends show their message box, owned by the main window")
{
    AppRun app;
    REQUIRE(StartApp(app, ""));
    CheckFailedSends(app, {
                              {"the field still says No file yet...", nullptr, LPT1, NO_FILE},
                              {"an empty field", "", LPT2, NO_FILE},
                              {"under Wine a file that opens, whose first read fails",
                               "Z:\\proc\\self\\mem", LPT1, "Could not read the file"},
                          });
}

TEST_CASE("a path of more than 254 characters is refused, not cut short and sent")
{
    AppRun app;
    // A file whose path is 254 characters long, the longest a send takes.
    const std::string path = AddFile(app, SAMPLE, TempPathOfLength("long", 254, 'p'));
    REQUIRE(StartApp(app, ""));
    const std::string tooLong = path + "x";
    CheckFailedSends(app, {{"255 characters, of which the first 254 name a file", tooLong.c_str(),
                            LPT1, NO_FILE}});
    WriteWindowText(GetDlgItem(app.window, PATH_FIELD), path);
    SendAndWait(app, LPT1);
    CloseAndExpectExitZero(app);
    // Once, from the 254-character path; not twice.
    CHECK(ReadFileBytes(app.punched) == SAMPLE);
}

TEST_CASE("a send that cannot start, or puts no byte on the port, keeps the last tape's count")
{
    AppRun app;
    const std::string path = StartWithFile(app, SAMPLE, "--stuck-after 3");
    HWND field = GetDlgItem(app.window, PATH_FIELD);
    HWND send = GetDlgItem(app.window, LPT1.button);
    const std::string of = " of " + std::to_string(SAMPLE.size()) + " bytes - " + TITLE;
    auto captionIs = [&](const std::string& caption) {
        return WaitUntil([&] { return ReadWindowText(app.window) == caption; });
    };
    Click(send);
    REQUIRE(captionIs("Waiting for the punch - 3" + of));
    Click(send);
    REQUIRE(captionIs("Stopped after 3" + of));
    // Past the double-click time after the button read Send again.
    Sleep(700);
    // Another copy of the program punching on LPT2.
    const HANDLE otherCopy = CreateMutexA(nullptr, TRUE, "Global\\Tapelark.Port.278");
    REQUIRE(otherCopy);
    const std::string typo = path + "x";
    CheckFailedSends(app, {
                              {"a typo in the path", typo.c_str(), LPT1, NO_FILE, "Stopped after 3" + of},
                              {"the port taken", path.c_str(), LPT2, NO_PORT, "Stopped after 3" + of},
                              {"a file whose first read fails", "Z:\\proc\\self\\mem", LPT1,
                               "Could not read the file", "Stopped after 3" + of},
                          });
    CloseHandle(otherCopy);
    // The stuck punch holds up the first byte, and the send is cancelled.
    WriteWindowText(field, path);
    Click(send);
    REQUIRE(captionIs("Waiting for the punch - 0" + of));
    Click(send);
    CHECK(WaitUntil([&] { return ReadWindowText(send) == LPT1.text; }));
    CHECK(captionIs("Stopped after 3" + of));
    CloseAndExpectExitZero(app);
    CHECK(ReadFileBytes(app.punched) == SAMPLE.substr(0, 3));
}

} // TEST_SUITE

TEST_SUITE("transfer") {

TEST_CASE("a path typed into the field is punched byte for byte, on either port")
{
    for (const Port& port : {LPT1, LPT2}) {
        INFO(std::string(port.text));
        AppRun app;
        const std::string path = StartWithFile(app, SAMPLE, "");
        SendAndWait(app, port);
        CheckControls(app.window, path);
        CHECK(ReadWindowText(app.window) == TITLE);
        CloseAndCheckPunched(app, port, SAMPLE);
    }
}

TEST_CASE("while the punch is stuck the window answers and says so, and Cancel stops the transfer")
{
    AppRun app;
    const std::string path = StartWithFile(app, SAMPLE, "--stuck-after 3");
    HWND send = GetDlgItem(app.window, LPT1.button);
    Click(send);
    CHECK(ReadWindowText(send) == "Cancel");
    CHECK(IsWindowEnabled(send));
    CHECK_FALSE(IsWindowEnabled(GetDlgItem(app.window, SELECT_FILE)));
    CHECK_FALSE(IsWindowEnabled(GetDlgItem(app.window, LPT2.button)));
    // The field names the file being punched; it cannot be changed meanwhile.
    CHECK_FALSE(IsWindowEnabled(GetDlgItem(app.window, PATH_FIELD)));

    const std::string progress = "3 of " + std::to_string(SAMPLE.size()) + " bytes - " + TITLE;
    CHECK(WaitUntil([&] { return ReadWindowText(app.window) == progress; }));
    CHECK(WaitUntil([&] {
        return ReadWindowText(app.window) == "Waiting for the punch - " + progress;
    }));
    CHECK(Answers(app.window));
    // One transfer at a time: the other port's command is not taken.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(app.window, WM_COMMAND, LPT2.button, 0, SMTO_ABORTIFHUNG, 1000, &result);

    Click(send);
    REQUIRE(WaitUntil([&] { return ReadWindowText(send) == LPT1.text; }));
    CheckControls(app.window, path);
    // Where a repair piece starts.
    CHECK(ReadWindowText(app.window) == "Stopped after " + progress);
    CHECK(NoDialogAppears(app));
    CloseAndExpectExitZero(app);
    CHECK(ReadFileBytes(app.punched) == SAMPLE.substr(0, 3));
    CheckPortAtRest(app, LPT1);
}

TEST_CASE("closing the window during a slow transfer stops it at rest and exits with 0")
{
    AppRun app;
    StartWithFile(app, SAMPLE, "--busy-ms 300");
    Click(GetDlgItem(app.window, LPT2.button));
    CHECK(WaitUntil([&] { return ReadWindowText(app.window) != TITLE; }));
    CHECK(Answers(app.window));
    CloseAndExpectExitZero(app);
    CheckStoppedShort(app, SAMPLE);
    CheckPortAtRest(app, LPT2);
}

} // TEST_SUITE

TEST_SUITE("dialog") {

TEST_CASE("Select file: the dialog's title, a confirmed choice and a cancelled one")
{
    AppRun app;
    REQUIRE(StartApp(app));
    HWND field = GetDlgItem(app.window, PATH_FIELD);
    auto openDialog = [&] {
        Click(GetDlgItem(app.window, SELECT_FILE), 500);
        HWND dialog =
            WaitForWindow([&] { return FindAppWindow(app, "#32770", "Select file for copiing"); });
        REQUIRE(dialog);
        // Owned: the main window waits meanwhile.
        CHECK(GetWindow(dialog, GW_OWNER) == app.window);
        CHECK_FALSE(IsWindowEnabled(app.window));
        // No file types are offered.
        DWORD_PTR types = 1;
        SendMessageTimeoutA(GetDlgItem(dialog, cmb1), CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG,
                            WAIT_MS, &types);
        CHECK(types == 0);
        return dialog;
    };
    auto answer = [&](HWND dialog, const std::string& fileName, int button) {
        // The file name box is an edit inside combo box cmb13, as on XP.
        HWND fileNameBox = FindDescendant(GetDlgItem(dialog, cmb13), "Edit");
        REQUIRE(fileNameBox);
        WriteWindowText(fileNameBox, fileName);
        Click(GetDlgItem(dialog, button), 500);
        REQUIRE(WaitUntil([&] { return !IsWindow(dialog); }));
    };

    // The chosen file's folder is not left in use as the program's current
    // folder: it can be removed, as a USB stick with the tapes can.
    const std::string folder = TempPath("folder");
    // One left by a failed run of a process with the same id will do.
    REQUIRE((CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS));
    const std::string inFolder = folder + "\\chosen";
    REQUIRE(WriteFileBytes(inFolder, "x"));
    answer(openDialog(), inFolder, IDOK);
    CHECK(ReadWindowText(field) == inFolder);
    CHECK(DeleteFileA(inFolder.c_str()));
    CHECK(RemoveDirectoryA(folder.c_str()));

    // The file need not exist: the dialog asks for nothing more.
    const std::string chosen = TempPath("chosen");
    answer(openDialog(), chosen, IDOK);
    CHECK(ReadWindowText(field) == chosen);

    answer(openDialog(), TempPath("other"), IDCANCEL);
    CheckControls(app.window, chosen);
}

} // TEST_SUITE

TEST_SUITE("no_giveio") {

TEST_CASE("without giveio a file that opens reports the port, a missing one the file")
{
    AppRun app;
    const std::string existing = AddFile(app, SAMPLE);
    const std::string missing = TempPath("missing");
    REQUIRE(StartApp(app));
    CheckFailedSends(app, {
                              {"the file opens, giveio does not", existing.c_str(), LPT1, NO_PORT},
                              {"neither opens", missing.c_str(), LPT2, NO_FILE},
                          });
}

} // TEST_SUITE
