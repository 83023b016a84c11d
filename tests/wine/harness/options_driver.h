#pragma once
// The Options dialog of a running marlet.exe, worked through its controls with
// the mouse and keyboard, the way a person at the screen would.
#include <windows.h>

#include <functional>
#include <string>

#include "sandbox.h"
#include "ui/options_controls.h"

namespace harness {

class OptionsWindow {
public:
    explicit OptionsWindow(HWND dialog);
    HWND hwnd() const { return hwnd_; }
    DWORD pid() const { return pid_; }

    // The window of a row of the dialog's control table, found as a person
    // would: by its kind and caption (a text box or label by its kind alone),
    // the n-th from the top when n earlier rows look alike.
    HWND control(marlet::ControlId id) const;
    std::string text(marlet::ControlId id) const { return windowText(control(id)); }
    bool checked(marlet::ControlId id) const;

    // A mouse click at the control's centre. Returns at once: wait for what the
    // click does with waitFor.
    void click(marlet::ControlId id) const;
    // A double-click at the control's centre, again until `done` holds.
    bool doubleClick(marlet::ControlId id, const std::function<bool()>& done) const;
    // Clicks a check box and waits until it has changed.
    void toggle(marlet::ControlId id) const;
    // Clicks a control that leaves the dialog open and whose click may be
    // repeated (Apply), until `done` holds.
    bool press(marlet::ControlId id, const std::function<bool()>& done) const;
    void type(marlet::ControlId id, const std::string& text) const { typeText(control(id), text); }
    // Presses a key (with Alt when `alt`) while the dialog is in front.
    void key(WORD virtualKey, bool alt = false) const;
    // Clicks OK or Cancel (or presses Alt+F4 for none), and waits until the dialog is gone.
    bool close(marlet::ControlId button = marlet::ControlId::none);

    // The next other dialog (a message box, the folder browser...) of the process.
    HWND waitForOther(int timeoutMs = 15000) const;
    // Clicks a control and reads and answers the message box that follows.
    Dialog clickForBox(marlet::ControlId id, const std::string& button = "OK") const;
    bool isOpen() const;

private:
    HWND hwnd_;
    DWORD pid_ = 0;
};

// Runs the sandbox's marlet.exe; `script` plays the user's part on the first
// Options dialog it shows, every other dialog is answered with its first button.
RunResult runWithOptions(const Sandbox& box, const std::wstring& arguments,
                         const std::function<void(OptionsWindow&)>& script, int timeoutMs = 120000);

// Another dialog of a process while one is handled: a read and a press.
Dialog answer(HWND dialog, const std::string& buttonCaption = "OK");

}  // namespace harness
