// The Options dialog where it is opened: /options among the other switches, its
// Add Menu and Remove Menu buttons against the request-processor stand-in, and
// the "options" menu event delivered through the host stand-in.
#include <windows.h>

#include <gtest/gtest.h>

#include "options_driver.h"
#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"

using namespace bench;

namespace {

const std::string kDebugCaption = "Debug mode is enabled.";

struct OptionsAndMenu : ::testing::Test {
    Sandbox box;
    QuickBooks qb{box};
    OptionsAndMenu() {
        EXPECT_TRUE(qb.registered());
        box.writeIni(box.iniFor(L"Dx"));
    }
};

std::vector<std::string> titles(const RunResult& r) {
    std::vector<std::string> out;
    for (const Dialog& d : r.dialogs) out.push_back(d.title);
    return out;
}

}  // namespace

TEST_F(OptionsAndMenu, InstallThenOptionsAddsTheMenuBeforeTheDialogShows) {
    std::vector<std::string> callsWhileOpen;
    RunResult r = runWithOptions(box, L"/install /options", [&](OptionsWindow& w) {
        callsWhileOpen = qb.calls();
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(titles(r), (std::vector<std::string>{"Menu Added", "Options"}));
    EXPECT_EQ(callsWhileOpen,
              (std::vector<std::string>{"OpenConnection", "ProcessSubscription", "CloseConnection", "Release"}));
}

TEST_F(OptionsAndMenu, OptionsThenInstallAddsTheMenuAfterTheDialogCloses) {
    std::vector<std::string> callsWhileOpen = {"<not shown>"};
    RunResult r = runWithOptions(box, L"/options /install", [&](OptionsWindow& w) {
        callsWhileOpen = qb.calls();
        EXPECT_TRUE(w.close("OK"));
    });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(titles(r), (std::vector<std::string>{"Options", "Menu Added"}));
    EXPECT_TRUE(callsWhileOpen.empty());
    EXPECT_EQ(qb.menus().size(), 1u);
}

// A Remove Menu failure from the button is told in a box and the dialog stays
// open (from /uninstall it still ends the program: menu_subscription_test).
TEST_F(OptionsAndMenu, TheMenuButtonsTellTheirOutcomeAndTheDialogStaysOpen) {
    qb.configure("fault = qbNotRunning\n");
    RunResult r = runWithOptions(box, L"/options", [&](OptionsWindow& w) {
        auto pressAndAnswer = [&](const std::string& caption) {
            w.click(w.button(caption));
            HWND message = w.waitForOther();
            return message ? answer(message) : Dialog{};
        };
        Dialog d = pressAndAnswer("Remove Menu");
        EXPECT_EQ(d.title, "Marlet");
        EXPECT_EQ(d.text, "Encountered error removing menu: Could not start QuickBooks.");
        EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
        ASSERT_TRUE(w.isOpen());

        d = pressAndAnswer("Add Menu");
        EXPECT_EQ(d.title, "Marlet");
        EXPECT_EQ(d.text, "Encountered error subscribing: Could not start QuickBooks.");
        ASSERT_TRUE(w.isOpen());

        qb.configure("");  // QuickBooks is there now
        EXPECT_EQ(pressAndAnswer("Add Menu").title, "Menu Added");
        EXPECT_EQ(qb.menus().size(), 1u);
        EXPECT_EQ(pressAndAnswer("Remove Menu").title, "Menu Removed");
        EXPECT_TRUE(qb.menus().empty());

        w.toggle(w.checkBox("Display twain settings before scanning"));
        EXPECT_TRUE(w.close("OK"));
    });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.dialogs.size(), 1u) << "every box was the script's";
    EXPECT_EQ(box.readIni().substr(0, 6), "True\r\n") << "the options are written at the end as ever";
}

// Through the host: the first dialog shows what Main read; a change of the file
// between two picks is read by the second pick after its dialog was loaded, so
// that dialog still shows the earlier values, and the file gets what was read.
TEST(OptionsEvent, LoadsThenReadsShowsAndWritesHoweverItCloses) {
    Sandbox box;
    const std::string dx = box.pathUtf8(L"Dx") + "\\", cfg = box.pathUtf8(L"Cfg") + "\\";
    box.writeIni("False\r\n" + dx + "\r\n" + cfg + "\r\nFalse\r\nFalse\r\nFalse\r\n");
    const std::string changed = "True\r\nC:\\Elsewhere\\\r\n" + cfg + "\r\nFalse\r\nFalse\r\nFalse\r\n";
    installFileTools(box);
    registerMarlet(box);

    struct Shown {
        std::string dxPath, debugCaption;
        bool twain;
    };
    std::vector<Shown> shown;
    std::string fileAfterFirst;
    std::vector<std::string> seen;
    HostRun r = runHost(box, L"--progid=Marlet.QBMenuListener options scan@none options", [&](const Dialog& d) {
        seen.push_back(d.title);
        if (d.title == "Options") {
            OptionsWindow w(d.hwnd);
            shown.push_back({w.text(w.dxPathBox()), w.text(w.debugLabel()),
                             w.checked(w.checkBox("Display twain settings before scanning"))});
            if (shown.size() == 1) {  // debug mode on at once, then Cancel
                EXPECT_TRUE(
                    w.doubleClick(w.debugLabel(), [&] { return w.text(w.debugLabel()) == kDebugCaption; }));
            }
            EXPECT_TRUE(w.close("Cancel"));
        } else if (d.title == "Information not found") {  // between the two picks
            fileAfterFirst = box.readIni();
            box.writeIni(changed);
            pressFirstButton(d);
        } else {
            pressFirstButton(d);
        }
    }, 120000);
    unregisterMarlet(box);
    uninstallFileTools(box);

    EXPECT_FALSE(r.timedOut);
    std::string trace;
    for (const HostCall& c : r.calls) trace += c.event + " ";
    for (const std::string& t : seen) trace += "[" + t + "] ";
    ASSERT_EQ(r.calls.size(), 3u) << trace;
    for (const HostCall& c : r.calls) EXPECT_EQ(c.hr, S_OK) << c.event << ": " << c.description;
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].dxPath, dx);
    EXPECT_EQ(shown[0].debugCaption, "");
    EXPECT_EQ(fileAfterFirst, "False\r\n" + dx + "\r\n" + cfg + "\r\nFalse\r\nFalse\r\nTrue\r\n")
        << "written when the first dialog closed, with the debug label's change";
    EXPECT_EQ(shown[1].dxPath, dx) << "a fresh dialog, loaded before the file was read again";
    EXPECT_EQ(shown[1].debugCaption, kDebugCaption);
    EXPECT_FALSE(shown[1].twain);
    EXPECT_EQ(box.readIni(), changed) << "what the second pick read, written after its dialog closed";
}

TEST(OptionsEvent, WithoutAnOptionsFileTheDialogOpensAndNothingIsWritten) {
    Sandbox box;
    installFileTools(box);
    registerMarlet(box);
    bool opened = false;
    HostRun r = runHost(box, L"--progid=Marlet.QBMenuListener options", [&](const Dialog& d) {
        if (d.title != "Options") return pressFirstButton(d);
        opened = true;
        OptionsWindow w(d.hwnd);
        w.type(w.dxPathBox(), "C:\\Dx");
        EXPECT_TRUE(w.close("OK"));
    }, 120000);
    unregisterMarlet(box);
    uninstallFileTools(box);
    EXPECT_TRUE(opened);
    ASSERT_EQ(r.calls.size(), 1u);
    EXPECT_EQ(r.calls[0].hr, S_OK) << r.calls[0].description;
    EXPECT_FALSE(box.exists(L"dxqb.ini"));
}
