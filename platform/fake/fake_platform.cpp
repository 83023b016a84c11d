#include "platform/fake/fake_platform.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/process_state.h"

namespace marlet::fake {

static World* gWorld = nullptr;

World& world() { return *gWorld; }

template <class T>
static T pop(std::deque<T>& q, T otherwise) {
    if (q.empty()) return otherwise;
    T v = q.front();
    q.pop_front();
    return v;
}

static bool hasFolder(const std::string& path) { return path.find('\\') != std::string::npos; }

FileFailure accessDenied() { return {.accessDenied = true, .code = 5, .reason = "Access is denied."}; }
FileFailure diskFull() { return {.accessDenied = false, .code = 112, .reason = "There is not enough space on the disk."}; }

// The scripted failure for writing `path`: its own, or its folder's or a parent's.
static const FileFailure* writeFailure(const std::string& path) {
    for (const auto& [where, failure] : world().writeFailures)
        if (path == where || path.rfind(where + "\\", 0) == 0) return &failure;
    return nullptr;
}

static bool fail(FileFailure* out, const FileFailure& failure) {
    if (out) *out = failure;
    return false;
}

static const Platform kFake = {
    .msgBox = [](const std::string& text, BoxStyle style, const std::string& title) {
        World& w = world();
        w.boxes.push_back({text, style, title});
        w.clipboardAtLastBox = w.clipboard;
        w.log.push_back("msgBox " + title);
        if (w.whileBoxUp) w.whileBoxUp();
        return pop(w.boxAnswers, BoxAnswer::Ok);
    },
    .inputBox = [](const std::string& prompt, const std::string& title) {
        World& w = world();
        w.inputs.push_back({prompt, title});
        w.log.push_back("inputBox " + title);
        if (w.whileBoxUp) w.whileBoxUp();
        std::string answer = pop(w.inputAnswers, std::string("\x18"));
        return answer == "\x18" ? std::string() : answer;
    },
    .setClipboardText = [](const std::string& text) {
        World& w = world();
        if (w.clipboardLocked) throw Error(kErrClipboard, "Can't open Clipboard");
        w.clipboard = text;
        w.clipboardWrites++;
        w.log.push_back("clipboard");
    },
    .browseForFolder = [](void*, const std::string& prompt) {
        World& w = world();
        w.browsePrompts.push_back(prompt);
        return pop(w.folderAnswers, std::string());
    },
    .scannerAvailable = [] { return world().scanner; },
    .selectScanner = [](void*) {
        world().log.push_back("selectScanner");
        if (world().onSelectScanner) world().onSelectScanner();
    },
    .startProcess = [](const std::string& program, const std::string& commandLine, WindowState windowState) {
        World& w = world();
        bool found = hasFolder(program) ? w.programs.count(program) > 0
                                        : w.programs.count("PATH\\" + program) > 0;
        w.log.push_back("start " + program);
        if (!found) throw Error(kErrFileNotFound, "File not found");
        w.started.push_back({program, commandLine, windowState});
    },
    .commandLineText = [] { return world().commandLine; },
    .exeFolder = [] { return world().exeFolder; },
    .exePath = [] { return world().exeFolder + "\\marlet.exe"; },
    .endProcess = [](int exitCode) -> void {
        world().log.push_back("endProcess");
        world().exitCode = exitCode;
        throw ProcessEnded{};
    },
    .startWatchdog = [](int seconds, void (*onTimeout)()) {
        world().watchdogSeconds = seconds;
        world().onTimeout = onTimeout;
    },
    .processId = [] { return uint32_t(4242); },
    .ownLevel = [] { return world().ownLevel; },
    .processesNamed = [](const std::vector<std::string>& exeNames) {
        std::vector<RunningProcess> found;
        for (const World::Process& p : world().processes)
            if (std::find(exeNames.begin(), exeNames.end(), p.exe) != exeNames.end())
                found.push_back({p.callersSession, p.level});
        return found;
    },
    .loadString = [](int id) {
        auto it = world().strings.find(id);
        return it == world().strings.end() ? std::string() : it->second;
    },
    .localTime = [] { return world().now; },
    .fileExists = [](const std::string& path) { return world().files.count(path) > 0; },
    .readFile = [](const std::string& path, std::string& bytes) {
        auto it = world().files.find(path);
        if (it == world().files.end()) return false;
        bytes = it->second;
        return true;
    },
    .isReadOnly = [](const std::string& path) { return world().readOnly.count(path) > 0; },
    .replaceFile = [](const std::string& path, const std::string& bytes, FileFailure* failure) {
        World& w = world();
        w.log.push_back("replaceFile " + path);
        if (w.readOnly.count(path)) return fail(failure, accessDenied());
        if (const FileFailure* f = writeFailure(path)) return fail(failure, *f);
        w.files[path] = bytes;
        return true;
    },
    .createFolder = [](const std::string& path, FileFailure* failure) {
        World& w = world();
        w.log.push_back("createFolder " + path);
        if (const FileFailure* f = writeFailure(path)) return fail(failure, *f);
        w.folders.insert(path);
        return true;
    },
    .userDataFolder = [](bool askShell) {
        World& w = world();
        if (!w.localAppData.empty() || !askShell) return w.localAppData;
        w.log.push_back("shell");
        return w.shellLocalAppData;
    },
    .appendFile = [](const std::string& path, const std::string& bytes) {
        World& w = world();
        size_t slash = path.rfind('\\');
        if (writeFailure(path) || slash == std::string::npos || !w.folders.count(path.substr(0, slash)))
            return false;
        w.files[path] += bytes;
        return true;
    },
    .fileSize = [](const std::string& path) {
        auto it = world().files.find(path);
        return it == world().files.end() ? int64_t(-1) : static_cast<int64_t>(it->second.size());
    },
    .renameFile = [](const std::string& from, const std::string& to) {
        World& w = world();
        auto it = w.files.find(from);
        if (it == w.files.end() || writeFailure(to)) return false;
        w.files[to] = it->second;
        w.files.erase(from);
        return true;
    },
    // The fake's ANSI is UTF-8 itself.
    .ansiToUtf8 = [](const std::string& s) { return s; },
    .utf8ToAnsi =
        [](const std::string& s, bool* whole) {
            if (whole)
                *whole = std::none_of(world().notInCodePage.begin(), world().notInCodePage.end(),
                                      [&](const std::string& c) { return s.find(c) != std::string::npos; });
            return s;
        },
    .createObject = [](const std::string& progId) -> std::unique_ptr<AutoObject> {
        World& w = world();
        w.log.push_back("createObject " + progId);
        auto it = w.classes.find(progId);
        if (it == w.classes.end()) throw Error(kHrClassNotRegistered, "Invalid class string");
        return it->second();
    },
    .classesValue = [](const std::string& key, RegistryView view) {
        const auto& keys = world().registry[view];
        auto it = keys.find(key);
        return it == keys.end() ? std::string() : it->second;
    },
    .registryValue = [](bool machine, const std::string& key, const std::string& name) {
        const auto& values = world().values;
        auto it = values.find(std::string(machine ? "HKLM\\" : "HKCU\\") + key + "\\" + name);
        return it == values.end() ? RegistryValue() : it->second;
    },
};

World& install() {
    static World storage;
    // Every piece of process state as a fresh marlet.exe has it; what goes
    // (the file tools) still sees the world it was made in.
    resetProcessState();
    storage = World();
    gWorld = &storage;
    gPlatform = &kFake;
    return storage;
}

}  // namespace marlet::fake
