// marlet.exe started with switches: dispatch, the retrieval launch, debug mode,
// and the end of the process on a failure.
#include <gtest/gtest.h>

#include "sandbox.h"

using namespace bench;

namespace {

const std::string kBareRetrieve(const Sandbox& box, const std::wstring& dx = L"Dx") {
    return box.pathUtf8(dx) + "\\Dorvex.exe /c:\"" + box.pathUtf8(L"Cfg") + "\\qbretrieve.dxc\"";
}

size_t retrievalsFor(const std::wstring& arguments) {
    Sandbox box;
    box.installDorvex();
    box.writeIni(box.iniFor(L"Dx"));
    RunResult r = box.runMarlet(arguments);
    EXPECT_EQ(r.exitCode, 0u) << utf8(arguments);
    EXPECT_TRUE(r.dialogs.empty()) << utf8(arguments);
    Sleep(300);
    return box.launches().size();
}

}  // namespace

TEST(Retrieve, StartsDorvexNormallyAndRewritesTheOptions) {
    Sandbox box;
    box.installDorvex();
    box.writeIni("true\r\n" + box.pathUtf8(L"Dx") + "\\\r\n" + box.pathUtf8(L"Cfg") + "\\\r\n");
    RunResult r = box.runMarlet(L"/retrieve");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.dialogs.empty());
    std::vector<Launch> l = waitForLaunches(box, 1);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].commandLine, kBareRetrieve(box));
    EXPECT_EQ(l[0].windowState, SW_SHOWNORMAL);
    EXPECT_EQ(box.readIni(), "True\r\n" + box.pathUtf8(L"Dx") + "\\\r\n" + box.pathUtf8(L"Cfg") +
                                 "\\\r\nFalse\r\nFalse\r\nFalse\r\n");
}

TEST(Retrieve, SwitchMatchingAndArgumentLimit) {
    EXPECT_EQ(retrievalsFor(L"/retrieve /retrieve"), 2u);
    EXPECT_EQ(retrievalsFor(L"/Retrieve"), 0u);
    EXPECT_EQ(retrievalsFor(L"x/retrieve"), 1u);
    EXPECT_EQ(retrievalsFor(L"/retrieve  /retrieve"), 2u);
    std::wstring twelve;
    for (int i = 0; i < 12; i++) twelve += L" /retrieve";
    EXPECT_EQ(retrievalsFor(twelve), 10u);
}

TEST(Retrieve, DebugModeShowsTheLineWhileItIsOnTheClipboard) {
    Sandbox box;
    box.installDorvex();
    box.writeIni(box.iniFor(L"Dx", true));
    std::string clipboardWhileShown;
    RunResult r = box.runMarlet(L"/retrieve", [&](const Dialog& d) {
        clipboardWhileShown = clipboardText();
        EXPECT_TRUE(box.launches().empty()) << "started before OK";
        pressFirstButton(d);
    });
    ASSERT_EQ(r.dialogs.size(), 1u);
    const Dialog& d = r.dialogs[0];
    EXPECT_EQ(d.title, "Marlet");
    EXPECT_EQ(d.text,
              "The command line below has been place on the clipboard and will be executed when you click 'OK': "
              "\r\n\r\n" + kBareRetrieve(box));
    EXPECT_EQ(d.buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(d.icon, Icon::None);
    EXPECT_EQ(clipboardWhileShown, kBareRetrieve(box));
    EXPECT_EQ(waitForLaunches(box, 1).size(), 1u);
    EXPECT_EQ(clipboardText(), kBareRetrieve(box));
}

TEST(Retrieve, MissingDorvexEndsTheProcessWithoutWritingOptions) {
    Sandbox box;  // no Dorvex installed
    const std::string ini = "true\r\n" + box.pathUtf8(L"Dx") + "\\\r\n";
    box.writeIni(ini);
    RunResult r = box.runMarlet(L"/retrieve /retrieve");
    ASSERT_EQ(r.dialogs.size(), 1u);
    EXPECT_EQ(r.dialogs[0].title, "Marlet");
    EXPECT_EQ(r.dialogs[0].text, "53: File not found");
    EXPECT_NE(r.exitCode, 0u);
    EXPECT_EQ(box.readIni(), ini);
}

// A Dorvex folder with a blank in it must not let the system start a program
// that merely shares the beginning of the path.
TEST(Retrieve, FolderWithBlanksStartsExactlyTheNamedProgram) {
    Sandbox box;
    box.installDorvex(L"Program Files\\Dx");
    box.copyProgram(L"Dorvex.exe", L"Program.exe");
    box.writeIni(box.iniFor(L"Program Files\\Dx"));
    RunResult r = box.runMarlet(L"/retrieve");
    EXPECT_TRUE(r.dialogs.empty());
    ASSERT_EQ(waitForLaunches(box, 1, L"Program Files\\Dx").size(), 1u);
    EXPECT_EQ(box.launches(L"Program Files\\Dx")[0].commandLine, kBareRetrieve(box, L"Program Files\\Dx"));
    EXPECT_TRUE(box.launches(L"").empty()) << "C:\\...\\Program.exe was started";
}

TEST(Retrieve, EmptyDorvexFolderSearchesThePath) {
    Sandbox box;
    box.installDorvex(L"OnPath");
    box.writeIni("False\r\n\r\n\r\n");
    std::wstring oldPath(32767, L'\0');
    oldPath.resize(GetEnvironmentVariableW(L"PATH", oldPath.data(), 32767));
    SetEnvironmentVariableW(L"PATH", (box.path(L"OnPath") + L";" + oldPath).c_str());
    RunResult r = box.runMarlet(L"/retrieve");
    SetEnvironmentVariableW(L"PATH", oldPath.c_str());
    EXPECT_TRUE(r.dialogs.empty());
    std::vector<Launch> l = waitForLaunches(box, 1, L"OnPath");
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].commandLine, "Dorvex.exe /c:\"qbretrieve.dxc\"");
}
