#pragma once
// The one narrow door between the portable program and the operating system.
// Two tables fill it: the Win32 one (platform/win32) that marlet.exe uses, and an
// in-memory fake (platform/fake) that records what happened, for native tests.
// Text is UTF-8 everywhere on this side of the door. Each function says how it
// fails: most throw marlet::Error; the file functions answer false (with a
// FileFailure where asked), a few answer "", and registryValue kRegNoValue.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace marlet {

// Message box styles and answers, with the classic numeric values.
enum : int { kOkOnly = 0, kOkCancel = 1, kExclamation = 48 };
enum : int { kAnswerOk = 1, kAnswerCancel = 2 };

// Registry views: the one this build's COM reads, and the other bitness's.
enum : int { kOwnView = 0, kOtherView = 1 };

// Window states for a started program.
enum : int {
    kNormalFocus = 1,     // shown normally, with the focus
    kMinimizedFocus = 2,  // minimised, with the focus
};

// The level a process runs at under User Account Control.
enum : int {
    kLevelNotRunning = 0,  // no such process
    kLevelStandard = 1,    // not elevated
    kLevelElevated = 2,    // run as administrator
    kLevelUnknown = 3,     // running, but its level cannot be read
};

// A running process, as the set-up check's run-level line weighs it.
struct RunningProcess {
    bool callersSession;  // in the Windows session of this process (not another user's on the server)
    int level;            // kLevelStandard, kLevelElevated, or kLevelUnknown when it cannot be read
};

struct LocalTime {
    int year, month, day, hour, minute, second;
};

// Why a file operation failed, in the system's own terms.
struct FileFailure {
    bool accessDenied = false;  // this user may not write there
    uint32_t code = 0;          // the system's error number
    std::string reason;         // its text, such as "Access is denied."
};

// A registry value as read: its type, with the registry's numbers for it, and
// its content for the two types Marlet reads.
enum : int { kRegNoValue = -1, kRegSz = 1, kRegExpandSz = 2, kRegDword = 4 };
struct RegistryValue {
    int type = kRegNoValue;  // kRegNoValue: no such key or value, or it cannot be read
    std::string text;        // kRegSz, kRegExpandSz (not expanded), without the ending null
    uint32_t number = 0;     // kRegDword
};

// A value passed to or returned from a late-bound automation call.
using Value = std::variant<std::monostate, bool, int32_t, std::string>;

// A late-bound automation object (IDispatch on Windows): members are called by name.
class AutoObject {
public:
    virtual ~AutoObject() = default;
    virtual Value call(const std::string& member, const std::vector<Value>& args) = 0;
};

struct Platform {
    // --- user interface (modal, on the one thread) ---
    // A message box; `title` is already the final title. Returns kAnswerOk etc.
    int (*msgBox)(const std::string& text, int style, const std::string& title);
    // The classic input box with OK and Cancel; Cancel gives "".
    std::string (*inputBox)(const std::string& prompt, const std::string& title);
    // Empties the clipboard and puts `text` on it as plain text.
    void (*setClipboardText)(const std::string& text);
    // The shell folder browser; "" on cancel or any failure.
    std::string (*browseForFolder)(void* ownerWindow, const std::string& prompt);
    // The scanner interface: is a TWAIN source there, and its selection dialog.
    bool (*scannerAvailable)();
    void (*selectScanner)(void* ownerWindow);

    // --- processes ---
    // Starts `program` with the full command line `commandLine`, without waiting.
    // A `program` without a folder is searched for on the system path.
    // A missing program raises 53 "File not found".
    void (*startProcess)(const std::string& program, const std::string& commandLine,
                         int windowState);
    // The text that follows the program's own name on its command line.
    std::string (*commandLineText)();
    // The folder that holds the executable, without a trailing "\".
    std::string (*exeFolder)();
    // The executable's full path.
    std::string (*exePath)();
    // Ends the process at once with `exitCode`.
    void (*endProcess)(int exitCode);  // does not return (an attribute cannot mark a pointer)
    // After `seconds`, on a thread of its own, calls `onTimeout`, which ends the
    // process. Bounds a run that nobody watches.
    void (*startWatchdog)(int seconds, void (*onTimeout)());
    uint32_t (*processId)();
    // The level this process runs at (kLevelStandard or kLevelElevated).
    int (*ownLevel)();
    // Every running process whose program file is named one of `exeNames` (no
    // folder, any case), in every session; none when none runs or the
    // processes cannot be listed.
    std::vector<RunningProcess> (*processesNamed)(const std::vector<std::string>& exeNames);
    // An entry of the program's string table.
    std::string (*loadString)(int id);
    LocalTime (*localTime)();

    // --- files ---
    bool (*fileExists)(const std::string& path);
    // Whole file as bytes; false when it cannot be read.
    bool (*readFile)(const std::string& path, std::string& bytes);
    // Has the file the read-only attribute?
    bool (*isReadOnly)(const std::string& path);
    // Writes `bytes` to a new file in the same folder and puts it in place of
    // `path` in one step. False, with `path` untouched, when that fails
    // (a read-only file among other causes), and then the reason in `failure`
    // unless it is null. A file that already holds exactly `bytes` may be left
    // as it is.
    bool (*replaceFile)(const std::string& path, const std::string& bytes, FileFailure* failure);
    // Creates a folder whose parent exists; true when it exists afterwards.
    bool (*createFolder)(const std::string& path, FileFailure* failure);
    // The folder for this user's local application data, without a trailing
    // "\"; "" when unknown. Only the environment is read unless `askShell`,
    // which may load the shell's libraries to ask them too.
    std::string (*userDataFolder)(bool askShell);
    // Adds `bytes` at the end of `path`, creating the file; false when it cannot.
    bool (*appendFile)(const std::string& path, const std::string& bytes);
    // The size in bytes, or -1 when there is no such file.
    int64_t (*fileSize)(const std::string& path);
    // Renames `from` to `to`, replacing `to`; false when it cannot.
    bool (*renameFile)(const std::string& from, const std::string& to);
    // Between UTF-8 and the system's ANSI code page.
    std::string (*ansiToUtf8)(const std::string& ansi);
    std::string (*utf8ToAnsi)(const std::string& utf8);

    // --- COM ---
    std::unique_ptr<AutoObject> (*createObject)(const std::string& progId);
    // The default value of `key` under HKEY_CLASSES_ROOT in a registry view
    // (kOwnView, kOtherView); "" when there is none.
    std::string (*classesValue)(const std::string& key, int view);
    // The value `name` of `key` under HKEY_LOCAL_MACHINE (`machine`) or
    // HKEY_CURRENT_USER, in the 64-bit registry view from either build. Never
    // throws: a missing key or value, or one that cannot be read, answers type
    // kRegNoValue; a value of any other type answers only its type.
    RegistryValue (*registryValue)(bool machine, const std::string& key, const std::string& name);
};

// The table in use; set once at start.
extern const Platform* gPlatform;
inline const Platform& platform() { return *gPlatform; }

}  // namespace marlet
