#include "settings/options.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

using namespace marlet;

namespace {

const std::string kFile = "C:\\Marlet\\dxqb.ini";

struct OptionsTest : ::testing::Test {
    fake::World& w = fake::install();
    cmOptions o;
};

bool isDefault(const cmOptions& o) {
    return !o.displayTwain && o.dxPath.empty() && o.configPath.empty() && !o.displayDorvex &&
           !o.promptMemo && !o.debugMode;
}

}  // namespace

TEST_F(OptionsTest, NoFileIsNeitherReadNorCreated) {
    o.readOptions(kFile);
    EXPECT_TRUE(isDefault(o));
    o.dxPath = "C:\\Dx\\";
    o.writeOptions(kFile);
    EXPECT_TRUE(w.files.empty());
}

TEST_F(OptionsTest, EmptyFileChangesNothingAndIsFilledOnWrite) {
    w.files[kFile] = "";
    o.readOptions(kFile);
    EXPECT_TRUE(isDefault(o));
    o.writeOptions(kFile);
    EXPECT_EQ(w.files[kFile], "False\r\n\r\n\r\nFalse\r\nFalse\r\nFalse\r\n");
}

TEST_F(OptionsTest, ShortFileSetsOnlyTheLinesItHas) {
    o.promptMemo = true;
    w.files[kFile] = "True\r\n  C:\\Dorvex \\ \r\nD:\\cfg\\\r\n";
    o.readOptions(kFile);
    EXPECT_TRUE(o.displayTwain);
    EXPECT_EQ(o.dxPath, "  C:\\Dorvex \\ ");  // blanks kept
    EXPECT_EQ(o.configPath, "D:\\cfg\\");
    EXPECT_FALSE(o.displayDorvex);
    EXPECT_TRUE(o.promptMemo);  // untouched
}

TEST_F(OptionsTest, BooleanLinesFollowTheClassicConversion) {
    // line 1..: TRUE, path, path, true, -1, 0 ; then yes/empty leave values alone
    w.files[kFile] = "TRUE\r\na\r\nb\r\ntrue\r\n-1\r\n0\r\nextra line\r\n";
    o.debugMode = true;
    o.readOptions(kFile);
    EXPECT_TRUE(o.displayTwain && o.displayDorvex && o.promptMemo);
    EXPECT_FALSE(o.debugMode);

    cmOptions kept;
    kept.displayTwain = true;
    kept.displayDorvex = false;
    w.files[kFile] = "yes\r\n\r\n\r\n\r\nFaLsE\r\n2.5";
    kept.readOptions(kFile);
    EXPECT_TRUE(kept.displayTwain);    // "yes" is no Boolean
    EXPECT_FALSE(kept.displayDorvex);  // empty line is no Boolean
    EXPECT_EQ(kept.dxPath, "");        // an empty text line is a value
    EXPECT_FALSE(kept.promptMemo);
    EXPECT_TRUE(kept.debugMode);       // last line without a line end, a number
}

TEST(TextToBoolean, Words) {
    EXPECT_EQ(textToBoolean("True"), true);
    EXPECT_EQ(textToBoolean("fALSE"), false);
    EXPECT_EQ(textToBoolean(" 0 "), false);
    EXPECT_EQ(textToBoolean("&HFF"), true);
    EXPECT_EQ(textToBoolean("0.0"), false);
    EXPECT_EQ(textToBoolean("1e2"), true);
    EXPECT_EQ(textToBoolean("Truex"), std::nullopt);
    EXPECT_EQ(textToBoolean("-"), std::nullopt);
    EXPECT_EQ(textToBoolean("1e"), std::nullopt);
    EXPECT_EQ(textToBoolean("Ja"), std::nullopt);
}

TEST_F(OptionsTest, RoundTrip) {
    w.files[kFile] = "";
    o.displayTwain = true;
    o.dxPath = " C:\\Program Files\\Dx\\ ";
    o.configPath = "\\\\server\\share\\";
    o.promptMemo = true;
    o.writeOptions(kFile);
    cmOptions back;
    back.readOptions(kFile);
    EXPECT_EQ(back.toText(), o.toText());
}

TEST_F(OptionsTest, ReadOnlyFileIsLeftUntouched) {
    w.files[kFile] = "True\r\nold\r\n";
    w.readOnly.insert(kFile);
    o.writeOptions(kFile);
    EXPECT_EQ(w.files[kFile], "True\r\nold\r\n");
}
