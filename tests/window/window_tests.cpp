// The main window as the user first meets it, and the program's resources.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include "harness.h"
#include "version.h"

#include <doctest/doctest.h>

namespace {

std::string Size(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top);
}

// The background is painted with the scroll-bar colour, also where a
// resize has just uncovered it.
void CheckBackground(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    const COLORREF expected = GetSysColor(COLOR_SCROLLBAR);
    CHECK(WaitUntil([&] {
        return ClientPixel(window, 4, 4) == expected
            && ClientPixel(window, client.right - 4, client.bottom - 4) == expected;
    }, 3000));
}

// Sizes and colour depths of an icon group: "32x32x4 16x16x4".
std::string IconImages(HMODULE module, int id)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    if (!found) {
        return "missing";
    }
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    // Group header: reserved, type, count; then 14-byte entries of width,
    // height, colours, reserved, planes, bits per pixel, size and id.
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    std::string images;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = group + 6 + 14 * i;
        const WORD bits = *reinterpret_cast<const WORD*>(entry + 6);
        images += (images.empty() ? "" : " ") + std::to_string(entry[0]) + "x"
            + std::to_string(entry[1]) + "x" + std::to_string(bits);
    }
    return images;
}

std::string VersionString(const std::vector<char>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    const std::string key = std::string("\\StringFileInfo\\040904E4\\") + name;
    VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length);
    return value ? value : "";
}

} // namespace

TEST_SUITE("window") {

TEST_CASE("the main window: class, title, size, background and four fixed controls")
{
    AppRun app;
    REQUIRE(StartApp(app));
    char className[64] = {};
    GetClassNameA(app.window, className, sizeof className);
    CHECK(std::string(className) == "TAPELARK");
    CHECK(GetClassLongA(app.window, GCL_STYLE) == (CS_HREDRAW | CS_VREDRAW));
    CHECK(ReadWindowText(app.window) == "Facit 4070 puncher simple interface");
    CHECK(Size(app.window) == "410x180");
    CHECK((GetWindowLongA(app.window, GWL_STYLE) & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW);
    CHECK((GetWindowLongA(app.window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE) == 0);
    CHECK(GetMenu(app.window) == nullptr);
    CheckBackground(app.window);
    CheckControls(app.window);
    // The edit control draws the field's border itself and takes WS_BORDER
    // out of its style, so the border is looked for on the screen.
    HWND field = GetDlgItem(app.window, 1003);
    CHECK(ClientPixel(field, 0, 15) == GetSysColor(COLOR_WINDOWFRAME));
    CHECK(ClientPixel(field, 1, 15) == GetSysColor(COLOR_WINDOW));

    SUBCASE("resized larger, the window keeps its controls where they were")
    {
        SetWindowPos(app.window, nullptr, 0, 0, 700, 400, SWP_NOMOVE | SWP_NOZORDER);
        CHECK(Size(app.window) == "700x400");
        CheckBackground(app.window);
        CheckControls(app.window);
    }
    SUBCASE("maximized, likewise")
    {
        // Without a window manager, Wine maximizes the window without
        // growing it on the X screen, so there is no new background to see.
        ShowWindow(app.window, SW_MAXIMIZE);
        CHECK(WaitUntil([&] { return IsZoomed(app.window) != FALSE; }));
        CheckControls(app.window);
    }
    SUBCASE("closed from the system menu, the program ends with exit code 0")
    {
        PostMessageA(app.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        CHECK(WaitForExit(app) == 0);
    }
}

TEST_CASE("a button's identifier with a notification code other than a click does nothing")
{
    AppRun app;
    REQUIRE(StartApp(app));
    // Each would show a dialog or, with "No file yet..." in the field, an
    // error box, if it were taken for a click.
    const WORD codes[] = {BN_DOUBLECLICKED, BN_SETFOCUS, 0x8000};
    for (int id : {1001, 1002, 1004}) {
        for (WORD code : codes) {
            DWORD_PTR result = 0;
            SendMessageTimeoutA(app.window, WM_COMMAND, MAKEWPARAM(id, code),
                                reinterpret_cast<LPARAM>(GetDlgItem(app.window, id)),
                                SMTO_ABORTIFHUNG, 2000, &result);
        }
    }
    CHECK(NoDialogAppears(app));
    CheckControls(app.window);
}

TEST_CASE("the program's resources: icons, class name and version")
{
    const std::string exe = SiblingPath("..\\tapelark.exe");
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(module);
    CHECK(IconImages(module, 107) == "32x32x4 16x16x4");
    CHECK(IconImages(module, 108) == "16x16x4");
    char className[100] = {};
    LoadStringA(module, 109, className, sizeof className);
    CHECK(std::string(className) == "TAPELARK");
    FreeLibrary(module);

    std::vector<char> info(GetFileVersionInfoSizeA(exe.c_str(), nullptr));
    REQUIRE_FALSE(info.empty());
    REQUIRE(GetFileVersionInfoA(exe.c_str(), 0, info.size(), info.data()));
    CHECK(VersionString(info, "ProductName") == "Tapelark");
    CHECK(VersionString(info, "ProductVersion") == TAPELARK_VERSION);
    CHECK_FALSE(VersionString(info, "FileDescription").empty());
}

} // TEST_SUITE
