#pragma once
#include <optional>
#include <string>
#include <vector>

namespace marlet {

struct Setting;

// Marlet's six user settings and their six-line ANSI file.
class cmOptions {
public:
    bool displayTwain = false;
    std::string dxPath;
    std::string configPath;
    bool displayDorvex = false;
    bool promptMemo = false;
    bool debugMode = false;

    // The settings an administrator's policy gives (settings/policies.h), one
    // bit each (policyBit): the person may not change them, and no save writes
    // their value into a file.
    unsigned fromPolicy = 0;
    bool byPolicy(const Setting& s) const;

    // Both never fail: a step that cannot be done is skipped.
    void readOptions(const std::string& filePath);
    void writeOptions(const std::string& filePath) const;

    // Takes the settings a file's content holds, each line that can be read;
    // true when every setting had its line and each Boolean line read.
    bool readText(const std::string& bytes);

    // The file's content as it would be written (UTF-8, CR LF line ends).
    std::string toText() const;
};

// The class scripts create for an options record.
constexpr const char* kOptionsProgID = "Marlet.cmOptions";

enum class SettingKind { Boolean, Text };

// One setting: its line in the file (from 1), its kind, the name scripts use for
// it on Marlet.cmOptions and an administrator's policy gives its value under
// (a Boolean as a REG_DWORD 0 or 1, a text as a REG_SZ), and the record's
// member that holds it.
struct Setting {
    int line;
    SettingKind kind;
    const char* name;
    bool cmOptions::*flag = nullptr;          // a Boolean setting
    std::string cmOptions::*text = nullptr;   // a text setting
};

// The six settings, in the order of the record, the file and the automation object.
inline constexpr Setting kSettings[] = {
    {.line = 1, .kind = SettingKind::Boolean, .name = "displayTwain", .flag = &cmOptions::displayTwain},
    {.line = 2, .kind = SettingKind::Text, .name = "dxPath", .text = &cmOptions::dxPath},
    {.line = 3, .kind = SettingKind::Text, .name = "configPath", .text = &cmOptions::configPath},
    {.line = 4, .kind = SettingKind::Boolean, .name = "displayDorvex", .flag = &cmOptions::displayDorvex},
    {.line = 5, .kind = SettingKind::Boolean, .name = "promptMemo", .flag = &cmOptions::promptMemo},
    {.line = 6, .kind = SettingKind::Boolean, .name = "debugMode", .flag = &cmOptions::debugMode},
};

constexpr unsigned policyBit(const Setting& s) { return 1u << (s.line - 1); }
inline bool cmOptions::byPolicy(const Setting& s) const { return (fromPolicy & policyBit(s)) != 0; }

// Characters a value cannot hold, and why ("holds ...").
struct BannedCharacters {
    const char* chars;
    const char* why;
};

// A line of the file ends at LF or CR LF (splitLines): a text setting holding
// either would shift the settings after it, so none may hold them.
inline constexpr BannedCharacters kLineBreaks = {.chars = "\r\n", .why = "holds a line break"};

// Why a text cannot be written into the file when the system's ANSI code page,
// in which the file is read, cannot hold one of its characters (no best fit:
// not even a look-alike). Only Windows can tell (Platform::utf8ToAnsi).
inline constexpr const char* kNotInCodePage = "holds a character that this Windows' code page cannot hold";

// The classic text-to-Boolean conversion: "True"/"False" in any case, or a
// number (zero false, anything else true). Anything else has no value.
std::optional<bool> textToBoolean(const std::string& text);

// The lines of the settings file as Marlet reads them: ended by LF or CR LF,
// without their end.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace marlet
