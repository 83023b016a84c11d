#pragma once
// Finds, reads and answers the dialogs and message boxes another process shows,
// the way a person at the screen would.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace harness {

enum class Icon { None, Exclamation, Other };

struct Dialog {
    HWND hwnd = nullptr;
    DWORD pid = 0;
    std::string title;
    std::string text;                  // a message box's text
    std::vector<std::string> buttons;  // captions, "&" removed
    Icon icon = Icon::None;
};

// Polls `done` every 25 ms; false after the timeout.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000);

// Visible top-level dialogs (class #32770) of process `pid`, or of any process when 0.
std::vector<HWND> findDialogs(DWORD pid = 0);
Dialog readDialog(HWND dialog);
// The caption of a control, read across processes.
std::string windowText(HWND window);
std::string classOf(HWND window);
// Children of `parent` with this class and caption ("" = any caption), in window order.
std::vector<HWND> findChildren(HWND parent, const char* windowClass, const std::string& caption = "");
HWND findChild(HWND parent, const char* windowClass, const std::string& caption = "");
// Clicks a button that closes its dialog (a mouse click; a BM_CLICK when the
// dialog is still up a second later). For a button that leaves the dialog
// open, use clickControl.
bool pressButton(HWND dialog, const std::string& caption);
// Clicks a control at its centre; double-click when `twice`. Moves the mouse
// only when `press` is false.
void clickControl(HWND control, bool twice = false, bool press = true);
// Types text into an edit control, replacing what it holds.
void typeText(HWND edit, const std::string& text);
// The clipboard's plain text ("" when empty or unavailable).
std::string clipboardText();
// Waits until a dialog of `pid` (0 = any) shows, or times out (nullptr).
HWND waitForDialog(DWORD pid, int timeoutMs = 20000);
// Writes the screen's pixels within `rect` as a PNG file: the picture of the
// Options dialog for the manual and for the demo.
bool saveScreenPng(const RECT& rect, const std::wstring& path);
// The screen's pixels within `rect`, top-down, as 0x00RRGGBB.
std::vector<uint32_t> screenPixels(const RECT& rect);

std::string utf8(const std::wstring& w);
std::wstring wide(const std::string& s);

}  // namespace harness
