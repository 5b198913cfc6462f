// path_test.cpp -- the settings file's path from the host's folder
#include "settings/path.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>

TEST(SettingsPath, FolderThenNameWithNoSeparatorBetween)
{
    char path[kSettingsPathCap];
    const struct {
        std::string folder;
        const char *expected;
    } cases[] = {
        {"C:\\data\\", "C:\\data\\nowtune.dat"},
        {"", "nowtune.dat"},
        {"C:\\data", "C:\\datanowtune.dat"},
        {std::string("C:\\x\\\0junk", 10), "C:\\x\\nowtune.dat"}, // the host's folder ends at a zero
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(buildSettingsPath(path, (const u8 *)c.folder.data(), (u32)c.folder.size()));
        EXPECT_STREQ(path, c.expected);
    }
}

TEST(SettingsPath, LongestFolderFitsOneMoreIsRefused)
{
    char path[kSettingsPathCap + 8];
    memset(path, 0x7F, sizeof(path));
    const std::string fits(kSettingsPathCap - 1 - 11, 'd');
    ASSERT_TRUE(buildSettingsPath(path, (const u8 *)fits.data(), (u32)fits.size()));
    EXPECT_EQ(strlen(path), kSettingsPathCap - 1);
    const std::string tooLong = fits + "d";
    EXPECT_FALSE(buildSettingsPath(path, (const u8 *)tooLong.data(), (u32)tooLong.size()));
    EXPECT_STREQ(path, "") << "a refused folder leaves no path that could name another file";
    EXPECT_FALSE(buildSettingsPath(path, (const u8 *)tooLong.data(), 0xFFFFFFFF));
    for (u32 i = kSettingsPathCap; i < sizeof(path); i++)
        EXPECT_EQ(path[i], 0x7F);
}
