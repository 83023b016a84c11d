#include "events/launch.h"

#include "app/app.h"
#include "app/log.h"
#include "platform/platform.h"

namespace marlet {

std::string scanCommandLine(const cmOptions& options, const DorvexJob& job) {
    std::string line = dorvexExePath(options) + " /c:\"" + options.configPath;
    if (job.txnType.empty())
        line += std::string(kScanNoTxnConfig) + "\" /1:\"" + job.entityName + "\" /4:\"" + job.memo + "\"";
    else
        line += std::string(kScanConfig) + "\" /1:\"" + job.entityName + "\" /2:\"" + job.txnType + "\" /3:\"" +
                job.refNumber + "\" /4:\"" + job.memo + "\"";
    if (options.displayTwain) line += " /s";
    if (options.displayDorvex) line += " /m";
    return line;
}

std::string retrieveCommandLine(const cmOptions& options, const DorvexJob& job) {
    std::string line = dorvexExePath(options) + " /c:\"" + options.configPath + kRetrieveConfig + "\"";
    const std::string* values[] = {&job.entityName, &job.txnType, &job.refNumber, &job.memo};
    for (int i = 0; i < 4; i++)
        if (!values[i]->empty()) line += " /" + std::to_string(i + 1) + ":\"" + *values[i] + "\"";
    return line;
}

// The program is named exactly (dorvexExePath), so a folder with blanks
// cannot make the system start some other program; the line itself stays as composed.
static void launch(const cmOptions& options, const std::string& commandLine) {
    const Platform& p = platform();
    if (options.debugMode) {
        p.setClipboardText(commandLine);
        msgBox("The command line below has been place on the clipboard and will be executed "
               "when you click 'OK': \r\n\r\n" + commandLine);
    }
    std::string program = dorvexExePath(options);
    logLine("starting " + program + " with: " + commandLine);
    p.startProcess(program, commandLine, WindowState::NormalFocus);
}

void launchScan(const cmOptions& options, const DorvexJob& job) { launch(options, scanCommandLine(options, job)); }

void launchRetrieve(const cmOptions& options, const DorvexJob& job) {
    launch(options, retrieveCommandLine(options, job));
}

}  // namespace marlet
