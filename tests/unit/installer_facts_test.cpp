// What the installers are built with against the product's own tables: the
// NSIS include, run as makensis and the installer would run it, writes the
// file the product writes and refuses the folders the packages refuse; the
// class ids the COM server registers are read as the registry shows them.
#include "installer/facts/installer_facts.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "com/com_classes.h"
#include "installer/facts/new_settings.h"

using namespace marlet;

namespace {

// The body of `!macro name a b ...` in the include, each parameter given its value.
std::vector<std::string> macro(const std::string& name, const std::vector<std::string>& values,
                               std::map<std::string, std::string>& parameters) {
    std::istringstream include(installer::nsisInclude());
    std::vector<std::string> body;
    bool inside = false;
    for (std::string line; std::getline(include, line);) {
        if (line.rfind("!macro " + name + " ", 0) == 0) {
            std::istringstream words(line.substr(8 + name.size()));
            for (const std::string& value : values) {
                std::string word;
                words >> word;
                parameters[word] = value;
            }
            std::string extra;
            EXPECT_FALSE(words >> extra) << line;
            inside = true;
        } else if (line == "!macroend") {
            inside = false;
        } else if (inside) {
            body.push_back(line);
        }
    }
    EXPECT_FALSE(body.empty()) << name;
    return body;
}

// The text of the NSIS string in double quotes that ends `line`, as the
// installer has it when it runs: ${parameter} replaced, $-escapes undone.
std::string nsisString(const std::string& line, const std::map<std::string, std::string>& parameters) {
    const size_t open = line.find('"');
    if (open == std::string::npos || line.back() != '"') throw std::runtime_error("no string: " + line);
    const std::string quoted = line.substr(open + 1, line.size() - open - 2);
    std::string text;
    for (size_t i = 0; i < quoted.size(); i++) {
        if (quoted[i] != '$') {
            if (quoted[i] == '"') throw std::runtime_error("unescaped quote: " + line);
            text += quoted[i];
        } else if (quoted.compare(i, 2, "${") == 0) {
            size_t end = quoted.find('}', i);
            text += parameters.at(quoted.substr(i + 2, end - i - 2));
            i = end;
        } else if (quoted.compare(i, 2, "$$") == 0) {
            text += '$', i++;
        } else if (quoted.compare(i, 2, "$\\") == 0 && i + 2 < quoted.size()) {
            const std::map<char, char> escapes = {{'r', '\r'}, {'n', '\n'}, {'t', '\t'}, {'"', '"'}};
            text += escapes.at(quoted[i + 2]), i += 2;
        } else {
            throw std::runtime_error("a variable the installer does not give: " + line);
        }
    }
    return text;
}

}  // namespace

TEST(InstallerFacts, NewSettingsMacroWritesWhatTheProductWritesForThoseFolders) {
    cmOptions product;
    product.dxPath = "C:\\Program Files\\Dorvex $1 \"x\"\\";
    product.configPath = "";
    std::map<std::string, std::string> parameters;
    std::string written;
    for (const std::string& line :
         macro("WriteNewSettings", {"$0", product.dxPath, product.configPath}, parameters)) {
        ASSERT_EQ(line.rfind("  FileWrite ${handle} \"", 0), 0u) << line;
        written += nsisString(line, parameters);
    }
    EXPECT_EQ(written, product.toText());
    EXPECT_EQ(installer::newSettingsText(product.dxPath, product.configPath), product.toText());
}

TEST(InstallerFacts, FolderCheckRefusesWhatThePackagesRefuseWithTheirWords) {
    for (char c : std::string("\r\n|$\"a\\")) {
        std::map<std::string, std::string> parameters;
        std::vector<std::string> body = macro("FolderCharacterFault", {std::string(1, c), ""}, parameters);
        // Branches of ${If}/${ElseIf} ${char} S== "x" (more by ${OrIf}), each one StrCpy.
        std::string why;
        bool matched = false;
        for (const std::string& line : body) {
            if (line.find("${char} S== ") != std::string::npos) {
                if (line.find("${OrIf}") == std::string::npos) matched = false;
                matched = matched || nsisString(line, parameters) == std::string(1, c);
            } else if (line.find("StrCpy ${why} ") != std::string::npos && matched) {
                why = nsisString(line, parameters);
                break;
            }
        }
        const std::string expected = installer::folderFault(std::string(1, c));
        EXPECT_EQ(why, expected.empty() ? "" : "it " + expected) << static_cast<int>(c);
    }
    EXPECT_EQ(installer::folderFault("C:\\a|b\r\n"), "holds a line break");
}

TEST(InstallerFacts, ClassIdsAreReadOnlyInTheRegistrysOwnForm) {
    const com::GuidNumbers g = com::guidNumbers("{15B42DA8-7878-4EE2-B4B7-1A9BE5C3D21B}");
    EXPECT_EQ(g.data1, 0x15B42DA8u);
    EXPECT_EQ(g.data2, 0x7878u);
    EXPECT_EQ(g.data3, 0x4EE2u);
    const std::uint8_t data4[8] = {0xB4, 0xB7, 0x1A, 0x9B, 0xE5, 0xC3, 0xD2, 0x1B};
    EXPECT_TRUE(std::equal(std::begin(data4), std::end(data4), g.data4));
    for (const char* bad : {"{15b42da8-7878-4ee2-b4b7-1a9be5c3d21b}", "15B42DA8-7878-4EE2-B4B7-1A9BE5C3D21B",
                            "{15B42DA8-7878-4EE2-B4B7-1A9BE5C3D21B}x", "{15B42DA8-7878-4EE2-B4B71A9BE5C3D21B}", ""})
        EXPECT_THROW(com::guidNumbers(bad), std::invalid_argument) << bad;
}
