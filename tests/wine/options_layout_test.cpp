// The Options dialog as it appears: title, icon, client area, every control's
// kind, caption and rectangle, the tab strip, the keyboard order, the Pellwick
// tooltip; and a picture of it for the manual (artifacts/options-dialog.png).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "options_driver.h"
#include "sandbox.h"
#include "ui/options_controls.h"

using namespace bench;

namespace {

using marlet::Control;
using marlet::ControlId;
using marlet::ControlKind;
using marlet::kControls;

// The window class each kind of control has.
const char* windowClassOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::TabStrip: return "SysTabControl32";
    case ControlKind::Frame:
    case ControlKind::CheckBox:
    case ControlKind::Button: return "Button";
    case ControlKind::Label: return "Static";
    case ControlKind::TextBox: return "Edit";
    }
    return "";
}

// What the window shows: the tab strip's caption is its tab's, not its own.
std::string captionOf(const Control& c) { return c.kind == ControlKind::TabStrip ? "" : utf8(c.caption); }

std::string classOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return utf8(name);
}

// Each row's window: the n-th child with the row's class and caption, from the
// top, where n counts the earlier rows alike ("..." twice, the two text boxes).
std::map<std::string, HWND> locate(HWND dialog) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    std::map<std::string, HWND> found;
    for (const Control& r : kControls) {
        std::vector<HWND> alike;
        for (HWND c : children)
            if (_stricmp(classOf(c).c_str(), windowClassOf(r.kind)) == 0 &&
                (r.kind == ControlKind::TextBox || windowText(c) == captionOf(r)))
                alike.push_back(c);
        std::stable_sort(alike.begin(), alike.end(), [](HWND a, HWND b) {
            RECT ra, rb;
            GetWindowRect(a, &ra);
            GetWindowRect(b, &rb);
            return ra.top < rb.top;
        });
        size_t n = 0;
        for (const Control& earlier : kControls) {
            if (&earlier == &r) break;
            if (std::string(windowClassOf(earlier.kind)) == windowClassOf(r.kind) && captionOf(earlier) == captionOf(r))
                n++;
        }
        if (n < alike.size()) found[r.name] = alike[n];
    }
    return found;
}

RECT expectedPixels(const Control& r) {
    int left = r.left, top = r.top;
    if (r.inside != ControlId::none) {
        left += marlet::controlOf(r.inside).left;
        top += marlet::controlOf(r.inside).top;
    }
    return {left / 15, top / 15, (left + r.width) / 15, (top + r.height) / 15};  // 96 DPI
}

RECT clientRectOf(HWND control, HWND dialog) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The text of tab `index`, read through memory in the dialog's process.
std::string tabText(HWND tabs, DWORD pid, int index) {
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return "<no access>";
    const size_t chars = 64;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(TCITEMW) + chars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TCITEMW));
    item.cchTextMax = chars;
    WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
    wchar_t text[chars] = {};
    if (SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote)))
        ReadProcessMemory(process, remote + sizeof(TCITEMW), text, sizeof text, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    text[chars - 1] = 0;
    return utf8(text);
}

HWND focusOf(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

struct TooltipSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK matchTooltip(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<TooltipSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == s->pid && IsWindowVisible(w) && classOf(w) == "tooltips_class32") s->found = w;
    return !s->found;
}

// The visible tooltip window of process `pid`, if any.
HWND visibleTooltip(DWORD pid) {
    TooltipSearch s{pid, nullptr};
    EnumWindows(matchTooltip, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void moveMouse(int x, int y) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>(x * 65535.0 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = static_cast<LONG>(y * 65535.0 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

// Wine draws the window frame itself for marlet.exe while this lives, so that
// the picture has its caption: the bare X display has no window manager.
struct WineDrawsFrames {
    HKEY key = nullptr;
    WineDrawsFrames() {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\marlet.exe\\X11 Driver", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExW(key, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
    }
    ~WineDrawsFrames() {
        RegDeleteValueW(key, L"Decorated");
        RegCloseKey(key);
    }
};

// 32-bit pixels of a screen area, top-down (BGRA).
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
    info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB};
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Whether the program's small icon (its opaque pixels) is drawn somewhere in `area`.
bool showsProgramIcon(const std::wstring& exe, const RECT& area) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    const int size = GetSystemMetrics(SM_CXSMICON);
    HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    if (!icon) return false;
    ICONINFO ii = {};
    GetIconInfo(icon, &ii);
    std::vector<uint32_t> bits(static_cast<size_t>(size) * size);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, size, -size, 1, 32, BI_RGB};
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, ii.hbmColor, 0, static_cast<UINT>(size), bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    DestroyIcon(icon);
    FreeLibrary(module);

    std::vector<uint32_t> screen = screenPixels(area);
    int w = area.right - area.left, h = area.bottom - area.top;
    auto close = [](uint32_t a, uint32_t b) {
        for (int s = 0; s < 24; s += 8)
            if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > 8) return false;
        return true;
    };
    for (int y = 0; y + size <= h; y++)
        for (int x = 0; x + size <= w; x++) {
            bool match = true;
            for (int i = 0; i < size * size && match; i++) {
                uint32_t p = bits[static_cast<size_t>(i)];
                if ((p >> 24) == 0xFF) match = close(p, screen[static_cast<size_t>((y + i / size) * w + x + i % size)]);
            }
            if (match) return true;
        }
    return false;
}

std::wstring artifactsFolder() {
    std::wstring folder = binFolder();
    folder = folder.substr(0, folder.find_last_of(L'\\')) + L"\\artifacts";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

TEST(OptionsLayout, TheDialogAsTheTableDescribesIt) {
    Sandbox box;
    box.writeIni("False\r\nC:\\Program Files\\Dorvex\\\r\nC:\\Program Files\\Dorvex\\Jobs\\\r\nFalse\r\nTrue\r\n"
                 "False\r\n");
    WineDrawsFrames frames;
    RunResult r = runWithOptions(box, L"/options", [&](OptionsWindow& w) {
        HWND dialog = w.hwnd();
        EXPECT_EQ(windowText(dialog), "Options");
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, 489);  // 7335 twips
        EXPECT_EQ(client.bottom, 441);  // 6615 twips
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "shown with no owner";

        // The picture, before anything is touched; the caption shows the program's icon.
        RECT frame;
        GetWindowRect(dialog, &frame);
        SetForegroundWindow(dialog);
        Sleep(300);
        EXPECT_TRUE(saveScreenPng(frame, artifactsFolder() + L"\\options-dialog.png"));
        RECT caption = {frame.left, frame.top, frame.right, frame.top + (frame.bottom - frame.top - client.bottom)};
        EXPECT_TRUE(showsProgramIcon(box.path(L"marlet.exe"), caption)) << "no program icon in the caption";

        std::map<std::string, HWND> controls = locate(dialog);
        int children = 0;
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children++;
        EXPECT_EQ(children, static_cast<int>(std::size(kControls))) << "one window for each control, no more";
        for (const Control& row : kControls) {
            SCOPED_TRACE(row.name);
            ASSERT_TRUE(controls.count(row.name)) << "not found";
            HWND c = controls[row.name];
            RECT got = clientRectOf(c, dialog), want = expectedPixels(row);
            EXPECT_NEAR(got.left, want.left, 1);
            EXPECT_NEAR(got.top, want.top, 1);
            EXPECT_NEAR(got.right - got.left, want.right - want.left, 1);
            EXPECT_NEAR(got.bottom - got.top, want.bottom - want.top, 1);
            EXPECT_TRUE(IsWindowVisible(c));
            LONG style = GetWindowLongW(c, GWL_STYLE);
            std::string name = row.name;
            if (name.rfind("Frame", 0) == 0) EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
            if (name.rfind("ck", 0) == 0) EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
            if (name.rfind("cmd", 0) == 0) EXPECT_LE(style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        }
        EXPECT_TRUE(GetWindowLongW(controls["lblDebug"], GWL_STYLE) & SS_NOTIFY) << "takes double-clicks";
        EXPECT_EQ(w.text(controls["txtDxPath"]), "C:\\Program Files\\Dorvex\\");
        EXPECT_EQ(w.text(controls["txtConfigPath"]), "C:\\Program Files\\Dorvex\\Jobs\\");
        EXPECT_TRUE(w.checked(controls["ckCustomerMemo"]));

        HWND tabs = controls["TabStrip1"];
        EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
        EXPECT_EQ(tabText(tabs, w.pid(), 0), "General");

        // Tab goes round the controls that take the focus in the order of the table.
        std::vector<const Control*> stops;
        for (const Control& row : kControls) {
            std::string name = row.name;
            if (name.rfind("Frame", 0) != 0 && name.rfind("lbl", 0) != 0 && name != "Label1") stops.push_back(&row);
        }
        std::sort(stops.begin(), stops.end(), [](const Control* a, const Control* b) { return a->tabOrder < b->tabOrder; });
        EXPECT_EQ(focusOf(dialog), controls["TabStrip1"]) << "the first in the order has the focus";
        std::vector<std::string> visited, expected;
        for (size_t i = 1; i <= stops.size(); i++) {
            expected.push_back(stops[i % stops.size()]->name);
            HWND before = focusOf(dialog);
            w.key(VK_TAB);
            waitFor([&] { return focusOf(dialog) != before; }, 3000);
            std::string name = "<" + classOf(focusOf(dialog)) + ">";
            for (auto& [n, h] : controls)
                if (h == focusOf(dialog)) name = n;
            visited.push_back(name);
        }
        EXPECT_EQ(visited, expected);

        // The tooltip shows while the mouse rests on Pellwick.
        clickControl(controls["TabStrip1"]);  // the mouse moves away first
        HWND pellwick = controls["cmdPellwick"];
        RECT pr;
        GetWindowRect(pellwick, &pr);
        HWND tip = nullptr;
        for (int attempt = 0; attempt < 3 && !tip; attempt++) {  // each move starts the wait anew
            moveMouse((pr.left + pr.right) / 2 + attempt, (pr.top + pr.bottom) / 2);
            waitFor([&] { return (tip = visibleTooltip(w.pid())) != nullptr; }, 3000);
        }
        ASSERT_NE(tip, nullptr) << "no tooltip";
        EXPECT_EQ(windowText(tip), utf8(marlet::kPellwickTip));

        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    ASSERT_FALSE(r.dialogs.empty());
    EXPECT_EQ(r.dialogs.size(), 1u);
}
