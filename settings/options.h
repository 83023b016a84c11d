#pragma once
#include <optional>
#include <string>

namespace marlet {

// Marlet's six user settings and their six-line ANSI file.
class cmOptions {
public:
    bool displayTwain = false;
    std::string dxPath;
    std::string configPath;
    bool displayDorvex = false;
    bool promptMemo = false;
    bool debugMode = false;

    // Both never fail: a step that cannot be done is skipped.
    void readOptions(const std::string& filePath);
    void writeOptions(const std::string& filePath) const;

    // The file's content as it would be written (UTF-8, CR LF line ends).
    std::string toText() const;
};

// The classic text-to-Boolean conversion: "True"/"False" in any case, or a
// number (zero false, anything else true). Anything else has no value.
std::optional<bool> textToBoolean(const std::string& text);

}  // namespace marlet
