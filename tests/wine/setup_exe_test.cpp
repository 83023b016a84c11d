// MarletSetup.exe and its uninstaller, run as an administrator would: which
// build of marlet.exe it installs where (the one that can load the registered
// request processor, or the one /ARCH= names), its COM registration in that
// build's registry view, dxqb.ini (created once, never overwritten, carried
// across when the build changes), the QuickBooks menu, and what the
// uninstaller leaves.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "installer_fixture.h"

using namespace harness;

namespace {

// Which build is installed, by where Windows keeps the request processor's
// class; and the switches refused before anything is installed.
struct Choice {
    const char* name;
    bool in64, in32;          // the request processor's CLSID is registered in the 64-/32-bit view
    const wchar_t* switches;  // added to /S and the Dorvex folders
    int bits;                 // the build installed; 0: none, the installer refuses with `refused`
    DWORD refused = 0;
    const wchar_t* server = L"InprocServer32";
};

const Choice kChoices[] = {
    {"RequestProcessor64Only", true, false, L"", 64},
    {"RequestProcessor32Only", false, true, L"", 32},
    {"OutOfProcessRequestProcessor32Only", false, true, L"", 32, 0, L"LocalServer32"},
    {"RequestProcessorInBothViews", true, true, L"", 64},
    {"NoRequestProcessorTheWindowsBuild", false, false, L"", 64},
    {"Forced32", true, false, L"/ARCH=32", 32},
    {"Forced64", false, true, L"/ARCH=64", 64},
    {"UnknownArchRefused", true, false, L"/ARCH=86", 0, 2},
    // Values that would not make one line of dxqb.ini each (the first /DXPATH= counts).
    {"FolderWithALineBreakRefused", true, false, L"/DXPATH=\"C:\\Dx\r\nTrue\"", 0, 3},
    {"FolderWithABarRefused", true, false, L"/CONFIGPATH=\"C:\\Jobs|1\"", 0, 3},
    {"FolderOutsideTheCodePageRefused", true, false, L"/DXPATH=\"C:\\\u03a9\"", 0, 3},
};

void PrintTo(const Choice& c, std::ostream* os) { *os << c.name; }

struct InstallerChoice : Installer, ::testing::WithParamInterface<Choice> {};

}  // namespace

TEST_P(InstallerChoice, InstallsTheBuildThatCanLoadTheRequestProcessor) {
    const Choice& c = GetParam();
    if (c.bits == 32) SKIP_WITHOUT_32BIT_PROGRAMS();
    if (c.in64 || c.in32) registerRequestProcessor(c.in64, c.in32, c.server);
    // dxqb.ini is read as ANSI text: the folders are written in the system's ANSI code page.
    const std::wstring dxFolder = L"C:\\Dorvex Caf\u00e9";
    RunResult r = runSetup(std::wstring(c.switches) + L" /DXPATH=\"" + dxFolder +
                          L"\" /CONFIGPATH=\"C:\\Program Files\\Dorvex Jobs\"");
    expectSilent(r);
    if (c.bits == 0) {
        EXPECT_EQ(r.exitCode, c.refused);
        expectNothingLeft(64, false);
        return;
    }
    ASSERT_EQ(r.exitCode, 0u);
    expectInstalled(c.bits);
    const std::wstring ini = installFolder(c.bits) + L"\\dxqb.ini";
    const std::string written =
        "False\r\n" + ansi(dxFolder) + "\\\r\nC:\\Program Files\\Dorvex Jobs\\\r\nFalse\r\nFalse\r\nFalse\r\n";
    EXPECT_EQ(readWholeFile(ini), written);
    // Created as QuickBooks of that build does; this test plays a 64-bit one
    // (the 32-bit listener is the 32-bit test programs' part).
    if (c.bits == 64) {
        EXPECT_EQ(createListener(), S_OK);
        // The server's Main read the file and wrote it back unchanged.
        EXPECT_EQ(readWholeFile(ini), written);
    }

    r = runUninstaller(L"/KEEPMENU", pressFirstButton, c.bits);
    expectSilent(r);
    expectNothingLeft(c.bits, false);
    EXPECT_EQ(createListener(), CO_E_CLASSSTRING);
}

INSTANTIATE_TEST_SUITE_P(, InstallerChoice, ::testing::ValuesIn(kChoices),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// Installing over an installed Marlet, of the same build or the other one.
struct Upgrade {
    const char* name;
    const wchar_t* first;  // switches of the first installation
    int from;
    const wchar_t* second;  // of the one over it (the 64-bit request processor is registered)
    int to;
};

const Upgrade kUpgrades[] = {
    {"SameBuild", L"", 64, L"", 64},
    {"From64To32", L"", 64, L"/ARCH=32", 32},
    {"From32To64", L"/ARCH=32", 32, L"", 64},
};

void PrintTo(const Upgrade& u, std::ostream* os) { *os << u.name; }

struct InstallerUpgrade : Installer, ::testing::WithParamInterface<Upgrade> {};

}  // namespace

TEST_P(InstallerUpgrade, KeepsTheUsersSettingsAndTheMenuAndLeavesNothingOfTheOldOne) {
    const Upgrade& u = GetParam();
    if (u.from == 32 || u.to == 32) SKIP_WITHOUT_32BIT_PROGRAMS();
    QuickBooks qb(box);
    ASSERT_TRUE(qb.registered());
    box.runMarlet(L"/install");  // the menu, as an earlier installation added it
    ASSERT_EQ(qb.menus().size(), 1u);
    const size_t calls = qb.calls().size();

    ASSERT_EQ(runSetup(std::wstring(u.first) + L" /DXPATH=C:\\First\\").exitCode, 0u);
    writeWholeFile(installFolder(u.from) + L"\\dxqb.ini", kUsersIni);
    RunResult r = runSetup(std::wstring(u.second) + L" /DXPATH=C:\\Second\\");
    EXPECT_EQ(r.exitCode, 0u);
    expectSilent(r);
    expectInstalled(u.to);
    EXPECT_EQ(readWholeFile(installFolder(u.to) + L"\\dxqb.ini"), kUsersIni);

    r = runUninstaller(L"/KEEPSETTINGS /KEEPMENU", pressFirstButton, u.to);
    expectSilent(r);
    expectNothingLeft(u.to, true);
    EXPECT_EQ(readWholeFile(installFolder(u.to) + L"\\dxqb.ini"), kUsersIni);
    // Neither the installers nor the uninstaller asked QuickBooks anything.
    EXPECT_EQ(qb.menus().size(), 1u);
    EXPECT_EQ(qb.calls().size(), calls) << "QuickBooks was called";
}

INSTANTIATE_TEST_SUITE_P(, InstallerUpgrade, ::testing::ValuesIn(kUpgrades),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// Silent runs with the menu, as a deployment tool makes them: Marlet runs with
// /quiet, shows no box, ends, and its log tells how the menu went. (The log's
// wording of every outcome is the native quiet-log test's.)
struct Silent {
    const char* name;
    const char* fault;    // of the request processor; "-": none registered
    DWORD installAgain;   // exit code of marlet.exe /install /quiet over the first
    const char* removed;  // what the log says of the menu's removal
};

const Silent kSilent[] = {
    {"WorkingQuickBooks", "", 2, "OK: Menu Removed: "},
    {"QuickBooksRefusesTheConnection", "connectionRefused", 3, "OK: Marlet: -"},
    {"NoRequestProcessor", "-", 3, "OK: Marlet Error: "},
};

void PrintTo(const Silent& c, std::ostream* os) { *os << c.name; }

struct InstallerSilent : Installer, ::testing::WithParamInterface<Silent> {};

}  // namespace

TEST_P(InstallerSilent, NeverWaitsForAPerson) {
    const Silent& c = GetParam();
    std::optional<QuickBooks> qb;
    if (std::string(c.fault) != "-") {
        qb.emplace(box);
        ASSERT_TRUE(qb->registered());
        qb->configure(std::string("fault = ") + (*c.fault ? c.fault : "none") + "\n");
    }
    DeleteFileW(logFile().c_str());

    RunResult r = runSetup(L"/ADDMENU");
    EXPECT_EQ(r.exitCode, 0u);
    expectSilent(r);
    if (*c.fault == 0) {
        EXPECT_EQ(qb->menus().size(), 1u);
    }
    r = runProgram(L"\"" + installFolder() + L"\\marlet.exe\" /install /quiet", installFolder());
    EXPECT_EQ(r.exitCode, c.installAgain);
    expectSilent(r);

    r = runUninstaller(L"");
    expectSilent(r);
    EXPECT_EQ(processesNamed(L"marlet.exe"), 0);
    expectNothingLeft(64, false);
    if (*c.fault == 0) {
        EXPECT_TRUE(qb->menus().empty());
    }

    const std::string log = readWholeFile(logFile());
    for (const char* said : {"started: /install /quiet", "started: /uninstall /quiet", c.removed})
        EXPECT_NE(log.find(said), std::string::npos) << said << "\n" << log;
}

INSTANTIATE_TEST_SUITE_P(, InstallerSilent, ::testing::ValuesIn(kSilent),
                         [](const auto& info) { return std::string(info.param.name); });

namespace {

// Waits until `window` shows a control of this class and caption.
bool shows(HWND window, const char* cls, const std::string& caption, int timeoutMs = 20000) {
    return waitFor([&] { HWND c = findChild(window, cls, caption); return c && IsWindowVisible(c); }, timeoutMs);
}

// One click on a wizard button. (pressButton clicks again when the window stays
// on the screen, which a wizard's window does from page to page.)
void click(HWND window, const std::string& caption) {
    HWND button = findChild(window, "Button", caption);
    ASSERT_TRUE(button) << caption;
    PostMessageW(button, BM_CLICK, 0, 0);
}

// The program file name (lower case) of the process that started `pid`.
std::string parentImage(DWORD pid) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    DWORD parent = 0;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
        if (pe.th32ProcessID == pid) parent = pe.th32ParentProcessID;
    std::string image = "<none>";
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
        if (parent && pe.th32ProcessID == parent) image = utf8(pe.szExeFile);
    CloseHandle(snap);
    std::transform(image.begin(), image.end(), image.begin(), [](unsigned char c) { return std::tolower(c); });
    return image;
}

// Starts `line` as a person would, without waiting; its process.
HANDLE start(std::wstring line) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Ends the installer if a failed check left it on the screen.
struct Running {
    HANDLE process;
    ~Running() {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 99);
        CloseHandle(process);
    }
};

}  // namespace

// The pages a person goes through on a PC without QuickBooks: the folders
// typed without their trailing "\" and a Dorvex folder without Dorvex.exe,
// which the installer asks about; the menu is not offered ticked (there is no
// QuickBooks to add it to), the last page says which build was installed, and
// the set-up check it offers runs as the signed-in user.
TEST_F(Installer, InteractiveInstallWithoutQuickBooks) {
    Running running{start(L"\"" + setupProgram() + L"\"")};
    const DWORD pid = GetProcessId(running.process);

    HWND setup = waitForDialog(pid);
    ASSERT_TRUE(setup);
    ASSERT_TRUE(shows(setup, "Button", "Next >"));
    click(setup, "Next >");  // welcome
    ASSERT_TRUE(shows(setup, "Button", "Browse..."));
    EXPECT_TRUE(findChild(setup, "Edit", utf8(installFolder(64)))) << "the 64-bit build's folder is offered";
    click(setup, "Next >");  // installation folder
    ASSERT_TRUE(shows(setup, "Static", "Folder that holds Dorvex.exe:"));
    std::vector<HWND> edits = findChildren(setup, "Edit");
    edits.erase(std::remove_if(edits.begin(), edits.end(), [](HWND e) { return !IsWindowVisible(e); }), edits.end());
    ASSERT_EQ(edits.size(), 2u);
    typeText(edits[0], "C:\\Dorvex Elsewhere");
    typeText(edits[1], "C:\\Program Files\\Dorvex Jobs");
    click(setup, "Next >");

    HWND question = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (HWND w : findDialogs(pid)) question = w != setup ? w : question;
        return question != nullptr;
    }, 20000));
    Dialog d = readDialog(question);
    EXPECT_EQ(d.text, "Dorvex.exe was not found in C:\\Dorvex Elsewhere\\.\r\n\r\nUse this folder anyway?");
    EXPECT_EQ(d.buttons, (std::vector<std::string>{"Yes", "No"}));
    pressButton(question, "Yes");

    ASSERT_TRUE(shows(setup, "Button", "Install"));
    click(setup, "Install");  // components: the menu is left unticked
    ASSERT_TRUE(shows(setup, "Button", "Finish", 30000)) << "a box came first (marlet.exe /install's?)";
    EXPECT_TRUE(shows(setup, "Static",
                               "QuickBooks was not found on this computer, so the 64-bit Marlet was installed. If "
                               "your QuickBooks needs the other one, run this installer again once QuickBooks is "
                               "installed: it picks the right Marlet and keeps your settings.\r\n\r\nClick Finish "
                               "to close this wizard.",
                               1000));
    click(setup, "Check the set-up now");
    click(setup, "Finish");
    EXPECT_EQ(WaitForSingleObject(running.process, 20000), WAIT_OBJECT_0);
    // The check runs as the signed-in user: the desktop's shell started it,
    // not the elevated installer. (Wine runs every process at one level, so
    // only who started it shows.)
    HWND check = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (HWND w : findDialogs(0)) check = readDialog(w).title == "Marlet set-up check" ? w : check;
        return check != nullptr;
    }, 30000)) << "no set-up check";
    const Dialog d2 = readDialog(check);
    EXPECT_EQ(parentImage(d2.pid), "explorer.exe");
    HANDLE marlet = OpenProcess(SYNCHRONIZE, FALSE, d2.pid);
    pressButton(check, d2.buttons.at(0));
    EXPECT_EQ(WaitForSingleObject(marlet, 20000), WAIT_OBJECT_0);
    CloseHandle(marlet);
    EXPECT_TRUE(findDialogs(0).empty()) << "a box is waiting";

    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"),
              "False\r\nC:\\Dorvex Elsewhere\\\r\nC:\\Program Files\\Dorvex Jobs\\\r\nFalse\r\nFalse\r\nFalse\r\n");
    expectInstalled(64);
    runUninstaller(L"/KEEPMENU");
    expectNothingLeft(64, false);
}

namespace {

struct Removal {
    const char* name;
    const char* fault;  // of the request processor stand-in
    size_t menusLeft;   // menus left in QuickBooks
    const char* lastPage;  // the uninstaller's last page
};

const Removal kRemovals[] = {
    {"MenuRemoved", "none", 0, "Marlet has been removed from your computer."},
    {"QuickBooksRefuses", "connectionRefused", 1,
     "The Marlet entries could not be removed from the QuickBooks File menu.\r\n\r\nTo remove them later: install "
     "Marlet again, start QuickBooks (not as administrator) with your company file open, choose File > Marlet > "
     "Options and press Remove Menu, then uninstall Marlet again."},
};

struct InteractiveUninstall : Installer, ::testing::WithParamInterface<Removal> {};

}  // namespace

// The menu's removal runs as the signed-in user (the desktop's shell starts
// marlet.exe /uninstall, as the installer's menu step does), and the files
// stay until it has ended; the last page says when the menu may still be there.
TEST_P(InteractiveUninstall, RemovesTheMenuAsTheUserBeforeTheFiles) {
    const Removal& c = GetParam();
    QuickBooks qb(box);
    ASSERT_TRUE(qb.registered());
    ASSERT_EQ(runSetup(L"/ADDMENU").exitCode, 0u);
    ASSERT_EQ(qb.menus().size(), 1u);
    qb.configure(std::string("fault = ") + c.fault + "\n");

    CloseHandle(start(L"\"" + installFolder() + L"\\uninstall.exe\""));
    // It goes on from a copy of itself in the temporary folder ("Marlet Uninstall ").
    HWND wizard = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (HWND w : findDialogs(0)) wizard = readDialog(w).title.rfind("Marlet Uninstall", 0) == 0 ? w : wizard;
        return wizard != nullptr;
    }, 20000));
    DWORD wizardPid = 0;
    GetWindowThreadProcessId(wizard, &wizardPid);
    Running running{OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, wizardPid)};
    ASSERT_TRUE(shows(wizard, "Button", "Next >"));
    click(wizard, "Next >");  // confirmation
    ASSERT_TRUE(shows(wizard, "Button", "Uninstall"));
    click(wizard, "Uninstall");  // the menu's removal is ticked

    Dialog outcome;
    ASSERT_TRUE(waitFor([&] {
        for (HWND w : findDialogs(0))
            if (Dialog d = readDialog(w); d.pid != wizardPid) outcome = d;
        return outcome.hwnd != nullptr;
    }, 60000)) << "marlet.exe /uninstall showed no box";
    EXPECT_EQ(parentImage(outcome.pid), "explorer.exe");
    // Waited for: the files are still there, the last page not yet.
    Sleep(1000);
    EXPECT_TRUE(fileExists(installFolder() + L"\\marlet.exe"));
    EXPECT_FALSE(findChild(wizard, "Button", "Finish") && IsWindowVisible(findChild(wizard, "Button", "Finish")));
    pressButton(outcome.hwnd, outcome.buttons.at(0));

    ASSERT_TRUE(shows(wizard, "Button", "Finish", 30000));
    EXPECT_TRUE(shows(wizard, "Static", c.lastPage, 1000)) << c.lastPage;
    click(wizard, "Finish");
    EXPECT_TRUE(waitFor([] { return processesNamed(L"Un*") == 0; }, 20000));
    EXPECT_TRUE(findDialogs(0).empty()) << "a box is waiting";
    EXPECT_EQ(qb.menus().size(), c.menusLeft);
    expectNothingLeft(64, false);
}

INSTANTIATE_TEST_SUITE_P(, InteractiveUninstall, ::testing::ValuesIn(kRemovals),
                         [](const auto& info) { return std::string(info.param.name); });
