// The Options dialog as the user sees and works it: every row of the product's
// control table (kind, caption, rectangle, keyboard order), the tab strip, the
// Pellwick tooltip and a picture for the manual (artifacts/options-dialog.png);
// then each control wired to its handler, the folder browser, the scanner
// selection and the wizard's start, with their effect on dxqb.ini.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "options_driver.h"
#include "qb_standin.h"

using namespace harness;
using marlet::Control;
using marlet::ControlId;
using marlet::ControlKind;
using marlet::kControls;

namespace {

const std::string kDebugCaption = "Debug mode is enabled.";

// While this lives, marlet.exe gets a registry value of Wine's per-program settings.
struct WineSetting {
    HKEY key = nullptr;
    const wchar_t* name;
    WineSetting(const wchar_t* subkey, const wchar_t* name_, const std::wstring& value) : name(name_) {
        RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Wine\\AppDefaults\\marlet.exe\\") + subkey).c_str(),
                        0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    ~WineSetting() {
        RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
};

RECT expectedPixels(const Control& r) {  // at 96 DPI
    int left = r.left, top = r.top;
    if (r.inside != ControlId::none) {
        left += marlet::controlOf(r.inside).left;
        top += marlet::controlOf(r.inside).top;
    }
    return {left / 15, top / 15, (left + r.width) / 15, (top + r.height) / 15};
}

// The text of the tab strip's tab, read through memory in the dialog's process.
std::string tabText(HWND tabs, DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TCITEMW));
    item.cchTextMax = 64;
    WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
    wchar_t text[64] = {};
    if (SendMessageW(tabs, TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote)))
        ReadProcessMemory(process, item.pszText, text, sizeof text - sizeof(wchar_t), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return utf8(text);
}

HWND focusOf(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

BOOL CALLBACK matchTooltip(HWND w, LPARAM lp) {
    auto* found = reinterpret_cast<HWND*>(lp);
    if (IsWindowVisible(w) && classOf(w) == "tooltips_class32") *found = w;
    return !*found;
}

// Whether the program's small icon (its opaque pixels) is drawn somewhere in
// `area`: icon handles are not shared between processes under Wine.
bool showsProgramIcon(const std::wstring& exe, const RECT& area) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
    const int size = GetSystemMetrics(SM_CXSMICON), w = area.right - area.left, h = area.bottom - area.top;
    HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    if (!icon) return false;
    ICONINFO ii = {};
    GetIconInfo(icon, &ii);
    std::vector<uint32_t> bits(static_cast<size_t>(size) * size), screen = screenPixels(area);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, ii.hbmColor, 0, static_cast<UINT>(size), bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    DestroyIcon(icon);
    FreeLibrary(module);
    auto alike = [](uint32_t a, uint32_t b) {
        for (int s = 0; s < 24; s += 8)
            if (std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)) > 8) return false;
        return true;
    };
    for (int y = 0; y + size <= h; y++)
        for (int x = 0; x + size <= w; x++) {
            bool match = true;
            for (int i = 0; i < size * size && match; i++)
                if ((bits[static_cast<size_t>(i)] >> 24) == 0xFF)
                    match = alike(bits[static_cast<size_t>(i)], screen[static_cast<size_t>((y + i / size) * w + x + i % size)]);
            if (match) return true;
        }
    return false;
}

// The dialog as the table describes it, untouched, and its picture.
void checkLayout(const Sandbox& box, OptionsWindow& w) {
    HWND dialog = w.hwnd();
    EXPECT_EQ(windowText(dialog), "Options");
    RECT client, frame;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, marlet::kClientWidth / 15);
    EXPECT_EQ(client.bottom, marlet::kClientHeight / 15);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "shown with no owner";

    GetWindowRect(dialog, &frame);
    SetForegroundWindow(dialog);
    Sleep(300);
    std::wstring artifacts = binFolder().substr(0, binFolder().find_last_of(L'\\')) + L"\\artifacts";
    CreateDirectoryW(artifacts.c_str(), nullptr);
    EXPECT_TRUE(saveScreenPng(frame, artifacts + L"\\options-dialog.png"));
    RECT caption = {frame.left, frame.top, frame.right, frame.top + (frame.bottom - frame.top - client.bottom)};
    EXPECT_TRUE(showsProgramIcon(box.path(L"marlet.exe"), caption)) << "no program icon in the caption";

    int children = 0;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children++;
    EXPECT_EQ(children, marlet::kControlCount) << "one window for each control, no more";
    for (const Control& row : kControls) {
        SCOPED_TRACE(row.name);
        HWND c = w.control(row.id);
        ASSERT_NE(c, nullptr) << "not found";
        RECT got, want = expectedPixels(row);
        GetWindowRect(c, &got);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_NEAR(got.left, want.left, 1);
        EXPECT_NEAR(got.top, want.top, 1);
        EXPECT_NEAR(got.right - got.left, want.right - want.left, 1);
        EXPECT_NEAR(got.bottom - got.top, want.bottom - want.top, 1);
        EXPECT_TRUE(IsWindowVisible(c));
        if (row.kind == ControlKind::Label && row.id != ControlId::lblDebug) {
            EXPECT_EQ(windowText(c), utf8(row.caption));
        }
        LONG type = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
        if (row.kind == ControlKind::Frame) {
            EXPECT_EQ(type, BS_GROUPBOX);
        }
        if (row.kind == ControlKind::CheckBox) {
            EXPECT_EQ(type, BS_AUTOCHECKBOX);
        }
        if (row.kind == ControlKind::Button) {
            EXPECT_LE(type, BS_DEFPUSHBUTTON);
        }
        if (row.onEvent && row.kind == ControlKind::Label) {
            EXPECT_TRUE(GetWindowLongW(c, GWL_STYLE) & SS_NOTIFY);
        }
    }
    EXPECT_EQ(w.text(ControlId::txtDxPath), "C:\\Program Files\\Dorvex\\");
    EXPECT_EQ(w.text(ControlId::txtConfigPath), "C:\\Program Files\\Dorvex\\Jobs\\");
    EXPECT_EQ(w.text(ControlId::lblDebug), "");
    EXPECT_TRUE(w.checked(ControlId::ckCustomerMemo));
    HWND tabs = w.control(ControlId::TabStrip1);
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(tabText(tabs, w.pid()), utf8(marlet::controlOf(ControlId::TabStrip1).caption));

    // Tab goes round the controls that take the focus in the order of the table.
    std::vector<const Control*> stops;
    for (const Control& row : kControls)
        if (row.kind != ControlKind::Frame && row.kind != ControlKind::Label) stops.push_back(&row);
    std::sort(stops.begin(), stops.end(), [](const Control* a, const Control* b) { return a->tabOrder < b->tabOrder; });
    EXPECT_EQ(focusOf(dialog), w.control(stops[0]->id)) << "the first in the order has the focus";
    for (size_t i = 1; i <= stops.size(); i++) {
        HWND before = focusOf(dialog), want = w.control(stops[i % stops.size()]->id);
        w.key(VK_TAB);
        waitFor([&] { return focusOf(dialog) != before; }, 3000);
        EXPECT_EQ(focusOf(dialog), want) << "after " << i << " Tab, " << stops[i % stops.size()]->name;
    }

    // The tooltip shows while the mouse rests on Pellwick (each move starts the wait anew).
    clickControl(tabs, false, false);
    HWND tip = nullptr;
    for (int attempt = 0; attempt < 3 && !tip; attempt++) {
        Sleep(100);
        clickControl(w.control(ControlId::cmdPellwick), false, false);
        waitFor([&] { return EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), matchTooltip,
                                               reinterpret_cast<LPARAM>(&tip)), tip != nullptr; }, 3000);
    }
    ASSERT_NE(tip, nullptr) << "no tooltip";
    EXPECT_EQ(windowText(tip), utf8(marlet::kPellwickTip));
}

HWND wizardWindow() { return FindWindowW(L"PellwickStandIn", L"Pellwick"); }

}  // namespace

TEST(OptionsDialog, AsTheTableDescribesItAndWiredToItsHandlers) {
    Sandbox box;
    QuickBooks qb(box);
    box.writeIni("False\r\nC:\\Program Files\\Dorvex\\\r\nC:\\Program Files\\Dorvex\\Jobs\\\r\nFalse\r\nTrue\r\n"
                 "False\r\n");
    box.copyProgram(L"pellwick.exe", L"Wizard\\pellwick.exe");
    const std::string wizard = box.pathUtf8(L"Wizard");
    WineSetting frames(L"X11 Driver", L"Decorated", L"N");  // Wine draws the caption: Xvfb has no window manager
    WineSetting noTwain(L"DllOverrides", L"gphoto2.ds", L"");  // no TWAIN source: Wine's camera source off
    RunResult r = runWithOptions(box, L"/options", [&](OptionsWindow& w) {
        checkLayout(box, w);
        // The boxes' texts are the native form test's; here, that they are drawn.
        EXPECT_EQ(w.clickForBox(ControlId::cmdPellwick).buttons, std::vector<std::string>{"OK"});
        Dialog noScanner = w.clickForBox(ControlId::cmdSelectScan);
        EXPECT_EQ(noScanner.title, "Marlet");
        EXPECT_EQ(noScanner.text, "Unable to detect support for a TWAIN-compliant scanner.");
        EXPECT_EQ(w.clickForBox(ControlId::cmdAddMenu).title, "Menu Added");
        EXPECT_EQ(qb.menus().size(), 1u);
        EXPECT_EQ(w.clickForBox(ControlId::cmdRemoveMenu).title, "Menu Removed");
        EXPECT_TRUE(qb.menus().empty());

        // The folder browser, owned by the dialog and modal, with its prompt; Cancel empties the box.
        w.click(ControlId::cmdBrowseDxPath);
        HWND browser = w.waitForOther();
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(GetWindow(browser, GW_OWNER), w.hwnd());
        EXPECT_FALSE(IsWindowEnabled(w.hwnd()));
        EXPECT_NE(findChild(browser, "Static", "Please select the folder where your Dorvex executable is located"),
                  nullptr);
        answer(browser, "Cancel");
        EXPECT_TRUE(waitFor([&] { return w.text(ControlId::txtDxPath).empty(); }));
        // The tree starts at the desktop, which is a file-system folder: OK on it.
        w.click(ControlId::cmdBrowseConfigPath);
        browser = w.waitForOther();
        ASSERT_NE(browser, nullptr);
        answer(browser, "OK");
        wchar_t desktop[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
        EXPECT_TRUE(waitFor([&] { return w.text(ControlId::txtConfigPath) == utf8(desktop); }));

        // Every check box and text box reaches the options through Apply.
        w.toggle(ControlId::ckDisplayTwain);
        w.toggle(ControlId::ckDisplayDorvex);
        w.toggle(ControlId::ckCustomerMemo);
        w.type(ControlId::txtDxPath, wizard);
        w.type(ControlId::txtConfigPath, "C:\\Jobs");
        EXPECT_TRUE(w.press(ControlId::cmdApply, [&] { return w.text(ControlId::txtDxPath) == wizard + "\\"; }));
        EXPECT_EQ(w.text(ControlId::txtConfigPath), "C:\\Jobs\\");

        // Pellwick starts minimised from the path box, and the dialog does not wait for it.
        w.click(ControlId::cmdPellwick);
        std::vector<Launch> launches = waitForLaunches(box, 1, L"Wizard");
        ASSERT_EQ(launches.size(), 1u);
        EXPECT_EQ(launches[0].windowState, SW_SHOWMINIMIZED);
        EXPECT_EQ(launches[0].commandLine, wizard + "\\pellwick.exe") << "the path alone, unquoted";
        EXPECT_TRUE(waitFor([] { return wizardWindow() && IsIconic(wizardWindow()); }));

        EXPECT_TRUE(w.doubleClick(ControlId::lblDebug, [&] { return w.text(ControlId::lblDebug) == kDebugCaption; }));
        EXPECT_TRUE(w.close(ControlId::cmdCancel)) << "the dialog answers while the wizard runs";
    });
    for (int i = 0; i < 100 && wizardWindow(); i++) PostMessageW(wizardWindow(), WM_CLOSE, 0, 0), Sleep(50);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.dialogs.size(), 1u) << "every box was the script's";
    // Cancel keeps what was applied, and the debug label's change.
    EXPECT_EQ(box.readIni(), Ini({true, wizard + "\\", "C:\\Jobs\\", true, false, true}).text());
}

// OK applies what was typed; the close box applies nothing and the file is
// still written. Where Wine names a TWAIN source, Select Scanner shows the
// source manager's selection, and cancelling it is no failure.
TEST(OptionsDialog, OkAndTheCloseBox) {
    Sandbox box;
    box.writeIni(Ini{false, "C:\\Dx\\", "C:\\Cfg\\", false, false, false}.text());
    bool twainSource = true;
    runWithOptions(box, L"/options", [&](OptionsWindow& w) {
        w.click(ControlId::cmdSelectScan);
        HWND selection = w.waitForOther();
        ASSERT_NE(selection, nullptr);
        Dialog d = readDialog(selection);
        twainSource = d.title != "Marlet";
        EXPECT_TRUE(pressButton(selection, twainSource ? "Cancel" : "OK"));
        EXPECT_TRUE(waitFor([&] { return findDialogs(w.pid()).size() == 1; }));
        EXPECT_FALSE(w.waitForOther(1000)) << "a cancelled selection is no failure";
        w.toggle(ControlId::ckDisplayTwain);
        w.type(ControlId::txtDxPath, "E:\\Dx");
        EXPECT_TRUE(w.close(ControlId::cmdOK));
    });
    EXPECT_EQ(box.readIni(), Ini({true, "E:\\Dx\\", "C:\\Cfg\\", false, false, false}).text());

    box.writeIni("true\r\nC:\\Dx\\\r\n");
    runWithOptions(box, L"/options", [&](OptionsWindow& w) {
        w.toggle(ControlId::ckDisplayTwain);
        w.type(ControlId::txtDxPath, "C:\\Other");
        EXPECT_TRUE(w.close());
    });
    EXPECT_EQ(box.readIni(), Ini({true, "C:\\Dx\\", "", false, false, false}).text());
    if (!twainSource) GTEST_SKIP() << "this Wine names no TWAIN source: the selection was not seen";
}
