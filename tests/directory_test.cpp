#include <gtest/gtest.h>
#include <morven/directory.h>
#include <morven/text.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "alloc_fail.h"

namespace {

// A fresh temporary directory holding a file, a subdirectory, a link and
// names with blanks; removed afterwards.
class Directory : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/morven-dir-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        touch("plain");
        touch(" lead and trail ");
        touch(".hidden");
        ASSERT_EQ(mkdir((root + "/sub dir").c_str(), 0700), 0);
        ASSERT_EQ(symlink("plain", (root + "/link").c_str()), 0);
    }
    void TearDown() override {
        for (const char *name : {"plain", " lead and trail ", ".hidden", "link"})
            unlink((root + "/" + name).c_str());
        rmdir((root + "/sub dir").c_str());
        rmdir(root.c_str());
    }
    void touch(const char *name) {
        FILE *f = std::fopen((root + "/" + name).c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    std::multiset<std::string> list(int flags) {
        std::multiset<std::string> names;
        MVDirectory *dir = mvDirectoryOpen(root.c_str());
        EXPECT_NE(dir, nullptr);
        while (const char *name = mvDirectoryNext(dir, nullptr, flags)) names.insert(name);
        mvDirectoryClose(dir);
        return names;
    }
    std::string root;
};

TEST_F(Directory, YieldsEveryEntryOnceDotsIncluded) {
    std::multiset<std::string> want = {".", "..", "plain", " lead and trail ", ".hidden", "sub dir", "link"};
    EXPECT_EQ(list(0), want);
}

TEST_F(Directory, FlagsSkipDotsOrHiddenNames) {
    std::multiset<std::string> noDots = {"plain", " lead and trail ", ".hidden", "sub dir", "link"};
    EXPECT_EQ(list(MV_DIRECTORY_SKIP_DOTS), noDots);
    std::multiset<std::string> visible = {"plain", " lead and trail ", "sub dir", "link"};
    EXPECT_EQ(list(MV_DIRECTORY_SKIP_HIDDEN), visible);
}

TEST_F(Directory, ReportsEntryKinds) {
    MVDirectory *dir = mvDirectoryOpen(root.c_str());
    ASSERT_NE(dir, nullptr);
    std::map<std::string, MVDirectoryEntryType> kinds;
    MVDirectoryEntryType type;
    while (const char *name = mvDirectoryNext(dir, &type, 0)) kinds[name] = type;
    mvDirectoryClose(dir);
    EXPECT_EQ(kinds["plain"], MV_DIRECTORY_ENTRY_FILE);
    EXPECT_EQ(kinds["sub dir"], MV_DIRECTORY_ENTRY_DIRECTORY);
    EXPECT_EQ(kinds["."], MV_DIRECTORY_ENTRY_DIRECTORY);
    EXPECT_EQ(kinds["link"], MV_DIRECTORY_ENTRY_LINK);
}

TEST_F(Directory, EndStaysAtTheEnd) {
    MVDirectory *dir = mvDirectoryOpen((root + "/sub dir").c_str());
    ASSERT_NE(dir, nullptr);
    int count = 0;
    while (mvDirectoryNext(dir, nullptr, 0)) count++;
    EXPECT_EQ(count, 2);  // "." and ".."
    EXPECT_EQ(mvDirectoryNext(dir, nullptr, 0), nullptr);
    mvDirectoryClose(dir);
}

TEST_F(Directory, OpenFailuresGiveNullAndTheReason) {
    errno = 0;
    EXPECT_EQ(mvDirectoryOpen((root + "/missing").c_str()), nullptr);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(mvDirectoryOpen((root + "/plain").c_str()), nullptr);
    EXPECT_EQ(errno, ENOTDIR);
    errno = 0;
    EXPECT_EQ(mvDirectoryOpen(""), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(mvDirectoryOpen(nullptr), nullptr);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(Directory, OutOfMemoryGivesNullAndENOMEM) {
    allocfail::failAt(0);
    errno = 0;
    MVDirectory *dir = mvDirectoryOpen(root.c_str());
    int err = errno;
    allocfail::disarm();
    // The directory opened, but its handle could not be allocated.
    EXPECT_EQ(dir, nullptr);
    EXPECT_EQ(err, ENOMEM);
}

TEST(DirectoryNull, NullHandleIsIgnored) {
    MVDirectoryEntryType type = MV_DIRECTORY_ENTRY_FILE;
    EXPECT_EQ(mvDirectoryNext(nullptr, &type, 0), nullptr);
    EXPECT_EQ(type, MV_DIRECTORY_ENTRY_FILE);
    mvDirectoryClose(nullptr);
}

TEST(LineEnd, FindsTheFirstCarriageReturnOrLineFeed) {
    char text[] = "path\r\nmore";
    EXPECT_EQ(mvLineEnd(text), text + 4);
    const char lf[] = "a b\nc\r";
    EXPECT_EQ(mvLineEnd(lf), lf + 3);
    const char none[] = "no end\t\f\v";
    EXPECT_EQ(mvLineEnd(none), none + 9);
    const char empty[] = "";
    EXPECT_EQ(mvLineEnd(empty), empty);
    const char leading[] = "\nx";
    EXPECT_EQ(mvLineEnd(leading), leading);
    EXPECT_EQ(mvLineEnd(nullptr), nullptr);
}

}  // namespace
