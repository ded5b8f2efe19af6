#include "harness.h"

#include <doctest/doctest.h>
#include <tlhelp32.h>

#include <cstdio>

namespace {

DWORD ParentProcessId(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == processId) {
            parent = entry.th32ParentProcessID;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

// The app's windows: those of tapelark, whether started directly or as
// portemu's child. Other tests may run their own copies meanwhile.
bool BelongsToApp(const AppRun& app, HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId == app.appId || processId == app.started.dwProcessId
        || ParentProcessId(processId) == app.started.dwProcessId;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool HasClass(HWND window, const char* className)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return lstrcmpiA(name, className) == 0;
}

} // namespace

AppRun::~AppRun()
{
    // Only a test that failed half-way finds the program still running.
    if (started.hProcess && WaitForSingleObject(started.hProcess, 0) == WAIT_TIMEOUT) {
        if (HANDLE app = OpenProcess(PROCESS_TERMINATE, FALSE, appId)) {
            TerminateProcess(app, 1);
            CloseHandle(app);
        }
        TerminateProcess(started.hProcess, 1);
        WaitForSingleObject(started.hProcess, WAIT_MS);
    }
    if (started.hProcess) {
        CloseHandle(started.hProcess);
        CloseHandle(started.hThread);
    }
    for (const std::string& file : files) {
        DeleteFileA(file.c_str());
    }
}

std::string AddFile(AppRun& app, const std::string& bytes, std::string path)
{
    if (path.empty()) {
        path = TempPath("tape");
    }
    app.files.push_back(path);
    REQUIRE(WriteFileBytes(path, bytes));
    return path;
}

void StartApp(AppRun& app, const char* emulatorOptions)
{
    // This program is built beside portemu.exe, one folder below tapelark.exe.
    std::string command = '"' + SiblingPath("..\\tapelark.exe") + '"';
    if (emulatorOptions) {
        app.trace = TempPath("trace");
        app.punched = TempPath("punched");
        app.files.insert(app.files.end(), {app.trace, app.punched});
        command = UnderEmulatedPort(emulatorOptions, app.trace, app.punched, command);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    REQUIRE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &app.started));
    app.window = WaitForWindow([&] { return FindAppWindow(app, "TAPELARK"); });
    REQUIRE(app.window);
    GetWindowThreadProcessId(app.window, &app.appId);
}

DWORD WaitForExit(AppRun& app)
{
    REQUIRE(WaitForSingleObject(app.started.hProcess, WAIT_MS) == WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(app.started.hProcess, &code);
    return code;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

HWND WaitForWindow(const std::function<HWND()>& find, DWORD timeoutMs)
{
    HWND window = nullptr;
    WaitUntil([&] { return (window = find()) != nullptr; }, timeoutMs);
    return window;
}

HWND FindAppWindow(const AppRun& app, const char* className, const char* title)
{
    for (HWND window : TopLevelWindows()) {
        char text[256] = {};
        GetWindowTextA(window, text, sizeof text);
        if (HasClass(window, className) && (!title || std::string(text) == title)
            && IsWindowVisible(window) && BelongsToApp(app, window)) {
            return window;
        }
    }
    return nullptr;
}

bool NoDialogAppears(const AppRun& app)
{
    return WaitForWindow([&] { return FindAppWindow(app, "#32770"); }, 1000) == nullptr;
}

HWND FindDescendant(HWND parent, const char* className)
{
    std::vector<HWND> descendants;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&descendants));
    for (HWND window : descendants) {
        if (HasClass(window, className)) {
            return window;
        }
    }
    return nullptr;
}

HWND FindOwnedDialog(HWND owner)
{
    for (HWND window : TopLevelWindows()) {
        if (HasClass(window, "#32770") && GetWindow(window, GW_OWNER) == owner
            && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

std::string ReadWindowText(HWND window)
{
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, WAIT_MS, &length);
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_ABORTIFHUNG, WAIT_MS, &copied);
    text.resize(copied);
    return text;
}

void WriteWindowText(HWND window, const std::string& text)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, WAIT_MS, &result);
}

COLORREF ClientPixel(HWND window, int x, int y)
{
    POINT point = {x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

void Click(HWND button, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs, &result);
}

bool Answers(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
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
    {1003, "Edit", nullptr, ES_LEFT, "10,45,380,30"},
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
