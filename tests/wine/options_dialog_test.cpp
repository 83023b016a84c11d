// The Options dialog worked through its controls, with its effect on the
// options seen in dxqb.ini after /options: Apply, OK, Cancel and the close box,
// the debug label, the folder browser, Pellwick and Select Scanner.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "options_driver.h"
#include "sandbox.h"

using namespace bench;

namespace {

const std::string kDebugCaption = "Debug mode is enabled.";
const std::string kTwain = "Display twain settings before scanning";
const std::string kDorvex = "Display Dorvex when scanning and processing";
const std::string kMemo = "Prompt for memo when scanning documents not related to transactions";

std::string ini(bool twain, const std::string& dx, const std::string& config, bool dorvex, bool memo, bool debug) {
    auto b = [](bool v) { return std::string(v ? "True" : "False"); };
    return b(twain) + "\r\n" + dx + "\r\n" + config + "\r\n" + b(dorvex) + "\r\n" + b(memo) + "\r\n" + b(debug) + "\r\n";
}

// Waits until the dialog has taken in every click so far: a read through the
// window's own thread after its queue had time to run.
void settle(const OptionsWindow& w) {
    Sleep(300);
    SendMessageW(w.hwnd(), WM_NULL, 0, 0);
}

struct OptionsDialog : ::testing::Test {
    Sandbox box;

    RunResult run(const std::function<void(OptionsWindow&)>& script) {
        RunResult r = runWithOptions(box, L"/options", script);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        return r;
    }
    static void expectBox(const Dialog& d, const std::string& text) {
        EXPECT_EQ(d.title, "Marlet");
        EXPECT_EQ(d.text, text);
        EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    }
};

}  // namespace

TEST_F(OptionsDialog, ApplyEndsBothPathsWithOneBackslashAndCancelKeepsWhatWasApplied) {
    box.writeIni(ini(false, "", "", false, false, false));
    run([&](OptionsWindow& w) {
        HWND dx = w.dxPathBox(), config = w.configPathBox();
        EXPECT_EQ(w.text(dx), "");
        EXPECT_EQ(w.text(config), "");
        w.press("Apply", [&] { return w.text(dx) == "\\"; });
        EXPECT_EQ(w.text(dx), "\\");
        EXPECT_EQ(w.text(config), "\\");
        w.click(w.button("Apply"));  // again: no second "\"
        settle(w);
        EXPECT_EQ(w.text(dx), "\\");
        EXPECT_EQ(w.text(config), "\\");
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(box.readIni(), ini(false, "\\", "\\", false, false, false));

    run([&](OptionsWindow& w) {
        HWND dx = w.dxPathBox(), config = w.configPathBox();
        w.type(dx, "C:\\Dorvex");
        w.type(config, "C:\\Jobs\\");  // already ends in "\"
        w.press("Apply", [&] { return w.text(dx) == "C:\\Dorvex\\"; });
        EXPECT_EQ(w.text(config), "C:\\Jobs\\");
        w.type(dx, "D:\\Elsewhere");  // typed after Apply, then Cancel: not kept
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dorvex\\", "C:\\Jobs\\", false, false, false));

    run([&](OptionsWindow& w) {
        w.type(w.dxPathBox(), "E:\\Dx");
        EXPECT_TRUE(w.close("OK"));  // OK applies
    });
    EXPECT_EQ(box.readIni(), ini(false, "E:\\Dx\\", "C:\\Jobs\\", false, false, false));
}

TEST_F(OptionsDialog, CheckBoxesReachTheOptionsOnlyThroughApplyOrOK) {
    box.writeIni(ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, true, false));
    run([&](OptionsWindow& w) {
        EXPECT_FALSE(w.checked(w.checkBox(kTwain)));
        EXPECT_FALSE(w.checked(w.checkBox(kDorvex)));
        EXPECT_TRUE(w.checked(w.checkBox(kMemo)));
        w.toggle(w.checkBox(kTwain));
        w.toggle(w.checkBox(kMemo));
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, true, false)) << "Cancel applies nothing";

    run([&](OptionsWindow& w) {
        w.toggle(w.checkBox(kDorvex));
        w.click(w.button("Apply"));
        settle(w);
        w.toggle(w.checkBox(kTwain));  // after Apply: dropped by Cancel
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dx\\", "C:\\Cfg\\", true, true, false)) << "Apply then Cancel keeps";

    run([&](OptionsWindow& w) {
        w.toggle(w.checkBox(kTwain));
        w.toggle(w.checkBox(kMemo));
        EXPECT_TRUE(w.close("OK"));
    });
    EXPECT_EQ(box.readIni(), ini(true, "C:\\Dx\\", "C:\\Cfg\\", true, false, false));
}

TEST_F(OptionsDialog, TheCloseBoxAppliesNothingAndTheFileIsStillWritten) {
    const std::string untidy = "false\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\n0\r\n-1\r\nfalse";
    box.writeIni(untidy);
    run([&](OptionsWindow& w) {
        w.toggle(w.checkBox(kTwain));
        w.type(w.dxPathBox(), "C:\\Other");
        EXPECT_TRUE(w.close("Alt+F4"));
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, true, false));

    box.writeIni(untidy);
    run([&](OptionsWindow& w) {
        w.key(VK_ESCAPE);
        EXPECT_TRUE(waitFor([&] { return !w.isOpen(); }));
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, true, false));
}

TEST_F(OptionsDialog, TheDebugLabelTogglesAtOnceAndCancelDoesNotUndoIt) {
    box.writeIni(ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, false, false));
    run([&](OptionsWindow& w) {
        HWND label = w.debugLabel();
        EXPECT_EQ(w.text(label), "");
        EXPECT_TRUE(w.doubleClick(label, [&] { return w.text(label) == kDebugCaption; }));
        // works on the empty label's area too
        EXPECT_TRUE(w.doubleClick(label, [&] { return w.text(label) == ""; }));
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, false, false));

    run([&](OptionsWindow& w) {
        EXPECT_TRUE(w.doubleClick(w.debugLabel(), [&] { return w.text(w.debugLabel()) == kDebugCaption; }));
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, false, true));

    run([&](OptionsWindow& w) {
        EXPECT_EQ(w.text(w.debugLabel()), kDebugCaption) << "shown when the dialog opens";
        EXPECT_TRUE(w.close("OK"));  // OK leaves debug mode alone
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, false, true));
}

TEST_F(OptionsDialog, TheFolderBrowserAsksWithItsPromptAndCancelEmptiesTheBox) {
    box.writeIni(ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, false, false));
    run([&](OptionsWindow& w) {
        w.click(w.browseDxPath());
        HWND browser = w.waitForOther();
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(GetWindow(browser, GW_OWNER), w.hwnd()) << "owned by the dialog";
        EXPECT_FALSE(IsWindowEnabled(w.hwnd())) << "modal";
        EXPECT_NE(findChild(browser, "Static", "Please select the folder where your Dorvex executable is located"),
                  nullptr);
        answer(browser, "Cancel");
        EXPECT_TRUE(waitFor([&] { return w.text(w.dxPathBox()) == ""; }));

        // The tree starts at the desktop, which is a file-system folder: OK on it.
        w.click(w.browseConfigPath());
        browser = w.waitForOther();
        ASSERT_NE(browser, nullptr);
        EXPECT_NE(findChild(browser, "Static",
                            "Please select the folder where you installed the QuickBooks Module configurations"),
                  nullptr);
        answer(browser, "OK");
        wchar_t desktop[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
        EXPECT_TRUE(waitFor([&] { return w.text(w.configPathBox()) == utf8(desktop); }))
            << w.text(w.configPathBox());
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(box.readIni(), ini(false, "C:\\Dx\\", "C:\\Cfg\\", false, false, false)) << "browsing applies nothing";
}
