// The Options dialog window: built from its control table (ui/options_controls.h),
// and kept in step with OptionsForm around each handler (ui/options_form.cpp).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/win32/dialog_template.h"
#include "platform/win32/win32_util.h"
#include "resources/resource.h"
#include "ui/dialogs_win32.h"
#include "ui/options_form.h"
#include "ui/options_controls.h"

namespace marlet::win32 {

namespace {

// Control ids stay clear of IDOK and IDCANCEL, which the dialog manager sends
// for Enter and Escape.
constexpr int kFirstId = 1000;

struct DialogState {
    OptionsForm& form;
    HWND controls[kControlCount] = {};
    std::optional<Error> failure;  // the dialog could not be built
    HWND window(ControlId id) const { return controls[static_cast<int>(id)]; }
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
    if (c.inside != ControlId::none) {
        const Control& frame = controlOf(c.inside);
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

WindowKind windowKind(ControlKind kind) {
    switch (kind) {
    case ControlKind::TabStrip: return {WC_TABCONTROLW, WS_TABSTOP | WS_GROUP | WS_CLIPSIBLINGS, 0};
    case ControlKind::Frame: return {L"BUTTON", BS_GROUPBOX | WS_CLIPSIBLINGS, 0};
    case ControlKind::CheckBox: return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0};
    case ControlKind::Button: return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0};
    case ControlKind::Label: return {L"STATIC", SS_LEFT | SS_NOTIFY, 0};
    case ControlKind::TextBox: return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", 0, 0};
}

// The dialog manager takes the keyboard order from the order of creation, which
// is also the order of drawing. Frames and the tab strip enclose other controls,
// so they go last (the tab strip at the very bottom) and clip what lies on them;
// as the tab strip is the first stop and the order is a cycle, the focus starts
// there and Tab still visits the controls in the order of the table.
std::vector<int> creationOrder() {
    auto layer = [](ControlKind k) { return k == ControlKind::TabStrip ? 2 : k == ControlKind::Frame ? 1 : 0; };
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
        const wchar_t* text = c.kind == ControlKind::TabStrip ? L"" : c.caption;
        HWND w = CreateWindowExW(k.exStyle, k.windowClass, text, WS_CHILD | WS_VISIBLE | k.style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)), instance, nullptr);
        if (!w) throw lastError();
        SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        // A setting an administrator's policy gives is shown, not changed.
        if (state.form.lockedControl(c)) EnableWindow(w, FALSE);
        state.controls[i] = w;
        if (c.kind == ControlKind::TabStrip) {
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

// Controls -> form, before a handler runs.
void readControls(const DialogState& state) {
    for (const Control& c : kControls) {
        if (c.checked) state.form.*c.checked = SendMessageW(state.window(c.id), BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (c.text) state.form.*c.text = windowText(state.window(c.id));
    }
}

// Form -> controls, after a handler ran (and when the dialog opens).
void writeControls(const DialogState& state) {
    for (const Control& c : kControls) {
        HWND w = state.window(c.id);
        if (c.checked) SendMessageW(w, BM_SETCHECK, state.form.*c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        // Only a change is written: setting a text box moves its caret.
        if (c.text && windowText(w) != state.form.*c.text) SetWindowTextW(w, widen(state.form.*c.text).c_str());
    }
}

// The notification that is a control's event: a label's double-click, any other's click.
WORD eventNotification(ControlKind kind) { return kind == ControlKind::Label ? STN_DBLCLK : BN_CLICKED; }

void runEvent(HWND dialog, DialogState& state, void (OptionsForm::*handler)()) {
    readControls(state);
    state.form.runEvent(handler);
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
        addTooltip(dialog, state->window(ControlId::cmdPellwick), kPellwickTip);
        writeControls(*state);
        placeWindow(dialog);
        SetForegroundWindow(dialog);
        SetFocus(state->window(ControlId::TabStrip1));
        return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
        DialogState* state = stateOf(dialog);
        if (!state) break;
        int id = LOWORD(wp);
        if (id == IDCANCEL) {  // the close box, or Escape: no handler, nothing applied
            state->form.unload();
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        int index = id - kFirstId;
        if (index < 0 || index >= kControlCount) return TRUE;  // Enter with no button focused
        const Control& c = kControls[index];
        if (c.onEvent && HIWORD(wp) == eventNotification(c.kind)) runEvent(dialog, *state, c.onEvent);
        return TRUE;
    }
    }
    return FALSE;
}

}  // namespace

void showOptionsDialog(OptionsForm& form) {
    loadCommonControls();
    // The classic form font, for which the layout was made.
    DialogTemplate t(L"Options", WS_POPUP | WS_CAPTION | WS_SYSMENU, 326, 271, L"MS Sans Serif", 8);
    DialogState state{form, {}, {}};
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), nullptr, optionsProc,
                                             reinterpret_cast<LPARAM>(&state));
    form.window = nullptr;
    if (result == -1) {
        form.unload();
        throw state.failure ? *state.failure : lastError();
    }
}

}  // namespace marlet::win32
