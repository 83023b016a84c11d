// marlet.exe started with switches, and with none: the exact-program launch,
// the real clipboard, the end of the process on a failure, the menu switches
// against the request-processor stand-in with the dialog opened and closed, and
// dxqb.ini on a Windows file system.
#include <windows.h>

#include <gtest/gtest.h>

#include "options_driver.h"
#include "qb_standin.h"
#include "qbhost_driver.h"

using namespace harness;
using marlet::ControlId;

namespace {

const std::string kDebugText =
    "The command line below has been place on the clipboard and will be executed when you click 'OK': \r\n\r\n";

// Holds the clipboard open the way another program can, until it goes.
struct ClipboardHolder {
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    bool held = OpenClipboard(window);
    ~ClipboardHolder() {
        if (held) CloseClipboard();
        DestroyWindow(window);
    }
};

std::vector<std::string> titles(const std::vector<Dialog>& dialogs) {
    std::vector<std::string> out;
    for (const Dialog& d : dialogs) out.push_back(d.title);
    return out;
}

}  // namespace

// A Dorvex folder with a blank in it must not let the system start a program
// that merely shares the beginning of the path.
TEST(Switches, RetrieveStartsExactlyTheNamedProgramAndRewritesTheOptions) {
    Sandbox box;
    box.installDorvex(L"Program Files\\Dx");
    box.copyProgram(L"Dorvex.exe", L"Program.exe");
    Ini ini = box.ini(L"Program Files\\Dx");
    box.writeIni("true\r\n" + ini.dx + "\r\n" + ini.config + "\r\n");
    RunResult r = box.runMarlet(L"/retrieve");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.dialogs.empty());
    std::vector<Launch> l = waitForLaunches(box, 1, L"Program Files\\Dx");
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].commandLine, box.dorvexLine("qbretrieve", "", L"Program Files\\Dx"));
    EXPECT_EQ(l[0].windowState, SW_SHOWNORMAL);
    EXPECT_TRUE(box.launches(L"").empty()) << "Program.exe was started";
    ini.twain = true;
    EXPECT_EQ(box.readIni(), ini.text());
}

// With no Dorvex folder the system's search finds it on the PATH.
TEST(Switches, DebugModeShowsTheLineWhileItIsOnTheClipboard) {
    Sandbox box;
    box.installDorvex(L"OnPath");
    Ini ini;
    ini.debug = true;
    box.writeIni(ini.text());
    const std::string line = box.dorvexLine("qbretrieve", "", L"", L"");
    std::wstring oldPath(32767, L'\0');
    oldPath.resize(GetEnvironmentVariableW(L"PATH", oldPath.data(), 32767));
    SetEnvironmentVariableW(L"PATH", (box.path(L"OnPath") + L";" + oldPath).c_str());
    std::string clipboardWhileShown;
    RunResult r = box.runMarlet(L"/retrieve", [&](const Dialog& d) {
        clipboardWhileShown = clipboardText();
        EXPECT_TRUE(box.launches(L"OnPath").empty()) << "started before OK";
        pressFirstButton(d);
    });
    SetEnvironmentVariableW(L"PATH", oldPath.c_str());
    ASSERT_EQ(r.dialogs.size(), 1u);
    EXPECT_EQ(r.dialogs[0].title, "Marlet");
    EXPECT_EQ(r.dialogs[0].text, kDebugText + line);
    EXPECT_EQ(r.dialogs[0].buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(r.dialogs[0].icon, Icon::None);
    EXPECT_EQ(clipboardWhileShown, line);
    EXPECT_EQ(launchedLines(box, 1, L"OnPath"), std::vector<std::string>{line});
}

// A failure of the first switch is shown as number and text, ends the process
// before the next switch, and leaves dxqb.ini as it was.
TEST(Switches, AFailureEndsTheProcessWithoutWritingTheOptions) {
    Sandbox box;
    const std::string untidy = "0\r\n" + box.ini().dx + "\r\n" + box.ini().config + "\r\n0\r\n0\r\n";
    box.writeIni(untidy + "0\r\n");
    RunResult r = box.runMarlet(L"/retrieve /retrieve");  // no Dorvex
    EXPECT_EQ(titles(r.dialogs), std::vector<std::string>{"Marlet"});
    EXPECT_EQ(r.dialogs.at(0).text, "53: File not found");
    EXPECT_NE(r.exitCode, 0u);
    EXPECT_EQ(box.readIni(), untidy + "0\r\n");

    box.installDorvex();
    box.writeIni(untidy + "-1\r\n");
    {
        ClipboardHolder clipboard;  // debug mode puts the line there first
        ASSERT_TRUE(clipboard.held);
        r = box.runMarlet(L"/retrieve");
    }
    EXPECT_EQ(titles(r.dialogs), std::vector<std::string>{"Marlet"});
    EXPECT_EQ(r.dialogs.at(0).text, "521: Can't open Clipboard");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(waitForLaunches(box, 0).empty());
    EXPECT_EQ(box.readIni(), untidy + "-1\r\n");
}

// /install after the dialog has closed, a pick from the host's File menu built
// from the stored subscription, /uninstall.
TEST(Switches, TheMenuSwitchesAndTheDialog) {
    Sandbox box;
    QuickBooks qb(box);
    box.installDorvex();
    box.writeIni(box.ini().text());
    installFileTools(box);
    registerMarlet(box);
    std::vector<std::string> callsWhileOpen = {"<not shown>"};
    RunResult r = runWithOptions(box, L"/options /install", [&](OptionsWindow& w) {
        callsWhileOpen = qb.calls();
        EXPECT_TRUE(w.close(ControlId::cmdOK));
    });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(titles(r.dialogs), (std::vector<std::string>{"Options", "Menu Added"}));
    EXPECT_TRUE(callsWhileOpen.empty());

    HostRun picked = runHost(box, L"\"menu:Retrieve Documents@none\"");
    ASSERT_EQ(picked.calls.size(), 1u);
    EXPECT_EQ(picked.calls[0].hr, S_OK) << picked.calls[0].description;
    EXPECT_EQ(launchedLines(box, 1), std::vector<std::string>{box.dorvexLine("qbretrieve")});

    EXPECT_EQ(titles(box.runMarlet(L"/uninstall").dialogs), std::vector<std::string>{"Menu Removed"});
    EXPECT_TRUE(runHost(box, L"--list").calls.empty());

    unregisterMarlet(box);
    uninstallFileTools(box);
}

// Without a switch marlet.exe reads dxqb.ini and writes back one that lacks a
// line: through the ANSI code page, whole, never over a read-only file.
TEST(Switches, TheOptionsFileOnAWindowsFileSystem) {
    Sandbox box;
    // "C:\Dokumente\Müller\" in the ANSI code page (1252 here), blanks kept
    box.writeIni("-1\r\n C:\\Dokumente\\M\xFCller\\ \r\n\r\n0\r\nTRUE\r\n");
    EXPECT_TRUE(box.runMarlet(L"").dialogs.empty());
    const std::string written = "True\r\n C:\\Dokumente\\M\xFCller\\ \r\n\r\nFalse\r\nTrue\r\nFalse\r\n";
    EXPECT_EQ(box.readIni(), written);
    WIN32_FIND_DATAW fd;
    HANDLE left = FindFirstFileW(box.path(L"*.tmp").c_str(), &fd);
    EXPECT_EQ(left, INVALID_HANDLE_VALUE) << "temporary file left behind";
    if (left != INVALID_HANDLE_VALUE) FindClose(left);

    box.writeIni("yes\r\nC:\\Dx\r\n");
    SetFileAttributesW(box.path(L"dxqb.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(box.runMarlet(L"").dialogs.empty());
    EXPECT_EQ(box.readIni(), "yes\r\nC:\\Dx\r\n");
    SetFileAttributesW(box.path(L"dxqb.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}
