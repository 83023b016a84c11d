#pragma once
// The one narrow door between the portable program and the operating system.
// Two tables fill it: the Win32 one (platform/win32) that marlet.exe uses, and an
// in-memory fake (platform/fake) that records what happened, for native tests.
// Text is UTF-8 everywhere on this side of the door. Each function says how it
// fails: most throw marlet::Error; the file functions answer false (with a
// FileFailure where asked), a few answer "", and registryValue RegType::NoValue.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace marlet {

// Message box styles and answers, with the classic numeric values. A style
// is one set of buttons, with an icon or not (OkCancel | Exclamation).
enum class BoxStyle : int { OkOnly = 0, OkCancel = 1, Exclamation = 48 };
constexpr BoxStyle operator|(BoxStyle a, BoxStyle b) {
    return static_cast<BoxStyle>(static_cast<int>(a) | static_cast<int>(b));
}
// The buttons of a style, without its icon.
constexpr BoxStyle buttonsOf(BoxStyle style) { return static_cast<BoxStyle>(static_cast<int>(style) & 0xF); }
enum class BoxAnswer : int { Ok = 1, Cancel = 2 };

// Registry views: the one this build's COM reads, and the other bitness's.
enum class RegistryView : int { Own = 0, Other = 1 };

// Window states for a started program.
enum class WindowState : int {
    NormalFocus = 1,     // shown normally, with the focus
    MinimizedFocus = 2,  // minimised, with the focus
};

// The level a process runs at under User Account Control.
enum class RunLevel : int {
    NotRunning = 0,  // no such process
    Standard = 1,    // not elevated
    Elevated = 2,    // run as administrator
    Unknown = 3,     // running, but its level cannot be read
};

// A running process, as the set-up check's run-level line weighs it.
struct RunningProcess {
    bool callersSession;  // in the Windows session of this process (not another user's on the server)
    RunLevel level;       // RunLevel::Standard, RunLevel::Elevated, or RunLevel::Unknown when it cannot be read
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
// Any other type keeps the registry's number.
enum class RegType : int { NoValue = -1, Sz = 1, ExpandSz = 2, Dword = 4 };
struct RegistryValue {
    RegType type = RegType::NoValue;  // RegType::NoValue: no such key or value, or it cannot be read
    std::string text;        // RegType::Sz, RegType::ExpandSz (not expanded), without the ending null
    uint32_t number = 0;     // RegType::Dword
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
    // A message box; `title` is already the final title. Returns BoxAnswer::Ok etc.
    BoxAnswer (*msgBox)(const std::string& text, BoxStyle style, const std::string& title);
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
                         WindowState windowState);
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
    // The level this process runs at (RunLevel::Standard or RunLevel::Elevated).
    RunLevel (*ownLevel)();
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
    // Between UTF-8 and the system's ANSI code page. utf8ToAnsi sets *whole
    // (when given) to false when a character has no place in the code page: it
    // is then written as the code page's default character, never a look-alike.
    std::string (*ansiToUtf8)(const std::string& ansi);
    std::string (*utf8ToAnsi)(const std::string& utf8, bool* whole);

    // --- COM ---
    std::unique_ptr<AutoObject> (*createObject)(const std::string& progId);
    // The default value of `key` under HKEY_CLASSES_ROOT in a registry view
    // (RegistryView::Own, RegistryView::Other); "" when there is none.
    std::string (*classesValue)(const std::string& key, RegistryView view);
    // The value `name` of `key` under HKEY_LOCAL_MACHINE (`machine`) or
    // HKEY_CURRENT_USER, in the 64-bit registry view from either build. Never
    // throws: a missing key or value, or one that cannot be read, answers type
    // RegType::NoValue; a value of any other type answers only its type.
    RegistryValue (*registryValue)(bool machine, const std::string& key, const std::string& name);
};

// The table in use; set once at start.
extern const Platform* gPlatform;
inline const Platform& platform() { return *gPlatform; }

}  // namespace marlet
