#pragma once
// The Win32 functions behind the platform table (main/platform_table_win32.cpp).
#include "platform/platform.h"

namespace marlet {

namespace win32 {
BoxAnswer msgBox(const std::string& text, BoxStyle style, const std::string& title);
std::string inputBox(const std::string& prompt, const std::string& title);
void setClipboardText(const std::string& text);
void startProcess(const std::string& program, const std::string& commandLine, WindowState windowState);
std::string commandLineText();
std::string exeFolder();
// The executable's full path (exeFolder is its folder), as the table gives it
// and as the system's wide calls take it.
std::string exePath();
std::wstring exePathWide();
[[noreturn]] void endProcess(int exitCode);
void startWatchdog(int seconds, void (*onTimeout)());
uint32_t processId();
RunLevel ownLevel();
std::vector<RunningProcess> processesNamed(const std::vector<std::string>& exeNames);
std::string loadString(int id);
LocalTime localTime();
bool fileExists(const std::string& path);
bool readFile(const std::string& path, std::string& bytes);
bool isReadOnly(const std::string& path);
bool replaceFile(const std::string& path, const std::string& bytes, FileFailure* failure);
bool createFolder(const std::string& path, FileFailure* failure);
std::string userDataFolder(bool askShell);
bool appendFile(const std::string& path, const std::string& bytes);
int64_t fileSize(const std::string& path);
bool renameFile(const std::string& from, const std::string& to);
std::string ansiToUtf8(const std::string& ansi);
std::string utf8ToAnsi(const std::string& utf8, bool* whole);
std::unique_ptr<AutoObject> createObject(const std::string& progId);
std::string classesValue(const std::string& key, RegistryView view);
RegistryValue registryValue(bool machine, const std::string& key, const std::string& name);
// Initialises COM on this thread the first time it is needed.
void ensureCom();
}  // namespace win32

}  // namespace marlet
