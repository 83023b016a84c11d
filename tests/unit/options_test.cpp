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

}  // namespace

TEST_F(OptionsTest, NoFileIsNeitherReadNorCreated) {
    o.readOptions(kFile);
    EXPECT_EQ(o.toText(), "False\r\n\r\n\r\nFalse\r\nFalse\r\nFalse\r\n");
    o.dxPath = "C:\\Dx\\";
    o.writeOptions(kFile);
    EXPECT_TRUE(w.files.empty());
}

TEST_F(OptionsTest, EachLineThatReadsSetsItsOptionTheOthersKeepTheirs) {
    struct Row {
        const char* file;
        const char* before;  // the record as toText gives it
        const char* after;
    };
    const char* kAllTrue = "True\r\na\r\nb\r\nTrue\r\nTrue\r\nTrue\r\n";
    const char* kAllFalse = "False\r\na\r\nb\r\nFalse\r\nFalse\r\nFalse\r\n";
    const Row rows[] = {
        {"", kAllTrue, kAllTrue},
        {"False\r\n  C:\\Dorvex \\ \r\nD:\\cfg\\\r\n", kAllTrue,  // three lines, blanks kept
         "False\r\n  C:\\Dorvex \\ \r\nD:\\cfg\\\r\nTrue\r\nTrue\r\nTrue\r\n"},
        {"TRUE\r\nx\r\ny\r\ntrue\r\n-1\r\n0\r\nextra line\r\n", kAllFalse,
         "True\r\nx\r\ny\r\nTrue\r\nTrue\r\nFalse\r\n"},
        {"yes\r\n\r\n\r\n\r\nFaLsE\r\n2.5", kAllTrue,  // the last line without its end
         "True\r\n\r\n\r\nTrue\r\nFalse\r\nTrue\r\n"},
        {"True\na b\nc\rd\n0\n", kAllFalse, "True\r\na b\r\nc\rd\r\nFalse\r\nFalse\r\nFalse\r\n"},
    };
    for (const Row& r : rows) {
        cmOptions start;
        w.files[kFile] = r.before;
        start.readOptions(kFile);
        ASSERT_EQ(start.toText(), r.before);
        w.files[kFile] = r.file;
        start.readOptions(kFile);
        EXPECT_EQ(start.toText(), r.after) << r.file;
    }
}

TEST_F(OptionsTest, WriteFillsAnEmptyFileAndRoundTrips) {
    w.files[kFile] = "";
    o.displayTwain = true;
    o.dxPath = " C:\\Program Files\\Dx\\ ";
    o.configPath = "\\\\server\\share\\";
    o.promptMemo = true;
    o.writeOptions(kFile);
    EXPECT_EQ(w.files[kFile], "True\r\n C:\\Program Files\\Dx\\ \r\n\\\\server\\share\\\r\nFalse\r\nTrue\r\nFalse\r\n");
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

TEST(TextToBoolean, ClassicConversion) {
    const std::optional<bool> T = true, F = false, none = std::nullopt;
    const std::pair<const char*, std::optional<bool>> rows[] = {
        {"True", T}, {"fALSE", F}, {" 0 ", F}, {"\ttrue ", T}, {"Truex", none}, {"Tru", none}, {"Xrue", none},
        {"Ja", none}, {"", none}, {"  ", none},
        // decimal numbers
        {"1", T}, {"-1", T}, {"+0", F}, {"0.0", F}, {".5", T}, {"5.", T}, {"-", none}, {".", none},
        {"1x", none}, {"1 2", none},
        // exponents
        {"1e2", T}, {"1E+2", T}, {"1e-2", T}, {"0e5", F}, {"1e", none}, {"1e+", none}, {"e1", none},
        // hexadecimal and octal
        {"&HFF", T}, {"&hAf", T}, {"&H0", F}, {"&O7", T}, {"&o0", F}, {"&O8", none}, {"&HG", none},
        {"&H", none}, {"&X1", none}, {"&HFFFFFFFF", T}, {"&H100000000", none},
    };
    for (const auto& [text, value] : rows) EXPECT_EQ(textToBoolean(text), value) << '"' << text << '"';
}
