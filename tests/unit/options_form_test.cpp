// The Options form's handlers, and the "options" menu entry that shows it.
#include "ui/options_form.h"

#include <gtest/gtest.h>

#include "app/app.h"
#include "commands/options_commands.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "ui/options_dialog.h"

using namespace marlet;

namespace {

struct FormTest : ::testing::Test {
    fake::World& w = fake::install();
    OptionsForm form{kOptionsMenuButtons};
    FormTest() { loadOptions(); }
    std::string onlyBoxText() {
        EXPECT_EQ(w.boxes.size(), 1u);
        if (w.boxes.empty()) return "";
        EXPECT_EQ(w.boxes[0].title, "Marlet");
        EXPECT_EQ(w.boxes[0].style, BoxStyle::OkOnly);
        return w.boxes[0].text;
    }
};

}  // namespace

TEST_F(FormTest, FormLoadShowsEachOptionInItsControl) {
    // One option at a time, so a control bound to the wrong option shows.
    bool cmOptions::*flags[] = {&cmOptions::displayTwain, &cmOptions::displayDorvex, &cmOptions::promptMemo,
                                &cmOptions::debugMode};
    for (bool cmOptions::*flag : flags) {
        *gOptions = cmOptions();
        gOptions->dxPath = "C:\\Dx";
        gOptions->configPath = " D:\\Cfg\\ ";
        (*gOptions).*flag = true;
        OptionsForm f(kOptionsMenuButtons);
        f.load();
        EXPECT_EQ(f.ckDisplayTwain, flag == &cmOptions::displayTwain);
        EXPECT_EQ(f.ckDisplayDorvex, flag == &cmOptions::displayDorvex);
        EXPECT_EQ(f.ckCustomerMemo, flag == &cmOptions::promptMemo);
        EXPECT_EQ(f.lblDebug, flag == &cmOptions::debugMode ? "Debug mode is enabled." : "");
        EXPECT_EQ(f.txtDxPath, "C:\\Dx");
        EXPECT_EQ(f.txtConfigPath, " D:\\Cfg\\ ");
    }
}

TEST_F(FormTest, ApplyTakesEveryControlAndEndsThePathsInABackslash) {
    gOptions->debugMode = true;
    form.load();
    struct Row {
        bool twain, dorvex, memo;
        std::string dxPath, configPath, storedDx, storedConfig;
    };
    const Row rows[] = {
        {true, false, false, "", "C:\\Cfg\\", "\\", "C:\\Cfg\\"},
        {false, true, false, "C:\\Dx", "", "C:\\Dx\\", "\\"},
        {false, false, true, "C:\\Dx\\ ", "D:\\", "C:\\Dx\\ \\", "D:\\"},
    };
    for (const Row& r : rows) {
        form.ckDisplayTwain = r.twain;
        form.ckDisplayDorvex = r.dorvex;
        form.ckCustomerMemo = r.memo;
        form.txtDxPath = r.dxPath;
        form.txtConfigPath = r.configPath;
        form.onApply();
        form.onApply();  // a second Apply adds no second backslash
        cmOptions expected{r.twain, r.storedDx, r.storedConfig, r.dorvex, r.memo, true};
        EXPECT_EQ(gOptions->toText(), expected.toText());
        EXPECT_EQ(form.txtDxPath, r.storedDx);
        EXPECT_EQ(form.txtConfigPath, r.storedConfig);
    }
    EXPECT_TRUE(w.log.empty());  // the form never touches the file
}

TEST_F(FormTest, OkAppliesAndUnloadsCancelOnlyUnloads) {
    form.load();
    form.ckDisplayTwain = true;
    form.onCancel();
    EXPECT_FALSE(form.loaded());
    EXPECT_FALSE(gOptions->displayTwain);
    form.load();  // a loaded form is not loaded again: the control keeps its state
    EXPECT_TRUE(form.ckDisplayTwain);
    form.onOk();
    EXPECT_FALSE(form.loaded());
    EXPECT_TRUE(gOptions->displayTwain);
}

TEST_F(FormTest, DebugLabelDoubleClickTogglesTheOptionAtOnce) {
    form.load();
    form.onDebugDoubleClick();
    EXPECT_TRUE(gOptions->debugMode);
    EXPECT_EQ(form.lblDebug, "Debug mode is enabled.");
    form.onCancel();
    EXPECT_TRUE(gOptions->debugMode);
    form.onDebugDoubleClick();
    EXPECT_FALSE(gOptions->debugMode);
    EXPECT_EQ(form.lblDebug, "");
}

TEST_F(FormTest, BrowseButtonsReplaceTheirBoxEvenOnCancel) {
    form.load();
    form.txtDxPath = "old";
    form.txtConfigPath = "old";
    w.folderAnswers = {"D:\\Dorvex"};
    form.onBrowseDxPath();
    form.onBrowseConfigPath();  // cancelled
    EXPECT_EQ(form.txtDxPath, "D:\\Dorvex");
    EXPECT_EQ(form.txtConfigPath, "");
    EXPECT_EQ(w.browsePrompts,
              (std::vector<std::string>{
                  "Please select the folder where your Dorvex executable is located",
                  "Please select the folder where you installed the QuickBooks Module configurations"}));
    EXPECT_EQ(gOptions->dxPath, "");
}

TEST_F(FormTest, SelectScanner) {
    form.load();
    form.runEvent(&OptionsForm::onSelectScanner);
    EXPECT_EQ(onlyBoxText(), "Unable to detect support for a TWAIN-compliant scanner.");
    EXPECT_EQ(w.log, std::vector<std::string>{"msgBox Marlet"});

    w.boxes.clear();
    w.log.clear();
    w.scanner = true;
    form.runEvent(&OptionsForm::onSelectScanner);
    EXPECT_EQ(w.log, (std::vector<std::string>{"selectScanner"}));

    w.onSelectScanner = [] { throw Error(5, "The scanner could not be selected: No Data Source"); };
    form.runEvent(&OptionsForm::onSelectScanner);
    EXPECT_EQ(onlyBoxText(), "The scanner could not be selected: No Data Source");
}

TEST_F(FormTest, PellwickIsLookedForThroughThePathBox) {
    gOptions->dxPath = "C:\\Old\\";
    form.load();
    form.txtDxPath = "C:\\Dx";
    form.onPellwick();
    EXPECT_EQ(onlyBoxText(), "Please correct your Dorvex Executable path before running Pellwick.");
    EXPECT_EQ(form.txtDxPath, "C:\\Dx\\");
    EXPECT_TRUE(w.started.empty());

    w.boxes.clear();
    w.files["C:\\Dx\\pellwick.exe"] = "";
    w.programs.insert("C:\\Dx\\pellwick.exe");
    form.onPellwick();
    ASSERT_EQ(w.started.size(), 1u);
    EXPECT_EQ(w.started[0].program, "C:\\Dx\\pellwick.exe");
    EXPECT_EQ(w.started[0].commandLine, "C:\\Dx\\pellwick.exe");
    EXPECT_EQ(w.started[0].windowState, WindowState::MinimizedFocus);
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_EQ(gOptions->dxPath, "C:\\Old\\");
}

TEST_F(FormTest, ErrorsOfTheShownDialogAreShownAndItStaysOpen) {
    form.load();
    // No request processor: removing the menu fails in its first step.
    form.runEvent(&OptionsForm::onRemoveMenu);
    EXPECT_EQ(onlyBoxText(), "Encountered error removing menu: Invalid class string");
    w.boxes.clear();
    // Any other error of a handler: the generic text. Pellwick is there, but will not start.
    form.txtDxPath = "C:\\Dx";
    w.files["C:\\Dx\\pellwick.exe"] = "";
    form.runEvent(&OptionsForm::onPellwick);
    EXPECT_EQ(onlyBoxText(), "53: File not found");
    EXPECT_TRUE(form.loaded());
}

TEST_F(FormTest, OptionsEntryShowsTheRecordBeforeTheFileIsReadAndWritesHoweverClosed) {
    const std::string kIni = "C:\\Marlet\\dxqb.ini";
    w.files[kIni] = "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nTrue\r\nFalse\r\n";
    gOptions->displayTwain = true;  // what the process holds, not the file
    bool shownTwain = false;
    w.onShowOptions = [&](OptionsForm& f) {
        EXPECT_TRUE(gOptions->promptMemo);  // the file was read before the dialog came up
        shownTwain = f.ckDisplayTwain;
        f.onDebugDoubleClick();
        f.onCancel();
    };
    optionsEntry();
    EXPECT_TRUE(shownTwain);
    EXPECT_EQ(w.files[kIni], "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nTrue\r\nTrue\r\n");

    w.onShowOptions = [&](OptionsForm& f) {
        EXPECT_EQ(f.lblDebug, "Debug mode is enabled.");  // a fresh form, loaded again
        f.ckDisplayDorvex = true;
        f.onOk();
    };
    optionsEntry();
    EXPECT_EQ(w.optionsDialogsShown, 2);
    EXPECT_EQ(w.files[kIni], "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nTrue\r\nTrue\r\nTrue\r\n");
}

// No window wired in to show the form in: an error for the caller to show, not a crash.
TEST_F(FormTest, ShowWithoutADialogIsAnUnsetObjectError) {
    setOptionsDialog(nullptr);
    try {
        form.show();
        ADD_FAILURE() << "shown";
    } catch (const Error& e) {
        EXPECT_EQ(std::to_string(e.number()) + ": " + e.description(), "91: Object variable or With block variable not set");
    }
}
