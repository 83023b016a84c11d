// Which dxqb.ini a person's settings come from and go to: the machine file, the
// person's own file when the machine file may not be replaced, nothing when the
// machine file is missing or locked; and the one box when nothing can be written.
#include "settings/settings_files.h"

#include <gtest/gtest.h>

#include "app/app.h"
#include "main/main.h"
#include "platform/fake/fake_platform.h"
#include "ui/options_form.h"

using namespace marlet;

namespace {

const std::string kMachine = "C:\\Marlet\\dxqb.ini";
const std::string kUserFolder = "C:\\Users\\ann\\AppData\\Local\\Marlet";
const std::string kUser = kUserFolder + "\\dxqb.ini";
const std::string kShellUser = "D:\\Profiles\\ann\\Local\\Marlet\\dxqb.ini";

std::string settingsFor(const std::string& dxPath) { return "False\r\n" + dxPath + "\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n"; }
const std::string kOld = settingsFor("C:\\Old\\");
const std::string kMine = settingsFor("C:\\Mine\\");
const std::string kNew = settingsFor("C:\\New\\");

cmOptions recordWith(const std::string& dxPath) {
    cmOptions o;
    o.dxPath = dxPath;
    o.configPath = "C:\\Cfg\\";
    return o;
}

// The world a row starts from.
struct Start {
    bool machine = true;          // the machine file exists (holding kOld)
    bool machineReadOnly = false;
    bool userFile = false;        // the person's file exists (holding kMine)
    bool environment = true;      // LOCALAPPDATA is set
    std::vector<std::pair<std::string, FileFailure>> failures = {};
};

fake::World& install(const Start& s) {
    fake::World& w = fake::install();
    if (s.machine) w.files[kMachine] = kOld;
    if (s.machineReadOnly) w.readOnly.insert(kMachine);
    if (s.userFile) w.files[kUser] = kMine;
    if (!s.environment) w.localAppData.clear();
    w.shellLocalAppData = "D:\\Profiles\\ann\\Local";
    w.writeFailures = {s.failures.begin(), s.failures.end()};
    return w;
}

std::vector<std::string> writes(const fake::World& w) {
    std::vector<std::string> out;
    for (const std::string& entry : w.log)
        if (entry.rfind("replaceFile ", 0) == 0 || entry.rfind("createFolder ", 0) == 0) out.push_back(entry);
    return out;
}

const std::vector<std::pair<std::string, FileFailure>> kMachineDenied = {{"C:\\Marlet", fake::accessDenied()}};

}  // namespace

TEST(SettingsLocation, ThePersonsFileIsReadUnlessTheMachineFileIsLocked) {
    struct Row {
        const char* what;
        Start start;
        const char* dxPath;
    } rows[] = {
        {"machine file only", {}, "C:\\Old\\"},
        {"the person's own file", {.userFile = true}, "C:\\Mine\\"},
        {"locked: read-only machine file", {.machineReadOnly = true, .userFile = true}, "C:\\Old\\"},
        {"no environment: the shell is not asked at start", {.userFile = true, .environment = false}, "C:\\Old\\"},
        {"no machine file", {.machine = false}, ""},
    };
    for (const Row& r : rows) {
        fake::World& w = install(r.start);
        cmOptions o;
        loadSettings(o);
        EXPECT_EQ(o.dxPath, r.dxPath) << r.what;
        EXPECT_TRUE(w.log.empty()) << r.what;  // no write, no shell
    }
}

TEST(SettingsLocation, ChangesGoWhereThePersonMayWriteOrNowhere) {
    const std::string deniedBox = "Your settings could not be saved to " + kUser + ":\r\nAccess is denied.";
    struct Row {
        const char* what;
        Start start;
        std::string dxPath;                  // the record saved
        std::vector<std::string> writes;     // replaceFile / createFolder calls, in order
        std::map<std::string, std::string> files;  // afterwards
        std::string box;                     // "" none
    } rows[] = {
        {"writable machine file", {}, "C:\\New\\", {"replaceFile " + kMachine}, {{kMachine, kNew}}, ""},
        {"denied: the person's file and folder are created",
         {.failures = kMachineDenied},
         "C:\\New\\",
         {"replaceFile " + kMachine, "createFolder " + kUserFolder, "replaceFile " + kUser},
         {{kMachine, kOld}, {kUser, kNew}},
         ""},
        {"the person's file is written, the machine file not tried",
         {.userFile = true},
         "C:\\New\\",
         {"replaceFile " + kUser},
         {{kMachine, kOld}, {kUser, kNew}},
         ""},
        {"locked", {.machineReadOnly = true, .userFile = true}, "C:\\New\\", {}, {{kMachine, kOld}, {kUser, kMine}}, ""},
        {"no machine file", {.machine = false, .failures = kMachineDenied}, "C:\\New\\", {}, {}, ""},
        {"denied, and so is the profile folder",
         {.failures = {{"C:\\Marlet", fake::accessDenied()}, {"C:\\Users\\ann", fake::accessDenied()}}},
         "C:\\New\\",
         {"replaceFile " + kMachine, "createFolder " + kUserFolder},
         {{kMachine, kOld}},
         deniedBox},
        {"denied, and the person's disk is full",
         {.userFile = true, .failures = {{kUser, fake::diskFull()}}},
         "C:\\New\\",
         {"replaceFile " + kUser},
         {{kMachine, kOld}, {kUser, kMine}},
         "Your settings could not be saved to " + kUser + ":\r\nThere is not enough space on the disk."},
        {"machine disk full is no reason for another file",
         {.failures = {{"C:\\Marlet", fake::diskFull()}}},
         "C:\\New\\",
         {"replaceFile " + kMachine},
         {{kMachine, kOld}},
         "Your settings could not be saved to " + kMachine + ":\r\nThere is not enough space on the disk."},
        {"denied, no environment: the shell names the folder",
         {.environment = false, .failures = kMachineDenied},
         "C:\\New\\",
         {"replaceFile " + kMachine, "createFolder D:\\Profiles\\ann\\Local\\Marlet", "replaceFile " + kShellUser},
         {{kMachine, kOld}, {kShellUser, kNew}},
         ""},
    };
    for (const Row& r : rows) {
        fake::World& w = install(r.start);
        std::optional<std::string> told = saveSettings(recordWith(r.dxPath));
        EXPECT_EQ(told.value_or(""), r.box) << r.what;
        EXPECT_EQ(writes(w), r.writes) << r.what;
        EXPECT_EQ(w.files, r.files) << r.what;
    }
}

// A folder the code page cannot hold would be written as another folder: the
// save is refused with the folder named, and the file stays as it was.
TEST(SettingsLocation, AFolderTheCodePageCannotHoldIsRefusedAndNothingIsWritten) {
    fake::World& w = install({});
    w.notInCodePage = {"\u0416"};
    EXPECT_EQ(saveSettings(recordWith("C:\\\u0416urnal\\")).value_or(""),
              "Your settings could not be saved to " + kMachine + ":\r\nThe folder C:\\\u0416urnal\\ holds a "
              "character that this Windows' code page cannot hold.");
    EXPECT_TRUE(writes(w).empty());
    EXPECT_EQ(w.files[kMachine], kOld);
    EXPECT_FALSE(saveSettings(recordWith("C:\\\u00C9t\u00E9\\")));
    EXPECT_EQ(w.files[kMachine], settingsFor("C:\\\u00C9t\u00E9\\"));
}

// Through Main: the dialog's change survives the next start for this person, and
// a failure to save anything is one box with the program's title.
TEST(SettingsLocation, AStartWithOptionsKeepsThePersonsChangeOrSaysWhyNot) {
    fake::World& w = install({.failures = kMachineDenied});
    w.onShowOptions = [](OptionsForm& form) {
        form.txtDxPath = "C:\\New\\";
        form.onOk();
    };
    w.commandLine = "/options";
    Main();
    EXPECT_EQ(w.files[kUser], kNew);
    w.commandLine = "";
    Main();
    EXPECT_EQ(gOptions->dxPath, "C:\\New\\");
    EXPECT_TRUE(w.boxes.empty());

    w.writeFailures[kUser] = fake::diskFull();
    w.commandLine = "/options";
    w.onShowOptions = [](OptionsForm& form) {
        form.txtDxPath = "C:\\Other\\";
        form.onOk();
    };
    Main();
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].title, "Marlet");
    EXPECT_EQ(w.boxes[0].text, "Your settings could not be saved to " + kUser + ":\r\nThere is not enough space on the disk.");
}
