// A policy written as the documented recipe writes it (reg.exe, the 64-bit
// view; a folder without its ending backslash) wins over dxqb.ini for a pick
// QuickBooks sends; the Options dialog shows its row disabled and saves around it.
#include <windows.h>

#include <gtest/gtest.h>

#include "options_driver.h"
#include "qb_standin.h"
#include "qbhost_driver.h"

using namespace harness;
using marlet::ControlId;

static DWORD reg(const std::wstring& arguments) {
    return runProgram(L"reg.exe " + arguments + L" /reg:64 /f", binFolder()).exitCode;
}

TEST(Policy, APolicyWinsOverTheFileForAPickAndItsRowIsDisabled) {
    Sandbox box;
    QuickBooks qb{box};
    box.installDorvex(L"Pol");
    box.writeIni(box.ini(L"Dx").text());
    installFileTools(box);
    registerMarlet(box);
    const std::wstring key = L"HKLM\\SOFTWARE\\Policies\\Marlet";
    ASSERT_EQ(reg(L"add " + key + L" /v dxPath /t REG_SZ /d \"" + box.path(L"Pol") + L"\""), 0u);

    EXPECT_FALSE(runHost(box, L"--progid=Marlet.QBMenuListener scan@txn:Invoice:1A-1165000101").timedOut);
    EXPECT_TRUE(waitForMarletExit(box));
    EXPECT_EQ(launchedLines(box, 1, L"Pol"),
              std::vector<std::string>{box.dorvexLine(
                  "qbscan", " /1:\"Abercrombie, Kristy:Family Room\" /2:\"Invoice\" /3:\"1001\" /4:\"Cabinet deposit\"",
                  L"Pol")});

    RunResult shown = runWithOptions(box, L"/options", [&](OptionsWindow& w) {
        EXPECT_EQ(w.text(ControlId::txtDxPath), box.pathUtf8(L"Pol") + "\\");
        EXPECT_FALSE(IsWindowEnabled(w.control(ControlId::txtDxPath)));
        EXPECT_TRUE(IsWindowEnabled(w.control(ControlId::txtConfigPath)));
        w.toggle(ControlId::ckDisplayDorvex);
        EXPECT_TRUE(w.close(ControlId::cmdOK));
    });
    reg(L"delete " + key);
    unregisterMarlet(box);
    uninstallFileTools(box);
    EXPECT_EQ(shown.exitCode, 0u);
    EXPECT_EQ(box.readIni(), (Ini{false, box.ini().dx, box.ini().config, true, false, false}.text()));
}
