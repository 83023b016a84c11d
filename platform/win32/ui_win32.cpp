// Message box, input box and clipboard.
#include <windows.h>

#include "platform/win32/dialog_template.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_util.h"

namespace marlet::win32 {

BoxAnswer msgBox(const std::string& text, BoxStyle style, const std::string& title) {
    int answer = MessageBoxW(GetActiveWindow(), widen(text).c_str(), widen(title).c_str(),
                             static_cast<UINT>(style) | MB_SETFOREGROUND);
    return static_cast<BoxAnswer>(answer);  // IDOK and IDCANCEL are the answers' numbers
}

namespace {

enum : WORD { kPromptId = 100, kEditId = 101 };

struct InputState {
    std::wstring prompt;
    std::string answer;
};

INT_PTR CALLBACK inputBoxProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<InputState*>(lp);
        SetWindowLongPtrW(dlg, DWLP_USER, lp);
        SetDlgItemTextW(dlg, kPromptId, state->prompt.c_str());
        SetForegroundWindow(dlg);
        return TRUE;  // focus goes to the first tab stop, the edit box
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            auto* state = reinterpret_cast<InputState*>(GetWindowLongPtrW(dlg, DWLP_USER));
            state->answer = windowText(GetDlgItem(dlg, kEditId));
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

// The classic input box: prompt at the left, OK and Cancel at the right, the
// text box along the bottom, no default text. Cancel gives "".
std::string inputBox(const std::string& prompt, const std::string& title) {
    DialogTemplate t(widen(title), DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 250, 86);
    t.add(L"EDIT", L"", kEditId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 64, 236, 13);
    t.add(L"BUTTON", L"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 193, 7, 50, 14);
    t.add(L"BUTTON", L"Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 193, 25, 50, 14);
    t.add(L"STATIC", L"", kPromptId, SS_LEFT, 7, 7, 180, 52);
    InputState state{widen(prompt), ""};
    INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), GetActiveWindow(), inputBoxProc,
                                        reinterpret_cast<LPARAM>(&state));
    return r == IDOK ? state.answer : std::string();
}

static HWND clipboardOwner() {
    static HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
    return owner;
}

void setClipboardText(const std::string& text) {
    if (!OpenClipboard(clipboardOwner())) throw Error(kErrClipboard, "Can't open Clipboard");
    std::wstring w = widen(text);
    bool ok = EmptyClipboard();
    HGLOBAL memory = ok ? GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t)) : nullptr;
    if (memory) {
        memcpy(GlobalLock(memory), w.c_str(), (w.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!ok) GlobalFree(memory);
    } else {
        ok = false;
    }
    CloseClipboard();
    if (!ok) throw Error(kErrClipboard, "Can't open Clipboard");
}

}  // namespace marlet::win32
