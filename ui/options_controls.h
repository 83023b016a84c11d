#pragma once
// The Options dialog's controls, one row each: where it stands (twips, 1440 to
// the inch; inside a frame, from the frame's corner), its place in the keyboard
// order, and what it is bound to on the form. The window (options_dialog_win32.cpp)
// is built from this table alone, and the layout test reads it.
#include <cstddef>
#include <iterator>
#include <string>

#include "ui/options_form.h"

namespace marlet {

enum class ControlKind { TabStrip, Frame, CheckBox, Button, Label, TextBox };

// The controls, in the order of the table's rows.
enum class ControlId {
    TabStrip1, Frame1, ckDisplayTwain, cmdSelectScan, Frame3, lbl1, txtDxPath, cmdBrowseDxPath, Label1,
    txtConfigPath, cmdBrowseConfigPath, cmdPellwick, Frame2, cmdAddMenu, cmdRemoveMenu, Frame4, ckDisplayDorvex,
    Frame5, ckCustomerMemo, cmdOK, cmdCancel, cmdApply, lblDebug,
    none,  // no control: a row that stands in no frame
};

struct Control {
    ControlId id;
    const char* name;
    ControlKind kind;
    const wchar_t* caption;
    ControlId inside;
    int left, top, width, height;
    int tabOrder;
    bool OptionsForm::*checked = nullptr;      // a check box's state
    std::string OptionsForm::*text = nullptr;  // a text box's or a label's text
    void (OptionsForm::*onEvent)() = nullptr;  // a button's click, a label's double-click
};

// One row a line. The scanner is asked through TWAIN (scanner_win32.cpp), so no
// control stands for it here.
inline constexpr Control kControls[] = {
    {.id = ControlId::TabStrip1, .name = "TabStrip1", .kind = ControlKind::TabStrip, .caption = L"General", .inside = ControlId::none, .left = 120, .top = 120, .width = 7095, .height = 5895, .tabOrder = 0},
    {.id = ControlId::Frame1, .name = "Frame1", .kind = ControlKind::Frame, .caption = L"Twain Settings", .inside = ControlId::none, .left = 240, .top = 480, .width = 6855, .height = 855, .tabOrder = 1},
    {.id = ControlId::ckDisplayTwain, .name = "ckDisplayTwain", .kind = ControlKind::CheckBox, .caption = L"Display twain settings before scanning", .inside = ControlId::Frame1, .left = 240, .top = 360, .width = 3735, .height = 255, .tabOrder = 2, .checked = &OptionsForm::ckDisplayTwain},
    {.id = ControlId::cmdSelectScan, .name = "cmdSelectScan", .kind = ControlKind::Button, .caption = L"Select Scanner", .inside = ControlId::none, .left = 5400, .top = 780, .width = 1575, .height = 375, .tabOrder = 18, .onEvent = &OptionsForm::onSelectScanner},
    {.id = ControlId::Frame3, .name = "Frame3", .kind = ControlKind::Frame, .caption = L"Paths", .inside = ControlId::none, .left = 240, .top = 1440, .width = 6855, .height = 1545, .tabOrder = 9},
    {.id = ControlId::lbl1, .name = "lbl1", .kind = ControlKind::Label, .caption = L"Dorvex Executable:", .inside = ControlId::Frame3, .left = 240, .top = 360, .width = 1815, .height = 255, .tabOrder = 10},
    {.id = ControlId::txtDxPath, .name = "txtDxPath", .kind = ControlKind::TextBox, .caption = L"", .inside = ControlId::Frame3, .left = 2760, .top = 330, .width = 3375, .height = 285, .tabOrder = 12, .text = &OptionsForm::txtDxPath},
    {.id = ControlId::cmdBrowseDxPath, .name = "cmdBrowseDxPath", .kind = ControlKind::Button, .caption = L"...", .inside = ControlId::Frame3, .left = 6120, .top = 330, .width = 615, .height = 285, .tabOrder = 14, .onEvent = &OptionsForm::onBrowseDxPath},
    {.id = ControlId::Label1, .name = "Label1", .kind = ControlKind::Label, .caption = L"Scan and Retrieval Configurations:", .inside = ControlId::Frame3, .left = 240, .top = 690, .width = 2535, .height = 255, .tabOrder = 11},
    {.id = ControlId::txtConfigPath, .name = "txtConfigPath", .kind = ControlKind::TextBox, .caption = L"", .inside = ControlId::Frame3, .left = 2760, .top = 660, .width = 3375, .height = 285, .tabOrder = 13, .text = &OptionsForm::txtConfigPath},
    {.id = ControlId::cmdBrowseConfigPath, .name = "cmdBrowseConfigPath", .kind = ControlKind::Button, .caption = L"...", .inside = ControlId::Frame3, .left = 6120, .top = 660, .width = 615, .height = 285, .tabOrder = 15, .onEvent = &OptionsForm::onBrowseConfigPath},
    {.id = ControlId::cmdPellwick, .name = "cmdPellwick", .kind = ControlKind::Button, .caption = L"Pellwick", .inside = ControlId::Frame3, .left = 2760, .top = 1020, .width = 3975, .height = 375, .tabOrder = 19, .onEvent = &OptionsForm::onPellwick},
    {.id = ControlId::Frame2, .name = "Frame2", .kind = ControlKind::Frame, .caption = L"Integrated Menu", .inside = ControlId::none, .left = 240, .top = 3120, .width = 6855, .height = 855, .tabOrder = 6},
    {.id = ControlId::cmdAddMenu, .name = "cmdAddMenu", .kind = ControlKind::Button, .caption = L"Add Menu", .inside = ControlId::none, .left = 720, .top = 3420, .width = 2655, .height = 375, .tabOrder = 8, .onEvent = &OptionsForm::onAddMenu},
    {.id = ControlId::cmdRemoveMenu, .name = "cmdRemoveMenu", .kind = ControlKind::Button, .caption = L"Remove Menu", .inside = ControlId::none, .left = 3960, .top = 3420, .width = 2655, .height = 375, .tabOrder = 7, .onEvent = &OptionsForm::onRemoveMenu},
    {.id = ControlId::Frame4, .name = "Frame4", .kind = ControlKind::Frame, .caption = L"View Dorvex", .inside = ControlId::none, .left = 240, .top = 4080, .width = 6855, .height = 855, .tabOrder = 16},
    {.id = ControlId::ckDisplayDorvex, .name = "ckDisplayDorvex", .kind = ControlKind::CheckBox, .caption = L"Display Dorvex when scanning and processing", .inside = ControlId::Frame4, .left = 240, .top = 360, .width = 4335, .height = 195, .tabOrder = 17, .checked = &OptionsForm::ckDisplayDorvex},
    {.id = ControlId::Frame5, .name = "Frame5", .kind = ControlKind::Frame, .caption = L"Memos and Customer Documents", .inside = ControlId::none, .left = 240, .top = 5040, .width = 6855, .height = 855, .tabOrder = 20},
    {.id = ControlId::ckCustomerMemo, .name = "ckCustomerMemo", .kind = ControlKind::CheckBox, .caption = L"Prompt for memo when scanning documents not related to transactions", .inside = ControlId::Frame5, .left = 240, .top = 360, .width = 6015, .height = 255, .tabOrder = 21, .checked = &OptionsForm::ckCustomerMemo},
    {.id = ControlId::cmdOK, .name = "cmdOK", .kind = ControlKind::Button, .caption = L"OK", .inside = ControlId::none, .left = 3480, .top = 6120, .width = 1215, .height = 375, .tabOrder = 3, .onEvent = &OptionsForm::onOk},
    {.id = ControlId::cmdCancel, .name = "cmdCancel", .kind = ControlKind::Button, .caption = L"Cancel", .inside = ControlId::none, .left = 4800, .top = 6120, .width = 1095, .height = 375, .tabOrder = 4, .onEvent = &OptionsForm::onCancel},
    {.id = ControlId::cmdApply, .name = "cmdApply", .kind = ControlKind::Button, .caption = L"Apply", .inside = ControlId::none, .left = 6000, .top = 6120, .width = 1215, .height = 375, .tabOrder = 5, .onEvent = &OptionsForm::onApply},
    {.id = ControlId::lblDebug, .name = "lblDebug", .kind = ControlKind::Label, .caption = L"", .inside = ControlId::none, .left = 120, .top = 6120, .width = 2295, .height = 375, .tabOrder = 22, .text = &OptionsForm::lblDebug, .onEvent = &OptionsForm::onDebugDoubleClick},
};
inline constexpr int kControlCount = static_cast<int>(std::size(kControls));

constexpr bool rowsInIdOrder() {
    for (int i = 0; i < kControlCount; i++)
        if (static_cast<int>(kControls[i].id) != i) return false;
    return kControlCount == static_cast<int>(ControlId::none);
}
static_assert(rowsInIdOrder(), "kControls has one row per ControlId, in its order");

inline constexpr const Control& controlOf(ControlId id) { return kControls[static_cast<int>(id)]; }

// The dialog's client area, in twips.
inline constexpr int kClientWidth = 7335, kClientHeight = 6615;

// The tooltip on the Pellwick button.
inline constexpr const wchar_t* kPellwickTip =
    L"All scanned images are saved to the Default Output Folder.  Use Pellwick to change this folder "
    L"and store your documents in an alternate location.";

}  // namespace marlet
