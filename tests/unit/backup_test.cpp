// Backup save and load over real files in two data homes, hostile archives built with
// libarchive, and the network queue's path to "processing".
#include "toollink_support.h"

#include "FileSizeLimit.h"
#include "backup.h"
#include "net.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/sysmacros.h>

using namespace toollink_test;

namespace {

std::map<std::string, std::string> withoutLog(std::map<std::string, std::string> m) {
    std::erase_if(m, [](auto& kv) { return kv.first == "log" || kv.first.rfind("log/", 0) == 0; });
    return m;
}
// Without the nested log folder too: what an archive of ours holds.
std::map<std::string, std::string> withoutAnyLog(const std::map<std::string, std::string>& m) {
    auto out = withoutLog(m);
    out.erase("tools/T1/log");
    out.erase("tools/T1/log/old.csv");
    return out;
}
std::vector<std::string> members(const std::string& path) {
    std::vector<std::string> out;
    archive* a = archive_read_new();
    archive_read_support_format_tar(a);
    EXPECT_EQ(archive_read_open_filename(a, path.c_str(), 10240), ARCHIVE_OK);
    archive_entry* e;
    while (archive_read_next_header(a, &e) == ARCHIVE_OK)
        out.push_back(archive_entry_pathname(e));
    archive_read_free(a);
    return out;
}

struct Member {
    std::string name;
    mode_t type = AE_IFREG;
    std::string data{}, link{}; // link: the symlink's target or the hardlink's name
};
void writeArchive(const std::string& path, const std::vector<Member>& list) {
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const Member& m : list) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.c_str());
        archive_entry_set_filetype(e, m.type);
        archive_entry_set_perm(e, 0644);
        if (m.type == AE_IFLNK) archive_entry_set_symlink(e, m.link.c_str());
        if (m.type == AE_IFCHR) archive_entry_set_rdev(e, makedev(1, 3));
        if (m.type == AE_IFREG && !m.link.empty()) archive_entry_set_hardlink(e, m.link.c_str());
        archive_entry_set_size(e, m.type == AE_IFREG ? la_int64_t(m.data.size()) : 0);
        archive_write_header(a, e);
        if (!m.data.empty()) archive_write_data(a, m.data.data(), m.data.size());
        archive_entry_free(e);
    }
    archive_write_free(a);
}
// A member of 10 GB whose data are holes of the archive file: the header as libarchive
// writes it, then the file grown to hold the data and the end blocks.
void writeHugeMember(const std::string& path) {
    const la_int64_t size = 10ll << 30;
    std::vector<char> buf(1 << 16);
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_set_bytes_per_block(a, 0);
    ASSERT_EQ(archive_write_open_memory(a, buf.data(), buf.size(), &used), ARCHIVE_OK);
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, "./files/huge");
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, size);
    ASSERT_EQ(archive_write_header(a, e), ARCHIVE_OK);
    const size_t header = used;
    archive_entry_free(e);
    archive_write_free(a); // complains of the missing data; the header is already out
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, buf.data(), header), ssize_t(header));
    ASSERT_EQ(ftruncate(fd, off_t(header + size + 1024)), 0);
    close(fd);
}

class Backup : public ::testing::Test {
  protected:
    void SetUp() override {
        TestEnv::writeFile("files/job/Body.job", "job body\n");
        TestEnv::writeFile("files/setting/setting.kest", "operation mode = 1\n");
        TestEnv::writeFile("files/tools/T1/barcode.zq", "barcodes\n");
        TestEnv::writeFile("files/tools/T1/log/old.csv", "nested log\n");
        TestEnv::writeFile("files/log/2026/12/07.csv", "result rows\n");
        TestEnv::writeFile("files/image/a.png", std::string(300000, '\x7f'));
        fs::create_directories("files/empty");
    }
    // A second panel's data home with data of its own, entered as the working folder.
    std::string enterOtherHome() {
        std::string other = env.root() + "/other";
        EXPECT_EQ(Common_SetHome(other.c_str()), 0);
        TestEnv::writeFile("files/job/Other.job", "other\n");
        TestEnv::writeFile("files/log/keep.csv", "other panel's results\n");
        return other;
    }
    TestEnv env;
    LogCapture log;
};

TEST_F(Backup, ASaveCutByAFullDiskKeepsTheOldArchiveAndALoadIntoAnotherHomeKeepsItsLog) {
    const std::string keep = env.root() + "/keep.p2p";
    TestEnv::writeFile(keep, "older archive");
    // The image alone is larger than the file size the child may write.
    EXPECT_EQ(kest_test::RunWithFileSizeLimit(100000, [&] { return Backup_Save(keep.c_str()); }),
              BACKUP_ERR_WRITE);
    EXPECT_EQ(TestEnv::readFile(keep), "older archive");
    EXPECT_FALSE(TestEnv::exists(keep + ".tmp"));
    const std::string p2p = env.root() + "/Kest_20261207.p2p";
    ASSERT_EQ(Backup_Save(p2p.c_str()), BACKUP_OK);
    EXPECT_FALSE(TestEnv::exists(p2p + ".tmp"));
    for (const std::string& m : members(p2p))
        EXPECT_TRUE(m.rfind("./files/", 0) == 0 && m.find("log") == std::string::npos) << m;
    const auto saved = snapshot(env.home() + "/files");
    const std::string other = enterOtherHome();
    const auto otherLog = snapshot(other + "/files/log");

    ASSERT_EQ(Backup_Load(p2p.c_str()), BACKUP_OK);
    EXPECT_EQ(withoutLog(snapshot(other + "/files")), withoutAnyLog(saved));
    EXPECT_EQ(snapshot(other + "/files/log"), otherLog);
    EXPECT_FALSE(TestEnv::exists("files/.p2p-restore"));
    EXPECT_FALSE(TestEnv::exists("files/.p2p-old"));
}

TEST_F(Backup, AnArchiveInsideFilesAndOneWrittenByTarLoad) {
    const auto saved = withoutLog(snapshot("files"));
    ASSERT_EQ(Backup_Save("./files/backup.p2p"), BACKUP_OK);
    for (const std::string& m : members("files/backup.p2p"))
        EXPECT_EQ(m.find("backup.p2p"), std::string::npos) << "the archive holds itself: " << m;
    // The same data as tar writes it from the shell's ./files/* (hidden entries left out),
    // with the options in that command's order: a tar that takes "--exclude" only before
    // the names stores the log folder too, and the load still leaves ./files/log alone.
    std::vector<std::string> argv = {"tar", "cvf", env.root() + "/tar.p2p"};
    for (const auto& n : fs::directory_iterator("files"))
        if (n.path().filename() != "backup.p2p")
            argv.push_back("./files/" + n.path().filename().string());
    argv.insert(argv.end(), {"--exclude", "log"});
    Common_Run(argv);
    ASSERT_FALSE(members(env.root() + "/tar.p2p").empty());
    TestEnv::writeFile("files/log/2026/12/07.csv", "result rows, later\n");

    for (const std::string& archive :
         {std::string("./files/backup.p2p"), env.root() + "/tar.p2p"}) {
        TestEnv::writeFile("files/job/Body.job", "changed\n");
        TestEnv::writeFile("files/job/New.job", "added\n");
        ASSERT_EQ(Backup_Load(archive.c_str()), BACKUP_OK) << archive;
        auto now = withoutLog(snapshot("files"));
        now.erase("backup.p2p");
        // Ours leaves every "log" out; that tar kept the nested one.
        EXPECT_TRUE(now == (archive[0] == '.' ? withoutAnyLog(saved) : saved)) << archive;
        EXPECT_EQ(TestEnv::readFile("files/log/2026/12/07.csv"), "result rows, later\n");
    }
}

TEST_F(Backup, HostileArchivesAreRefusedAndTheDataStaysByteForByte) {
    const std::string good = env.root() + "/good.p2p";
    ASSERT_EQ(Backup_Save(good.c_str()), BACKUP_OK);
    const std::string goodBytes = TestEnv::readFile(good);
    // A name, what writes the archive, the load's result, the line logged.
    using Row = std::tuple<std::string, std::function<void(const std::string&)>, int, std::string>;
    auto members = [](std::vector<Member> m) {
        return [m](const std::string& p) { writeArchive(p, m); };
    };
    const std::vector<Row> rows = {
        {"dot-dot", members({{"./files/job/a.job", AE_IFREG, "a"}, {"../x", AE_IFREG, "x"}}),
         BACKUP_ERR_MEMBER, "member \"../x\" is not below ./files"},
        {"dot-dot inside", members({{"./files/../../x", AE_IFREG, "x"}}), BACKUP_ERR_MEMBER,
         "is not below ./files"},
        {"absolute", members({{"/etc/x", AE_IFREG, "x"}}), BACKUP_ERR_MEMBER,
         "member \"/etc/x\" is not below ./files"},
        {"symlink to /", members({{"./files/job/", AE_IFDIR}, {"./files/root", AE_IFLNK, "", "/"}}),
         BACKUP_ERR_MEMBER, "member \"./files/root\" is a link"},
        {"hard link", members({{"./files/a", AE_IFREG, "", "/etc/passwd"}}), BACKUP_ERR_MEMBER,
         "is a link"},
        {"device", members({{"./files/null", AE_IFCHR}}), BACKUP_ERR_MEMBER,
         "is not a file or folder"},
        {"outside files", members({{"./setting/x", AE_IFREG, "x"}}), BACKUP_ERR_MEMBER,
         "is not below ./files"},
        {"10 GB sparse", writeHugeMember, BACKUP_ERR_LIMIT, "brings the data over"},
        {"truncated",
         [&](const std::string& p) {
             TestEnv::writeFile(p, goodBytes.substr(0, goodBytes.size() / 2));
         },
         BACKUP_ERR_READ, "archive read fail"},
        {"empty file", [](const std::string& p) { TestEnv::writeFile(p, ""); }, BACKUP_ERR_EMPTY,
         "archive holds nothing below ./files"},
        {"not a tar", [](const std::string& p) { TestEnv::writeFile(p, std::string(4096, 'z')); },
         BACKUP_ERR_READ, "archive read fail"},
        {"missing", [](const std::string&) {}, BACKUP_ERR_OPEN, "open"},
    };
    const auto before = snapshot(env.home());
    size_t n = 0;
    for (const auto& [name, make, want, line] : rows) {
        const std::string p = env.root() + "/hostile-" + std::to_string(n++) + ".p2p";
        make(p);
        log.clear();
        EXPECT_EQ(Backup_Load(p.c_str()), want) << name;
        EXPECT_TRUE(log.contains(line)) << name;
        EXPECT_TRUE(log.contains("not loaded") || log.contains("refused")) << name;
        EXPECT_EQ(snapshot(env.home()), before) << name;
    }
    EXPECT_FALSE(TestEnv::exists("/x"));
}

// A load cut off (a power cut, a kill) at any rename of its swap is finished at the next
// start: ./files is the archive's whole, nothing hidden is left, the log is untouched. A
// load that comes first finishes it too, instead of deleting the old data it kept; a cut
// during the extraction leaves only staging, which the start removes.
TEST_F(Backup, ALoadCutOffDuringItsSwapIsFinishedAtTheNextStart) {
    const std::string p2p = env.root() + "/saved.p2p";
    ASSERT_EQ(Backup_Save(p2p.c_str()), BACKUP_OK);
    const auto want = withoutAnyLog(snapshot("files"));
    const auto log = snapshot("files/log");
    // Six entries move out (job, setting, tools, image, empty, extra), five move in.
    // A name, the renames done before the cut, the next start or the next load.
    const std::tuple<const char*, int, std::function<int()>> rows[] = {
        {"before the first rename", 0, Backup_Recover},
        {"moving out", 3, Backup_Recover},
        {"all moved out", 6, Backup_Recover},
        {"moving in", 8, Backup_Recover},
        {"then a load", 3, [&] { return Backup_Load(p2p.c_str()); }},
    };
    for (const auto& [name, cutAfter, next] : rows) {
        SCOPED_TRACE(name);
        TestEnv::writeFile("files/job/Body.job", "changed\n");
        TestEnv::writeFile("files/extra/x", "added\n");
        Backup_SetSwapCutAfter(cutAfter);
        EXPECT_EQ(Backup_Load(p2p.c_str()), BACKUP_ERR_SWAP);
        Backup_SetSwapCutAfter(-1);
        EXPECT_NE(withoutLog(snapshot("files")), want) << "cut off half-way";
        EXPECT_EQ(next(), 0);
        EXPECT_EQ(withoutLog(snapshot("files")), want);
        EXPECT_EQ(snapshot("files/log"), log);
    }
    TestEnv::writeFile("files/.p2p-restore/job/Half.job", "cut during the extraction");
    EXPECT_EQ(Backup_Recover(), 0);
    EXPECT_EQ(withoutLog(snapshot("files")), want);
}

// The queue's worker runs the load and raises "processing" with its result.
using BackupQueue = DriverFixture;

TEST_F(BackupQueue, LoadMessagesEndInProcessingWithTheirResult) {
    startDriver();
    TestEnv::writeFile("files/job/Body.job", "saved\n");
    const std::string p2p = env.root() + "/q.p2p";
    ASSERT_EQ(Backup_Save(p2p.c_str()), BACKUP_OK);
    // The archive, then one that is not there (the files each leaves are the backup
    // screen's to check).
    for (const auto& [path, posted] :
         {std::pair(p2p, "processing 0"), std::pair(env.root() + "/none.p2p", "processing 1")}) {
        sink.clear();
        ASSERT_EQ(Net_PushMsgQ_P2PLoad(path.c_str()), 0);
        ASSERT_TRUE(sink.waitFor("processing"));
        EXPECT_EQ(sink.with("processing"), std::vector<std::string>{posted});
    }
}

} // namespace
