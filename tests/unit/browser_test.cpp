// Storage figures of the browser module: sysroot mapping, missing paths, the test seam.
#include "browser.h"
#include "unit_common.h"

namespace {
int fixedFigures(const char*, BrowserStorageStat* out) {
    out->total = 1000;
    out->free = 100;
    return 0;
}

TEST(BrowserStorage, FiguresOfMissingAndRealPathsTheHookAndDrivesOfMountFoldersWithANode) {
    TestEnv env;
    EXPECT_EQ(Browser_Refresh_Drvs(), 0); // no "/media" at all
    BrowserStorageStat st{};
    EXPECT_EQ(Browser_StorageStat("/media/mmcblk3p2", &st), -1);
    EXPECT_EQ(Browser_StorageStat(env.home().c_str(), &st), 0);
    EXPECT_GT(st.total, 0u);
    EXPECT_LE(st.free, st.total);
    EXPECT_EQ(Browser_StorageStat(nullptr, &st), -2);
    TestEnv::writeFile(env.sysroot() + "/media/sda1/.keep", "");
    Browser_SetStorageStatHook(fixedFigures);
    EXPECT_EQ(Browser_StorageStat("/media/sda1", &st), 0);
    EXPECT_EQ(std::tuple(st.total, st.free), std::tuple(1000u, 100u));
    // The hook never makes a missing path exist.
    EXPECT_EQ(Browser_StorageStat("/media/sdb1", &st), -1);
    Browser_SetStorageStatHook(nullptr);
    // Mount folders with a device node are drives.
    const std::string sys = env.sysroot();
    struct Entry {
        const char* name;
        bool folder, node, listed;
    } entries[] = {
        {"sda1", true, true, true},
        {"mmcblk1p1", true, true, true},
        {"sdb1", true, false, false},     // stale mount folder
        {"mmcblk3p2", true, true, false}, // internal partitions
        {"mmcblk3p1", true, true, false},
        {".hidden", true, true, false},
        {"sdc1", false, true, false}, // a file, not a folder
        {"a-very-long-drive-name", true, true, true},
    };
    for (const Entry& e : entries) {
        std::string media = sys + "/media/" + e.name;
        TestEnv::writeFile(e.folder ? media + "/.keep" : media, "");
        if (e.node) TestEnv::writeFile(sys + "/dev/" + e.name, "");
    }
    ASSERT_EQ(Browser_Refresh_Drvs(), 3);
    std::set<std::string> names;
    for (int i = 0; i < Browser_GetDrvsLen(); ++i)
        names.insert(Browser_GetDrvName(i));
    EXPECT_EQ(names, (std::set<std::string>{"sda1", "mmcblk1p1", "a-very-long-dri"}));
    EXPECT_TRUE(!Browser_GetDrvName(3) && !Browser_GetDrvName(-1));
}
} // namespace
