#include "ui_driver.h"

namespace bench {

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring wide(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

static std::string className(HWND w) {
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

namespace {
struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};
// Enumeration callbacks are named functions: a lambda has no stdcall form for 32-bit Windows.
BOOL CALLBACK collectDialog(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<DialogSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if ((s->pid == 0 || owner == s->pid) && IsWindowVisible(w) && className(w) == "#32770")
        s->found.push_back(w);
    return TRUE;
}
}  // namespace

std::vector<HWND> findDialogs(DWORD pid) {
    DialogSearch search{pid, {}};
    EnumWindows(collectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

static std::string withoutAmpersand(std::string s) {
    std::string out;
    for (char c : s)
        if (c != '&') out += c;
    return out;
}

// Compares what an icon control shows on the screen with the system's
// exclamation icon drawn on the same background: icon handles are not shared
// between processes under Wine, so the handle cannot tell.
static bool showsExclamation(HWND iconControl) {
    RECT r;
    GetWindowRect(iconControl, &r);
    const int w = 32, h = 32;
    HDC screen = GetDC(nullptr);
    HDC shown = CreateCompatibleDC(screen), drawn = CreateCompatibleDC(screen);
    HBITMAP shownBits = CreateCompatibleBitmap(screen, w, h), drawnBits = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ oldShown = SelectObject(shown, shownBits), oldDrawn = SelectObject(drawn, drawnBits);
    BitBlt(shown, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    HBRUSH background = CreateSolidBrush(GetPixel(shown, 0, 0));
    RECT all = {0, 0, w, h};
    FillRect(drawn, &all, background);
    DrawIconEx(drawn, 0, 0, LoadIcon(nullptr, IDI_EXCLAMATION), w, h, 0, nullptr, DI_NORMAL);
    int differing = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) differing += GetPixel(shown, x, y) != GetPixel(drawn, x, y);
    DeleteObject(background);
    SelectObject(shown, oldShown);
    SelectObject(drawn, oldDrawn);
    DeleteDC(shown);
    DeleteDC(drawn);
    DeleteObject(shownBits);
    DeleteObject(drawnBits);
    ReleaseDC(nullptr, screen);
    return differing < w * h / 20;
}

Dialog readDialog(HWND dialog) {
    Dialog d;
    d.hwnd = dialog;
    GetWindowThreadProcessId(dialog, &d.pid);
    d.title = windowText(dialog);
    std::string longestStatic;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string cls = className(c);
        if (cls == "Button") {
            d.buttons.push_back(withoutAmpersand(windowText(c)));
        } else if (cls == "Static") {
            LONG style = GetWindowLongW(c, GWL_STYLE);
            if ((style & SS_TYPEMASK) == SS_ICON) {
                if (IsWindowVisible(c) && SendMessageW(c, STM_GETICON, 0, 0))
                    d.icon = showsExclamation(c) ? Icon::Exclamation : Icon::Other;
                continue;
            }
            std::string t = windowText(c);
            if (GetDlgCtrlID(c) == 0xFFFF) d.text = t;
            if (t.size() > longestStatic.size()) longestStatic = t;
        }
    }
    if (d.text.empty()) d.text = longestStatic;
    return d;
}

namespace {
struct ChildSearch {
    const char* cls;
    const std::string* caption;
    HWND found;
};
BOOL CALLBACK matchChild(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (_stricmp(className(w).c_str(), s->cls) == 0 &&
        (s->caption->empty() || withoutAmpersand(windowText(w)) == *s->caption)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND findChild(HWND parent, const char* windowClass, const std::string& caption) {
    ChildSearch s{windowClass, &caption, nullptr};
    EnumChildWindows(parent, matchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
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
void clickControl(HWND control, bool twice) {
    RECT r;
    GetWindowRect(control, &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    SetForegroundWindow(GetAncestor(control, GA_ROOT));
    std::vector<INPUT> gesture = {mouseAt(x, y, MOUSEEVENTF_MOVE)};
    for (int i = 0; i < (twice ? 2 : 1); i++) {
        gesture.push_back(mouseAt(x, y, MOUSEEVENTF_LEFTDOWN));
        gesture.push_back(mouseAt(x, y, MOUSEEVENTF_LEFTUP));
    }
    SendInput(static_cast<UINT>(gesture.size()), gesture.data(), sizeof(INPUT));
}

bool pressButton(HWND dialog, const std::string& caption) {
    HWND button = findChild(dialog, "Button", caption);
    if (!button) return false;
    clickControl(button);
    for (int i = 0; i < 40 && IsWindow(dialog) && IsWindowVisible(dialog); i++) Sleep(25);
    if (IsWindow(dialog) && IsWindowVisible(dialog) && IsWindow(button))
        PostMessageW(button, BM_CLICK, 0, 0);
    return true;
}

void typeText(HWND edit, const std::string& text) {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(text).c_str()));
}

std::string clipboardText() {
    std::string text;
    for (int i = 0; i < 20 && !OpenClipboard(nullptr); i++) Sleep(25);
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text = utf8(p);
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

HWND waitForDialog(DWORD pid, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 25) {
        std::vector<HWND> found = findDialogs(pid);
        if (!found.empty()) return found.front();
        Sleep(25);
    }
    return nullptr;
}

}  // namespace bench
