#pragma once
// The Options dialog as a form: its public fields, the state of its controls and
// its handlers. The handlers are portable; the window itself is the one
// ui/options_dialog.h shows, which keeps the controls and these fields in step.
#include <string>

namespace marlet {

struct Control;

// What the Integrated Menu frame's buttons do, given by the command that shows
// the form (commands/options_commands.h): the form itself asks nothing of QuickBooks.
struct MenuButtons {
    void (*add)(const std::string& appName, const std::string& appGuid);
    void (*remove)(const std::string& appName, const std::string& appGuid);
};

class OptionsForm {
public:
    explicit OptionsForm(const MenuButtons& menuButtons) : menuButtons_(menuButtons) {}

    // Public fields, filled from the string table by onLoad.
    std::string appName;
    std::string appGuid;

    // Control state.
    bool ckDisplayTwain = false;
    bool ckDisplayDorvex = false;
    bool ckCustomerMemo = false;
    std::string txtDxPath;
    std::string txtConfigPath;
    std::string lblDebug;  // caption
    // The settings the person may not change here (cmOptions::fromPolicy, as
    // onLoad found it): their controls are disabled, and Apply keeps them.
    unsigned lockedSettings = 0;
    // Does a row of the dialog's control table (ui/options_controls.h) stand
    // for a locked setting: its check box, text box, browse button or label?
    bool lockedControl(const Control& control) const;

    // Form life: load runs onLoad once; show shows modally until unloaded.
    void load();
    void show();
    void unload();
    bool loaded() const { return loaded_; }
    // The dialog's window while it is on the screen (the platform's), else null.
    void* window = nullptr;

    // Handlers.
    void onLoad();
    void onApply();
    void onOk();
    void onCancel();
    void onBrowseDxPath();
    void onBrowseConfigPath();
    void onSelectScanner();
    void onPellwick();
    void onDebugDoubleClick();
    void onAddMenu();
    // A removal error is shown, and the dialog stays open.
    void onRemoveMenu();

    // Runs the handler of an event of the shown dialog. An error it raises has no
    // caller to go to: it is shown as the generic error text and the dialog stays
    // open, so nothing already applied is lost.
    void runEvent(void (OptionsForm::*handler)());

private:
    MenuButtons menuButtons_;
    bool loaded_ = false;
};

constexpr const char* kDebugCaption = "Debug mode is enabled.";

}  // namespace marlet
