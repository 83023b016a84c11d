// MarletSetup.exe and its uninstaller, run as an administrator would: which
// build of marlet.exe it installs where (the one that can load the registered
// request processor, or the one /ARCH= names), its COM registration in that
// build's registry view, dxqb.ini (created once, never overwritten, carried
// across when the build changes), the QuickBooks menu, and what the
// uninstaller leaves.
#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

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
    EXPECT_EQ(readWholeFile(folder + L"\\AdminGuide.pdf").substr(0, 5), "%PDF-");
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
    for (const wchar_t* name : {L"marlet.exe", L"QBManual.pdf", L"AdminGuide.pdf", L"uninstall.exe"})
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
void removePackages();

void removeEverything() {
    removePackages();
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
    click(setup, "Check the set-up now");
    click(setup, "Finish");
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
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

// The Windows Installer packages, run by this Windows' (64-bit) msiexec as a
// deployment tool runs them: no UI, a log, properties on the command line.
std::wstring package(int bits) { return binFolder() + (bits == 64 ? L"\\Marlet-x64.msi" : L"\\Marlet-x86.msi"); }
// The same 64-bit package one version later.
std::wstring laterPackage() { return binFolder() + L"\\..\\installer\\msi\\next\\Marlet-x64.msi"; }

// msiexec with `ui` (/qn: none, /qb: basic, where a refusal shows its box) and
// a log; runAnswering also waits for a marlet.exe it started without waiting.
RunResult runMsiexec(const std::wstring& ui, const std::wstring& arguments) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return runAnswering(L"\"" + std::wstring(system) + L"\\msiexec.exe\" " + ui + L" " + arguments + L" /l*v \"" +
                        binFolder() + L"\\msiexec.log\"", pressFirstButton, 180000);
}

DWORD msiexec(const std::wstring& arguments) {
    RunResult r = runMsiexec(L"/qn", arguments);
    expectSilent(r);
    return r.exitCode;
}

// A refused installation: its exit code and the box that says why.
void expectRefused(const std::wstring& arguments, const std::string& why) {
    RunResult r = runMsiexec(L"/qb", arguments);
    EXPECT_EQ(r.exitCode, 1603u);
    std::string shown;
    for (const Dialog& d : r.dialogs) shown += d.text + "\n";
    EXPECT_NE(shown.find(why), std::string::npos) << shown;
}

// Programs and Features entries of a package's Marlet in the registry view of
// `bits`: "version in folder"; their product codes into `codes`.
std::vector<std::string> programsEntries(int bits = 64, std::vector<std::wstring>* codes = nullptr) {
    std::vector<std::string> entries;
    HKEY uninstall;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                      KEY_READ | view(bits), &uninstall) != ERROR_SUCCESS)
        return entries;
    wchar_t name[256];
    for (DWORD i = 0, size = 256; RegEnumKeyExW(uninstall, i, name, &size, nullptr, nullptr, nullptr, nullptr) ==
                                   ERROR_SUCCESS; i++, size = 256) {
        const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + std::wstring(name);
        if (name[0] == L'{' && machineValue(bits, key, L"DisplayName") == "Marlet" &&
            machineValue(bits, key, L"Publisher") == "Marlet") {
            entries.push_back(machineValue(bits, key, L"DisplayVersion") + " in " +
                              machineValue(bits, key, L"InstallLocation"));
            if (codes) codes->push_back(name);
        }
    }
    RegCloseKey(uninstall);
    return entries;
}

std::string entry(const char* version, int bits = 64) { return version + std::string(" in ") + utf8(installFolder(bits)) + "\\"; }

// The package's files, dxqb.ini as the properties made it and the COM classes,
// in the registry view of `bits`.
void expectPackageInstalled(int bits, const std::string& ini) {
    const std::wstring folder = installFolder(bits);
    EXPECT_EQ(readWholeFile(folder + L"\\marlet.exe"), readWholeFile(carried(bits)));
    EXPECT_EQ(readWholeFile(folder + L"\\QBManual.pdf").substr(0, 5), "%PDF-");
    EXPECT_EQ(readWholeFile(folder + L"\\dxqb.ini"), ini);
    for (const auto& c : kClasses) {
        // (Windows shares a ProgID's key between the views; Wine's msiexec writes the build's.)
        EXPECT_EQ(classesValue(bits, c.progId + std::wstring(L"\\CLSID")), utf8(c.clsid));
        const std::wstring key = L"CLSID\\" + std::wstring(c.clsid);
        EXPECT_EQ(classesValue(bits, key + L"\\ProgID"), utf8(c.progId));
        EXPECT_EQ(classesValue(bits, key + L"\\LocalServer32"), "\"" + utf8(folder) + "\\marlet.exe\"");
        EXPECT_EQ(classesValue(otherBuild(bits), key), "<none>");
    }
}

// What a package installed and left in place (an interrupted run).
void removePackages() {
    for (int bits : {64, 32}) {
        std::vector<std::wstring> codes;
        programsEntries(bits, &codes);
        for (const std::wstring& code : codes) msiexec(L"/x " + code + L" KEEPMENU=1");
    }
}

const std::string kFirstIni = "False\r\nC:\\Dorvex\\\r\nC:\\Program Files\\Dorvex Jobs\\\r\nFalse\r\nFalse\r\nFalse\r\n";
const wchar_t* const kProperties = L" DXPATH=C:\\Dorvex CONFIGPATH=\"C:\\Program Files\\Dorvex Jobs\"";

}  // namespace

// Installed with the properties and the menu, repaired, removed.
TEST_F(Installer, PackageInstallsWithTheMenuRepairsAndLeavesNothing) {
    QuickBooks qb(box);
    ASSERT_TRUE(qb.registered());
    DeleteFileW(logFile().c_str());
    ASSERT_EQ(msiexec(L"/i \"" + package(64) + L"\"" + kProperties + L" ADDMENU=1"), 0u);
    expectPackageInstalled(64, kFirstIni);
    EXPECT_FALSE(fileExists(installFolder() + L"\\uninstall.exe"));
    EXPECT_EQ(programsEntries(), std::vector<std::string>{entry(MARLET_VERSION)});
    EXPECT_EQ(qb.menus().size(), 1u) << "the menu was not added";
    EXPECT_NE(readWholeFile(logFile()).find("started: /install /quiet"), std::string::npos);
    EXPECT_EQ(createListener(), S_OK);

    // A repair (msiexec /fa; Wine's msiexec has no /f, this is what it does)
    // writes the registration again and keeps the settings.
    writeWholeFile(installFolder() + L"\\dxqb.ini", kUsersIni);
    HKEY classes;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID", 0, KEY_ALL_ACCESS | view(64), &classes), 0);
    RegDeleteTreeW(classes, kClasses[0].clsid);
    RegDeleteKeyExW(classes, kClasses[0].clsid, KEY_WOW64_64KEY, 0);
    RegCloseKey(classes);
    ASSERT_EQ(createListener(), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(msiexec(L"/i \"" + package(64) + L"\" REINSTALL=ALL REINSTALLMODE=amus"), 0u);
    expectPackageInstalled(64, kUsersIni);
    EXPECT_EQ(createListener(), S_OK);

    EXPECT_EQ(msiexec(L"/x \"" + package(64) + L"\""), 0u);
    expectNothingLeft(64, false);
    EXPECT_TRUE(qb.menus().empty()) << "the menu was not removed";
    EXPECT_TRUE(programsEntries().empty());
    EXPECT_EQ(machineValue(64, L"Software\\Marlet", L"Package"), "<none>");
}

// A later version replaces the earlier one and keeps the settings; removed
// with KEEPSETTINGS=1 only dxqb.ini stays. (No QuickBooks: the menu's removal
// fails and the removal goes on.)
TEST_F(Installer, PackageUpgradeKeepsTheSettings) {
    ASSERT_EQ(msiexec(L"/i \"" + package(64) + L"\"" + kProperties), 0u);
    writeWholeFile(installFolder() + L"\\dxqb.ini", kUsersIni);
    ASSERT_EQ(msiexec(L"/i \"" + laterPackage() + L"\" DXPATH=C:\\Other"), 0u);
    expectPackageInstalled(64, kUsersIni);
    EXPECT_EQ(programsEntries(), std::vector<std::string>{entry(MARLET_NEXT_VERSION)});

    EXPECT_EQ(msiexec(L"/x \"" + laterPackage() + L"\" KEEPSETTINGS=1"), 0u);
    expectNothingLeft(64, true);
    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"), kUsersIni);
    EXPECT_TRUE(programsEntries().empty());
}

// One Marlet per PC: the package refuses to install over MarletSetup.exe's
// Marlet (played by its uninstall key) or the other build's package, and
// MarletSetup.exe refuses to install over a package's Marlet.
TEST_F(Installer, PackageAndSetupRefuseEachOther) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE | view(32), nullptr, &key,
                              nullptr), 0);
    const std::wstring setupFolder = L"C:\\Program Files (x86)\\Marlet";
    RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(setupFolder.c_str()),
                   static_cast<DWORD>((setupFolder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    expectRefused(L"/i \"" + package(64) + L"\"",
                  "Marlet is installed on this computer by MarletSetup.exe, in " + utf8(setupFolder));
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY, 0);
    expectNothingLeft(64, false);

    ASSERT_EQ(msiexec(L"/i \"" + package(64) + L"\""), 0u);
    RunResult r = runSetup(L"/ARCH=64");
    expectSilent(r);
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_FALSE(fileExists(installFolder() + L"\\uninstall.exe"));
    EXPECT_EQ(readWholeFile(installFolder() + L"\\marlet.exe"), readWholeFile(carried(64)));
    // Refused before anything of it runs: no 32-bit program is needed.
    expectRefused(L"/i \"" + package(32) + L"\"",
                  "The other build of Marlet is installed on this computer, from Marlet-x64.msi");
    EXPECT_EQ(msiexec(L"/x \"" + package(64) + L"\""), 0u);
    expectNothingLeft(64, false);
}

// The 32-bit package: Program Files (x86) and the registry's 32-bit view.
TEST_F(Installer, PackageOfThe32BitBuild) {
    SKIP_WITHOUT_32BIT_PROGRAMS();
    ASSERT_EQ(msiexec(L"/i \"" + package(32) + L"\"" + kProperties), 0u);
    expectPackageInstalled(32, kFirstIni);
    EXPECT_EQ(programsEntries(32), std::vector<std::string>{entry(MARLET_VERSION, 32)});
    EXPECT_EQ(msiexec(L"/x \"" + package(32) + L"\""), 0u);
    expectNothingLeft(32, false);
    EXPECT_TRUE(programsEntries(32).empty());
}
