// Marlet's Windows Installer packages, run by msiexec as a deployment tool
// runs them: the files, the registration and dxqb.ini each leaves, a repair,
// an upgrade, a removal, and the refusals that keep one Marlet per PC.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installer_fixture.h"

using namespace harness;

namespace {

// The package's files, dxqb.ini as the properties made it and the COM classes,
// in the registry view of `bits`.
void expectPackageInstalled(int bits, const std::string& ini) {
    const std::wstring folder = installFolder(bits);
    EXPECT_EQ(readWholeFile(folder + L"\\marlet.exe"), readWholeFile(carried(bits)));
    expectDocumentsShipped(folder);
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

namespace {

// A package on a PC whose request processor Windows keeps in some views, and
// folders that would not make one line of dxqb.ini each.
struct Placement {
    const char* name;
    bool in64, in32;  // the request processor's CLSID is registered in the 64-/32-bit view
    int bits;         // the package
    const wchar_t* properties;
    const char* refusal;  // the launch condition's box, or (1603) the line in the log; null: installed
    bool inLog = false;
};

const Placement kPlacements[] = {
    {"OtherBuildOnlyRefused", false, true, 64, L"",
     "QuickBooks on this computer is registered for 32-bit programs only: install Marlet-x86.msi instead."},
    {"OtherBuildOnlyWithIgnoreQB", false, true, 64, L" IGNOREQB=1", nullptr},
    {"BothViews", true, true, 64, L"", nullptr},
    // Refused before anything of it runs: no 32-bit program is needed.
    {"The32BitPackageOn64BitOnly", true, false, 32, L"",
     "QuickBooks on this computer is registered for 64-bit programs only: install Marlet-x64.msi instead."},
    {"FolderWithALineBreak", true, false, 64, L" DXPATH=\"C:\\Dx\r\nTrue\"",
     "DXPATH cannot be written into dxqb.ini: it holds a line break", true},
    {"FolderWithABar", true, false, 64, L" CONFIGPATH=\"C:\\Jobs|1\"",
     "CONFIGPATH cannot be written into dxqb.ini: it holds \"|\"", true},
    {"FolderOutsideTheCodePage", true, false, 64, L" DXPATH=\"C:\\\u03a9\"", "it holds a character that this", true},
};

struct PackagePlacement : Installer, ::testing::WithParamInterface<Placement> {};

}  // namespace

TEST_P(PackagePlacement, GoesOnlyWhereItsBuildCanLoadTheRequestProcessorWithFoldersOfOneLine) {
    const Placement& p = GetParam();
    registerRequestProcessor(p.in64, p.in32);
    const std::wstring install = L"/i \"" + package(p.bits) + L"\"" + p.properties;
    if (p.refusal && p.inLog) {
        EXPECT_EQ(msiexec(install), 1603u);
        std::string log = readWholeFile(binFolder() + L"\\msiexec.log");  // UTF-16: its zero bytes go
        log.erase(std::remove(log.begin(), log.end(), '\0'), log.end());
        EXPECT_NE(log.find(p.refusal), std::string::npos);
    } else if (p.refusal) {
        expectRefused(install, p.refusal);
    } else {
        ASSERT_EQ(msiexec(install), 0u);
        expectPackageInstalled(p.bits, "False\r\n\r\n\r\nFalse\r\nFalse\r\nFalse\r\n");
        EXPECT_EQ(msiexec(L"/x \"" + package(p.bits) + L"\" KEEPMENU=1"), 0u);
    }
    expectNothingLeft(p.bits, false);
    EXPECT_TRUE(programsEntries(p.bits).empty());
}

INSTANTIATE_TEST_SUITE_P(, PackagePlacement, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.name); });
