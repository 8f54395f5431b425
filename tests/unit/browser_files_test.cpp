// Listing, file operations and storage figures of the browser module over real files in the
// data home and sysroot: order, hidden entries, hostile names, refusals that keep every
// operation inside its drive root, moves across file systems and a full drive; the figures of
// missing and real paths, the test seam, and which mount folders are drives.
#include "browser.h"
#include "unit_common.h"

#include <sched.h>
#include <sys/mount.h>

namespace {
template <class At> std::vector<std::string> names(int (*len)(), At at) {
    std::vector<std::string> out;
    for (int i = 0; i < len(); ++i)
        out.push_back(at(i)->name);
    return out;
}

TEST(BrowserListing, DirsThenFilesByteOrderHiddenLeftOutLinksAreFiles) {
    TestEnv env;
    for (const char* f : {"b.txt", "B.txt", "a.png", ".hidden", "Zeta/.keep", "alpha/.keep",
                          ".cache/x", "_u/.keep"})
        TestEnv::writeFile(std::string("files/") + f, "12345");
    fs::create_directory_symlink("alpha", "files/link");
    ASSERT_EQ(Browser_Refresh_DirAndFiles("./files"), 0);
    EXPECT_EQ(names(Browser_GetDirsLen, Browser_GetDir),
              (std::vector<std::string>{"Zeta", "_u", "alpha"}));
    EXPECT_EQ(names(Browser_GetFilesLen, Browser_GetFile),
              (std::vector<std::string>{"B.txt", "a.png", "b.txt", "link"}));
    // The link's own size ("alpha").
    EXPECT_EQ(std::tuple(Browser_GetFile(0)->size, Browser_GetFile(3)->size), std::tuple(5u, 5u));

    // Selection: directories first, each list in its order.
    Browser_GetFile(2)->selected = 1;
    Browser_GetDir(2)->selected = 1;
    Browser_GetFile(0)->selected = 1;
    ASSERT_EQ(Browser_Refresh_SelectedItems(), 3);
    EXPECT_EQ(names([] { return 3; }, Browser_GetSel),
              (std::vector<std::string>{"alpha", "B.txt", "b.txt"}));
    EXPECT_EQ(Browser_GetSel(3), nullptr);

    // A folder that cannot be opened empties both lists.
    TestEnv::writeFile(env.sysroot() + "/media/sda1/stick.txt", "");
    LogCapture log;
    EXPECT_EQ(Browser_Refresh_DirAndFiles("/media/sdb1"), -1);
    EXPECT_EQ(Browser_GetFilesLen() + Browser_GetDirsLen(), 0);
    EXPECT_EQ(Browser_Refresh_DirAndFiles(nullptr), -1);
    EXPECT_TRUE(log.contains("directory open fail (/media/sdb1)") &&
                log.contains("invalid directory path"));
    EXPECT_EQ(std::tuple(Browser_CheckExist("/media/sda1/stick.txt"),
                         Browser_CheckExist("./files/link"), Browser_CheckExist("./files/none")),
              std::tuple(0, 0, -1));
}

// A FUSE or old vfat stick: any rename flag is refused.
int flagRefused(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    if (flags != 0) {
        errno = EINVAL;
        return -1;
    }
    return renameat(fromDir, from, toDir, to);
}

TEST(BrowserFiles, HostileNamesAreCreatedRenamedCopiedAndDeletedAsPlainNames) {
    TestEnv env;
    TestEnv::writeFile("outside.txt", "keep");
    fs::create_directories("files/dst");
    const auto before = snapshot(env.home());
    const char* hostile[] = {"a\"b", "$(touch x)", "new\nline", "`touch y`", "c;d&e|f", "'q' *"};
    for (const bool refused : {false, true})
        for (const char* n : hostile) {
            SCOPED_TRACE(std::string(n) + (refused ? " flag refused" : ""));
            Browser_SetRenameHook(refused ? flagRefused : nullptr);
            const std::string dir = std::string("files/") + n;
            ASSERT_EQ(Browser_MakeDir("./files", "", n), BROWSER_OK);
            ASSERT_TRUE(fs::is_directory(dir));
            TestEnv::writeFile(dir + "/" + n, "payload");
            const std::string renamed = std::string(n) + "2";
            ASSERT_EQ(Browser_Rename("./files", "", n, renamed.c_str()), BROWSER_OK);
            ASSERT_EQ(Browser_Copy("./files", "", renamed.c_str(), "./files", "dst"), BROWSER_OK);
            EXPECT_EQ(TestEnv::readFile("files/dst/" + renamed + "/" + n), "payload");
            ASSERT_EQ(Browser_Copy("./files", renamed.c_str(), n, "./files", ""), BROWSER_OK);
            EXPECT_EQ(TestEnv::readFile(dir), "payload");
            ASSERT_EQ(Browser_Move("./files", "", n, "./files", "dst"), BROWSER_OK);
            EXPECT_EQ(TestEnv::readFile("files/dst/" + std::string(n)), "payload");
            for (auto [in, name] :
                 {std::pair{"", renamed.c_str()}, {"dst", renamed.c_str()}, {"dst", n}})
                EXPECT_EQ(Browser_Remove("./files", in, name), BROWSER_OK) << in << "/" << name;
            // Taken names stay refused, and nothing is overwritten, with or without the flag.
            TestEnv::writeFile(dir, "mine");
            TestEnv::writeFile("files/dst/" + std::string(n), "theirs");
            EXPECT_EQ(Browser_Move("./files", "", n, "./files", "dst"), BROWSER_EXISTS);
            TestEnv::writeFile(dir + "2", "other");
            EXPECT_EQ(Browser_Rename("./files", "", n, renamed.c_str()), BROWSER_EXISTS);
            EXPECT_EQ(std::tuple(TestEnv::readFile("files/dst/" + std::string(n)),
                                 TestEnv::readFile(dir + "2")),
                      std::tuple("theirs", "other"));
            for (const std::string& f : {dir, dir + "2", "files/dst/" + std::string(n)})
                fs::remove(f);
        }
    Browser_SetRenameHook(nullptr);
    // Nothing ran: no file made by a command, nothing left anywhere in the data home.
    EXPECT_EQ(snapshot(env.home()), before);
    EXPECT_TRUE(!fs::exists(env.root() + "/x") && env.stubCalls().empty());
}

TEST(BrowserFiles, RefusalsKeepEveryOperationInsideItsRoot) {
    TestEnv env;
    TestEnv::writeFile("outside/secret.txt", "keep");
    TestEnv::writeFile("files/d/sub/f.txt", "f");
    TestEnv::writeFile("files/taken.txt", "t");
    fs::create_directory_symlink("../outside", "files/escape");
    const auto before = snapshot(env.home());
    // What, the result, the result expected.
    const std::tuple<const char*, int, int> cases[] = {
        {"mkdir slash", Browser_MakeDir("./files", "", "a/b"), BROWSER_BAD_NAME},
        {"mkdir dotdot", Browser_MakeDir("./files", "", ".."), BROWSER_BAD_NAME},
        {"mkdir dot", Browser_MakeDir("./files", "", "."), BROWSER_BAD_NAME},
        {"mkdir empty", Browser_MakeDir("./files", "", ""), BROWSER_BAD_NAME},
        {"mkdir taken", Browser_MakeDir("./files", "", "d"), BROWSER_EXISTS},
        {"dir dotdot", Browser_MakeDir("./files", "../outside", "n"), BROWSER_BAD_PATH},
        {"dir absolute", Browser_MakeDir("./files", "/tmp", "n"), BROWSER_BAD_PATH},
        {"dir through link", Browser_MakeDir("./files", "escape", "n"), BROWSER_BAD_PATH},
        {"remove through link", Browser_Remove("./files", "escape", "secret.txt"),
         BROWSER_BAD_PATH},
        {"rename onto taken", Browser_Rename("./files", "", "d", "taken.txt"), BROWSER_EXISTS},
        {"rename dotdot", Browser_Rename("./files", "", "taken.txt", "../t"), BROWSER_BAD_NAME},
        {"copy into itself", Browser_Copy("./files", "", "d", "./files", "d/sub"), BROWSER_INSIDE},
        {"move into itself", Browser_Move("./files", "", "d", "./files", "d"), BROWSER_INSIDE},
        {"copy onto taken", Browser_Copy("./files", "d/sub", "f.txt", "./files", "d/sub"),
         BROWSER_EXISTS},
        {"copy missing", Browser_Copy("./files", "", "none", "./files", "d"), BROWSER_NOT_FOUND},
        {"copy out by link", Browser_Copy("./files", "", "taken.txt", "./files", "escape"),
         BROWSER_BAD_PATH},
        {"move in by link", Browser_Move("./files", "escape", "secret.txt", "./files", ""),
         BROWSER_BAD_PATH},
    };
    for (const auto& [what, rc, expected] : cases)
        EXPECT_EQ(rc, expected) << what;
    EXPECT_EQ(snapshot(env.home()), before);
    // The link itself can be removed; its target stays.
    EXPECT_EQ(Browser_Remove("./files", "", "escape"), BROWSER_OK);
    EXPECT_TRUE(TestEnv::readFile("outside/secret.txt") == "keep" && !fs::exists("files/escape"));
}

// A small file system on the stick's mount folder: moves cross file systems and copies
// fill it up. Needs root for its own mount namespace.
TEST(BrowserFiles, MoveAcrossFileSystemsAndAFullDriveLeavesNoHalfFile) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for a mount namespace";
    TestEnv env;
    ASSERT_EQ(unshare(CLONE_NEWNS), 0);
    ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    const std::string stick = env.sysroot() + "/media/sda1";
    fs::create_directories(stick);
    ASSERT_EQ(mount("tmpfs", stick.c_str(), "tmpfs", 0, "size=256k"), 0);
    TestEnv::writeFile("files/tree/a.txt", "a");
    TestEnv::writeFile("files/tree/in/b.txt", "b");
    TestEnv::writeFile("files/big.bin", std::string(1 << 20, 'x'));

    EXPECT_EQ(Browser_Move("./files", "", "tree", "/media/sda1", ""), BROWSER_OK);
    EXPECT_EQ(TestEnv::readFile(stick + "/tree/in/b.txt"), "b");
    EXPECT_FALSE(fs::exists("files/tree"));
    EXPECT_EQ(Browser_Move("/media/sda1", "", "tree", "./files", ""), BROWSER_OK);
    EXPECT_EQ(TestEnv::readFile("files/tree/a.txt"), "a");
    EXPECT_TRUE(fs::is_empty(stick));

    LogCapture log;
    for (auto op : {Browser_Copy, Browser_Move})
        EXPECT_EQ(op("./files", "", "big.bin", "/media/sda1", ""), BROWSER_NO_SPACE);
    EXPECT_TRUE(log.contains("copy fail (big.bin)"));
    EXPECT_TRUE(fs::is_empty(stick)); // neither the final name nor a temporary one
    EXPECT_EQ(fs::file_size("files/big.bin"), 1u << 20); // the failed move kept its source
    umount(stick.c_str());
}

TEST(BrowserStorage, FiguresOfMissingAndRealPathsTheHookAndDrivesOfMountFoldersWithANode) {
    TestEnv env;
    EXPECT_EQ(Browser_Refresh_Drvs(), 0); // no "/media" at all
    BrowserStorageStat st{};
    EXPECT_EQ(Browser_StorageStat("/media/mmcblk3p2", &st), -1);
    EXPECT_TRUE(Browser_StorageStat(env.home().c_str(), &st) == 0 && st.total > 0 &&
                st.free <= st.total)
        << st.total << " " << st.free;
    EXPECT_EQ(Browser_StorageStat(nullptr, &st), -2);
    TestEnv::writeFile(env.sysroot() + "/media/sda1/.keep", "");
    Browser_SetStorageStatHook([](const char*, BrowserStorageStat* out) {
        *out = {1000, 100};
        return 0;
    });
    EXPECT_EQ(Browser_StorageStat("/media/sda1", &st), 0);
    EXPECT_EQ(std::tuple(st.total, st.free), std::tuple(1000u, 100u));
    // The hook never makes a missing path exist.
    EXPECT_EQ(Browser_StorageStat("/media/sdb1", &st), -1);
    Browser_SetStorageStatHook(nullptr);
    // Mount folders with a device node are drives.
    const std::string sys = env.sysroot();
    // The name under /media, a folder (else a file), a node in /dev, listed.
    const std::tuple<const char*, bool, bool, bool> entries[] = {
        {"sda1", true, true, true},
        {"mmcblk1p1", true, true, true},
        {"sdb1", true, false, false},     // stale mount folder
        {"mmcblk3p2", true, true, false}, // internal partitions
        {"mmcblk3p1", true, true, false},
        {".hidden", true, true, false},
        {"sdc1", false, true, false}, // a file, not a folder
        {"a-very-long-drive-name", true, true, true},
    };
    for (const auto& [name, folder, node, listed] : entries) {
        std::string media = sys + "/media/" + name;
        TestEnv::writeFile(folder ? media + "/.keep" : media, "");
        if (node) TestEnv::writeFile(sys + "/dev/" + name, "");
    }
    ASSERT_EQ(Browser_Refresh_Drvs(), 3);
    std::set<std::string> names;
    for (int i = 0; i < Browser_GetDrvsLen(); ++i)
        names.insert(Browser_GetDrvName(i));
    EXPECT_EQ(names, (std::set<std::string>{"sda1", "mmcblk1p1", "a-very-long-dri"}));
    EXPECT_TRUE(!Browser_GetDrvName(3) && !Browser_GetDrvName(-1));
}
} // namespace
