// Storage figures of the browser module: sysroot mapping, missing paths, the test seam.
#include "TestEnv.h"
#include "browser.h"

#include <gtest/gtest.h>

namespace {
int fixedFigures(const char*, BrowserStorageStat* out) {
    out->total = 1000;
    out->free = 100;
    return 0;
}

TEST(BrowserStorage, MissingPathAndRealFileSystem) {
    TestEnv env;
    BrowserStorageStat st{};
    EXPECT_EQ(Browser_StorageStat("/media/mmcblk3p2", &st), -1);
    EXPECT_EQ(Browser_StorageStat(env.home().c_str(), &st), 0);
    EXPECT_GT(st.total, 0u);
    EXPECT_LE(st.free, st.total);
    EXPECT_EQ(Browser_StorageStat(nullptr, &st), -2);
}

TEST(BrowserStorage, MediaPathsLieUnderTheSysrootAndTheHookGivesFigures) {
    TestEnv env;
    TestEnv::writeFile(env.sysroot() + "/media/sda1/.keep", "");
    Browser_SetStorageStatHook(fixedFigures);
    BrowserStorageStat st{};
    EXPECT_EQ(Browser_StorageStat("/media/sda1", &st), 0);
    EXPECT_EQ(st.total, 1000u);
    EXPECT_EQ(st.free, 100u);
    // The hook never makes a missing path exist.
    EXPECT_EQ(Browser_StorageStat("/media/sdb1", &st), -1);
    Browser_SetStorageStatHook(nullptr);
}
} // namespace
