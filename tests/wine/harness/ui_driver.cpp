#include "ui_driver.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdint>

namespace harness {

std::string utf8(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 25) {
        if (done()) return true;
        Sleep(25);
    }
    return done();
}

std::string classOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return utf8(name);
}

std::string windowText(HWND w) {
    LRESULT n = SendMessageW(w, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = SendMessageW(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(n));
    return utf8(text);
}

static std::string withoutAmpersand(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '&'), s.end());
    return s;
}

namespace {
struct Search {
    DWORD pid;
    const char* cls;
    const std::string* caption;
    std::vector<HWND> found;
};
// Enumeration callbacks are named functions: a lambda has no stdcall form for 32-bit Windows.
BOOL CALLBACK collectDialog(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if ((s->pid == 0 || owner == s->pid) && IsWindowVisible(w) && classOf(w) == "#32770") s->found.push_back(w);
    return TRUE;
}
BOOL CALLBACK collectChild(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (_stricmp(classOf(w).c_str(), s->cls) == 0 &&
        (s->caption->empty() || withoutAmpersand(windowText(w)) == *s->caption))
        s->found.push_back(w);
    return TRUE;
}
}  // namespace

std::vector<HWND> findDialogs(DWORD pid) {
    Search s{pid, nullptr, nullptr, {}};
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::vector<HWND> findChildren(HWND parent, const char* windowClass, const std::string& caption) {
    Search s{0, windowClass, &caption, {}};
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND findChild(HWND parent, const char* windowClass, const std::string& caption) {
    std::vector<HWND> found = findChildren(parent, windowClass, caption);
    return found.empty() ? nullptr : found.front();
}

std::vector<uint32_t> screenPixels(const RECT& r) {
    int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// An icon handle is not shared between processes under Wine, so what the icon
// control shows tells: the exclamation mark is the one yellow icon.
static bool showsExclamation(HWND iconControl) {
    RECT r;
    GetWindowRect(iconControl, &r);
    int yellow = 0;
    for (uint32_t p : screenPixels(r)) yellow += (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) > 150 && (p & 0xFF) < 100;
    return yellow > 50;
}

Dialog readDialog(HWND dialog) {
    Dialog d;
    d.hwnd = dialog;
    GetWindowThreadProcessId(dialog, &d.pid);
    d.title = windowText(dialog);
    std::string longestStatic;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string cls = classOf(c);
        if (cls == "Button") {
            d.buttons.push_back(withoutAmpersand(windowText(c)));
        } else if (cls == "Static" && (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            if (IsWindowVisible(c) && SendMessageW(c, STM_GETICON, 0, 0))
                d.icon = showsExclamation(c) ? Icon::Exclamation : Icon::Other;
        } else if (cls == "Static") {
            std::string t = windowText(c);
            if (GetDlgCtrlID(c) == 0xFFFF) d.text = t;
            if (t.size() > longestStatic.size()) longestStatic = t;
        }
    }
    if (d.text.empty()) d.text = longestStatic;
    return d;
}

static INPUT mouseAt(int x, int y, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>(x * 65535.0 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = static_cast<LONG>(y * 65535.0 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return in;
}

// The whole gesture goes in one SendInput: on a busy machine separate calls can
// land far enough apart that a double-click becomes two single clicks.
void clickControl(HWND control, bool twice, bool press) {
    RECT r;
    GetWindowRect(control, &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    if (press) SetForegroundWindow(GetAncestor(control, GA_ROOT));
    std::vector<INPUT> gesture = {mouseAt(x, y, MOUSEEVENTF_MOVE)};
    for (int i = 0; press && i < (twice ? 2 : 1); i++) {
        gesture.push_back(mouseAt(x, y, MOUSEEVENTF_LEFTDOWN));
        gesture.push_back(mouseAt(x, y, MOUSEEVENTF_LEFTUP));
    }
    SendInput(static_cast<UINT>(gesture.size()), gesture.data(), sizeof(INPUT));
}

bool pressButton(HWND dialog, const std::string& caption) {
    HWND button = findChild(dialog, "Button", caption);
    if (!button) return false;
    clickControl(button);
    if (!waitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 1000) && IsWindow(button))
        PostMessageW(button, BM_CLICK, 0, 0);
    return true;
}

void typeText(HWND edit, const std::string& text) {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(text).c_str()));
}

std::string clipboardText() {
    std::string text;
    waitFor([] { return OpenClipboard(nullptr) != FALSE; }, 500);
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) text = utf8(p);
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

HWND waitForDialog(DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    waitFor([&] { return (found = findDialogs(pid).empty() ? nullptr : findDialogs(pid).front()) != nullptr; },
            timeoutMs);
    return found;
}

bool saveScreenPng(const RECT& rect, const std::wstring& path) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    std::vector<uint32_t> pixels = screenPixels(rect);
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
    using namespace Gdiplus::DllExports;
    const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    Gdiplus::GpBitmap* image = nullptr;
    bool ok = GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppRGB,
                                        reinterpret_cast<BYTE*>(pixels.data()), &image) == Gdiplus::Ok &&
              GdipSaveImageToFile(image, path.c_str(), &png, nullptr) == Gdiplus::Ok;
    if (image) GdipDisposeImage(image);
    Gdiplus::GdiplusShutdown(token);
    return ok;
}

}  // namespace harness
