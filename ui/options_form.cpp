#include "ui/options_form.h"

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
    bool OptionsForm::*box;
};
static const CheckBoxSetting kCheckBoxes[] = {
    {&cmOptions::displayTwain, &OptionsForm::ckDisplayTwain},
    {&cmOptions::displayDorvex, &OptionsForm::ckDisplayDorvex},
    {&cmOptions::promptMemo, &OptionsForm::ckCustomerMemo},
};

struct TextBoxSetting {
    std::string cmOptions::*setting;
    std::string OptionsForm::*box;
    void (OptionsForm::*browse)();
};
static const TextBoxSetting kTextBoxes[] = {
    {&cmOptions::dxPath, &OptionsForm::txtDxPath, &OptionsForm::onBrowseDxPath},
    {&cmOptions::configPath, &OptionsForm::txtConfigPath, &OptionsForm::onBrowseConfigPath},
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

bool OptionsForm::lockedControl(const Control& control) const {
    unsigned bits = control.id == ControlId::lblDebug ? debugModeBit() : 0;
    for (const CheckBoxSetting& c : kCheckBoxes)
        if (control.checked && control.checked == c.box) bits |= policyBitOf(c);
    for (const TextBoxSetting& t : kTextBoxes)
        if ((control.text && control.text == t.box) || (control.onEvent && control.onEvent == t.browse))
            bits |= policyBitOf(t);
    return (bits & lockedSettings) != 0;
}

void OptionsForm::load() {
    if (loaded_) return;
    loaded_ = true;
    onLoad();
}

void OptionsForm::show() {
    load();
    showOptionsDialog(*this);
}

void OptionsForm::unload() { loaded_ = false; }

void OptionsForm::onLoad() {
    appName = appNameString();
    appGuid = appGuidString();
    const cmOptions& o = *gOptions;
    lockedSettings = o.fromPolicy;
    for (const CheckBoxSetting& c : kCheckBoxes)
        if (o.*c.setting) this->*c.box = true;
    if (o.debugMode) lblDebug = kDebugCaption;
    for (const TextBoxSetting& t : kTextBoxes) this->*t.box = o.*t.setting;
}

void OptionsForm::onApply() {
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

void OptionsForm::onOk() {
    onApply();
    unload();
}

void OptionsForm::onCancel() { unload(); }

void OptionsForm::onBrowseDxPath() {
    txtDxPath = platform().browseForFolder(
        window, "Please select the folder where your Dorvex executable is located");
}

void OptionsForm::onBrowseConfigPath() {
    txtConfigPath = platform().browseForFolder(
        window, "Please select the folder where you installed the QuickBooks Module configurations");
}

void OptionsForm::onSelectScanner() {
    const Platform& p = platform();
    if (!p.scannerAvailable()) {
        msgBox("Unable to detect support for a TWAIN-compliant scanner.");
        return;
    }
    try {
        p.selectScanner(window);
    } catch (const Error& e) {
        msgBox(e.description());
    }
}

void OptionsForm::onPellwick() {
    const Platform& p = platform();
    appendBackslash(txtDxPath);
    std::string wizard = txtDxPath + "pellwick.exe";
    if (p.fileExists(wizard))
        p.startProcess(wizard, wizard, WindowState::MinimizedFocus);
    else
        msgBox("Please correct your Dorvex Executable path before running Pellwick.");
}

void OptionsForm::onDebugDoubleClick() {
    if (lockedSettings & debugModeBit()) return;
    cmOptions& o = *gOptions;
    o.debugMode = !o.debugMode;
    lblDebug = o.debugMode ? kDebugCaption : "";
}

void OptionsForm::onAddMenu() { menuButtons_.add(appName, appGuid); }

void OptionsForm::onRemoveMenu() {
    try {
        menuButtons_.remove(appName, appGuid);
    } catch (const Error& e) {
        msgBox("Encountered error removing menu: " + e.description());
    }
}

void OptionsForm::runEvent(void (OptionsForm::*handler)()) {
    try {
        (this->*handler)();
    } catch (...) {
        msgBox(genericErrorText(caughtError()));
    }
}

}  // namespace marlet
