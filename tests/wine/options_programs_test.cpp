// The Options dialog's two buttons that reach outside programs: Pellwick (the
// wizard stand-in, looked for through the path box) and Select Scanner (the
// TWAIN source manager that Wine ships).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>

#include "options_driver.h"
#include "sandbox.h"

using namespace bench;

namespace {

std::string ini(const std::string& dx, bool twain = false) {
    return std::string(twain ? "True" : "False") + "\r\n" + dx + "\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n";
}

struct Programs : ::testing::Test {
    Sandbox box;
    RunResult run(const std::function<void(OptionsWindow&)>& script) {
        RunResult r = runWithOptions(box, L"/options", script);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u);
        return r;
    }
    // No further dialog shows within a second.
    static bool nothingElse(const OptionsWindow& w) {
        return !waitFor([&] { return findDialogs(w.pid()).size() > 1; }, 1000);
    }
};

HWND wizardWindow() { return FindWindowW(L"PellwickStandIn", L"Pellwick"); }

// Closes the wizard stand-in however the test ends, so its folder can go.
struct WizardCloser {
    ~WizardCloser() {
        for (int i = 0; i < 100 && wizardWindow(); i++) {
            PostMessageW(wizardWindow(), WM_CLOSE, 0, 0);
            Sleep(50);
        }
        Sleep(300);  // its process ends after its window
    }
};

}  // namespace

TEST_F(Programs, PellwickIsStartedMinimisedFromTheUnappliedPathWithoutWaiting) {
    box.writeIni(ini(box.pathUtf8(L"Dx") + "\\"));
    box.copyProgram(L"pellwick.exe", L"Wizard\\pellwick.exe");
    const std::string wizardFolder = box.pathUtf8(L"Wizard");
    WizardCloser closer;
    run([&](OptionsWindow& w) {
        w.type(w.dxPathBox(), wizardFolder);  // typed, not applied
        w.click(w.button("Pellwick"));
        EXPECT_TRUE(waitFor([&] { return w.text(w.dxPathBox()) == wizardFolder + "\\"; }));
        std::vector<Launch> launches = waitForLaunches(box, 1, L"Wizard");
        ASSERT_EQ(launches.size(), 1u);
        EXPECT_EQ(launches[0].windowState, SW_SHOWMINIMIZED);
        EXPECT_EQ(launches[0].commandLine, wizardFolder + "\\pellwick.exe") << "the path alone, unquoted";
        EXPECT_TRUE(waitFor([] { return wizardWindow() && IsIconic(wizardWindow()); }));
        EXPECT_TRUE(nothingElse(w));
        EXPECT_TRUE(w.close("Cancel")) << "the dialog answers while the wizard runs";
        EXPECT_NE(wizardWindow(), nullptr);
    });
    EXPECT_EQ(box.readIni(), ini(box.pathUtf8(L"Dx") + "\\")) << "the path box was never applied";
}

TEST_F(Programs, PellwickMissingFromThePathBoxIsReported) {
    box.copyProgram(L"pellwick.exe", L"Dx\\pellwick.exe");  // where the options say, not where the box says
    box.writeIni(ini(box.pathUtf8(L"Dx") + "\\"));
    const std::string typed = box.pathUtf8(L"Empty");
    run([&](OptionsWindow& w) {
        w.type(w.dxPathBox(), typed);
        w.click(w.button("Pellwick"));
        HWND message = w.waitForOther();
        ASSERT_NE(message, nullptr);
        Dialog d = answer(message);
        EXPECT_EQ(d.title, "Marlet");
        EXPECT_EQ(d.text, "Please correct your Dorvex Executable path before running Pellwick.");
        EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
        EXPECT_EQ(w.text(w.dxPathBox()), typed + "\\");
        EXPECT_TRUE(w.isOpen());
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_TRUE(box.launches(L"Dx").empty());
    EXPECT_EQ(box.readIni(), ini(box.pathUtf8(L"Dx") + "\\"));
}

// A wizard file that is there but cannot be started: its error is shown, the
// dialog stays open and what was applied before still reaches the file.
TEST_F(Programs, AWizardThatCannotStartIsReportedAndNothingIsLost) {
    box.writeFile(L"Broken\\pellwick.exe", "not a program");
    box.writeIni(ini(box.pathUtf8(L"Broken") + "\\"));
    run([&](OptionsWindow& w) {
        w.toggle(w.checkBox("Display twain settings before scanning"));
        w.click(w.button("Apply"));
        w.click(w.button("Pellwick"));
        HWND message = w.waitForOther();
        ASSERT_NE(message, nullptr);
        Dialog d = answer(message);
        EXPECT_EQ(d.title, "Marlet");
        EXPECT_TRUE(std::regex_match(d.text, std::regex("-?[0-9]+: .+"))) << d.text;
        EXPECT_TRUE(w.isOpen());
        EXPECT_TRUE(w.close("Cancel"));
    });
    EXPECT_EQ(box.readIni(), ini(box.pathUtf8(L"Broken") + "\\", true));
}

namespace {

// Whether the TWAIN source manager that Wine ships names a data source for this
// (test) program: Wine brings a camera source of its own.
bool twainSourceHere() {
#pragma pack(push, 2)
    struct Identity {
        uint32_t id;
        uint16_t major, minor, language, country;
        char info[34];
        uint16_t protocolMajor, protocolMinor;
        uint32_t groups;
        char manufacturer[34], family[34], product[34];
    };
#pragma pack(pop)
    using Entry = uint16_t(WINAPI*)(Identity*, Identity*, uint32_t, uint16_t, uint16_t, void*);
    HMODULE m = LoadLibraryW(L"twain_32.dll");
    auto entry = m ? reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(m, "DSM_Entry"))) : nullptr;
    if (!entry) return false;
    Identity app = {};
    app.major = 1;
    app.protocolMajor = 1;
    app.protocolMinor = 9;
    app.groups = 3;
    lstrcpyA(app.product, "test");
    HWND parent = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    bool found = false;
    if (entry(&app, nullptr, 1, 4, 0x301, &parent) == 0) {
        Identity source = {};
        found = entry(&app, nullptr, 1, 3, 4, &source) == 0;
        entry(&app, nullptr, 1, 4, 0x302, &parent);
    }
    DestroyWindow(parent);
    return found;
}

// While this lives, Wine's camera source is switched off for marlet.exe: a
// machine with no TWAIN source at all.
struct NoTwainSource {
    HKEY key = nullptr;
    NoTwainSource() {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\marlet.exe\\DllOverrides", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExW(key, L"gphoto2.ds", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    }
    ~NoTwainSource() {
        RegDeleteValueW(key, L"gphoto2.ds");
        RegCloseKey(key);
    }
};

}  // namespace

TEST_F(Programs, SelectScannerWithoutATwainSourceShowsOnlyTheMessage) {
    box.writeIni(ini("C:\\Dx\\"));
    NoTwainSource none;
    run([&](OptionsWindow& w) {
        w.click(w.button("Select Scanner"));
        HWND message = w.waitForOther();
        ASSERT_NE(message, nullptr);
        Dialog d = answer(message);
        EXPECT_EQ(d.title, "Marlet");
        EXPECT_EQ(d.text, "Unable to detect support for a TWAIN-compliant scanner.");
        EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
        EXPECT_TRUE(nothingElse(w)) << "no selection dialog";
        EXPECT_TRUE(w.close("Cancel"));
    });
}

TEST_F(Programs, SelectScannerWithATwainSourceShowsTheManagersSelection) {
    if (!twainSourceHere()) GTEST_SKIP() << "this Wine names no TWAIN source";
    box.writeIni(ini("C:\\Dx\\"));
    run([&](OptionsWindow& w) {
        w.click(w.button("Select Scanner"));
        HWND selection = w.waitForOther();
        ASSERT_NE(selection, nullptr);
        Dialog d = readDialog(selection);
        EXPECT_NE(d.title, "Marlet") << d.text;
        // Not checked: its owner. Wine's manager takes the data of MSG_OPENDSM for
        // the window itself, where TWAIN passes a pointer to it, so it has none.
        EXPECT_TRUE(pressButton(selection, "Cancel"));
        EXPECT_TRUE(waitFor([&] { return findDialogs(w.pid()).size() == 1; }));
        EXPECT_TRUE(nothingElse(w)) << "a cancelled selection is no failure";
        EXPECT_TRUE(w.close("Cancel"));
    });
}
