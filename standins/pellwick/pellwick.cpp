// Pellwick wizard stand-in: records how it was started, then stays open as a
// wizard does, until its window is closed (or a minute has passed).
// Each start is recorded as launch_record.h says. Its window is titled
// "Pellwick" and is shown in the state it was asked for.
#include "standins/launch_record.h"

static LRESULT CALLBACK wizardProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY || (msg == WM_TIMER && wp == 1)) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    if (!recordLaunch()) return 2;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = wizardProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"PellwickStandIn";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(wc.lpszClassName, L"Pellwick", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                400, 300, nullptr, nullptr, instance, nullptr);
    if (!window) return 3;
    ShowWindow(window, show);
    SetTimer(window, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
