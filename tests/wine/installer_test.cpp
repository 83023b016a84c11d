// MarletSetup.exe and its uninstaller, run silently as an administrator would:
// what lands in Program Files, the COM registration, dxqb.ini (created once,
// never overwritten), the QuickBooks menu, and what the uninstaller leaves.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "qb_standin.h"
#include "qbhost_driver.h"
#include "sandbox.h"
#include "setup_driver.h"

using namespace bench;

namespace {

const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Marlet";
const std::string kUsersIni = "True\r\nD:\\My Dorvex\\\r\nD:\\My Configs\\\r\nTrue\r\nTrue\r\nTrue\r\n";

// The default value of HKEY_CLASSES_ROOT\key, or "<none>".
std::string classesValue(const std::wstring& key) {
    wchar_t value[1024] = {};
    LONG size = sizeof value;
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size) != ERROR_SUCCESS) return "<none>";
    return utf8(value);
}

bool keyExists(HKEY root, const std::wstring& key) {
    HKEY k;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

std::string uninstallValue(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "<none>";
    return utf8(value);
}

RunResult install(const std::wstring& switches) { return runSetup(switches); }
RunResult uninstall(const std::wstring& switches) { return runUninstaller(switches); }

std::string titles(const RunResult& r) {
    std::string all;
    for (const Dialog& d : r.dialogs) all += "[" + d.title + ": " + d.text + "]";
    return all;
}

struct Installer : ::testing::Test {
    Sandbox box;  // holds the FileTools stand-in, which a listener needs to be created
    Installer() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        // What an earlier, interrupted run may have left.
        if (fileExists(installFolder() + L"\\uninstall.exe")) uninstall(L"/KEEPMENU");
        DeleteFileW((installFolder() + L"\\dxqb.ini").c_str());
        RemoveDirectoryW(installFolder().c_str());
        installFileTools(box);
    }
    ~Installer() override {
        uninstallFileTools(box);
        CoUninitialize();
    }

    static void expectInstalled() {
        std::wstring folder = installFolder();
        EXPECT_EQ(readWholeFile(folder + L"\\marlet.exe"), readWholeFile(binFolder() + L"\\marlet.exe"));
        EXPECT_EQ(readWholeFile(folder + L"\\QBManual.pdf").substr(0, 5), "%PDF-");
        EXPECT_TRUE(fileExists(folder + L"\\uninstall.exe"));

        std::string clsid = classesValue(L"Marlet.QBMenuListener\\CLSID");
        ASSERT_NE(clsid, "<none>");
        EXPECT_EQ(classesValue(L"CLSID\\" + wide(clsid) + L"\\LocalServer32"),
                  "\"" + utf8(folder) + "\\marlet.exe\"");
        EXPECT_NE(classesValue(L"Marlet.cmOptions\\CLSID"), "<none>");
        EXPECT_EQ(uninstallValue(L"UninstallString"), "\"" + utf8(folder) + "\\uninstall.exe\"");
        EXPECT_EQ(uninstallValue(L"InstallLocation"), utf8(folder));
    }

    // Creates the listener as QuickBooks does: out of process, by its ProgID.
    static HRESULT createListener() {
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(L"Marlet.QBMenuListener", &clsid);
        if (FAILED(hr)) return hr;
        IUnknown* listener = nullptr;
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&listener));
        if (listener) listener->Release();
        for (int i = 0; i < 200 && processesNamed(L"marlet.exe") > 0; i++) Sleep(50);
        return hr;
    }

    static void expectNothingLeft(bool settingsKept) {
        std::wstring folder = installFolder();
        EXPECT_FALSE(fileExists(folder + L"\\marlet.exe"));
        EXPECT_FALSE(fileExists(folder + L"\\QBManual.pdf"));
        EXPECT_FALSE(fileExists(folder + L"\\uninstall.exe"));
        EXPECT_EQ(fileExists(folder + L"\\dxqb.ini"), settingsKept);
        if (!settingsKept) EXPECT_FALSE(fileExists(folder));
        EXPECT_EQ(classesValue(L"Marlet.QBMenuListener"), "<none>");
        EXPECT_EQ(classesValue(L"Marlet.cmOptions"), "<none>");
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        CLSID clsid;
        EXPECT_EQ(CLSIDFromProgID(L"Marlet.QBMenuListener", &clsid), CO_E_CLASSSTRING);
    }
};

}  // namespace

TEST_F(Installer, SilentInstallRegistersAndWritesTheChosenFolders) {
    RunResult r = install(L"/DXPATH=C:\\Dorvex /CONFIGPATH=\"C:\\Program Files\\Dorvex Jobs\"");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.dialogs.empty()) << titles(r);
    expectInstalled();
    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"),
              "False\r\nC:\\Dorvex\\\r\nC:\\Program Files\\Dorvex Jobs\\\r\nFalse\r\nFalse\r\nFalse\r\n");
    EXPECT_EQ(createListener(), S_OK);
    // The server's Main read the file and wrote it back unchanged.
    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"),
              "False\r\nC:\\Dorvex\\\r\nC:\\Program Files\\Dorvex Jobs\\\r\nFalse\r\nFalse\r\nFalse\r\n");

    r = uninstall(L"/KEEPMENU");
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(r.dialogs.empty()) << titles(r);
    expectNothingLeft(false);
    EXPECT_EQ(createListener(), CO_E_CLASSSTRING);
}

// dxqb.ini is read as ANSI text, so the installer writes it in the system's ANSI
// code page, not in UTF-8 or UTF-16.
TEST_F(Installer, FoldersAreWrittenInTheAnsiCodePage) {
    const std::wstring folder = L"C:\\Dorvex Caf\u00e9";
    char ansi[64] = {};
    WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    ASSERT_EQ(install(L"/DXPATH=\"" + folder + L"\"").exitCode, 0u);
    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"),
              "False\r\n" + std::string(ansi) + "\\\r\n\r\nFalse\r\nFalse\r\nFalse\r\n");
    uninstall(L"/KEEPMENU");
}

TEST_F(Installer, UpgradeAndReinstallKeepTheUsersSettings) {
    ASSERT_EQ(install(L"/DXPATH=C:\\First\\ /CONFIGPATH=C:\\First\\Jobs\\").exitCode, 0u);
    writeWholeFile(installFolder() + L"\\dxqb.ini", kUsersIni);

    RunResult r = install(L"/DXPATH=C:\\Second\\ /CONFIGPATH=C:\\Second\\Jobs\\");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"), kUsersIni);
    expectInstalled();

    r = uninstall(L"/KEEPSETTINGS /KEEPMENU");
    EXPECT_TRUE(r.dialogs.empty()) << titles(r);
    expectNothingLeft(true);
    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"), kUsersIni);

    ASSERT_EQ(install(L"/DXPATH=C:\\Third\\").exitCode, 0u);
    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"), kUsersIni);
    expectInstalled();
    uninstall(L"/KEEPMENU");
    expectNothingLeft(false);
}

TEST_F(Installer, AddsTheMenuWhenAskedAndTheUninstallerRemovesIt) {
    QuickBooks qb(box);
    ASSERT_TRUE(qb.registered());

    RunResult r = install(L"/ADDMENU");
    EXPECT_EQ(r.exitCode, 0u);
    ASSERT_EQ(r.dialogs.size(), 1u) << titles(r);
    EXPECT_EQ(r.dialogs[0].title, "Menu Added");
    EXPECT_EQ(r.dialogs[0].text,
              "Successfully added Dorvex access to QuickBooks File menu, restart QuickBooks to see results.");
    std::vector<qbrp::MenuSubscription> menus = qb.menus();
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].progID, "Marlet.QBMenuListener");
    EXPECT_EQ(menus[0].entries.size(), 4u);
    // No folders given: both lines stay empty (Dorvex is then looked for on the path).
    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"), "False\r\n\r\n\r\nFalse\r\nFalse\r\nFalse\r\n");

    r = uninstall(L"");
    EXPECT_FALSE(r.timedOut);
    ASSERT_EQ(r.dialogs.size(), 1u) << titles(r);
    EXPECT_EQ(r.dialogs[0].title, "Menu Removed");
    EXPECT_TRUE(qb.menus().empty());
    expectNothingLeft(false);
}

TEST_F(Installer, WithoutTheSwitchASilentInstallLeavesTheMenuAlone) {
    QuickBooks qb(box);
    RunResult r = install(L"/DXPATH=C:\\Dorvex\\");
    EXPECT_TRUE(r.dialogs.empty()) << titles(r);
    EXPECT_TRUE(qb.menus().empty());
    EXPECT_TRUE(qb.log().empty()) << "QuickBooks was called";
    uninstall(L"/KEEPMENU");
    EXPECT_TRUE(qb.log().empty()) << "QuickBooks was called";
    expectNothingLeft(false);
}

namespace {

BOOL CALLBACK collectEdit(HWND w, LPARAM list) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (_stricmp(cls, "Edit") == 0 && IsWindowVisible(w)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
    return TRUE;
}

std::vector<HWND> visibleEdits(HWND window) {
    std::vector<HWND> edits;
    EnumChildWindows(window, collectEdit, reinterpret_cast<LPARAM>(&edits));
    return edits;
}

// Waits until `window` shows a control of this class and caption.
HWND waitForControl(HWND window, const char* cls, const std::string& caption, int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        HWND c = findChild(window, cls, caption);
        if (c && IsWindowVisible(c)) return c;
        Sleep(50);
    }
    return nullptr;
}

// The first visible top-level dialog of `pid` (0: any process) other than `except`.
HWND waitForOtherDialog(DWORD pid, HWND except, int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        for (HWND w : findDialogs(pid))
            if (w != except) return w;
        Sleep(50);
    }
    return nullptr;
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

// The pages a person goes through: the folders typed without their trailing
// "\" and a Dorvex folder without Dorvex.exe, which the installer asks about.
TEST_F(Installer, InteractiveInstallAsksForTheFoldersAndAddsTheMenu) {
    QuickBooks qb(box);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring line = L"\"" + setupProgram() + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    Running running{pi.hProcess};

    HWND setup = waitForDialog(pi.dwProcessId);
    ASSERT_TRUE(setup);
    ASSERT_TRUE(waitForControl(setup, "Button", "Next >"));
    click(setup, "Next >");  // welcome
    ASSERT_TRUE(waitForControl(setup, "Button", "Browse..."));
    click(setup, "Next >");  // installation folder
    ASSERT_TRUE(waitForControl(setup, "Static", "Folder that holds Dorvex.exe:"));
    std::vector<HWND> edits = visibleEdits(setup);
    ASSERT_EQ(edits.size(), 2u);
    typeText(edits[0], "C:\\Dorvex Elsewhere");
    typeText(edits[1], "C:\\Program Files\\Dorvex Jobs");
    click(setup, "Next >");

    HWND question = waitForOtherDialog(pi.dwProcessId, setup);
    ASSERT_TRUE(question);
    Dialog d = readDialog(question);
    EXPECT_EQ(d.text, "Dorvex.exe was not found in C:\\Dorvex Elsewhere\\.\r\n\r\nUse this folder anyway?");
    EXPECT_EQ(d.buttons, (std::vector<std::string>{"Yes", "No"}));
    pressButton(question, "Yes");

    ASSERT_TRUE(waitForControl(setup, "Button", "Install"));
    click(setup, "Install");  // components: the menu is ticked
    HWND menuBox = waitForOtherDialog(0, setup, 30000);  // marlet.exe /install's
    ASSERT_TRUE(menuBox);
    EXPECT_EQ(readDialog(menuBox).title, "Menu Added");
    pressButton(menuBox, "OK");
    ASSERT_TRUE(waitForControl(setup, "Button", "Finish", 30000));
    click(setup, "Finish");
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);

    EXPECT_EQ(readWholeFile(installFolder() + L"\\dxqb.ini"),
              "False\r\nC:\\Dorvex Elsewhere\\\r\nC:\\Program Files\\Dorvex Jobs\\\r\nFalse\r\nFalse\r\nFalse\r\n");
    EXPECT_EQ(qb.menus().size(), 1u);
    expectInstalled();
    uninstall(L"");  // answers "Menu Removed"
    EXPECT_TRUE(qb.menus().empty());
    expectNothingLeft(false);
}
