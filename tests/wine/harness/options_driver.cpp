#include "options_driver.h"

#include <algorithm>
#include <vector>

namespace harness {

using marlet::Control;
using marlet::ControlId;
using marlet::ControlKind;

OptionsWindow::OptionsWindow(HWND dialog) : hwnd_(dialog) { GetWindowThreadProcessId(dialog, &pid_); }

static const char* windowClassOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::TabStrip: return "SysTabControl32";
    case ControlKind::Label: return "Static";
    case ControlKind::TextBox: return "Edit";
    default: return "Button";
    }
}

// What identifies a control to the eye besides its kind: the caption of a
// button, check box or frame; a text box or label shows what it holds.
static std::string fixedCaption(const Control& c) {
    return std::string(windowClassOf(c.kind)) == "Button" ? utf8(c.caption) : "";
}

HWND OptionsWindow::control(ControlId id) const {
    const Control& row = marlet::controlOf(id);
    std::vector<HWND> alike = findChildren(hwnd_, windowClassOf(row.kind), fixedCaption(row));
    alike.erase(std::remove_if(alike.begin(), alike.end(), [&](HWND w) { return GetParent(w) != hwnd_; }),
                alike.end());
    std::stable_sort(alike.begin(), alike.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top < rb.top;
    });
    size_t n = 0;
    for (int i = 0; i < static_cast<int>(id); i++)
        n += marlet::kControls[i].kind == row.kind && fixedCaption(marlet::kControls[i]) == fixedCaption(row);
    return n < alike.size() ? alike[n] : nullptr;
}

bool OptionsWindow::checked(ControlId id) const {
    return SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

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

void OptionsWindow::click(ControlId id) const {
    inFront(hwnd_);
    clickControl(control(id));
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

bool OptionsWindow::doubleClick(ControlId id, const std::function<bool()>& done) const {
    return repeatUntil(
        [&] {
            inFront(hwnd_);
            clickControl(control(id), true);
        },
        done);
}

void OptionsWindow::toggle(ControlId id) const {
    bool before = checked(id);
    repeatUntil([&] { click(id); }, [&] { return checked(id) != before; });
}

bool OptionsWindow::press(ControlId id, const std::function<bool()>& done) const {
    return repeatUntil([&] { click(id); }, done);
}

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

bool OptionsWindow::close(ControlId button) {
    return repeatUntil(
        [&] {
            if (!isOpen()) return;
            if (button != ControlId::none)
                click(button);
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

Dialog OptionsWindow::clickForBox(ControlId id, const std::string& button) const {
    click(id);
    HWND box = waitForOther();
    return box ? answer(box, button) : Dialog{};
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
            if (handled || d.title != "Options") return pressFirstButton(d);
            handled = true;
            OptionsWindow w(d.hwnd);
            script(w);
            if (w.isOpen()) w.close(ControlId::cmdCancel);  // a script that stopped early
        },
        timeoutMs);
}

}  // namespace harness
