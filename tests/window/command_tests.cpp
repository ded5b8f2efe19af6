// The three commands, clicked from outside: failed sends and their boxes,
// sends to the emulated punch, and the file dialog.
#include "harness.h"

#include <doctest/doctest.h>

#include <dlgs.h>

#include <algorithm>
#include <initializer_list>

namespace {

constexpr int SELECT_FILE = 1001;
constexpr int PATH_FIELD = 1003;
const std::string TITLE = "Facit 4070 puncher simple interface";
const char* const NO_FILE = "Could not open the file";
const char* const NO_PORT = "Could not open LPT port";

// Bytes that a read in text mode would change or stop at.
const char SAMPLE_BYTES[] = "TAPE\r\n\x1a\xff\x00\x7f" "LARK";
const std::string SAMPLE(SAMPLE_BYTES, sizeof SAMPLE_BYTES - 1);

struct Port {
    int button;
    const char* text;
    unsigned base;
};
const Port LPT1 = {1002, "Send File to LPT1 (378h)", 0x378};
const Port LPT2 = {1004, "Send File to LPT2 (278h)", 0x278};

struct FailedSend {
    const char* what;
    const char* pathText; // put into the field first, unless null
    Port port;
    const char* message;
};

// Each send fails with its message box; once that is closed, the window is
// as it was before the click.
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
        CHECK(ReadWindowText(app.window) == TITLE);
    }
}

// Sends the file that the field names and waits until the button reads as
// before, which it does again when the transfer has ended.
void SendAndWait(AppRun& app, const Port& port)
{
    HWND button = GetDlgItem(app.window, port.button);
    Click(button);
    REQUIRE(WaitUntil([&] { return ReadWindowText(button) == port.text; }, 60000));
}

void CloseAndExpectExitZero(AppRun& app)
{
    PostMessageA(app.window, WM_CLOSE, 0, 0);
    CHECK(WaitForExit(app) == 0);
}

// Only the port's own registers were used, and the control register was
// left at rest, 0x01, after the last byte.
void CheckPortAtRest(const AppRun& app, const Port& port)
{
    std::vector<std::string> errors;
    const std::vector<TraceLine> trace = ReadTrace(app.trace, &errors);
    CHECK(errors.empty());
    REQUIRE_FALSE(trace.empty());
    CHECK(std::count_if(trace.begin(), trace.end(), [&](const TraceLine& line) {
              return line.port - port.base > 2;
          }) == 0);
    auto lastControl = std::find_if(trace.rbegin(), trace.rend(), [&](const TraceLine& line) {
        return !line.isIn && line.port == port.base + 2;
    });
    REQUIRE(lastControl != trace.rend());
    CHECK(lastControl->value == 0x01);
}

} // namespace

TEST_SUITE("errors") {

TEST_CASE("failed sends show their message box, owned by the main window")
{
    AppRun app;
    REQUIRE(StartApp(app));
    CheckFailedSends(app, {
                              {"the field still says No file yet...", nullptr, LPT1, NO_FILE},
                              {"an empty field", "", LPT2, NO_FILE},
                          });
}

TEST_CASE("a path of more than 254 characters is refused, not cut short and sent")
{
    AppRun app;
    // A file whose path is 254 characters long, the longest a send takes.
    std::string path = TempPath("long");
    path.erase(path.rfind('\\') + 1);
    path = AddFile(app, SAMPLE, path + std::string(254 - path.size(), 'p'));
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

} // TEST_SUITE

TEST_SUITE("transfer") {

TEST_CASE("a path typed into the field is punched byte for byte, on either port")
{
    for (const Port& port : {LPT1, LPT2}) {
        INFO(std::string(port.text));
        AppRun app;
        const std::string path = AddFile(app, SAMPLE);
        REQUIRE(StartApp(app, ""));
        WriteWindowText(GetDlgItem(app.window, PATH_FIELD), path);
        SendAndWait(app, port);
        CheckControls(app.window, path);
        CHECK(ReadWindowText(app.window) == TITLE);
        CHECK(NoDialogAppears(app));
        CloseAndExpectExitZero(app);
        CHECK(ReadFileBytes(app.punched) == SAMPLE);
        CHECK(CheckHandshake(ReadTrace(app.trace, nullptr), port.base, SAMPLE) == "");
    }
}

TEST_CASE("while the punch is stuck the window answers and says so, and Cancel stops the transfer")
{
    AppRun app;
    const std::string path = AddFile(app, SAMPLE);
    REQUIRE(StartApp(app, "--stuck-after 3"));
    WriteWindowText(GetDlgItem(app.window, PATH_FIELD), path);
    HWND send = GetDlgItem(app.window, LPT1.button);
    Click(send);
    CHECK(ReadWindowText(send) == "Cancel");
    CHECK(IsWindowEnabled(send));
    CHECK_FALSE(IsWindowEnabled(GetDlgItem(app.window, SELECT_FILE)));
    CHECK_FALSE(IsWindowEnabled(GetDlgItem(app.window, LPT2.button)));

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
    CHECK(ReadWindowText(app.window) == TITLE);
    CHECK(NoDialogAppears(app));
    CloseAndExpectExitZero(app);
    CHECK(ReadFileBytes(app.punched) == SAMPLE.substr(0, 3));
    CheckPortAtRest(app, LPT1);
}

TEST_CASE("closing the window during a slow transfer stops it at rest and exits with 0")
{
    AppRun app;
    const std::string path = AddFile(app, SAMPLE);
    REQUIRE(StartApp(app, "--busy-ms 300"));
    WriteWindowText(GetDlgItem(app.window, PATH_FIELD), path);
    Click(GetDlgItem(app.window, LPT2.button));
    CHECK(WaitUntil([&] { return ReadWindowText(app.window) != TITLE; }));
    CHECK(Answers(app.window));
    CloseAndExpectExitZero(app);
    const std::string punched = ReadFileBytes(app.punched);
    CHECK(punched.size() < SAMPLE.size());
    CHECK(punched == SAMPLE.substr(0, punched.size()));
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
        // No owner: the main window stays usable meanwhile.
        CHECK(GetWindow(dialog, GW_OWNER) == nullptr);
        CHECK(IsWindowEnabled(app.window));
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
