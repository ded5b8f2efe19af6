#include "harness.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cstdio>

std::string AddFile(AppRun& app, const std::string& bytes, std::string path)
{
    if (path.empty()) {
        path = TempPath("tape");
    }
    app.files.push_back(path);
    REQUIRE(WriteFileBytes(path, bytes));
    return path;
}

std::string TempPathOfLength(const char* prefix, size_t length, char fill)
{
    std::string path = TempPath(prefix);
    const size_t end = path.rfind('.');
    REQUIRE(path.size() <= length);
    return path.insert(end, length - path.size(), fill);
}

namespace {

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    DWORD controlStyle; // the low word, the class's own style bits
    const char* place;  // x,y,width,height in the main window's client area
};

const ExpectedControl EXPECTED_CONTROLS[] = {
    {1001, "Button", "Select file", BS_PUSHBUTTON, "10,10,380,30"},
    {1003, "Edit", nullptr, ES_AUTOHSCROLL, "10,45,380,30"},
    {1002, "Button", "Send File to LPT1 (378h)", BS_PUSHBUTTON, "10,80,380,30"},
    {1004, "Button", "Send File to LPT2 (278h)", BS_PUSHBUTTON, "10,113,380,30"},
};

std::string PlaceInParent(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    char place[64];
    std::snprintf(place, sizeof place, "%ld,%ld,%ld,%ld", rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top);
    return place;
}

// A message box's text, and whether an icon shows beside it. Wine, like
// Windows, builds the box from a dialog with an icon static (SS_ICON), the
// text static (identifier 0xFFFF) and the buttons.
std::string MessageBoxText(HWND box, bool& hasIcon)
{
    std::string text;
    hasIcon = false;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const bool isIcon = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        if (HasClass(child, "Static") && isIcon) {
            DWORD_PTR icon = 0;
            SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, WAIT_MS, &icon);
            hasIcon = hasIcon || (icon != 0 && IsWindowVisible(child));
        } else if (HasClass(child, "Static")) {
            text = ReadWindowText(child);
        }
    }
    return text;
}

} // namespace

void CheckControls(HWND window, const std::string& pathText)
{
    HWND control = GetWindow(window, GW_CHILD);
    for (const ExpectedControl& row : EXPECTED_CONTROLS) {
        INFO("control ", row.id, " (", std::string(row.className), ")");
        REQUIRE(control);
        CHECK(GetDlgCtrlID(control) == row.id);
        CHECK(HasClass(control, row.className));
        CHECK(ReadWindowText(control) == (row.text ? row.text : pathText));
        CHECK(PlaceInParent(control) == row.place);
        const DWORD style = GetWindowLongA(control, GWL_STYLE);
        CHECK((style & 0xFFFF) == row.controlStyle);
        CHECK((style & WS_TABSTOP) == 0);
        CHECK(IsWindowVisible(control));
        CHECK(IsWindowEnabled(control));
        DWORD_PTR font = 0;
        SendMessageTimeoutA(control, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, WAIT_MS, &font);
        CHECK(font == 0);
        control = GetWindow(control, GW_HWNDNEXT);
    }
    CHECK(control == nullptr);
}

void ExpectErrorBox(HWND window, const std::string& text)
{
    HWND box = WaitForWindow([&] { return FindOwnedDialog(window); });
    REQUIRE(box);
    bool hasIcon = false;
    CHECK(MessageBoxText(box, hasIcon) == text);
    CHECK(hasIcon);
    char caption[64] = {};
    GetWindowTextA(box, caption, sizeof caption);
    CHECK(std::string(caption) == "Error");
    CHECK_FALSE(IsWindowEnabled(window));
    CHECK(GetDlgItem(box, IDCANCEL) == nullptr);
    HWND ok = GetDlgItem(box, IDOK);
    REQUIRE(ok);
    Click(ok);
    REQUIRE(WaitUntil([&] { return !IsWindow(box); }));
}

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

std::string StartWithFile(AppRun& app, const std::string& bytes, const char* punchOptions)
{
    const std::string path = AddFile(app, bytes);
    REQUIRE(StartApp(app, punchOptions));
    WriteWindowText(GetDlgItem(app.window, PATH_FIELD), path);
    return path;
}

void CloseAndCheckPunched(AppRun& app, const Port& port, const std::string& bytes)
{
    CHECK(NoDialogAppears(app));
    CloseAndExpectExitZero(app);
    CHECK(ReadFileBytes(app.punched) == bytes);
    CHECK(CheckHandshake(ReadTrace(app.trace, nullptr), port.base, bytes) == "");
}

void CheckStoppedShort(const AppRun& app, const std::string& bytes)
{
    const std::string punched = ReadFileBytes(app.punched);
    CHECK(punched.size() < bytes.size());
    CHECK(punched == bytes.substr(0, punched.size()));
}

std::string StoppedCaption(const AppRun& app, const std::string& bytes)
{
    return "Stopped after " + std::to_string(ReadFileBytes(app.punched).size()) + " of "
        + std::to_string(bytes.size()) + " bytes - " + TITLE;
}

void EndFromOutside(AppRun& app)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, app.appId);
    REQUIRE(process);
    TerminateProcess(process, 1);
    CloseHandle(process);
    WaitForExit(app);
}

void EndAndCheckLeftAtRest(AppRun& app, const Port& port)
{
    EndFromOutside(app);
    const std::vector<TraceLine> trace = ReadTrace(app.trace, nullptr);
    REQUIRE_FALSE(trace.empty());
    CHECK_FALSE(trace.back().isIn);
    CHECK(trace.back().port == port.base + 2);
    CHECK(trace.back().value == 0x01);
}

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
