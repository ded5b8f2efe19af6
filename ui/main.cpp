// Start-up, the message loop, and the handler each window message goes to.
#include "main_window.h"
#include "resource.h"

#include <commctrl.h>

namespace {

constexpr int CLASS_NAME_CAPACITY = 100;

void RegisterMainClass(HINSTANCE instance, const wchar_t* className)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TAPELARK));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
    windowClass.lpszClassName = className;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TAPELARK_SMALL));
    // A failed registration shows up as the failed creation that follows.
    RegisterClassExW(&windowClass);
}

bool CreateMainWindow(HINSTANCE instance, const wchar_t* className, int showCommand)
{
    HWND window = CreateWindowExW(0, className, WINDOW_TITLE, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, 0, 410, 180, nullptr, nullptr, instance,
                                  nullptr);
    if (!window) {
        return false;
    }
    for (const ControlLayout& control : MAIN_CONTROLS) {
        CreateWindowExW(0, control.className, control.text,
                        WS_CHILD | WS_VISIBLE | control.style, control.x, control.y,
                        control.width, control.height, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance,
                        nullptr);
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

} // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(window, wParam);
        return 0;
    case WM_TIMER:
        if (wParam == SETTLE_TIMER) {
            OnSettleTimer(window);
        } else {
            OnProgressTimer(window);
        }
        return 0;
    case WM_TRANSFER_DONE:
        OnTransferDone(window);
        return 0;
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession();
    case WM_ENDSESSION:
        OnEndSession(window, wParam);
        return 0;
    case WM_POWERBROADCAST:
        return OnPowerBroadcast(window, wParam, lParam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // Loads Common Controls 6, which the manifest asks for: XP registers its
    // themed controls only then.
    InitCommonControls();
    wchar_t className[CLASS_NAME_CAPACITY] = {};
    LoadStringW(instance, IDS_WINDOW_CLASS, className, CLASS_NAME_CAPACITY);
    RegisterMainClass(instance, className);
    if (!CreateMainWindow(instance, className, showCommand)) {
        return 0;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        NotePress(message);
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
