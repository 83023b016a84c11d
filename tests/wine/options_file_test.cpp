// dxqb.ini on a real Windows file system.
#include <gtest/gtest.h>

#include "sandbox.h"

using namespace bench;

TEST(OptionsFile, MissingFileIsNotCreated) {
    Sandbox box;
    RunResult r = box.runMarlet(L"");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_FALSE(box.exists(L"dxqb.ini"));
}

TEST(OptionsFile, ReadOnlyFileIsLeftUntouched) {
    Sandbox box;
    box.writeIni("yes\r\nC:\\Dx\r\n");
    SetFileAttributesW(box.path(L"dxqb.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    RunResult r = box.runMarlet(L"");
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_EQ(box.readIni(), "yes\r\nC:\\Dx\r\n");
    SetFileAttributesW(box.path(L"dxqb.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(OptionsFile, AnsiTextSurvivesTheRoundTripAndNoTemporaryIsLeft) {
    Sandbox box;
    // "C:\Dokumente\Müller\" in the ANSI code page (1252 here), blanks kept
    const std::string ini = "-1\r\n C:\\Dokumente\\M\xFCller\\ \r\n\r\n0\r\nTRUE\r\nfalse\r\n";
    box.writeIni(ini);
    box.runMarlet(L"");
    EXPECT_EQ(box.readIni(), "True\r\n C:\\Dokumente\\M\xFCller\\ \r\n\r\nFalse\r\nTrue\r\nFalse\r\n");
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(box.path(L"*.tmp").c_str(), &fd);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "temporary file left behind";
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

// A file that cannot be replaced (held open without sharing by another program)
// keeps its content.
TEST(OptionsFile, FailedReplaceKeepsTheOldFileWhole) {
    Sandbox box;
    const std::string ini = "True\r\nC:\\Old\\\r\nC:\\Cfg\\\r\nTrue\r\nTrue\r\nTrue\r\n";
    box.writeIni("True\r\nC:\\Old\\\r\nC:\\Cfg\\\r\nTrue\r\nTrue\r\n-1\r\n");
    HANDLE held = CreateFileW(box.path(L"dxqb.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    box.runMarlet(L"");
    CloseHandle(held);
    EXPECT_EQ(box.readIni(), "True\r\nC:\\Old\\\r\nC:\\Cfg\\\r\nTrue\r\nTrue\r\n-1\r\n");
    box.runMarlet(L"");
    EXPECT_EQ(box.readIni(), ini);
}
