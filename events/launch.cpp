#include "events/launch.h"

#include "app/app.h"
#include "app/log.h"
#include "platform/platform.h"

namespace marlet {

std::string dorvexExePath() { return gOptions->dxPath + kDorvexExe; }

std::string scanCommandLine(const std::string& entityName, const std::string& txnType,
                            const std::string& refNumber, const std::string& memo) {
    const cmOptions& o = *gOptions;
    std::string line = dorvexExePath() + " /c:\"" + o.configPath;
    if (txnType.empty())
        line += std::string(kScanNoTxnConfig) + "\" /1:\"" + entityName + "\" /4:\"" + memo + "\"";
    else
        line += std::string(kScanConfig) + "\" /1:\"" + entityName + "\" /2:\"" + txnType + "\" /3:\"" + refNumber +
                "\" /4:\"" + memo + "\"";
    if (o.displayTwain) line += " /s";
    if (o.displayDorvex) line += " /m";
    return line;
}

std::string retrieveCommandLine(const std::string& entityName, const std::string& txnType,
                                const std::string& refNumber, const std::string& memo) {
    const cmOptions& o = *gOptions;
    std::string line = dorvexExePath() + " /c:\"" + o.configPath + kRetrieveConfig + "\"";
    const std::string* values[] = {&entityName, &txnType, &refNumber, &memo};
    for (int i = 0; i < 4; i++)
        if (!values[i]->empty()) line += " /" + std::to_string(i + 1) + ":\"" + *values[i] + "\"";
    return line;
}

// The program is named exactly (dorvexExePath()), so a folder with blanks
// cannot make the system start some other program; the line itself stays as composed.
static void launch(const std::string& commandLine) {
    const Platform& p = platform();
    if (gOptions->debugMode) {
        p.setClipboardText(commandLine);
        MsgBox("The command line below has been place on the clipboard and will be executed "
               "when you click 'OK': \r\n\r\n" + commandLine);
    }
    std::string program = dorvexExePath();
    logLine("starting " + program + " with: " + commandLine);
    p.startProcess(program, commandLine, kNormalFocus);
}

void launchScan(const std::string& entityName, const std::string& txnType,
                const std::string& refNumber, const std::string& memo) {
    launch(scanCommandLine(entityName, txnType, refNumber, memo));
}

void launchRetrieve(const std::string& entityName, const std::string& txnType,
                    const std::string& refNumber, const std::string& memo) {
    launch(retrieveCommandLine(entityName, txnType, refNumber, memo));
}

}  // namespace marlet
