// The floor for the program's start-up: a minimal Win32 window program,
// built with the same compiler and flags. It registers a class, creates
// its window, shows and paints it, and runs until the window is closed.
// Built with THEMED, it also carries the program's manifest and calls
// InitCommonControls, as the program does: Common Controls 6 is then part
// of the floor, not of the program's own cost.
#include <windows.h>
#ifdef THEMED
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK MinimalWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    // WM_PAINT too: the default paints the class background.
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
#ifdef THEMED
    InitCommonControls();
#endif
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MinimalWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "MinimalWindow";
    RegisterClassA(&windowClass);
    const HWND window = CreateWindowExA(0, "MinimalWindow", "Minimal window", WS_OVERLAPPEDWINDOW,
                                       CW_USEDEFAULT, 0, 410, 180, nullptr, nullptr, instance,
                                       nullptr);
    if (!window)
        return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
