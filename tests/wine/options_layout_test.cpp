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
#include <stdexcept>

#include "options_driver.h"
#include "sandbox.h"

using namespace bench;

namespace {

// The control table, in twips; "inside" names the frame the position is relative to.
struct Row {
    const char* name;
    const char* windowClass;
    const char* caption;
    const char* inside;
    int left, top, width, height;
    int tabOrder;
};

const Row kTable[] = {
    {"TabStrip1", "SysTabControl32", "", nullptr, 120, 120, 7095, 5895, 0},
    {"Frame1", "Button", "Twain Settings", nullptr, 240, 480, 6855, 855, 1},
    {"ckDisplayTwain", "Button", "Display twain settings before scanning", "Frame1", 240, 360, 3735, 255, 2},
    {"cmdSelectScan", "Button", "Select Scanner", nullptr, 5400, 780, 1575, 375, 18},
    {"Frame3", "Button", "Paths", nullptr, 240, 1440, 6855, 1545, 9},
    {"lbl1", "Static", "Dorvex Executable:", "Frame3", 240, 360, 1815, 255, 10},
    {"txtDxPath", "Edit", "", "Frame3", 2760, 330, 3375, 285, 12},
    {"cmdBrowseDxPath", "Button", "...", "Frame3", 6120, 330, 615, 285, 14},
    {"Label1", "Static", "Scan and Retrieval Configurations:", "Frame3", 240, 690, 2535, 255, 11},
    {"txtConfigPath", "Edit", "", "Frame3", 2760, 660, 3375, 285, 13},
    {"cmdBrowseConfigPath", "Button", "...", "Frame3", 6120, 660, 615, 285, 15},
    {"cmdPellwick", "Button", "Pellwick", "Frame3", 2760, 1020, 3975, 375, 19},
    {"Frame2", "Button", "Integrated Menu", nullptr, 240, 3120, 6855, 855, 6},
    {"cmdAddMenu", "Button", "Add Menu", nullptr, 720, 3420, 2655, 375, 8},
    {"cmdRemoveMenu", "Button", "Remove Menu", nullptr, 3960, 3420, 2655, 375, 7},
    {"Frame4", "Button", "View Dorvex", nullptr, 240, 4080, 6855, 855, 16},
    {"ckDisplayDorvex", "Button", "Display Dorvex when scanning and processing", "Frame4", 240, 360, 4335, 195, 17},
    {"Frame5", "Button", "Memos and Customer Documents", nullptr, 240, 5040, 6855, 855, 20},
    {"ckCustomerMemo", "Button", "Prompt for memo when scanning documents not related to transactions", "Frame5", 240,
     360, 6015, 255, 21},
    {"cmdOK", "Button", "OK", nullptr, 3480, 6120, 1215, 375, 3},
    {"cmdCancel", "Button", "Cancel", nullptr, 4800, 6120, 1095, 375, 4},
    {"cmdApply", "Button", "Apply", nullptr, 6000, 6120, 1215, 375, 5},
    {"lblDebug", "Static", "", nullptr, 120, 6120, 2295, 375, 22},
};

const char* kPellwickTip =
    "All scanned images are saved to the Default Output Folder.  Use Pellwick to change this folder and store "
    "your documents in an alternate location.";

const Row& row(const std::string& name) {
    for (const Row& r : kTable)
        if (name == r.name) return r;
    throw std::runtime_error("no row " + name);
}

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
    for (const Row& r : kTable) {
        std::vector<HWND> alike;
        for (HWND c : children)
            if (_stricmp(classOf(c).c_str(), r.windowClass) == 0 &&
                (std::string(r.windowClass) == "Edit" || windowText(c) == r.caption))
                alike.push_back(c);
        std::stable_sort(alike.begin(), alike.end(), [](HWND a, HWND b) {
            RECT ra, rb;
            GetWindowRect(a, &ra);
            GetWindowRect(b, &rb);
            return ra.top < rb.top;
        });
        size_t n = 0;
        for (const Row& earlier : kTable) {
            if (&earlier == &r) break;
            if (std::string(earlier.windowClass) == r.windowClass && std::string(earlier.caption) == r.caption) n++;
        }
        if (n < alike.size()) found[r.name] = alike[n];
    }
    return found;
}

RECT expectedPixels(const Row& r) {
    int left = r.left, top = r.top;
    if (r.inside) {
        left += row(r.inside).left;
        top += row(r.inside).top;
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
        EXPECT_EQ(children, static_cast<int>(std::size(kTable))) << "one window for each control, no more";
        for (const Row& row : kTable) {
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
        std::vector<const Row*> stops;
        for (const Row& row : kTable) {
            std::string name = row.name;
            if (name.rfind("Frame", 0) != 0 && name.rfind("lbl", 0) != 0 && name != "Label1") stops.push_back(&row);
        }
        std::sort(stops.begin(), stops.end(), [](const Row* a, const Row* b) { return a->tabOrder < b->tabOrder; });
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
        EXPECT_EQ(windowText(tip), kPellwickTip);

        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    ASSERT_FALSE(r.dialogs.empty());
    EXPECT_EQ(r.dialogs.size(), 1u);
}
