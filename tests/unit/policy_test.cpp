// Policies: which value wins, what is ignored, what the form locks, what a save
// writes; the save that compares values, not bytes; the Group Policy template.
#include "settings/policies.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <set>

#include "app/app.h"
#include "main/main.h"
#include "platform/fake/fake_platform.h"
#include "settings/settings_files.h"
#include "ui/options_form.h"
#include "ui/options_controls.h"

using namespace marlet;

namespace {

const std::string kMachine = "C:\\Marlet\\dxqb.ini";
const std::string kUser = "C:\\Users\\ann\\AppData\\Local\\Marlet\\dxqb.ini";
const std::string kFile = "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n";

RegistryValue sz(const std::string& text) { return {RegType::Sz, text, 0}; }
RegistryValue dword(uint32_t n) { return {RegType::Dword, "", n}; }
std::string at(const char* hive, const char* name) { return std::string(hive) + "\\" + kPolicyKey + "\\" + name; }

}  // namespace

TEST(Policy, MachinePolicyThenUserPolicyThenUserFileThenMachineFile) {
    struct Row {
        const char* what;
        std::map<std::string, RegistryValue> values;
        bool userFile, debug;
        std::string dxPath;
        std::vector<std::string> unusable;
    } rows[] = {
        {"machine file", {}, false, false, "C:\\Dx\\", {}},
        {"user file", {}, true, true, "C:\\Mine\\", {}},
        {"user policy, backslash added", {{at("HKCU", "dxPath"), sz("D:\\U")}, {at("HKCU", "debugMode"), dword(0)}},
         true, false, "D:\\U\\", {}},
        {"machine policy", {{at("HKCU", "dxPath"), sz("D:\\U\\")}, {at("HKLM", "dxPath"), sz("D:\\M\\")}}, true,
         true, "D:\\M\\", {}},
        {"unusable machine values: the user policy and the file apply",
         {{at("HKLM", "dxPath"), sz("D:\\M\\\r\nTrue")}, {at("HKCU", "dxPath"), sz("D:\\U\\")},
          {at("HKLM", "debugMode"), dword(2)}, {at("HKCU", "debugMode"), sz("0")}, {at("HKLM", "configPath"), sz("")},
          {at("HKLM", "promptMemo"), {static_cast<RegType>(3), "", 0}}, {at("HKLM", "displayTwain"), {RegType::ExpandSz, "x", 0}}},
         true, true, "D:\\U\\",
         {"policy value HKLM\\SOFTWARE\\Policies\\Marlet\\displayTwain ignored: a REG_EXPAND_SZ, not a REG_DWORD",
          "policy value HKLM\\SOFTWARE\\Policies\\Marlet\\dxPath ignored: the folder holds a line break",
          "policy value HKLM\\SOFTWARE\\Policies\\Marlet\\configPath ignored: an empty folder",
          "policy value HKLM\\SOFTWARE\\Policies\\Marlet\\promptMemo ignored: a registry type 3, not a REG_DWORD",
          "policy value HKLM\\SOFTWARE\\Policies\\Marlet\\debugMode ignored: 2 is not 0 or 1",
          "policy value HKCU\\SOFTWARE\\Policies\\Marlet\\debugMode ignored: a REG_SZ, not a REG_DWORD"}},
    };
    for (const Row& r : rows) {
        fake::World& w = fake::install();
        w.files[kMachine] = kFile;
        if (r.userFile) w.files[kUser] = "False\r\nC:\\Mine\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nTrue\r\n";
        w.values = r.values;
        cmOptions o;
        std::vector<std::string> unusable;
        loadSettings(o, &unusable);
        EXPECT_EQ(o.dxPath + (o.debugMode ? " debug" : ""), r.dxPath + (r.debug ? " debug" : "")) << r.what;
        EXPECT_EQ(unusable, r.unusable) << r.what;
    }
}

// A person who may not replace an unchanged machine file gets no copy, whatever its bytes.
TEST(Policy, TheSaveComparesValuesNotBytes) {
    struct Row {
        const char* what;
        std::string file;
        bool written;
    } rows[] = {
        {"LF line ends, no end to the last line", "False\nC:\\Dx\\\nC:\\Cfg\\\nFalse\nFalse\nFalse", false},
        {"any case, numbers, blanks, lines after the six",
         "false\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFALSE\r\n 0 \r\n&H0\r\nnotes\r\n", false},
        {"a line missing", "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\n", true},
        {"a Boolean that does not read", "False\r\nC:\\Dx\\\r\nC:\\Cfg\\\r\nFalse\r\nmaybe\r\nFalse\r\n", true},
        {"a folder with a blank", "False\r\nC:\\Dx\\ \r\nC:\\Cfg\\\r\nFalse\r\nFalse\r\nFalse\r\n", true},
    };
    for (const Row& r : rows) {
        fake::World& w = fake::install();
        w.files[kMachine] = r.file;
        w.writeFailures["C:\\Marlet"] = fake::accessDenied();
        cmOptions o;
        o.readOptions(kMachine);
        o.dxPath = "C:\\Dx\\";
        EXPECT_FALSE(saveSettings(o)) << r.what;
        EXPECT_EQ(w.files.count(kUser), r.written ? 1u : 0u) << r.what;
        EXPECT_EQ(w.files[kMachine], r.file) << r.what;
    }
}

// The person changes what they may; the file keeps its own line for the rest.
TEST(Policy, TheFormLocksWhatAPolicyGivesAndNoSaveWritesIt) {
    fake::World& w = fake::install();
    w.files[kMachine] = kFile;
    w.values = {{at("HKLM", "dxPath"), sz("P:\\Dx\\")}, {at("HKCU", "debugMode"), dword(1)},
                {at("HKCU", "displayDorvex"), dword(1)}};
    w.onShowOptions = [](OptionsForm& form) {
        std::set<std::string> locked;
        for (const Control& c : kControls)
            if (form.lockedControl(c)) locked.insert(c.name);
        EXPECT_EQ(locked, (std::set<std::string>{"ckDisplayDorvex", "txtDxPath", "cmdBrowseDxPath", "lblDebug"}));
        form.ckDisplayDorvex = false;
        form.txtDxPath = "C:\\Typed\\";
        form.onDebugDoubleClick();
        form.txtConfigPath = "C:\\New";
        form.ckDisplayTwain = true;
        form.onOk();
    };
    w.commandLine = "/options";
    Main();
    EXPECT_EQ(w.files[kMachine], "True\r\nC:\\Dx\\\r\nC:\\New\\\r\nFalse\r\nFalse\r\nFalse\r\n");
    EXPECT_TRUE(gOptions->displayDorvex && gOptions->debugMode);
    EXPECT_EQ(gOptions->dxPath, "P:\\Dx\\");
}

// Each policy of the template is one of Marlet's settings, under Marlet's key,
// of the type Marlet reads, in Marlet's category, with its strings; and each
// setting has one.
TEST(Policy, TheTemplateDefinesEachSettingOnce) {
    pugi::xml_document admx, adml;
    ASSERT_TRUE(admx.load_file(MARLET_SOURCE_DIR "/policies/Marlet.admx"));
    ASSERT_TRUE(adml.load_file(MARLET_SOURCE_DIR "/policies/en-US/Marlet.adml"));
    const std::string ns = "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions";
    pugi::xml_node defs = admx.child("policyDefinitions"), res = adml.child("policyDefinitionResources").child("resources");
    EXPECT_EQ(defs.attribute("xmlns").value() + std::string(adml.first_child().attribute("xmlns").value()), ns + ns);
    EXPECT_TRUE(defs.child("policyNamespaces").child("target") && defs.child("resources").attribute("minRequiredRevision"));
    EXPECT_STREQ(defs.child("categories").child("category").attribute("name").value(), "Marlet");
    auto resource = [&](const pugi::xml_node& p, const char* attribute, const char* table) {
        std::string ref = p.attribute(attribute).value();  // "$(string.id)"
        std::string id = ref.substr(ref.find('.') + 1, ref.size() - ref.find('.') - 2);
        return res.child(table).find_child_by_attribute("id", id.c_str());
    };
    std::multiset<std::string> named, expected;
    for (const Setting& s : kSettings) expected.insert(s.name);
    for (pugi::xml_node p : defs.child("policies").children("policy")) {
        std::string name = p.attribute("name").value();
        named.insert(name);
        EXPECT_EQ(p.attribute("key").value() + std::string(p.child("parentCategory").attribute("ref").value()),
                  kPolicyKey + std::string("Marlet")) << name;
        EXPECT_FALSE(resource(p, "displayName", "stringTable").text().empty()) << name;
        EXPECT_FALSE(resource(p, "explainText", "stringTable").text().empty()) << name;
        const Setting* s = std::find_if(std::begin(kSettings), std::end(kSettings), [&](auto& e) { return name == e.name; });
        ASSERT_NE(s, std::end(kSettings)) << name << " is no setting of Marlet's";
        pugi::xml_node text = p.child("elements").child("text");
        if (s->kind == SettingKind::Boolean) {  // a REG_DWORD 1 or 0
            EXPECT_EQ(p.attribute("valueName").value() + std::string(p.child("elements") ? "+elements" : ""), name);
            EXPECT_STREQ(p.child("enabledValue").child("decimal").attribute("value").value(), "1") << name;
            EXPECT_STREQ(p.child("disabledValue").child("decimal").attribute("value").value(), "0") << name;
        } else {  // one REG_SZ under the policy's key, in a text box
            EXPECT_EQ(text.attribute("valueName").value(), name);
            EXPECT_TRUE(!p.attribute("valueName") && !text.next_sibling() && !text.attribute("key") &&
                        !text.attribute("expandable").as_bool()) << name;
            EXPECT_STREQ(resource(p, "presentation", "presentationTable").child("textBox").attribute("refId").value(),
                         text.attribute("id").value()) << name;
        }
    }
    EXPECT_EQ(named, expected);
}
