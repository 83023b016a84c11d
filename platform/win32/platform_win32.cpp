#include "platform/win32/platform_win32.h"

#include "ui/dialogs_win32.h"

namespace marlet {

const Platform kWin32Platform = {
    win32::msgBox,
    win32::inputBox,
    win32::setClipboardText,
    win32::showOptionsDialog,
    win32::browseForFolder,
    win32::scannerAvailable,
    win32::selectScanner,
    win32::startProcess,
    win32::commandLineText,
    win32::exeFolder,
    win32::endProcess,
    win32::loadString,
    win32::localTime,
    win32::fileExists,
    win32::readFile,
    win32::replaceFile,
    win32::ansiToUtf8,
    win32::utf8ToAnsi,
    win32::createObject,
};

}  // namespace marlet
