// Settings of a person who may not write the program's folder, with Windows
// itself denying the write: settings_user_test.sh runs this program as an
// ordinary Unix user, whose Wine enforces the folder's permissions, with
// MARLET_LOCKED_FOLDER naming a folder of marlet.exe and its dxqb.ini that the
// user may read but not write.
#include <windows.h>

#include <gtest/gtest.h>

#include "sandbox.h"

using namespace harness;

namespace {

// What settings_user_test.sh puts beside marlet.exe, written by hand.
const std::string kMachine = "true\nC:\\Dx\\\nC:\\Cfg\\\nfalse\nFalse\nFALSE";
const std::string kMine = "True\r\nC:\\Mine\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n";

std::wstring environment(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

struct LockedFolder : ::testing::Test {
    std::wstring folder = environment(L"MARLET_LOCKED_FOLDER");
    std::wstring machineIni = folder + L"\\dxqb.ini";
    std::wstring userFolder = environment(L"LOCALAPPDATA") + L"\\Marlet";
    std::wstring userIni = userFolder + L"\\dxqb.ini";

    void SetUp() override {
        ASSERT_FALSE(folder.empty()) << "MARLET_LOCKED_FOLDER is not set: run settings_user_test.sh";
        ASSERT_TRUE(fileExists(machineIni));
        // Unless Windows denies this, the test shows nothing.
        std::wstring probe = folder + L"\\probe.tmp";
        HANDLE f = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD error = GetLastError();
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f), DeleteFileW(probe.c_str());
        ASSERT_EQ(f, INVALID_HANDLE_VALUE) << "this user may write the program's folder";
        ASSERT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
        DeleteFileW(userIni.c_str());
        RemoveDirectoryW(userFolder.c_str());
    }

    // Runs marlet.exe /options; `script` plays the person's part on the dialog
    // and closes it.
    RunResult options(const std::function<void(HWND)>& script) const {
        bool handled = false;
        return runProgram(L"\"" + folder + L"\\marlet.exe\" /options", folder, [&](const Dialog& d) {
            if (handled || d.title != "Options") return pressFirstButton(d);
            handled = true;
            script(d.hwnd);
        }, 60000);
    }

    // What the Dorvex folder box (the first text box) shows at a start with /options (then Cancel).
    std::string shownDxPath() const {
        std::string shown = "<not shown>";
        options([&](HWND dialog) {
            shown = windowText(findChild(dialog, "Edit"));
            PostMessageW(findChild(dialog, "Button", "Cancel"), BM_CLICK, 0, 0);
        });
        return shown;
    }
};

}  // namespace

// A start that changes nothing leaves the person reading the machine file.
TEST_F(LockedFolder, AStartThatChangesNothingMakesNoCopyOfAHandWrittenFile) {
    EXPECT_EQ(shownDxPath(), "C:\\Dx\\");
    EXPECT_FALSE(fileExists(userIni));
}

TEST_F(LockedFolder, APersonsChangeGoesToTheirOwnFileAndTheMachineFileStaysAsItWas) {
    ASSERT_EQ(readWholeFile(machineIni), kMachine);
    RunResult changed = options([](HWND dialog) {
        EXPECT_EQ(windowText(findChild(dialog, "Edit")), "C:\\Dx\\");
        SendMessageW(findChild(dialog, "Edit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\Mine\\"));
        PostMessageW(findChild(dialog, "Button", "OK"), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(changed.exitCode, 0u);
    ASSERT_EQ(changed.dialogs.size(), 1u) << "a box after OK: " << changed.dialogs.back().text;
    EXPECT_EQ(readWholeFile(userIni), kMine);

    // The next start, for this person, shows the change; the machine file is
    // untouched. (Someone without a file of their own reads the machine's: the
    // native settings-location test.)
    EXPECT_EQ(shownDxPath(), "C:\\Mine\\");
    EXPECT_EQ(readWholeFile(machineIni), kMachine);
}
