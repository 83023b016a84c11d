#include "ui/frm_options.h"

#include "app/app.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "ui/options_controls.h"
#include "ui/options_dialog.h"

namespace marlet {

static void appendBackslash(std::string& text) {
    if (text.empty() || text.back() != '\\') text += '\\';
}

// The settings the form shows in a check box or text box (with its browse
// button) of its own; debug mode has only its label.
struct CheckBoxSetting {
    bool cmOptions::*setting;
    bool frmOptions::*box;
};
static const CheckBoxSetting kCheckBoxes[] = {
    {&cmOptions::displayTwain, &frmOptions::ckDisplayTwain},
    {&cmOptions::displayDorvex, &frmOptions::ckDisplayDorvex},
    {&cmOptions::promptMemo, &frmOptions::ckCustomerMemo},
};

struct TextBoxSetting {
    std::string cmOptions::*setting;
    std::string frmOptions::*box;
    void (frmOptions::*browse)();
};
static const TextBoxSetting kTextBoxes[] = {
    {&cmOptions::dxPath, &frmOptions::txtDxPath, &frmOptions::onBrowseDxPath},
    {&cmOptions::configPath, &frmOptions::txtConfigPath, &frmOptions::onBrowseConfigPath},
};

static unsigned policyBitOf(const CheckBoxSetting& c) {
    for (const Setting& s : kSettings)
        if (s.flag == c.setting) return policyBit(s);
    return 0;
}
static unsigned policyBitOf(const TextBoxSetting& t) {
    for (const Setting& s : kSettings)
        if (s.text == t.setting) return policyBit(s);
    return 0;
}
static unsigned debugModeBit() {
    for (const Setting& s : kSettings)
        if (s.flag == &cmOptions::debugMode) return policyBit(s);
    return 0;
}

bool frmOptions::lockedControl(const Control& control) const {
    unsigned bits = control.id == ControlId::lblDebug ? debugModeBit() : 0;
    for (const CheckBoxSetting& c : kCheckBoxes)
        if (control.checked && control.checked == c.box) bits |= policyBitOf(c);
    for (const TextBoxSetting& t : kTextBoxes)
        if ((control.text && control.text == t.box) || (control.onEvent && control.onEvent == t.browse))
            bits |= policyBitOf(t);
    return (bits & lockedSettings) != 0;
}

void frmOptions::load() {
    if (loaded_) return;
    loaded_ = true;
    onLoad();
}

void frmOptions::show() {
    load();
    showOptionsDialog(*this);
}

void frmOptions::unload() { loaded_ = false; }

void frmOptions::onLoad() {
    appName = appNameString();
    appGUID = appGuidString();
    const cmOptions& o = *gOptions;
    lockedSettings = o.fromPolicy;
    for (const CheckBoxSetting& c : kCheckBoxes)
        if (o.*c.setting) this->*c.box = true;
    if (o.debugMode) lblDebug = kDebugCaption;
    for (const TextBoxSetting& t : kTextBoxes) this->*t.box = o.*t.setting;
}

void frmOptions::onApply() {
    cmOptions& o = *gOptions;
    for (const CheckBoxSetting& c : kCheckBoxes)
        if (!(lockedSettings & policyBitOf(c))) o.*c.setting = this->*c.box;
    // The folders end in a backslash, so a file name can follow directly.
    for (const TextBoxSetting& t : kTextBoxes) {
        if (lockedSettings & policyBitOf(t)) continue;
        appendBackslash(this->*t.box);
        o.*t.setting = this->*t.box;
    }
}

void frmOptions::onOk() {
    onApply();
    unload();
}

void frmOptions::onCancel() { unload(); }

void frmOptions::onBrowseDxPath() {
    txtDxPath = platform().browseForFolder(
        window, "Please select the folder where your Dorvex executable is located");
}

void frmOptions::onBrowseConfigPath() {
    txtConfigPath = platform().browseForFolder(
        window, "Please select the folder where you installed the QuickBooks Module configurations");
}

void frmOptions::onSelectScanner() {
    const Platform& p = platform();
    if (!p.scannerAvailable()) {
        MsgBox("Unable to detect support for a TWAIN-compliant scanner.");
        return;
    }
    try {
        p.selectScanner(window);
    } catch (const Error& e) {
        MsgBox(e.description());
    }
}

void frmOptions::onPellwick() {
    const Platform& p = platform();
    appendBackslash(txtDxPath);
    std::string wizard = txtDxPath + "pellwick.exe";
    if (p.fileExists(wizard))
        p.startProcess(wizard, wizard, WindowState::MinimizedFocus);
    else
        MsgBox("Please correct your Dorvex Executable path before running Pellwick.");
}

void frmOptions::onDebugDoubleClick() {
    if (lockedSettings & debugModeBit()) return;
    cmOptions& o = *gOptions;
    o.debugMode = !o.debugMode;
    lblDebug = o.debugMode ? kDebugCaption : "";
}

void frmOptions::onAddMenu() { menuButtons_.add(appName, appGUID); }

void frmOptions::onRemoveMenu() {
    try {
        menuButtons_.remove(appName, appGUID);
    } catch (const Error& e) {
        MsgBox("Encountered error removing menu: " + e.description());
    }
}

void frmOptions::runEvent(void (frmOptions::*handler)()) {
    try {
        (this->*handler)();
    } catch (...) {
        MsgBox(genericErrorText(caughtError()));
    }
}

}  // namespace marlet
