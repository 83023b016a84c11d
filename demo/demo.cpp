// The demo: a bookkeeper's first morning with Marlet, played on this Wine
// prefix. Dorvex, QuickBooks and the maker's file tools are the stand-ins of
// standins/, put where their installers would put them; Marlet is installed
// with MarletSetup.exe; QuickBooks' menu picks come from the host stand-in.
// Every box the user would see is printed with its title and text, and every
// start of Dorvex with the command line it received.
//
//   demo.exe [--watch] [--shot=FILE.png]
//   demo.exe --snapshot=FILE.png    only take the picture of the Options dialog
//
// --watch: a person is at the display; the demo shows the windows and waits
// for the person to answer them instead of answering them itself.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "qbhost_driver.h"
#include "sandbox.h"
#include "setup_driver.h"

using namespace harness;

namespace {

const std::wstring kDorvex = L"C:\\Dorvex";
const std::wstring kQuickBooks = L"C:\\QuickBooks";
const std::string kMemo = "Signed service contract";
const std::string kMemoCheckBox = "Prompt for memo when scanning documents not related to transactions";

bool gWatch = false;
std::wstring gShot;  // where the picture of the Options dialog goes
int gSurprises = 0;  // steps that went otherwise than the story says

void say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void step(const std::string& title) { say("\n== " + title); }

std::string oneLine(std::string text) {
    for (size_t i; (i = text.find("\r\n")) != std::string::npos;) text.replace(i, 2, "\n");
    std::string indented;
    for (char c : text) indented += c == '\n' ? std::string("\n      ") : std::string(1, c);
    return indented;
}

// --- files and the stand-ins

std::string readFile(const std::wstring& path) { return readWholeFile(path, ""); }

void copyBuilt(const wchar_t* name, const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    CopyFileW((binFolder() + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        at = end + 1;
    }
    return out;
}

// The Dorvex stand-in leaves launch-<n>.txt beside itself for every start.
int launchCount() {
    int n = 0;
    while (fileExists(kDorvex + L"\\launch-" + std::to_wstring(n + 1) + L".txt")) n++;
    return n;
}

void reportLaunches(int before, int expected, bool mentionNone) {
    int now = before;
    for (int waited = 0; waited < 5000; waited += 50) {
        now = launchCount();
        if (now > before) break;
        Sleep(50);
    }
    Sleep(200);  // Dorvex is started without waiting for it
    now = launchCount();
    if (now == before && mentionNone) say("   Dorvex is not started.");
    if (now - before != expected) gSurprises++;
    for (int n = before + 1; n <= now; n++) {
        std::string record = readFile(kDorvex + L"\\launch-" + std::to_wstring(n) + L".txt");
        size_t nl = record.find('\n');
        std::string state = record.substr(0, nl);
        say("   Dorvex starts" + std::string(state == "1" ? " in a normal window" : " (window state " + state + ")") +
            " with:\n      " + record.substr(nl + 1));
    }
}

// --- what the user sees

bool isMessageBox(const Dialog& d) { return GetDlgItem(d.hwnd, 0xFFFF) != nullptr; }

void savePicture(HWND window, const std::wstring& path);

// Shows each box as the user sees it; answers it unless a person is watching.
void onDialog(const Dialog& d) {
    if (d.title == "Options" && !isMessageBox(d)) {
        say("   The Options dialog opens.");
        if (!gShot.empty()) {
            savePicture(d.hwnd, gShot);
            say("   (picture of the dialog saved)");
        }
        if (gWatch) {
            say("   >> Tick \"" + kMemoCheckBox + "\" and press OK.");
            return;
        }
        say("   The user ticks \"" + kMemoCheckBox + "\" and presses OK.");
        if (HWND box = findChild(d.hwnd, "Button", kMemoCheckBox)) {
            clickControl(box);
            for (int i = 0; i < 40 && SendMessageW(box, BM_GETCHECK, 0, 0) != BST_CHECKED; i++) Sleep(25);
            if (SendMessageW(box, BM_GETCHECK, 0, 0) != BST_CHECKED) SendMessageW(box, BM_CLICK, 0, 0);
        }
        pressButton(d.hwnd, "OK");
        return;
    }
    if (d.title == "Enter Memo" && !isMessageBox(d)) {
        say("   A box \"Enter Memo\" asks:\n      " + oneLine(d.text));
        if (gWatch) {
            say("   >> Type a memo and press OK.");
            return;
        }
        say("   The user types \"" + kMemo + "\" and presses OK.");
        typeText(findChild(d.hwnd, "Edit"), kMemo);
        pressButton(d.hwnd, "OK");
        return;
    }
    if (!isMessageBox(d)) {
        say("   A window \"" + d.title + "\" opens.");
        return;
    }
    say("   A message box \"" + d.title + "\" says:\n      " + oneLine(d.text));
    if (gWatch) {
        say("   >> Press " + (d.buttons.empty() ? std::string("OK") : d.buttons.front()) + ".");
        return;
    }
    say("   The user presses " + (d.buttons.empty() ? std::string("nothing") : d.buttons.front()) + ".");
    pressFirstButton(d);
}

// The window as it is on the screen, as a PNG file.
void savePicture(HWND window, const std::wstring& path) {
    SetForegroundWindow(window);
    Sleep(300);  // let it paint
    RECT r;
    GetWindowRect(window, &r);
    saveScreenPng(r, path);
}

// --- QuickBooks' File menu, through the host stand-in

std::wstring qbhost() { return L"\"" + binFolder() + L"\\qbhost.exe\""; }

// Picks `entry` in QuickBooks' File menu with `window` open (host stand-in notation).
void pick(const std::string& entry, const std::string& window, const std::string& what, int dorvexStarts) {
    step("QuickBooks: File > Marlet > " + entry + " " + what);
    int before = launchCount();
    std::wstring out = kQuickBooks + L"\\qbhost-out.txt";
    DeleteFileW(out.c_str());
    std::string event = "menu:" + entry + (window.empty() ? "" : "@" + window);
    RunResult r = runAnswering(qbhost() + L" \"--out=" + out + L"\" \"" + wide(event) + L"\"", onDialog,
                               gWatch ? 600000 : 60000);
    for (const std::string& line : lines(readFile(out))) {
        size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
        if (t1 == std::string::npos) continue;
        std::string hr = line.substr(t1 + 1, t2 - t1 - 1);
        if (hr == "0x00000000") continue;
        std::string description = line.substr(t2 + 1);
        say("   QuickBooks is told the pick failed: " + hr + " " + description.substr(0, description.find('\t')));
        gSurprises++;
    }
    if (r.timedOut) say("   (no answer in time)");
    reportLaunches(before, dorvexStarts, entry != "Options" && entry != "Manual");
}

// --- the story's set-up

void removeEarlierRun() {
    if (fileExists(installFolder() + L"\\uninstall.exe")) runUninstaller(L"/KEEPMENU");
    for (int n = 1; fileExists(kDorvex + L"\\launch-" + std::to_wstring(n) + L".txt"); n++)
        DeleteFileW((kDorvex + L"\\launch-" + std::to_wstring(n) + L".txt").c_str());
    for (const wchar_t* name : {L"qbsubscriptions.xml", L"qbxmlrp2.log"})
        DeleteFileW((kQuickBooks + L"\\" + name).c_str());
    DeleteFileW((kDorvex + L"\\filetools.log").c_str());
}

void installStandIns() {
    step("This computer: Dorvex and QuickBooks are installed");
    copyBuilt(L"Dorvex.exe", kDorvex);
    copyBuilt(L"filetools.dll", kDorvex);
    CreateDirectoryW((kDorvex + L"\\Config").c_str(), nullptr);
    for (const wchar_t* job : {L"qbscan.dxc", L"qbscan_no_txn.dxc", L"qbretrieve.dxc"})
        writeWholeFile(kDorvex + L"\\Config\\" + job, "");
    bool fileTools = callDllExport(kDorvex + L"\\filetools.dll", "DllRegisterServer");
    say("   Dorvex (stand-in) in C:\\Dorvex, its jobs in C:\\Dorvex\\Config, Kelvorn.FileTools " +
        std::string(fileTools ? "registered" : "NOT registered"));
    copyBuilt(L"qbxmlrp2.dll", kQuickBooks);
    bool processor = callDllExport(kQuickBooks + L"\\qbxmlrp2.dll", "DllRegisterServer");
    say("   QuickBooks' request processor (stand-in, with its sample company) in C:\\QuickBooks " +
        std::string(processor ? "registered" : "NOT registered"));
    RunResult lib = runAnswering(qbhost() + L" --install");
    say("   QuickBooks' event type library " + std::string(lib.exitCode == 0 ? "registered" : "NOT registered"));
}

void installMarlet() {
    if (gWatch) {
        step("Installing Marlet: MarletSetup.exe (the folders are filled in; keep \"Add Marlet to the QuickBooks "
             "File menu\" ticked)");
        RunResult r = runAnswering(L"\"" + setupProgram() + L"\" /DXPATH=C:\\Dorvex\\ "
                                   L"/CONFIGPATH=C:\\Dorvex\\Config\\",
                                   onDialog, 1800000);
        say("   The installer ended with exit code " + std::to_string(r.exitCode) + ".");
    } else {
        step("Installing Marlet: MarletSetup.exe /S /DXPATH=C:\\Dorvex\\ /CONFIGPATH=C:\\Dorvex\\Config\\ /ADDMENU");
        RunResult r = runSetup(L"/DXPATH=C:\\Dorvex\\ /CONFIGPATH=C:\\Dorvex\\Config\\ /ADDMENU", onDialog);
        say("   The installer ended with exit code " + std::to_string(r.exitCode) + ".");
        if (r.exitCode != 0) gSurprises++;
    }
    std::wstring folder = installFolder();
    for (const wchar_t* name : {L"marlet.exe", L"QBManual.pdf", L"dxqb.ini", L"uninstall.exe"})
        say("   " + utf8(folder) + "\\" + utf8(name) + (fileExists(folder + L"\\" + name) ? "" : "   (missing!)"));
    say("   dxqb.ini:");
    for (const std::string& line : lines(readFile(folder + L"\\dxqb.ini"))) say("      " + line);
}

void showFileMenu() {
    step("QuickBooks is restarted: its File menu now holds");
    std::wstring out = kQuickBooks + L"\\qbhost-out.txt";
    runAnswering(qbhost() + L" --list \"--out=" + out + L"\"");
    for (const std::string& line : lines(readFile(out))) {
        std::vector<std::string> f;
        for (size_t at = 0;;) {
            size_t tab = line.find('\t', at);
            f.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        if (f.size() == 5) say("   " + f[2] + " > " + f[3] + "   (event \"" + f[4] + "\" to " + f[1] + ")");
    }
}

void reportManual() {
    std::vector<std::string> log = lines(readFile(kDorvex + L"\\filetools.log"));
    // "StartDoc <object> <path> <outcome>"
    for (const std::string& line : log) {
        if (line.rfind("StartDoc ", 0) != 0) continue;
        size_t path = line.find(' ', 9) + 1, outcome = line.rfind(' ');
        say("   Kelvorn.FileTools is asked to open " + line.substr(path, outcome - path) + " (" +
            line.substr(outcome + 1) + ")");
    }
}

// Only the picture: the Options dialog of the built marlet.exe, then Cancel.
int snapshot() {
    Sandbox box;
    box.writeIni("False\r\nC:\\Dorvex\\\r\nC:\\Dorvex\\Config\\\r\nFalse\r\nFalse\r\nFalse\r\n");
    bool seen = false;
    box.runMarlet(L"/options", [&](const Dialog& d) {
        if (d.title == "Options" && !isMessageBox(d)) {
            savePicture(d.hwnd, gShot);
            seen = true;
            pressButton(d.hwnd, "Cancel");
        } else {
            pressFirstButton(d);
        }
    });
    return seen ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool snapshotOnly = false;
    for (int i = 1; i < argc; i++) {
        std::wstring a = argv[i];
        if (a == L"--watch") gWatch = true;
        else if (a.rfind(L"--shot=", 0) == 0) gShot = a.substr(7);
        else if (a.rfind(L"--snapshot=", 0) == 0) gShot = a.substr(11), snapshotOnly = true;
    }
    if (snapshotOnly) return snapshot();

    say("Marlet demo: a morning at the bookkeeper's desk" +
        std::string(gWatch ? " (you answer the windows)" : ""));
    removeEarlierRun();
    installStandIns();
    installMarlet();
    showFileMenu();
    pick("Options", "", "(to ask for a memo when scanning for a customer)", 0);
    say("   dxqb.ini now:");
    for (const std::string& line : lines(readFile(installFolder() + L"\\dxqb.ini"))) say("      " + line);
    pick("Scan Documents", "txn:Invoice:1A-1165000101", "with invoice 1001 of Kristy Abercrombie open", 1);
    pick("Scan Documents", "customer:80000001-1165000001", "with the customer Kristy Abercrombie open", 1);
    pick("Scan Documents", "", "with nothing open", 0);
    pick("Retrieve Documents", "", "with nothing open", 1);
    pick("Manual", "", "(the manual)", 0);
    reportManual();
    step("Done. Marlet stays installed in this Wine prefix: " + utf8(installFolder()));
    if (gSurprises && !gWatch) say("demo: " + std::to_string(gSurprises) + " step(s) went otherwise than planned");
    return gSurprises && !gWatch ? 1 : 0;
}
