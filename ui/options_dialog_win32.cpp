// The Options dialog window: its controls as a table, and the wiring that keeps
// them in step with frmOptions around each handler (ui/frm_options.cpp).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/win32/dialog_template.h"
#include "platform/win32/win32_util.h"
#include "resources/resource.h"
#include "ui/dialogs_win32.h"
#include "ui/frm_options.h"

namespace marlet::win32 {

namespace {

enum class Kind { TabStrip, Frame, CheckBox, Button, Label, TextBox };

struct Control {
    const char* name;
    Kind kind;
    const wchar_t* caption;
    const char* inside;            // the frame it is placed in, or none
    int left, top, width, height;  // twips
    int tabOrder;
};

// The scanner is asked through TWAIN (scanner_win32.cpp), so no control stands
// for it here.
const Control kControls[] = {
    {"TabStrip1", Kind::TabStrip, L"General", nullptr, 120, 120, 7095, 5895, 0},
    {"Frame1", Kind::Frame, L"Twain Settings", nullptr, 240, 480, 6855, 855, 1},
    {"ckDisplayTwain", Kind::CheckBox, L"Display twain settings before scanning", "Frame1", 240, 360, 3735, 255, 2},
    {"cmdSelectScan", Kind::Button, L"Select Scanner", nullptr, 5400, 780, 1575, 375, 18},
    {"Frame3", Kind::Frame, L"Paths", nullptr, 240, 1440, 6855, 1545, 9},
    {"lbl1", Kind::Label, L"Dorvex Executable:", "Frame3", 240, 360, 1815, 255, 10},
    {"txtDxPath", Kind::TextBox, L"", "Frame3", 2760, 330, 3375, 285, 12},
    {"cmdBrowseDxPath", Kind::Button, L"...", "Frame3", 6120, 330, 615, 285, 14},
    {"Label1", Kind::Label, L"Scan and Retrieval Configurations:", "Frame3", 240, 690, 2535, 255, 11},
    {"txtConfigPath", Kind::TextBox, L"", "Frame3", 2760, 660, 3375, 285, 13},
    {"cmdBrowseConfigPath", Kind::Button, L"...", "Frame3", 6120, 660, 615, 285, 15},
    {"cmdPellwick", Kind::Button, L"Pellwick", "Frame3", 2760, 1020, 3975, 375, 19},
    {"Frame2", Kind::Frame, L"Integrated Menu", nullptr, 240, 3120, 6855, 855, 6},
    {"cmdAddMenu", Kind::Button, L"Add Menu", nullptr, 720, 3420, 2655, 375, 8},
    {"cmdRemoveMenu", Kind::Button, L"Remove Menu", nullptr, 3960, 3420, 2655, 375, 7},
    {"Frame4", Kind::Frame, L"View Dorvex", nullptr, 240, 4080, 6855, 855, 16},
    {"ckDisplayDorvex", Kind::CheckBox, L"Display Dorvex when scanning and processing", "Frame4", 240, 360, 4335, 195, 17},
    {"Frame5", Kind::Frame, L"Memos and Customer Documents", nullptr, 240, 5040, 6855, 855, 20},
    {"ckCustomerMemo", Kind::CheckBox, L"Prompt for memo when scanning documents not related to transactions", "Frame5", 240, 360, 6015, 255, 21},
    {"cmdOK", Kind::Button, L"OK", nullptr, 3480, 6120, 1215, 375, 3},
    {"cmdCancel", Kind::Button, L"Cancel", nullptr, 4800, 6120, 1095, 375, 4},
    {"cmdApply", Kind::Button, L"Apply", nullptr, 6000, 6120, 1215, 375, 5},
    {"lblDebug", Kind::Label, L"", nullptr, 120, 6120, 2295, 375, 22},
};
constexpr int kControlCount = static_cast<int>(std::size(kControls));

constexpr int kClientWidth = 7335, kClientHeight = 6615;  // twips
constexpr const wchar_t* kPellwickTip =
    L"All scanned images are saved to the Default Output Folder.  Use Pellwick to change this folder "
    L"and store your documents in an alternate location.";

struct CheckBinding {
    const char* control;
    bool frmOptions::*state;
};
const CheckBinding kCheckBoxes[] = {
    {"ckDisplayTwain", &frmOptions::ckDisplayTwain},
    {"ckDisplayDorvex", &frmOptions::ckDisplayDorvex},
    {"ckCustomerMemo", &frmOptions::ckCustomerMemo},
};

struct TextBinding {
    const char* control;
    std::string frmOptions::*text;
};
const TextBinding kTexts[] = {
    {"txtDxPath", &frmOptions::txtDxPath},
    {"txtConfigPath", &frmOptions::txtConfigPath},
    {"lblDebug", &frmOptions::lblDebug},
};

struct EventBinding {
    const char* control;
    WORD notification;
    void (frmOptions::*handler)();
};
const EventBinding kEvents[] = {
    {"cmdOK", BN_CLICKED, &frmOptions::cmdOK_Click},
    {"cmdCancel", BN_CLICKED, &frmOptions::cmdCancel_Click},
    {"cmdApply", BN_CLICKED, &frmOptions::cmdApply_Click},
    {"cmdBrowseDxPath", BN_CLICKED, &frmOptions::cmdBrowseDxPath_Click},
    {"cmdBrowseConfigPath", BN_CLICKED, &frmOptions::cmdBrowseConfigPath_Click},
    {"cmdSelectScan", BN_CLICKED, &frmOptions::cmdSelectScan_Click},
    {"cmdPellwick", BN_CLICKED, &frmOptions::cmdPellwick_Click},
    {"lblDebug", STN_DBLCLK, &frmOptions::lblDebug_DblClick},
    {"cmdAddMenu", BN_CLICKED, &frmOptions::cmdAddMenu_Click},
    {"cmdRemoveMenu", BN_CLICKED, &frmOptions::removeMenuButtonClick},
};

// Control ids stay clear of IDOK and IDCANCEL, which the dialog manager sends
// for Enter and Escape.
constexpr int kFirstId = 1000;

int indexOf(const char* name) {
    for (int i = 0; i < kControlCount; i++)
        if (std::strcmp(kControls[i].name, name) == 0) return i;
    return -1;
}

struct DialogState {
    frmOptions& form;
    HWND controls[kControlCount] = {};
    std::optional<Error> failure;  // the dialog could not be built
    HWND window(const char* name) const { return controls[indexOf(name)]; }
};

DialogState* stateOf(HWND dialog) {
    return reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// A function that not every Windows has, looked up when first needed.
template <class Function>
Function optionalFunction(const wchar_t* library, const char* name) {
    HMODULE module = LoadLibraryW(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

int dpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static auto getDpiForWindow = optionalFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow)
        if (UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// 1440 twips are one inch.
int toPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

RECT pixelRect(const Control& c, int dpi) {
    int left = c.left, top = c.top;
    if (c.inside) {
        const Control& frame = kControls[indexOf(c.inside)];
        left += frame.left;
        top += frame.top;
    }
    return {toPixels(left, dpi), toPixels(top, dpi), toPixels(left + c.width, dpi), toPixels(top + c.height, dpi)};
}

struct WindowKind {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle;
};

WindowKind windowKind(Kind kind) {
    switch (kind) {
    case Kind::TabStrip: return {WC_TABCONTROLW, WS_TABSTOP | WS_GROUP | WS_CLIPSIBLINGS, 0};
    case Kind::Frame: return {L"BUTTON", BS_GROUPBOX | WS_CLIPSIBLINGS, 0};
    case Kind::CheckBox: return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0};
    case Kind::Button: return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0};
    case Kind::Label: return {L"STATIC", SS_LEFT | SS_NOTIFY, 0};
    case Kind::TextBox: return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", 0, 0};
}

// The dialog manager takes the keyboard order from the order of creation, which
// is also the order of drawing. Frames and the tab strip enclose other controls,
// so they go last (the tab strip at the very bottom) and clip what lies on them;
// as the tab strip is the first stop and the order is a cycle, the focus starts
// there and Tab still visits the controls in the order of the table.
std::vector<int> creationOrder() {
    auto layer = [](Kind k) { return k == Kind::TabStrip ? 2 : k == Kind::Frame ? 1 : 0; };
    std::vector<int> order(kControlCount);
    for (int i = 0; i < kControlCount; i++) order[i] = i;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const Control &ca = kControls[a], &cb = kControls[b];
        if (layer(ca.kind) != layer(cb.kind)) return layer(ca.kind) < layer(cb.kind);
        return ca.tabOrder < cb.tabOrder;
    });
    return order;
}

void loadCommonControls() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
}

// The classic look for the tab strip: a themed one paints its page white,
// under frames and labels that are painted in the dialog's colour.
void unthemed(HWND window) {
    using SetThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    static auto setWindowTheme = optionalFunction<SetThemeFn>(L"uxtheme.dll", "SetWindowTheme");
    if (setWindowTheme) setWindowTheme(window, L"", L"");
}

void createControls(HWND dialog, DialogState& state) {
    int dpi = dpiOf(dialog);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int i : creationOrder()) {
        const Control& c = kControls[i];
        WindowKind k = windowKind(c.kind);
        RECT r = pixelRect(c, dpi);
        const wchar_t* text = c.kind == Kind::TabStrip ? L"" : c.caption;
        HWND w = CreateWindowExW(k.exStyle, k.windowClass, text, WS_CHILD | WS_VISIBLE | k.style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)), instance, nullptr);
        if (!w) throw lastError();
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        state.controls[i] = w;
        if (c.kind == Kind::TabStrip) {
            unthemed(w);
            TCITEMW tab = {};
            tab.mask = TCIF_TEXT;
            tab.pszText = const_cast<wchar_t*>(c.caption);
            SendMessageW(w, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tab));
        }
    }
}

void addTooltip(HWND dialog, HWND control, const wchar_t* text) {
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!tip) return;  // the dialog works without it
    TTTOOLINFOW info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = dialog;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void setIcons(HWND dialog) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto icon = [&](int sizeMetric) {
        int size = GetSystemMetrics(sizeMetric);
        return reinterpret_cast<LPARAM>(
            LoadImageW(instance, MAKEINTRESOURCEW(IDI_MARLET), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    };
    SendMessageW(dialog, WM_SETICON, ICON_BIG, icon(SM_CXICON));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, icon(SM_CXSMICON));
}

// Gives the dialog its client area and centres it on its screen.
void placeWindow(HWND dialog) {
    int dpi = dpiOf(dialog);
    RECT window, client;
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    int width = toPixels(kClientWidth, dpi) + (window.right - window.left) - client.right;
    int height = toPixels(kClientHeight, dpi) + (window.bottom - window.top) - client.bottom;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    int x = work.left + std::max(0L, (work.right - work.left - width) / 2);
    int y = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string textOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return narrow(text);
}

// Controls -> form, before a handler runs.
void readControls(const DialogState& state) {
    for (const CheckBinding& b : kCheckBoxes)
        state.form.*b.state = SendMessageW(state.window(b.control), BM_GETCHECK, 0, 0) == BST_CHECKED;
    for (const TextBinding& b : kTexts) state.form.*b.text = textOf(state.window(b.control));
}

// Form -> controls, after a handler ran (and when the dialog opens).
void writeControls(const DialogState& state) {
    for (const CheckBinding& b : kCheckBoxes)
        SendMessageW(state.window(b.control), BM_SETCHECK, state.form.*b.state ? BST_CHECKED : BST_UNCHECKED, 0);
    for (const TextBinding& b : kTexts) {
        HWND w = state.window(b.control);
        // Only a change is written: setting a text box moves its caret.
        if (textOf(w) != state.form.*b.text) SetWindowTextW(w, widen(state.form.*b.text).c_str());
    }
}

void runEvent(HWND dialog, DialogState& state, const EventBinding& event) {
    readControls(state);
    state.form.runEvent(event.handler);
    if (!IsWindow(dialog)) return;
    writeControls(state);
    if (!state.form.loaded()) EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK optionsProc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<DialogState*>(lp);
        SetWindowLongPtrW(dialog, DWLP_USER, lp);
        state->form.window = dialog;
        setIcons(dialog);
        try {
            createControls(dialog, *state);
        } catch (const Error& e) {
            state->failure = e;
            EndDialog(dialog, -1);
            return FALSE;
        }
        addTooltip(dialog, state->window("cmdPellwick"), kPellwickTip);
        writeControls(*state);
        placeWindow(dialog);
        SetForegroundWindow(dialog);
        SetFocus(state->window("TabStrip1"));
        return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
        DialogState* state = stateOf(dialog);
        if (!state) break;
        int id = LOWORD(wp);
        if (id == IDCANCEL) {  // the close box, or Escape: no handler, nothing applied
            state->form.Unload();
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        int index = id - kFirstId;
        if (index < 0 || index >= kControlCount) return TRUE;  // Enter with no button focused
        for (const EventBinding& event : kEvents)
            if (HIWORD(wp) == event.notification && std::strcmp(event.control, kControls[index].name) == 0) {
                runEvent(dialog, *state, event);
                break;
            }
        return TRUE;
    }
    }
    return FALSE;
}

}  // namespace

void showOptionsDialog(frmOptions& form) {
    loadCommonControls();
    // The classic form font, for which the layout was made.
    DialogTemplate t(L"Options", WS_POPUP | WS_CAPTION | WS_SYSMENU, 326, 271, L"MS Sans Serif", 8);
    DialogState state{form, {}, {}};
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), nullptr, optionsProc,
                                             reinterpret_cast<LPARAM>(&state));
    form.window = nullptr;
    if (result == -1) {
        form.Unload();
        throw state.failure ? *state.failure : lastError();
    }
}

}  // namespace marlet::win32
