#include "app/log.h"

#include <cstdio>

#include "platform/platform.h"
#include "platform/process_state.h"
#include "settings/settings_files.h"

namespace marlet {

static bool gLogging;
static void freshLog() { gLogging = false; }
static const ProcessStateOwner kLogState(freshLog);
constexpr int64_t kLogLimit = 1024 * 1024;

std::string logFilePath() {
    std::string folder = userMarletFolder();
    return folder.empty() ? std::string() : folder + "\\marlet.log";
}

void enableLog(bool on) { gLogging = on; }

// One step, one line: line breaks inside the text are shown as " | ".
static std::string oneLine(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') i++;
            out += " | ";
        } else {
            out += text[i];
        }
    }
    return out;
}

void logLine(const std::string& text) {
    if (!gLogging) return;
    try {
        const Platform& p = platform();
        std::string path = logFilePath();
        if (path.empty()) return;
        LocalTime t = p.localTime();
        char stamp[48];
        std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d [%u] ", t.year, t.month, t.day,
                      t.hour, t.minute, t.second, static_cast<unsigned>(p.processId()));
        std::string line = stamp + oneLine(text) + "\r\n";
        int64_t size = p.fileSize(path);
        if (size > 0 && size + static_cast<int64_t>(line.size()) > kLogLimit) p.renameFile(path, path + ".1");
        if (!p.appendFile(path, line) && p.createFolder(userMarletFolder(), nullptr)) p.appendFile(path, line);
    } catch (...) {
        // The log is a witness, never a party: its failure is nobody's business.
    }
}

}  // namespace marlet
