// The scanner, through the TWAIN data source manager of the system: TWAINDSM.dll
// where a scanner's software installed it, else the twain_32.dll that Windows
// (and Wine) ship. No manager at all means no scanner.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/win32/win32_util.h"
#include "ui/dialogs_win32.h"

namespace marlet::win32 {

namespace {

// The few TWAIN 1.x structures and codes used here; TWAIN packs on 2 bytes.
#pragma pack(push, 2)
struct TwVersion {
    uint16_t majorNum, minorNum, language, country;
    char info[34];
};
struct TwIdentity {
    uint32_t id;
    TwVersion version;
    uint16_t protocolMajor, protocolMinor;
    uint32_t supportedGroups;
    char manufacturer[34], productFamily[34], productName[34];
};
struct TwStatus {
    uint16_t conditionCode, reserved;
};
#pragma pack(pop)

using DsmEntry = uint16_t(WINAPI*)(TwIdentity* origin, TwIdentity* destination, uint32_t group,
                                   uint16_t argumentType, uint16_t message, void* data);

enum : uint32_t { DG_CONTROL = 1, DG_IMAGE = 2 };
enum : uint16_t { DAT_IDENTITY = 3, DAT_PARENT = 4, DAT_STATUS = 8 };  // argument types
enum : uint16_t { MSG_GET = 1, MSG_GETFIRST = 4, MSG_OPENDSM = 0x301, MSG_CLOSEDSM = 0x302, MSG_USERSELECT = 0x403 };
enum : uint16_t { TWRC_SUCCESS = 0, TWRC_CANCEL = 3 };  // return codes
enum : uint16_t { TWLG_USA = 13, TWCY_USA = 1 };        // language and country

HMODULE loadManager() {
    HMODULE m = LoadLibraryExW(L"TWAINDSM.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!m) m = LoadLibraryExW(L"twain_32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!m) {
        wchar_t windows[MAX_PATH];
        UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
        if (n && n < MAX_PATH - 16) m = LoadLibraryW((std::wstring(windows) + L"\\twain_32.dll").c_str());
    }
    return m;
}

std::string conditionText(uint16_t code) {
    switch (code) {
    case 1: return "Failure due to unknown causes";
    case 2: return "Not enough memory to perform operation";
    case 3: return "No Data Source";
    case 4: return "The Data Source is connected to the maximum possible number of applications";
    case 5: return "The Data Source or the Source Manager reported an error";
    case 9: return "Unrecognized operation";
    case 11: return "Operation out of expected sequence";
    default: return "TWAIN condition code " + std::to_string(code);
    }
}

// One session with the source manager: opened on `parent`, closed at the end.
class SourceManager {
public:
    explicit SourceManager(HWND parent) : parent_(parent) {
        app_.version.majorNum = 1;
        app_.version.language = TWLG_USA;
        app_.version.country = TWCY_USA;
        std::strcpy(app_.version.info, "1.0");
        app_.protocolMajor = 1;
        app_.protocolMinor = 9;
        app_.supportedGroups = DG_CONTROL | DG_IMAGE;
        std::strcpy(app_.manufacturer, "Marlet");
        std::strcpy(app_.productFamily, "Marlet");
        std::strcpy(app_.productName, "Marlet");
        module_ = loadManager();
        if (module_) entry_ = reinterpret_cast<DsmEntry>(reinterpret_cast<void*>(GetProcAddress(module_, "DSM_Entry")));
        open_ = entry_ && entry_(&app_, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent_) == TWRC_SUCCESS;
    }
    ~SourceManager() {
        if (open_) entry_(&app_, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent_);
        if (module_) FreeLibrary(module_);
    }
    SourceManager(const SourceManager&) = delete;
    SourceManager& operator=(const SourceManager&) = delete;

    bool open() const { return open_; }
    uint16_t identity(uint16_t message, TwIdentity& source) {
        return entry_(&app_, nullptr, DG_CONTROL, DAT_IDENTITY, message, &source);
    }
    Error failure(const std::string& what) {
        TwStatus status = {};
        uint16_t code = 1;
        if (entry_ && entry_(&app_, nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status) == TWRC_SUCCESS)
            code = status.conditionCode;
        return Error(kErrInvalidProcedure, what + ": " + conditionText(code));
    }

private:
    HWND parent_;
    TwIdentity app_ = {};
    HMODULE module_ = nullptr;
    DsmEntry entry_ = nullptr;
    bool open_ = false;
};

HWND parentWindow(void* owner) {
    HWND w = static_cast<HWND>(owner);
    if (!w) w = GetActiveWindow();
    return w ? w : GetDesktopWindow();
}

}  // namespace

// A scanner is there when the manager can name a first data source.
bool scannerAvailable() {
    SourceManager manager(parentWindow(nullptr));
    if (!manager.open()) return false;
    TwIdentity source = {};
    return manager.identity(MSG_GETFIRST, source) == TWRC_SUCCESS;
}

// The manager's own selection dialog. The choice is the manager's to keep.
void selectScanner(void* ownerWindow) {
    SourceManager manager(parentWindow(ownerWindow));
    if (!manager.open()) throw manager.failure("The TWAIN Source Manager could not be opened");
    TwIdentity source = {};
    uint16_t result = manager.identity(MSG_USERSELECT, source);
    if (result != TWRC_SUCCESS && result != TWRC_CANCEL)
        throw manager.failure("The scanner could not be selected");
}

}  // namespace marlet::win32
