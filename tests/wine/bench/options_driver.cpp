#include "options_driver.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bench {

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 25) {
        if (done()) return true;
        Sleep(25);
    }
    return done();
}

OptionsWindow::OptionsWindow(HWND dialog) : hwnd_(dialog) { GetWindowThreadProcessId(dialog, &pid_); }

namespace {
struct ChildSearch {
    const char* cls;
    const std::string* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK collectChild(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    if (_stricmp(utf8(name).c_str(), s->cls) == 0 && (s->caption->empty() || windowText(w) == *s->caption))
        s->found.push_back(w);
    return TRUE;
}
}  // namespace

// Children of one class (and caption, unless empty), from top to bottom.
static std::vector<HWND> childrenByTop(HWND parent, const char* windowClass, const std::string& caption = "") {
    ChildSearch s{windowClass, &caption, {}};
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&s));
    std::stable_sort(s.found.begin(), s.found.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top < rb.top;
    });
    return s.found;
}

HWND OptionsWindow::button(const std::string& caption) const { return findChild(hwnd_, "Button", caption); }

HWND OptionsWindow::browseDxPath() const {
    std::vector<HWND> b = childrenByTop(hwnd_, "Button", "...");
    return b.size() == 2 ? b[0] : nullptr;
}

HWND OptionsWindow::browseConfigPath() const {
    std::vector<HWND> b = childrenByTop(hwnd_, "Button", "...");
    return b.size() == 2 ? b[1] : nullptr;
}

HWND OptionsWindow::checkBox(const std::string& caption) const { return findChild(hwnd_, "Button", caption); }

HWND OptionsWindow::dxPathBox() const {
    std::vector<HWND> e = childrenByTop(hwnd_, "Edit");
    return e.size() == 2 ? e[0] : nullptr;
}

HWND OptionsWindow::configPathBox() const {
    std::vector<HWND> e = childrenByTop(hwnd_, "Edit");
    return e.size() == 2 ? e[1] : nullptr;
}

HWND OptionsWindow::debugLabel() const {
    std::vector<HWND> s = childrenByTop(hwnd_, "Static");
    return s.empty() ? nullptr : s.back();
}

std::string OptionsWindow::text(HWND control) const { return windowText(control); }

bool OptionsWindow::checked(HWND box) const { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// The dialog is in front and takes input (a box that was just answered may
// still be handing the focus back).
static void inFront(HWND dialog) {
    waitFor(
        [&] {
            if (GetForegroundWindow() != dialog) SetForegroundWindow(dialog);
            return IsWindowEnabled(dialog) && GetForegroundWindow() == dialog;
        },
        5000);
}

void OptionsWindow::click(HWND control) const {
    inFront(hwnd_);
    clickControl(control);
}

// A click can be lost while the focus is still coming back from a box that was
// just answered, or on a machine too busy to take it in time; a person would
// click again when nothing happened, and so do these.
static bool repeatUntil(const std::function<void()>& act, const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 3; attempt++) {
        if (attempt > 0 && done()) return true;
        act();
        if (waitFor(done, attempt < 2 ? 3000 : 10000)) return true;
    }
    return false;
}

bool OptionsWindow::doubleClick(HWND control, const std::function<bool()>& done) const {
    return repeatUntil(
        [&] {
            inFront(hwnd_);
            clickControl(control, true);
        },
        done);
}

void OptionsWindow::toggle(HWND box) const {
    bool before = checked(box);
    repeatUntil([&] { click(box); }, [&] { return checked(box) != before; });
}

void OptionsWindow::press(const std::string& caption, const std::function<bool()>& done) const {
    HWND target = button(caption);
    repeatUntil([&] { click(target); }, done);
}

void OptionsWindow::type(HWND box, const std::string& text) const { typeText(box, text); }

static void sendKey(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

void OptionsWindow::key(WORD vk, bool alt) const {
    inFront(hwnd_);
    if (alt) sendKey(VK_MENU, false);
    sendKey(vk, false);
    sendKey(vk, true);
    if (alt) sendKey(VK_MENU, true);
}

bool OptionsWindow::isOpen() const { return IsWindow(hwnd_) && IsWindowVisible(hwnd_); }

bool OptionsWindow::close(const std::string& how) {
    HWND target = how == "Alt+F4" ? nullptr : button(how);
    return repeatUntil(
        [&] {
            if (!isOpen()) return;
            if (target)
                click(target);
            else
                key(VK_F4, true);
        },
        [&] { return !isOpen(); });
}

HWND OptionsWindow::waitForOther(int timeoutMs) const {
    HWND found = nullptr;
    waitFor(
        [&] {
            for (HWND w : findDialogs(pid_))
                if (w != hwnd_) found = w;
            return found != nullptr;
        },
        timeoutMs);
    if (found) Sleep(100);  // let it finish drawing
    return found;
}

Dialog answer(HWND dialog, const std::string& buttonCaption) {
    Dialog d = readDialog(dialog);
    pressButton(dialog, buttonCaption);
    return d;
}

RunResult runWithOptions(const Sandbox& box, const std::wstring& arguments,
                         const std::function<void(OptionsWindow&)>& script, int timeoutMs) {
    bool handled = false;
    return box.runMarlet(
        arguments,
        [&](const Dialog& d) {
            if (handled || d.title != "Options") {
                pressFirstButton(d);
                return;
            }
            handled = true;
            OptionsWindow w(d.hwnd);
            script(w);
            if (w.isOpen()) w.close("Cancel");  // a script that stopped early
        },
        timeoutMs);
}

// --- PNG: 8-bit RGB rows, deflate in stored blocks (no compression needed).

static uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
    static uint32_t table[256];
    if (!table[1])
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
    crc = ~crc;
    for (size_t i = 0; i < n; i++) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

static void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

static void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    put32(out, crc32(typed.data(), typed.size()));
}

static std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& bgra) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; y++) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width; x++) {
            const uint8_t* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
            raw.insert(raw.end(), {p[2], p[1], p[0]});
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    for (size_t at = 0; at < raw.size() || at == 0;) {
        size_t n = std::min<size_t>(65535, raw.size() - at);
        bool last = at + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.insert(z.end(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(~n),
                           static_cast<uint8_t>(~n >> 8)});
        z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
        at += n;
        if (last) break;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

bool saveScreenPng(const RECT& rect, const std::wstring& path) {
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    std::vector<uint8_t> pixels(static_cast<const uint8_t*>(bits),
                                static_cast<const uint8_t*>(bits) + static_cast<size_t>(width) * height * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    std::vector<uint8_t> png = encodePng(width, height, pixels);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(f, png.data(), static_cast<DWORD>(png.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == png.size();
}

}  // namespace bench
