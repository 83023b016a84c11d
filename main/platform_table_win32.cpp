// The Win32 platform table: the platform's own functions (platform/win32) and
// the shell's folder browser and the scanner's dialog (ui/).
#include "main/platform_table_win32.h"

#include "platform/win32/platform_win32.h"
#include "ui/dialogs_win32.h"

namespace marlet {

const Platform kWin32Platform = {
    .msgBox = win32::msgBox,
    .inputBox = win32::inputBox,
    .setClipboardText = win32::setClipboardText,
    .browseForFolder = win32::browseForFolder,
    .scannerAvailable = win32::scannerAvailable,
    .selectScanner = win32::selectScanner,
    .startProcess = win32::startProcess,
    .commandLineText = win32::commandLineText,
    .exeFolder = win32::exeFolder,
    .exePath = win32::exePath,
    .endProcess = win32::endProcess,
    .startWatchdog = win32::startWatchdog,
    .processId = win32::processId,
    .ownLevel = win32::ownLevel,
    .processesNamed = win32::processesNamed,
    .loadString = win32::loadString,
    .localTime = win32::localTime,
    .fileExists = win32::fileExists,
    .readFile = win32::readFile,
    .isReadOnly = win32::isReadOnly,
    .replaceFile = win32::replaceFile,
    .createFolder = win32::createFolder,
    .userDataFolder = win32::userDataFolder,
    .appendFile = win32::appendFile,
    .fileSize = win32::fileSize,
    .renameFile = win32::renameFile,
    .ansiToUtf8 = win32::ansiToUtf8,
    .utf8ToAnsi = win32::utf8ToAnsi,
    .createObject = win32::createObject,
    .classesValue = win32::classesValue,
    .registryValue = win32::registryValue,
};

}  // namespace marlet
