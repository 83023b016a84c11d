#pragma once
// A fresh folder per test holding its own copy of marlet.exe (and so its own
// dxqb.ini), the Dorvex stand-in, and the one loop that runs a program there
// while a person's part is played on its dialogs.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui_driver.h"

namespace harness {

// The folder of the running test program, where every built program lies.
std::wstring binFolder();

// Whether this machine's kernel runs 32-bit programs (MARLET_RUNS_32BIT, set
// by scripts/wine-loader.sh; unset: yes). Where it runs none, a row that needs
// the 32-bit marlet.exe to run is skipped with the reason, never passed.
bool runs32BitPrograms();
#define SKIP_WITHOUT_32BIT_PROGRAMS() \
    if (!::harness::runs32BitPrograms()) GTEST_SKIP() << "skipped: this kernel runs no 32-bit programs"

// Whole files by full path.
bool fileExists(const std::wstring& path);
std::string readWholeFile(const std::wstring& path, const std::string& ifMissing = "<missing>");
void writeWholeFile(const std::wstring& path, const std::string& bytes);
std::vector<std::string> splitLines(const std::string& text);  // "\n" or "\r\n"
// Calls DllRegisterServer or DllUnregisterServer of the DLL at `path`.
bool callDllExport(const std::wstring& path, const char* name);

// The six lines of dxqb.ini as marlet.exe writes them.
struct Ini {
    bool twain = false;
    std::string dx, config;  // each ends in "\" unless empty
    bool dorvex = false, memo = false, debug = false;
    std::string text() const;
};

struct Launch {
    int windowState;          // SW_ value the program was started with
    std::string commandLine;  // exactly as received
};

struct RunResult {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::vector<Dialog> dialogs;  // every dialog seen, in order
};

// Answers a dialog; the default presses its first button.
using DialogHandler = std::function<void(const Dialog&)>;
void pressFirstButton(const Dialog& d);

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::wstring& dir() const { return dir_; }
    std::wstring path(const std::wstring& relative) const { return dir_ + L"\\" + relative; }
    std::string pathUtf8(const std::wstring& relative) const { return utf8(path(relative)); }

    void writeFile(const std::wstring& relative, const std::string& bytes) const;
    std::string readFile(const std::wstring& relative) const;
    bool exists(const std::wstring& relative) const;
    void copyProgram(const std::wstring& name, const std::wstring& toRelative) const;

    // dxqb.ini beside the sandbox's marlet.exe.
    void writeIni(const std::string& bytes) const { writeFile(L"dxqb.ini", bytes); }
    std::string readIni() const { return readFile(L"dxqb.ini"); }
    // Options for the Dorvex stand-in in `dxFolder` and configurations in "Cfg\".
    Ini ini(const std::wstring& dxFolder = L"Dx") const;
    // The line Dorvex receives for job `job` ("qbscan"...) with `values`
    // appended; an empty folder is left out, as an empty option leaves it.
    std::string dorvexLine(const std::string& job, const std::string& values = "", const std::wstring& dx = L"Dx",
                           const std::wstring& config = L"Cfg") const;

    // Puts the Dorvex stand-in into `folder` (relative) and reads what it recorded.
    void installDorvex(const std::wstring& folder = L"Dx") const;
    std::vector<Launch> launches(const std::wstring& folder = L"Dx") const;

    // Runs the sandbox's marlet.exe with `arguments` until it ends.
    RunResult runMarlet(const std::wstring& arguments, const DialogHandler& onDialog = pressFirstButton,
                        int timeoutMs = 30000) const;

private:
    std::wstring dir_;
};

// Starts `commandLine` in `folder` and answers every dialog it shows (of any
// process when `anyProcess`) with `onDialog` until it has ended and, for at most
// `busyMs` more, until `busy` no longer holds.
RunResult runProgram(const std::wstring& commandLine, const std::wstring& folder,
                     const DialogHandler& onDialog = pressFirstButton, int timeoutMs = 30000,
                     bool anyProcess = false, const std::function<bool()>& busy = nullptr, int busyMs = 10000);

// Calls `visit` with every running process this one may query and end, and the
// full path of its program.
void forEachProcess(const std::function<void(HANDLE process, const std::wstring& image)>& visit);

// Dorvex starts without being waited for: waits until `count` launches are
// recorded, then a little for any more, and returns them all.
std::vector<Launch> waitForLaunches(const Sandbox& box, size_t count, const std::wstring& folder = L"Dx",
                                    int timeoutMs = 10000);
// Their command lines, sorted (launches may be recorded in any order).
std::vector<std::string> launchedLines(const Sandbox& box, size_t count, const std::wstring& folder = L"Dx");

}  // namespace harness
