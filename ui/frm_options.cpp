#include "ui/frm_options.h"

#include "app/app.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "qb/menu_subscription.h"

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
    {&cmOptions::dxPath, &frmOptions::txtDxPath, &frmOptions::cmdBrowseDxPath_Click},
    {&cmOptions::configPath, &frmOptions::txtConfigPath, &frmOptions::cmdBrowseConfigPath_Click},
};

static unsigned policyBitOf(bool cmOptions::*flag) {
    for (const Setting& s : kSettings)
        if (s.flag == flag) return policyBit(s);
    return 0;
}
static unsigned policyBitOf(std::string cmOptions::*text) {
    for (const Setting& s : kSettings)
        if (s.text == text) return policyBit(s);
    return 0;
}

bool frmOptions::lockedControl(bool frmOptions::*box, std::string frmOptions::*text,
                               void (frmOptions::*handler)()) const {
    unsigned bits = 0;
    for (const CheckBoxSetting& c : kCheckBoxes)
        if (box && c.box == box) bits |= policyBitOf(c.setting);
    for (const TextBoxSetting& t : kTextBoxes)
        if ((text && t.box == text) || (handler && t.browse == handler)) bits |= policyBitOf(t.setting);
    if ((text && text == &frmOptions::lblDebug) || (handler && handler == &frmOptions::lblDebug_DblClick))
        bits |= policyBitOf(&cmOptions::debugMode);
    return (bits & lockedSettings) != 0;
}

void frmOptions::Load() {
    if (loaded_) return;
    loaded_ = true;
    Form_Load();
}

void frmOptions::Show() {
    Load();
    platform().showOptionsDialog(*this);
}

void frmOptions::Unload() { loaded_ = false; }

void frmOptions::Form_Load() {
    appName = appNameString();
    appGUID = appGuidString();
    const cmOptions& o = *gOptions;
    lockedSettings = o.fromPolicy;
    for (const CheckBoxSetting& c : kCheckBoxes)
        if (o.*c.setting) this->*c.box = true;
    if (o.debugMode) lblDebug = kDebugCaption;
    for (const TextBoxSetting& t : kTextBoxes) this->*t.box = o.*t.setting;
}

void frmOptions::cmdApply_Click() {
    cmOptions& o = *gOptions;
    for (const CheckBoxSetting& c : kCheckBoxes)
        if (!(lockedSettings & policyBitOf(c.setting))) o.*c.setting = this->*c.box;
    // The folders end in a backslash, so a file name can follow directly.
    for (const TextBoxSetting& t : kTextBoxes) {
        if (lockedSettings & policyBitOf(t.setting)) continue;
        appendBackslash(this->*t.box);
        o.*t.setting = this->*t.box;
    }
}

void frmOptions::cmdOK_Click() {
    cmdApply_Click();
    Unload();
}

void frmOptions::cmdCancel_Click() { Unload(); }

void frmOptions::cmdBrowseDxPath_Click() {
    txtDxPath = platform().browseForFolder(
        window, "Please select the folder where your Dorvex executable is located");
}

void frmOptions::cmdBrowseConfigPath_Click() {
    txtConfigPath = platform().browseForFolder(
        window, "Please select the folder where you installed the QuickBooks Module configurations");
}

void frmOptions::cmdSelectScan_Click() {
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

void frmOptions::cmdPellwick_Click() {
    const Platform& p = platform();
    appendBackslash(txtDxPath);
    std::string wizard = txtDxPath + "pellwick.exe";
    if (p.fileExists(wizard))
        p.startProcess(wizard, wizard, kMinimizedFocus);
    else
        MsgBox("Please correct your Dorvex Executable path before running Pellwick.");
}

void frmOptions::lblDebug_DblClick() {
    if (lockedSettings & policyBitOf(&cmOptions::debugMode)) return;
    cmOptions& o = *gOptions;
    o.debugMode = !o.debugMode;
    lblDebug = o.debugMode ? kDebugCaption : "";
}

void frmOptions::cmdAddMenu_Click() { addMenu(appName, appGUID); }

void frmOptions::cmdRemoveMenu_Click() {
    try {
        removeMenu(appName, appGUID);
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
