#pragma once
// An in-memory platform for native tests: it records every visible effect and
// answers from scripted replies.
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "resources/resource.h"

namespace marlet {
class OptionsForm;  // the form the fake Options dialog (ui/fake/) hands the script
}

namespace marlet::fake {

struct Box {
    std::string text;
    BoxStyle style;
    std::string title;
};

struct Started {
    std::string program;
    std::string commandLine;
    WindowState windowState;
};

struct Input {
    std::string prompt;
    std::string title;
};

// Thrown by endProcess so a test can see the process end.
struct ProcessEnded {};

struct World {
    // What the program saw.
    std::string commandLine;
    std::string exeFolder = "C:\\Marlet";
    std::map<int, std::string> strings = {
        {IDS_APP_GUID, MARLET_APP_GUID}, {IDS_APP_NAME, MARLET_APP_NAME}};
    LocalTime now = {2007, 3, 9, 14, 5, 7};
    std::map<std::string, std::string> files;  // path -> bytes
    std::set<std::string> readOnly;
    // Writes that fail: to this file, or into this folder (creating it included).
    std::map<std::string, FileFailure> writeFailures;
    std::set<std::string> folders;             // created by the program
    std::string localAppData = "C:\\Users\\ann\\AppData\\Local";  // from the environment
    std::string shellLocalAppData;             // what the shell would answer
    std::set<std::string> programs;            // paths that exist as programs
    std::map<std::string, std::function<std::unique_ptr<AutoObject>()>> classes;  // ProgID ->
    struct ByView {
        std::map<std::string, std::string> keys[2];
        std::map<std::string, std::string>& operator[](RegistryView v) { return keys[static_cast<int>(v)]; }
    } registry;  // HKEY_CLASSES_ROOT key -> value, by view
    std::map<std::string, RegistryValue> values;     // "HKLM\\key\\name" or "HKCU\\...", 64-bit view
    RunLevel ownLevel = RunLevel::Standard;
    struct Process {
        std::string exe;  // program file name, upper case
        RunLevel level;   // RunLevel::Standard, RunLevel::Elevated or RunLevel::Unknown (cannot be read)
        bool callersSession = true;
    };
    std::vector<Process> processes;  // running, in the order the system lists them
    bool clipboardLocked = false;
    bool scanner = false;
    // The fake ANSI code page is UTF-8 less these characters (UTF-8 each).
    std::vector<std::string> notInCodePage;

    // Scripted answers; an empty queue answers OK / "" / cancel.
    std::deque<BoxAnswer> boxAnswers;
    std::deque<std::string> inputAnswers;  // "\x18" stands for Cancel
    std::deque<std::string> folderAnswers;
    std::function<void(OptionsForm&)> onShowOptions;  // plays the user's part
    std::function<void()> whileBoxUp;  // what a message or input box's own loop lets run
    std::function<void()> onSelectScanner;

    // What the program did.
    std::vector<Box> boxes;
    std::vector<Input> inputs;
    std::vector<Started> started;
    std::vector<std::string> browsePrompts;
    std::string clipboard;
    std::string clipboardAtLastBox;  // the clipboard while the last box was up
    int clipboardWrites = 0;
    int optionsDialogsShown = 0;
    std::vector<std::string> log;    // every call, in order, for sequence checks
    int exitCode = -1;               // as endProcess was given it
    int watchdogSeconds = 0;         // 0: none started
    void (*onTimeout)() = nullptr;
};

// Failures as Windows reports them.
FileFailure accessDenied();
FileFailure diskFull();

// Installs a fresh world as the platform and returns it; the process's state
// (platform/process_state.h) is put back as a fresh marlet.exe has it.
World& install();
World& world();

}  // namespace marlet::fake
