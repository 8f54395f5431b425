// The atomic file writer: which step failed, with which error, and what is left behind.
#include "unit_common.h"

namespace {
struct Case {
    const char* what;
    std::string path;
    long failAfter;
    int rc;
    CommonWriteStep step;
    int err; // expected errno when rc is -1
};
} // namespace

TEST(CommonWriteFileAtomic, ReportsTheFailedStepAndItsErrorAndRunFailsOnUnreadInput) {
    TestEnv env;
    LogCapture log; // the writer's own log line must not change the reported errno
    fs::create_directories("d/full");
    TestEnv::writeFile("d/full/inner", "x"); // a non-empty folder cannot be replaced
    TestEnv::writeFile("d/old.bin", "previous");
    const Case cases[] = {
        {"written", "d/new.bin", -1, 0, COMMON_WRITE_NONE, 0},
        {"no folder", "missing/a.bin", -1, -1, COMMON_WRITE_OPEN, ENOENT},
        {"data cut", "d/old.bin", 3, -1, COMMON_WRITE_DATA, EIO},
        {"nothing written", "d/old.bin", 0, -1, COMMON_WRITE_DATA, EIO},
        {"folder in place", "d/full", -1, -1, COMMON_WRITE_RENAME, EISDIR},
    };
    const std::string data = "0123456789";
    for (const auto& c : cases) {
        Common_SetWriteFailAfter(c.failAfter);
        CommonWriteStep step = COMMON_WRITE_RENAME;
        errno = 0;
        int rc = Common_WriteFileAtomic(c.path, data.data(), data.size(), &step);
        int err = errno;
        Common_SetWriteFailAfter(-1);
        // The errno counts only when the write failed.
        EXPECT_EQ(std::tuple(rc, step, rc ? err : 0), std::tuple(c.rc, c.step, c.err))
            << c.what << ": " << strerror(err);
    }
    EXPECT_EQ(TestEnv::readFile("d/new.bin"), data);
    EXPECT_EQ(TestEnv::readFile("d/old.bin"), "previous") << "a failed write keeps the old file";
    EXPECT_TRUE(fs::is_directory("d/full"));
    // Nothing but the destinations stays in the folder.
    EXPECT_TRUE(std::none_of(fs::directory_iterator("d"), {}, [](const auto& e) {
        return e.path().filename().string().find(".tmp") != std::string::npos;
    }));
    // The temporary file is hidden, so a scan never takes a leftover for a real file.
    EXPECT_TRUE(log.contains("cannot create missing/.a.bin.tmp")) << "hidden temporary name";
    EXPECT_EQ(Common_WriteFileAtomic("d/plain.bin", "ab", 2), 0) << "the step is optional";
    EXPECT_EQ(TestEnv::readFile("d/plain.bin"), "ab");
    // Common_Run: the input reaches the child or the call is a failure.
    signal(SIGPIPE, SIG_IGN); // as the panel does at start-up
    const std::string text = "secret pass phrase\n";
    EXPECT_EQ(Common_Run({"/bin/sh", "-c", "cat > got"}, &text), 0);
    EXPECT_EQ(TestEnv::readFile("got"), text);
    // A child that quits without reading: more input than a pipe holds cannot reach it.
    const std::string big(1 << 20, 'x');
    log.clear();
    EXPECT_EQ(Common_Run({"/bin/true"}, &big), -1);
    EXPECT_TRUE(log.contains("input bytes"));
}
