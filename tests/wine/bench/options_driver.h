#pragma once
// The Options dialog of a running marlet.exe, worked through its controls with
// the mouse and keyboard, the way a person at the screen would.
#include <windows.h>

#include <functional>
#include <string>

#include "sandbox.h"

namespace bench {

class OptionsWindow {
public:
    explicit OptionsWindow(HWND dialog);
    HWND hwnd() const { return hwnd_; }
    DWORD pid() const { return pid_; }

    // Controls, found by their captions or by where they are.
    HWND button(const std::string& caption) const;
    HWND browseDxPath() const;      // the "..." beside the Dorvex executable
    HWND browseConfigPath() const;  // the "..." beside the configurations
    HWND checkBox(const std::string& caption) const;
    HWND dxPathBox() const;
    HWND configPathBox() const;
    HWND debugLabel() const;  // the label at the lower left

    std::string text(HWND control) const;
    bool checked(HWND checkBox) const;

    // A mouse click at the control's centre. Returns at once: wait for what the
    // click does with waitFor.
    void click(HWND control) const;
    // A double-click at the control's centre, again until `done` holds.
    bool doubleClick(HWND control, const std::function<bool()>& done) const;
    // Clicks a check box and waits until it has changed.
    void toggle(HWND checkBox) const;
    // Clicks a button that leaves the dialog open and whose click may be repeated
    // (Apply), until `done` holds.
    void press(const std::string& caption, const std::function<bool()>& done) const;
    // Replaces a text box's text.
    void type(HWND box, const std::string& text) const;
    // Presses a key (with Alt when `alt`) while the dialog is in front.
    void key(WORD virtualKey, bool alt = false) const;
    // Clicks OK, Cancel, or closes with Alt+F4, and waits until the dialog is gone.
    bool close(const std::string& how);

    // The next other dialog (a message box, the folder browser...) of the process.
    HWND waitForOther(int timeoutMs = 15000) const;
    bool isOpen() const;

private:
    HWND hwnd_;
    DWORD pid_ = 0;
};

// Polls `done` every 25 ms; false after the timeout.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000);

// Runs the sandbox's marlet.exe; `script` plays the user's part on the first
// Options dialog it shows, every other dialog is answered with its first button.
RunResult runWithOptions(const Sandbox& box, const std::wstring& arguments,
                         const std::function<void(OptionsWindow&)>& script, int timeoutMs = 120000);

// The other dialogs of a process while one is handled: a read and a press.
Dialog answer(HWND dialog, const std::string& buttonCaption = "OK");

// Writes the screen's pixels within `rect` as a PNG file.
bool saveScreenPng(const RECT& rect, const std::wstring& path);

}  // namespace bench
