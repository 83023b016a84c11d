#include "posix_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "settings/options.h"
#include "support.h"

using namespace marlet;

namespace {

struct PosixFiles : ::testing::Test {
    fake::World& w = installWithPosixFiles();
    TempFolder dir;
    std::string file = dir.path + "/dxqb.ini";

    void put(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(posix::replaceFile(path, bytes));
    }
    std::string get(const std::string& path) {
        std::string bytes;
        EXPECT_TRUE(posix::readFile(path, bytes));
        return bytes;
    }
    mode_t mode(const std::string& path) {
        struct stat st;
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
};

}  // namespace

TEST_F(PosixFiles, ReplaceLeavesOnlyTheNewContentAndNoTemporaryFile) {
    ASSERT_FALSE(dir.path.empty());
    EXPECT_FALSE(posix::fileExists(file));
    put(file, "old\r\n");
    put(file, std::string(100000, 'x') + "\r\n");
    EXPECT_EQ(get(file), std::string(100000, 'x') + "\r\n");
    put(file, "");
    EXPECT_EQ(get(file), "");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"dxqb.ini"});
}

TEST_F(PosixFiles, PermissionsStayAndAReadOnlyFileIsLeftAlone) {
    put(file, "a");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    put(file, "b");
    EXPECT_EQ(mode(file), 0640u);

    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(posix::replaceFile(file, "c"));
    EXPECT_EQ(get(file), "b");
    EXPECT_EQ(dir.names().size(), 1u);
}

TEST_F(PosixFiles, ALinkIsFollowedAndStaysALink) {
    std::string target = dir.path + "/real.ini";
    put(target, "old");
    ASSERT_EQ(symlink(target.c_str(), file.c_str()), 0);
    put(file, "new");
    EXPECT_EQ(get(target), "new");
    struct stat st;
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(PosixFiles, FailuresAreReportedAndChangeNothing) {
    std::string bytes = "kept";
    EXPECT_FALSE(posix::readFile(file, bytes));
    EXPECT_EQ(bytes, "kept");
    EXPECT_FALSE(posix::fileExists(dir.path));  // a folder is no file
    EXPECT_FALSE(posix::replaceFile(dir.path + "/missing/dxqb.ini", "x"));
    EXPECT_FALSE(posix::replaceFile(dir.path, "x"));  // nor is it replaced by one
    EXPECT_TRUE(dir.names().empty());
}

TEST_F(PosixFiles, OptionsFileOnDisk) {
    cmOptions o;
    o.dxPath = "C:\\Program Files\\Dorvex\\";
    o.debugMode = true;
    o.writeOptions(file);  // never creates the file
    EXPECT_FALSE(posix::fileExists(file));

    put(file, "");
    o.writeOptions(file);
    EXPECT_EQ(get(file), "False\r\nC:\\Program Files\\Dorvex\\\r\n\r\nFalse\r\nFalse\r\nTrue\r\n");
    cmOptions back;
    back.readOptions(file);
    EXPECT_EQ(back.toText(), o.toText());

    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    o.debugMode = false;
    o.writeOptions(file);
    EXPECT_EQ(get(file), back.toText());  // read-only: untouched, nobody told
}
