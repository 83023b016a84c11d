// MarletSetup.exe and its uninstaller, run as an administrator would: which
// build of marlet.exe it installs where (the one that can load the registered
// request processor, or the one /ARCH= names), its COM registration in that
// build's registry view, dxqb.ini (created once, never overwritten, carried
// across when the build changes), the QuickBooks menu, and what the
// uninstaller leaves.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"
#include "setup_driver.h"

using namespace bench;

namespace {

const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Marlet";
const wchar_t* const kRequestProcessorClsid = L"{71F531F5-8E67-4A7A-9161-15733FFC3206}";
const std::string kUsersIni = "True\r\nD:\\My Dorvex\\\r\nD:\\My Configs\\\r\nTrue\r\nTrue\r\nTrue\r\n";

int otherBuild(int bits) { return bits == 64 ? 32 : 64; }
REGSAM view(int bits) { return bits == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

// A value under HKEY_LOCAL_MACHINE in the 64- or 32-bit registry view, or "<none>".
std::string machineValue(int bits, const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value, flags = RRF_RT_REG_SZ | (bits == 64 ? RRF_SUBKEY_WOW6464KEY : RRF_SUBKEY_WOW6432KEY);
    return RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, flags, nullptr, value, &size) ? "<none>" : utf8(value);
}

std::string classesValue(int bits, const std::wstring& key) {
    return machineValue(bits, L"Software\\Classes\\" + key);
}

// QBXMLRP2.RequestProcessor as QuickBooks' SDK registers it in one registry
// view: the keys the installer reads, not a loadable DLL.
void registerRequestProcessor(int bits) {
    const std::wstring keys[][2] = {
        {L"QBXMLRP2.RequestProcessor\\CLSID", kRequestProcessorClsid},
        {std::wstring(L"CLSID\\") + kRequestProcessorClsid + L"\\InprocServer32",
         L"C:\\Program Files\\Common Files\\Intuit\\QuickBooks\\QBXMLRP2.dll"}};
    for (const auto& [key, value] : keys) {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), 0, nullptr, 0,
                                  KEY_WRITE | view(bits), nullptr, &k, nullptr), ERROR_SUCCESS);
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
    }
}

void unregisterRequestProcessors() {
    for (int bits : {64, 32}) {
        HKEY classes;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_ALL_ACCESS | view(bits), &classes) !=
            ERROR_SUCCESS)
            continue;
        RegDeleteTreeW(classes, L"QBXMLRP2.RequestProcessor");
        RegDeleteTreeW(classes, (std::wstring(L"CLSID\\") + kRequestProcessorClsid).c_str());
        RegCloseKey(classes);
    }
}

// The marlet.exe of each build as MarletSetup.exe carries it (signed when the build signs).
std::wstring carried(int bits) {
    return binFolder() + (bits == 64 ? L"\\..\\installer\\x64\\marlet.exe" : L"\\..\\installer\\x86\\marlet.exe");
}

std::string ansi(const std::wstring& text) {
    char bytes[256] = {};
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}

// A silent run ends by itself and shows no box.
void expectSilent(const RunResult& r) {
    std::string all;
    for (const Dialog& d : r.dialogs) all += "[" + d.title + ": " + d.text + "]";
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(r.dialogs.empty()) << all;
}

// Creates the listener as QuickBooks does: out of process, by its ProgID.
HRESULT createListener() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"Marlet.QBMenuListener", &clsid);
    if (FAILED(hr)) return hr;
    IUnknown* listener = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&listener));
    if (listener) listener->Release();
    for (int i = 0; i < 200 && processesNamed(L"marlet.exe") > 0; i++) Sleep(50);
    return hr;
}

// Marlet's classes, by ProgID and CLSID. A ProgID's key is shared by both
// registry views (Windows 7 and later, and Wine); a CLSID's key is not.
const struct {
    const wchar_t* progId;
    const wchar_t* clsid;
} kClasses[] = {
    {L"Marlet.QBMenuListener", L"{15B42DA8-7878-4EE2-B4B7-1A9BE5C3D21B}"},
    {L"Marlet.cmOptions", L"{29C16FFB-9829-4231-AA2A-93C2D2896D6F}"},
};

// The build `bits` is installed in its folder and registered in its registry
// view, and nothing of the other build is left anywhere.
void expectInstalled(int bits) {
    const std::wstring folder = installFolder(bits);
    const int other = otherBuild(bits);
    EXPECT_EQ(readWholeFile(folder + L"\\marlet.exe"), readWholeFile(carried(bits))) << "not the " << bits << "-bit build";
    EXPECT_EQ(readWholeFile(folder + L"\\uninstall.exe"), readWholeFile(binFolder() + L"\\..\\installer\\uninstall.exe"));
    EXPECT_EQ(readWholeFile(folder + L"\\QBManual.pdf").substr(0, 5), "%PDF-");
    EXPECT_FALSE(fileExists(installFolder(other)));

    for (const auto& c : kClasses) {
        EXPECT_EQ(classesValue(64, c.progId + std::wstring(L"\\CLSID")), utf8(c.clsid));
        const std::wstring key = L"CLSID\\" + std::wstring(c.clsid);
        EXPECT_EQ(classesValue(bits, key + L"\\LocalServer32"), "\"" + utf8(folder) + "\\marlet.exe\"");
        EXPECT_EQ(classesValue(other, key), "<none>") << "registered by the " << other << "-bit build";
    }
    EXPECT_EQ(machineValue(bits, kUninstallKey, L"InstallLocation"), utf8(folder));
    EXPECT_EQ(machineValue(bits, kUninstallKey, L"Build"), std::to_string(bits) + "-bit");
    EXPECT_EQ(machineValue(bits, kUninstallKey, L"UninstallString"), "\"" + utf8(folder) + "\\uninstall.exe\"");
    EXPECT_EQ(machineValue(other, kUninstallKey, L"InstallLocation"), "<none>");
}

// No Marlet in either folder or registry view; only dxqb.ini when kept.
void expectNothingLeft(int bits, bool settingsKept) {
    const std::wstring folder = installFolder(bits);
    for (const wchar_t* name : {L"marlet.exe", L"QBManual.pdf", L"uninstall.exe"})
        EXPECT_FALSE(fileExists(folder + L"\\" + name)) << utf8(name);
    EXPECT_EQ(fileExists(folder + L"\\dxqb.ini"), settingsKept);
    if (!settingsKept) {
        EXPECT_FALSE(fileExists(folder));
    }
    EXPECT_FALSE(fileExists(installFolder(otherBuild(bits))));
    for (const auto& c : kClasses) {
        EXPECT_EQ(classesValue(64, c.progId), "<none>");
        for (int v : {64, 32}) EXPECT_EQ(classesValue(v, L"CLSID\\" + std::wstring(c.clsid)), "<none>") << v;
    }
    for (int v : {64, 32}) EXPECT_EQ(machineValue(v, kUninstallKey, L"InstallLocation"), "<none>") << v;
}

// Removes what a test (or an earlier, interrupted run) left: Marlet, kept
// settings, a request processor's registration. The prefix is the demo's too.
void removeEverything() {
    for (int bits : {64, 32}) {
        if (fileExists(installFolder(bits) + L"\\uninstall.exe")) runUninstaller(L"/KEEPMENU", pressFirstButton, bits);
        DeleteFileW((installFolder(bits) + L"\\dxqb.ini").c_str());
        RemoveDirectoryW(installFolder(bits).c_str());
    }
    unregisterRequestProcessors();
}

struct Installer : ::testing::Test {
    Sandbox box;  // holds the FileTools stand-in, which a listener needs to be created
    Installer() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        removeEverything();
        installFileTools(box);
    }
    ~Installer() override {
        removeEverything();
        uninstallFileTools(box);
        CoUninitialize();
    }
};

// Which build is installed, by where the request processor is registered.
struct Choice {
    const char* name;
    bool in64, in32;          // the request processor is registered in the 64-/32-bit view
    const wchar_t* switches;  // added to /S and the Dorvex folders
    int bits;                 // the build installed; 0: none, the installer refuses
};

const Choice kChoices[] = {
    {"RequestProcessor64Only", true, false, L"", 64},
    {"RequestProcessor32Only", false, true, L"", 32},
    {"RequestProcessorInBothViews", true, true, L"", 64},
    {"NoRequestProcessorTheWindowsBuild", false, false, L"", 64},
    {"Forced32", true, false, L"/ARCH=32", 32},
    {"Forced64", false, true, L"/ARCH=64", 64},
    {"UnknownArchRefused", true, false, L"/ARCH=86", 0},
};

void PrintTo(const Choice& c, std::ostream* os) { *os << c.name; }

struct InstallerChoice : Installer, ::testing::WithParamInterface<Choice> {};

}  // namespace

TEST_P(InstallerChoice, InstallsTheBuildThatCanLoadTheRequestProcessor) {
    const Choice& c = GetParam();
    if (c.bits == 32) SKIP_WITHOUT_32BIT_PROGRAMS();
    if (c.in64) registerRequestProcessor(64);
    if (c.in32) registerRequestProcessor(32);
    // dxqb.ini is read as ANSI text: the folders are written in the system's ANSI code page.
    const std::wstring dxFolder = L"C:\\Dorvex Caf\u00e9";
    RunResult r = runSetup(std::wstring(c.switches) + L" /DXPATH=\"" + dxFolder +
                          L"\" /CONFIGPATH=\"C:\\Program Files\\Dorvex Jobs\"");
    expectSilent(r);
    if (c.bits == 0) {
        EXPECT_EQ(r.exitCode, 2u);
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

std::wstring logFile() { return _wgetenv(L"LOCALAPPDATA") + std::wstring(L"\\Marlet\\marlet.log"); }

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
// QuickBooks to add it to), and the last page says which build was installed.
TEST_F(Installer, InteractiveInstallWithoutQuickBooks) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring line = L"\"" + setupProgram() + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    Running running{pi.hProcess};

    HWND setup = waitForDialog(pi.dwProcessId);
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
        for (HWND w : findDialogs(pi.dwProcessId)) question = w != setup ? w : question;
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
    click(setup, "Finish");
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(findDialogs(0).empty()) << "a box is waiting";

    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"),
              "False\r\nC:\\Dorvex Elsewhere\\\r\nC:\\Program Files\\Dorvex Jobs\\\r\nFalse\r\nFalse\r\nFalse\r\n");
    expectInstalled(64);
    runUninstaller(L"/KEEPMENU");
    expectNothingLeft(64, false);
}
