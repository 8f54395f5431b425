// Job store against real job files in a temporary data home: the list, loads and saves,
// step operations, names, renaming and copying of jobs, and the record codecs.
#include "job.h"
#include "unit_common.h"

namespace {
// A job file image built byte by byte, independent of the store's encoder.
std::string jobImage(const std::string& name, uint32_t jdx, uint32_t steps, uint32_t records,
                     const char* magic = "zqc.job.") {
    std::string img(172 + 4096 * size_t(records), '\0');
    memcpy(&img[0], magic, 8);
    img[9] = 1;
    auto put = [&](size_t off, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            img[off + size_t(i)] = char((v >> (8 * i)) & 0xff);
    };
    put(12, jdx);
    memcpy(&img[16], name.data(), std::min<size_t>(name.size(), 127));
    put(144, steps);
    for (uint32_t r = 0; r < records; ++r) {
        size_t base = 172 + 4096 * size_t(r);
        put(base, 1); // input step
        std::string sn = "input-" + std::to_string(r + 1);
        memcpy(&img[base + 4], sn.data(), sn.size());
    }
    return img;
}

// A little-endian word of a job's file.
uint32_t fileU32(const std::string& job, size_t off) {
    std::string s = TestEnv::readFile(jobPath(job));
    if (s.size() < off + 4) return 0xdeadbeef;
    return uint32_t(uint8_t(s[off])) | uint32_t(uint8_t(s[off + 1])) << 8 |
           uint32_t(uint8_t(s[off + 2])) << 16 | uint32_t(uint8_t(s[off + 3])) << 24;
}

using Names = std::vector<std::string>;

struct JobStoreTest : ::testing::Test {
    TestEnv env;
    LogCapture log;
    void SetUp() override {
        fs::create_directories("files/job");
        load_job();
        job_free();
    }
    void makeJobs(int n) {
        for (int i = 0; i < n; ++i)
            TestEnv::writeFile(jobPath("j" + std::to_string(i)),
                               jobImage("j" + std::to_string(i), uint32_t(i), 0, 0));
        ASSERT_EQ(load_job(), 0);
        ASSERT_EQ(job_list_len(), n);
    }
    // The list's job names, or the loaded job's step names.
    static Names names(bool steps = false) {
        Names out;
        for (int i = 0; i < (steps ? job_steps_len() : job_list_len()); ++i)
            out.push_back(steps ? get_stepname_sdx(i) : job_list_entry(i)->name);
        return out;
    }
};
} // namespace

TEST_F(JobStoreTest, EmptyOrMissingDirectoryAndScanSkipsHiddenShortForeignAndNonRegular) {
    for (bool missing : {false, true}) {
        if (missing) fs::remove_all("files/job");
        EXPECT_EQ(load_job(), 0) << missing;
        EXPECT_EQ(job_list_len(), 0) << missing;
    }
    EXPECT_TRUE(log.contains("load_job.") && log.contains("directory open fail (./files/job)"))
        << "missing directory is logged";
    log.clear();
    TestEnv::writeFile(jobPath("b"), jobImage("beta", 1, 0, 0));
    TestEnv::writeFile("files/job/.hidden.job", jobImage("hidden", 0, 0, 0));
    TestEnv::writeFile(jobPath("short"), jobImage("short", 2, 0, 0).substr(0, 171));
    TestEnv::writeFile(jobPath("foreign"), jobImage("foreign", 3, 0, 0, "zqc.jobX"));
    TestEnv::writeFile(jobPath("a"), jobImage("alpha", 0, 0, 0));
    fs::create_directories("files/job/subdir.job");
    ASSERT_EQ(mkfifo("files/job/pipe.job", 0600), 0);
    fs::create_symlink(fs::absolute(jobPath("a")), "files/job/link.job");
    // Stored names pick the file of a later rename or copy: none may leave the folder.
    TestEnv::writeFile(jobPath("evil"), jobImage("../../victim", 0, 0, 0));
    TestEnv::writeFile(jobPath("empty"), jobImage("", 1, 0, 0));
    ASSERT_EQ(load_job(), 0);
    EXPECT_EQ(names(), (Names{"alpha", "beta"}));
    for (const char* l :
         {"invalid job name in ./files/job/evil.job", "invalid job name in ./files/job/empty.job",
          "./files/job/short.job read error, expect 172 but 171",
          "invalid job file (./files/job/foreign.job)", "pipe.job is not a regular file",
          "subdir.job is not a regular file", "link.job is not a regular file"})
        EXPECT_TRUE(log.contains(l)) << l;
    EXPECT_FALSE(log.contains("hidden"));
}

TEST_F(JobStoreTest, MoveAtTheEdgesChangesNothingAndAFailedDeleteKeepsTheEntry) {
    makeJobs(5);
    auto before = names();
    EXPECT_EQ(job_move_up(0), 0);
    EXPECT_EQ(job_move_down(4), 0);
    EXPECT_EQ(job_move_up(-1), 0);
    EXPECT_EQ(job_move_down(7), 0);
    EXPECT_EQ(names(), before);
    EXPECT_TRUE(log.contains("invalid job index, 0 / 5") &&
                log.contains("invalid job index, 4 / 5"));
    EXPECT_EQ(job_delete(2), 0);
    EXPECT_FALSE(TestEnv::exists(jobPath("j2")));
    EXPECT_EQ(names(), (Names{"j0", "j1", "j3", "j4"}));
    EXPECT_EQ(job_delete(4), -1);
    EXPECT_EQ(job_delete(-1), -1);
    // A file that cannot be removed keeps its entry.
    fs::remove(jobPath("j0"));
    fs::create_directories(jobPath("j0") + "/inner"); // a non-empty folder cannot be removed
    EXPECT_EQ(job_delete(0), -1);
    EXPECT_EQ(job_list_len(), 4);
    EXPECT_TRUE(log.contains("g_remove return fail (./files/job/j0.job)"));
}

TEST_F(JobStoreTest, NewJobNamesAndTheHeaderWritten) {
    makeJobs(1);
    const std::string n200(200, 'n');
    // a name, the result, and the job's file name (empty when refused)
    const std::tuple<const char*, int, std::string> cases[] = {
        {"fresh", 0, "fresh"},
        {n200.c_str(), 0, n200.substr(0, 127)},
        {"j0", JOB_ERR_NAME_EXISTS, ""},
        {nullptr, -1, ""},
        {"", -1, ""},
        {"../escape", -1, ""},
        {"a/b", -1, ""},
        {".hidden", -1, ""},
    };
    for (const auto& [name, rc, file] : cases) {
        int before = job_list_len();
        EXPECT_EQ(job_new(name), rc) << (name ? name : "null");
        EXPECT_EQ(job_list_len(), before + (rc == 0)) << (name ? name : "null");
        if (rc != 0) continue;
        EXPECT_EQ(job_list_entry(before)->jdx, uint32_t(before));
        std::string img = TestEnv::readFile(jobPath(file));
        ASSERT_EQ(img.size(), 172u);
        EXPECT_EQ(std::tuple(img.substr(0, 8), img[9], fileU32(file, 12), std::string(&img[16])),
                  std::tuple("zqc.job.", char(1), uint32_t(before), file));
    }
    EXPECT_TRUE(log.contains("name is null"));
    EXPECT_FALSE(TestEnv::exists("files/escape.job"));
    EXPECT_EQ(fileU32("j0", 12), 0u) << "the existing file is not replaced";
    // A failure says what failed.
    log.clear();
    Common_SetWriteFailAfter(10);
    EXPECT_EQ(job_new("w"), -1);
    Common_SetWriteFailAfter(-1);
    EXPECT_TRUE(log.contains("job_new.") &&
                log.contains("./files/job/w.job write error, expect 172 : Input/output error"));
    EXPECT_FALSE(log.contains("open fail")) << "the file could be opened";
    fs::remove_all("files/job"); // now the open itself fails
    log.clear();
    EXPECT_EQ(job_new("o"), -1);
    EXPECT_TRUE(log.contains("./files/job/o.job open fail : No such file or directory"));
}

TEST_F(JobStoreTest, LoadReadsAllStepsOrStopsAtTheEndOfTheFileAndFailuresLeaveAnEmptyJob) {
    const std::tuple<uint32_t, uint32_t, int, const char*> cases[] = {
        {3, 3, 0, nullptr},
        {3, 2, -1, "step(3/3) read fail, expect 4096 but 0"},
        {0xffffffffu, 1, -1, "step(2/-1) read fail"}}; // no 4 billion tries
    for (const auto& [steps, records, rc, logged] : cases) {
        TestEnv::writeFile(jobPath("j"), jobImage("j", 0, steps, records));
        load_job();
        log.clear();
        EXPECT_EQ(job_load(0), rc) << steps;
        EXPECT_TRUE(job_is_loaded());
        EXPECT_EQ(job_steps_len(), int(records));
        EXPECT_EQ(log.count("read fail"), logged ? 1u : 0u);
        EXPECT_TRUE(!logged || log.contains(logged)) << logged;
    }
    EXPECT_STREQ(get_stepname_sdx(0), "input-1");
    // Failures leave an empty loaded job.
    for (const char* logged : {"invalid job index, 5 / 1", "./files/job/j.job open fail"}) {
        if (logged[0] == '.') fs::remove(jobPath("j"));
        EXPECT_EQ(job_load(logged[0] == '.' ? 0 : 5), -1) << logged;
        EXPECT_EQ(std::tuple(job_is_loaded(), job_steps_len()), std::tuple(true, 0)) << logged;
        EXPECT_TRUE(log.contains(logged));
    }
    job_free();
    EXPECT_EQ(std::tuple(job_is_loaded(), job_steps_len()), std::tuple(false, 0));
}

TEST_F(JobStoreTest, SaveRecomputesTheCountersFromTheSteps) {
    makeJobs(1);
    ASSERT_EQ(job_load(0), 0);
    for (uint32_t t : {STEP_FASTENING, STEP_FASTENING, STEP_INPUT, STEP_DELAY})
        ASSERT_EQ(step_new(t), 0) << t;
    job_put_u32(job_step(2)->b + SF_SCREWS, 100); // not a fastening step: not counted
    ASSERT_EQ(job_save(0), 0);
    EXPECT_EQ(fileU32("j0", 148), 0u) << "no fastening step, no screws";
    job_put_u32(job_step(0)->b + SF_SCREWS, 4);
    job_put_u32(job_step(1)->b + SF_SCREWS, 5);
    ASSERT_EQ(job_save(0), 0);
    // steps, screws, then the fastening, input and delay counters
    for (auto [off, want] : {std::pair{144, 4u}, {148, 9u}, {152, 2u}, {156, 1u}, {164, 1u}})
        EXPECT_EQ(fileU32("j0", size_t(off)), want) << off;
}

TEST_F(JobStoreTest, PowerCutDuringSaveLeavesOldOrNewFileAndRecomputedCountersReuseNumbers) {
    makeJobs(1);
    job_load(0);
    step_new(STEP_MESSAGE);
    ASSERT_EQ(job_save(0), 0);
    std::string before = TestEnv::readFile(jobPath("j0"));
    step_new(STEP_MESSAGE);
    step_new(STEP_OUTPUT);
    for (long cut : {0L, 100L, 172L, 5000L, 12000L}) {
        Common_SetWriteFailAfter(cut);
        EXPECT_EQ(job_save(0), -1) << cut;
        EXPECT_EQ(TestEnv::readFile(jobPath("j0")), before) << cut;
        EXPECT_EQ(job_list_entry(0)->steps, 1u) << "the list shows what the file holds";
    }
    Common_SetWriteFailAfter(-1);
    EXPECT_EQ(job_save(0), 0);
    EXPECT_EQ(job_list_entry(0)->steps, 3u);
    EXPECT_EQ(fs::file_size(jobPath("j0")), 172u + 3 * 4096);
    for (const auto& e : fs::directory_iterator("files/job"))
        EXPECT_EQ(e.path().extension(), ".job") << "no temporary file left: " << e.path();
    // Recomputed counters reuse step numbers (after the three steps above).
    for (int i = 0; i < 3; ++i)
        step_new(STEP_INPUT);
    EXPECT_STREQ(get_stepname_sdx(5), "input-3");
    step_delete(4);
    job_save(0);
    step_new(STEP_INPUT);
    EXPECT_EQ(std::tuple(std::string(get_stepname_sdx(4)), std::string(get_stepname_sdx(5))),
              std::tuple("input-3", "input-3"));
}

TEST_F(JobStoreTest, SaveStoresTheCurrentIndexEvenAfterAMove) {
    makeJobs(2);
    ASSERT_EQ(job_load(1), 0);
    job_move_up(1); // j1 now at position 0
    ASSERT_EQ(job_save(0), 0);
    EXPECT_EQ(fileU32("j1", 12), 0u);
    load_job();
    EXPECT_EQ(names(), (Names{"j1", "j0"}));
}

// ---- stored indexes with gaps and repeats: positions rule, the files follow ----

namespace {
struct StoredJob {
    const char* name; // also the file name
    uint32_t jdx;
};

struct GappedListTest : JobStoreTest {
    void writeJobs(std::initializer_list<StoredJob> jobs) {
        for (const auto& j : jobs)
            TestEnv::writeFile(jobPath(j.name), jobImage(j.name, j.jdx, 0, 0));
        ASSERT_EQ(load_job(), 0);
    }
    // Every entry holds its position, in memory and in its file.
    void expectPositionsStored() {
        for (int i = 0; i < job_list_len(); ++i) {
            EXPECT_EQ(job_list_entry(i)->jdx, uint32_t(i)) << job_list_entry(i)->name;
            EXPECT_EQ(fileU32(job_list_entry(i)->name, 12), uint32_t(i)) << job_list_entry(i)->name;
        }
    }
    // The list in this order, every entry holding its position, and the same after a restart.
    void expectOrder(const Names& want) {
        EXPECT_EQ(names(), want);
        expectPositionsStored();
        load_job();
        EXPECT_EQ(names(), want) << "after a restart";
    }
};
} // namespace

TEST_F(GappedListTest, LoadStoresPositionsMoveSwapsOnlyTheNeighboursNewAndCopiedStayLast) {
    writeJobs({{"A", 5}, {"B", 6}, {"C", 7}});
    expectOrder({"A", "B", "C"});
    EXPECT_EQ(job_move_down(1), 0);
    expectOrder({"A", "C", "B"});
    EXPECT_EQ(job_move_up(1), 0);
    expectOrder({"C", "A", "B"});
    // New and copied jobs stay last across a restart.
    ASSERT_EQ(job_new("N"), 0);
    ASSERT_EQ(job_copy(0, "A2"), 0);
    expectOrder({"C", "A", "B", "N", "A2"});
}

TEST_F(GappedListTest, RepeatedIndexesTieByFileNameAndAreRenumbered) {
    // Written in an order different from the file-name order the tie follows.
    writeJobs({{"second", 1}, {"third", 1}, {"first", 1}, {"zero", 0}});
    expectOrder({"zero", "first", "second", "third"});
}

TEST_F(GappedListTest, ConsistentFilesAreNotRewritten) {
    for (StoredJob j : {StoredJob{"A", 0}, StoredJob{"B", 1}, StoredJob{"C", 3}})
        TestEnv::writeFile(jobPath(j.name), jobImage(j.name, j.jdx, 0, 0));
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    auto age = [&] {
        for (const char* f : {"A", "B", "C"})
            fs::last_write_time(jobPath(f), old);
    };
    age();
    ASSERT_EQ(load_job(), 0);
    auto touched = [&] {
        std::string out;
        for (const char* f : {"A", "B", "C"})
            out += fs::last_write_time(jobPath(f)) != old ? f : "";
        return out;
    };
    EXPECT_EQ(touched(), "C") << "only the file that differed";
    EXPECT_EQ(fileU32("C", 12), 2u);
    age(); // a move touches just the two swapped files
    job_move_up(2);
    EXPECT_EQ(touched(), "BC");
}

TEST_F(GappedListTest, AFileCarryingAnotherJobsNameKeepsItsOwnIndexAndSteps) {
    // a.job was copied by hand from b.job: both carry the name "b".
    TestEnv::writeFile(jobPath("a"), jobImage("b", 5, 1, 1));
    TestEnv::writeFile(jobPath("b"), jobImage("b", 6, 2, 2));
    writeJobs({{"c", 7}});
    for (int start = 0; start < 2; ++start) { // and the next start finds the same
        EXPECT_EQ(std::tuple(fileU32("a", 12), fileU32("b", 12), fileU32("c", 12)),
                  std::tuple(0u, 1u, 2u))
            << start;
        load_job();
    }
    // The first entry of that name; the file name is not the job's name.
    EXPECT_EQ(std::tuple(find_jdx_by_name("b"), find_jdx_by_name("a"), find_jdx_by_name(nullptr)),
              std::tuple(0, -1, -1));
    ASSERT_EQ(job_load(0), 0);
    EXPECT_EQ(job_steps_len(), 1) << "a.job's own steps";
    std::string b = TestEnv::readFile(jobPath("b"));
    step_new(STEP_INPUT);
    ASSERT_EQ(job_save(0), 0);
    EXPECT_EQ(fileU32("a", 144), 2u);
    EXPECT_EQ(TestEnv::readFile(jobPath("b")), b) << "the other job's file is untouched";
}

TEST_F(GappedListTest, IndexIsNeverWrittenThroughAFifoOrFolder) {
    writeJobs({{"A", 0}, {"P", 1}, {"D", 2}, {"Z", 3}});
    // Replaced while the panel runs (a restore beside it): a FIFO opened for writing
    // would wait for a reader forever, so the test is bounded.
    fs::remove(jobPath("P"));
    ASSERT_EQ(mkfifo(jobPath("P").c_str(), 0600), 0);
    fs::remove(jobPath("D"));
    fs::create_directories(jobPath("D"));
    alarm(20);
    ASSERT_EQ(job_delete(0), 0);
    EXPECT_EQ(job_load(0), -1) << "refused at once instead of waiting for a writer";
    alarm(0);
    EXPECT_EQ(names(), (Names{"P", "D", "Z"}));
    EXPECT_TRUE(log.contains("job_delete.") && log.contains("./files/job/D.job open fail"));
    EXPECT_EQ(log.count("./files/job/P.job open fail"), 2u);
    EXPECT_EQ(fileU32("Z", 12), 2u) << "the others are still renumbered";
    EXPECT_TRUE(fs::is_fifo(jobPath("P")));
}

// ---- a save goes only to the job that was loaded ----

TEST_F(JobStoreTest, SaveUnderAnotherJobsIndexIsRefusedAndFollowsARenameOfTheLoadedJobOnly) {
    TestEnv::writeFile(jobPath("j0"), jobImage("j0", 0, 1, 1));
    TestEnv::writeFile(jobPath("j1"), jobImage("j1", 1, 2, 2));
    load_job();
    std::string j1 = TestEnv::readFile(jobPath("j1"));
    ASSERT_EQ(job_load(0), 0);
    step_new(STEP_MESSAGE);
    EXPECT_EQ(job_save(1), -1);
    EXPECT_EQ(std::tuple(TestEnv::readFile(jobPath("j1")), job_list_entry(1)->steps),
              std::tuple(j1, 2u));
    EXPECT_TRUE(
        log.contains("job_save.") &&
        log.contains("job 1 is ./files/job/j1.job, not the loaded job (./files/job/j0.job)"));
    EXPECT_EQ(job_save(0), 0) << "its own index still saves";
    EXPECT_EQ(fileU32("j0", 144), 2u);
    // A save follows a rename of the loaded job only.
    step_new(STEP_INPUT);
    ASSERT_EQ(set_jobname_jdx(1, "other"), 0);
    EXPECT_EQ(job_save(1), -1) << "renaming another job does not make it the loaded one";
    ASSERT_EQ(set_jobname_jdx(0, "renamed"), 0);
    ASSERT_EQ(job_save(0), 0);
    const std::string img = TestEnv::readFile(jobPath("renamed"));
    ASSERT_EQ(img.size(), 172u + 3 * 4096);
    EXPECT_EQ(std::tuple(fileU32("renamed", 144), std::string(&img[16])),
              std::tuple(3u, "renamed"));
    EXPECT_FALSE(TestEnv::exists(jobPath("j0")));
}

TEST_F(JobStoreTest, SaveAfterAFailedOrMissingLoadIsRefused) {
    TestEnv::writeFile(jobPath("j0"), jobImage("j0", 0, 2, 2));
    load_job();
    std::string before = TestEnv::readFile(jobPath("j0"));
    EXPECT_EQ(job_save(0), -1) << "nothing loaded";
    EXPECT_TRUE(log.contains("job_save."));
    EXPECT_EQ(job_load(3), -1);
    EXPECT_TRUE(job_is_loaded());
    EXPECT_EQ(job_save(0), -1) << "an empty job must not replace j0";
    EXPECT_EQ(TestEnv::readFile(jobPath("j0")), before);
    // A deleted job cannot be saved over a new job that took its name.
    ASSERT_EQ(job_load(0), 0);
    EXPECT_EQ(std::tuple(job_save(1), job_save(-1)), std::tuple(-1, -1));
    ASSERT_EQ(job_delete(0), 0);
    ASSERT_EQ(job_new("j0"), 0);
    EXPECT_EQ(job_save(0), -1);
    EXPECT_EQ(fs::file_size(jobPath("j0")), 172u);
}

// ---- steps, names, renames and copies of a loaded job ----

namespace {
struct JobStepTest : JobStoreTest {
    void SetUp() override {
        JobStoreTest::SetUp();
        ASSERT_EQ(job_new("base"), 0);
        ASSERT_EQ(job_new("other"), 0);
        ASSERT_EQ(job_load(0), 0);
    }
};
} // namespace

TEST_F(JobStepTest, NewStepsCountAndStartEmptyAndAnUnknownTypeOrNoJobIsRefused) {
    for (uint32_t t = 0; t < STEP_TYPE_COUNT; ++t)
        ASSERT_EQ(step_new(t), 0);
    EXPECT_EQ(job_loaded_header()->entry.steps, 5u);
    StepOutput o;
    step_get_output(*job_step(2), &o);
    StepFasten f;
    step_get_fasten(*job_step(0), &f);
    EXPECT_EQ(std::tuple(o.width, f.screws, f.tool_name[0]), std::tuple(100u, 0u, '\0'));
    EXPECT_EQ(step_new(5), -1);
    EXPECT_TRUE(log.contains("invalid step type (5)"));
    job_free();
    EXPECT_EQ(step_new(STEP_INPUT), -1) << "no job loaded";
    EXPECT_EQ(job_steps_len(), 0);
}

TEST_F(JobStepTest, MovesOutOfBoundsAreRefusedAndDeleteDecrementsCounterAndCount) {
    for (int i = 0; i < 3; ++i)
        step_new(STEP_DELAY);
    EXPECT_EQ(std::tuple(step_move_up(0), step_move_down(2), step_move_up(3)),
              std::tuple(-1, -1, -1));
    EXPECT_TRUE(log.contains("invalid parameters ("));
    // A delete takes one off the type's counter and the count.
    step_new(STEP_INPUT);
    step_new(STEP_INPUT);
    EXPECT_EQ(step_delete(3), 0);
    EXPECT_EQ(std::tuple(job_loaded_header()->entry.counters[STEP_INPUT],
                         job_loaded_header()->entry.steps),
              std::tuple(1u, 4u));
    EXPECT_EQ(step_delete(4), -1);
    EXPECT_EQ(names(true), (Names{"delay-1", "delay-2", "delay-3", "input-2"}));
}

TEST_F(JobStepTest, CopyAppendsAtTheEndWithSuffix) {
    for (uint32_t t : {STEP_FASTENING, STEP_INPUT, STEP_OUTPUT})
        step_new(t);
    job_put_u32(job_step(0)->b + SF_SCREWS, 7);
    EXPECT_EQ(step_copy(0), 0);
    ASSERT_EQ(job_steps_len(), 4);
    const auto& entry = job_loaded_header()->entry;
    EXPECT_EQ(std::tuple(std::string(get_stepname_sdx(3)), job_get_u32(job_step(3)->b + SF_SCREWS),
                         entry.counters[STEP_FASTENING], entry.steps),
              std::tuple("fastening-1-copy", 7u, 2u, 4u));
    EXPECT_EQ(step_copy(4), -1);
    std::string longName(125, 'm');
    ASSERT_EQ(set_stepname_sdx(1, longName.c_str()), 0);
    step_copy(1);
    EXPECT_EQ(std::string(get_stepname_sdx(4)), (longName + "-copy").substr(0, 127));
}

TEST_F(JobStepTest, NameAccessorsValidateIndexesAndRenameMovesTheFileAndHeaderName) {
    EXPECT_TRUE(get_jobname_jdx(-1) == nullptr && get_stepname_sdx(0) == nullptr);
    EXPECT_TRUE(log.contains("invalid job index (-1)") && log.contains("invalid sdx (0,0)"));
    EXPECT_STREQ(get_jobname_jdx(1), "other");
    step_new(STEP_INPUT);
    std::string longName(300, 's');
    EXPECT_EQ(set_stepname_sdx(0, longName.c_str()), 0);
    EXPECT_EQ(strlen(get_stepname_sdx(0)), 127u);
    EXPECT_EQ(set_stepname_sdx(1, "x"), -1);
    // A rename moves the file and the header's name (the job holds the one step above).
    job_save(0);
    EXPECT_EQ(set_jobname_jdx(0, "renamed"), 0);
    EXPECT_FALSE(TestEnv::exists(jobPath("base")));
    std::string img = TestEnv::readFile(jobPath("renamed"));
    ASSERT_EQ(img.size(), 172u + 4096);
    EXPECT_EQ(std::tuple(std::string(img.c_str() + 16), std::string(get_jobname_jdx(0))),
              std::tuple("renamed", "renamed"));
    load_job();
    EXPECT_EQ(find_jdx_by_name("renamed"), 0);
    EXPECT_EQ(set_jobname_jdx(0, "renamed"), 0) << "renaming to its own name is harmless";
    EXPECT_EQ(std::tuple(set_jobname_jdx(3, "x"), set_jobname_jdx(0, nullptr)), std::tuple(-1, -1));
    EXPECT_TRUE(log.contains("invalid parameters (3, "));
}

TEST_F(JobStepTest, RenameOrCopyOntoAnExistingJobIsRefusedAndAFailedRenameKeepsTheEntry) {
    std::string otherBefore = TestEnv::readFile(jobPath("other"));
    EXPECT_EQ(set_jobname_jdx(0, "other"), JOB_ERR_NAME_EXISTS);
    EXPECT_EQ(job_copy(0, "other"), JOB_ERR_NAME_EXISTS);
    EXPECT_EQ(std::tuple(TestEnv::readFile(jobPath("other")), std::string(get_jobname_jdx(0)),
                         job_list_len()),
              std::tuple(otherBefore, "base", 2));
    // A file that is not in the list (for example a damaged one) is not replaced either.
    TestEnv::writeFile(jobPath("stray"), "not a job");
    EXPECT_EQ(set_jobname_jdx(0, "stray"), JOB_ERR_NAME_EXISTS);
    EXPECT_EQ(job_copy(0, "stray"), JOB_ERR_NAME_EXISTS);
    EXPECT_EQ(TestEnv::readFile(jobPath("stray")), "not a job");
    // A rename that fails keeps the entry.
    fs::remove(jobPath("base"));
    EXPECT_EQ(set_jobname_jdx(0, "newname"), -1);
    EXPECT_STREQ(get_jobname_jdx(0), "base");
    EXPECT_TRUE(log.contains("job rename fail (-1, -1, 0)"));
}

TEST_F(JobStepTest, CopyDuplicatesFileWithNewIndexAndNameOrFails) {
    step_new(STEP_FASTENING);
    step_new(STEP_DELAY);
    job_save(0);
    EXPECT_EQ(job_copy(0, "dup"), 0);
    ASSERT_EQ(job_list_len(), 3);
    EXPECT_EQ(std::tuple(std::string(get_jobname_jdx(2)), job_list_entry(2)->jdx),
              std::tuple("dup", 2u));
    std::string a = TestEnv::readFile(jobPath("base")), b = TestEnv::readFile(jobPath("dup"));
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a.substr(144), b.substr(144));
    EXPECT_EQ(std::tuple(std::string(b.c_str() + 16), uint8_t(b[12])), std::tuple("dup", 2));
    load_job();
    ASSERT_EQ(job_load(2), 0);
    EXPECT_EQ(job_steps_len(), 2);
    // An invalid index or a missing source fails.
    EXPECT_EQ(std::tuple(job_copy(9, "x"), job_copy(0, nullptr)), std::tuple(-1, -1));
    EXPECT_EQ(job_list_len(), 3);
    fs::remove(jobPath("other"));
    EXPECT_EQ(job_copy(1, "again"), -1);
    EXPECT_TRUE(log.contains("modify_jobheader_name."));
}

TEST_F(JobStepTest, HostileNamesCopyAndRenameSafely) {
    const char* names[] = {"a\"b", "$(touch pwned)", "`touch pwned2`", "with space",
                           "-rf",  "semi;colon",     "quote'single",   "star*"};
    int expected = job_list_len();
    for (const char* n : names) {
        ASSERT_EQ(job_copy(0, n), 0) << n;
        ++expected;
        EXPECT_TRUE(TestEnv::exists(jobPath(n))) << n;
        std::string renamed = std::string(n) + "2";
        ASSERT_EQ(set_jobname_jdx(expected - 1, renamed.c_str()), 0) << n;
        EXPECT_TRUE(TestEnv::exists(jobPath(renamed))) << n;
        EXPECT_FALSE(TestEnv::exists(jobPath(n))) << n;
    }
    EXPECT_EQ(job_list_len(), expected);
    for (const char* f : {"pwned", "pwned2", "files/job/pwned"})
        EXPECT_FALSE(TestEnv::exists(f)) << f;
    load_job();
    EXPECT_EQ(job_list_len(), expected);
    EXPECT_EQ(find_jdx_by_name("-rf2"), 6);
}

TEST(JobRecord, ScrewPositionLayoutDisabledGeometryKeptAndDelayModesWriteOnlyTheirOwn) {
    ScrewPosition p{.enabled = 1, .x = 640, .y = -2, .radius = 20, .width = 3};
    p.pending[0] = 0xff, p.ok[1] = 0xee, p.ng[2] = 0xdd;
    uint8_t b[SCREW_POSITION_SIZE];
    memset(b, 0x55, sizeof b);
    job_encode_screwpos(p, b);
    EXPECT_EQ(std::tuple(job_get_u32(b + 4), job_get_u32(b + 8), b[20], b[24], b[28],
                         b[29] | b[30] | b[31]),
              std::tuple(640u, 0xfffffffeu, 0xff, 0xee, 0xdd, 0));
    // A save without a picture keeps the one stored.
    StepRecord r;
    ScrewPosition pos[JOB_MAX_SCREW_POS];
    pos[0] = {.enabled = 1, .x = 10};
    pos[1] = {.enabled = 1, .x = 20};
    step_save_screwpos(&r, "img/a.png", pos);
    StepFasten f;
    step_get_fasten(r, &f);
    EXPECT_EQ(std::tuple(f.img_flag, std::string(f.img_path)), std::tuple(1u, "img/a.png"));
    ScrewPosition next[JOB_MAX_SCREW_POS];
    next[0] = {.enabled = 1, .x = 11};
    step_save_screwpos(&r, "", next);
    step_get_fasten(r, &f);
    EXPECT_EQ(std::tuple(std::string(f.img_path), f.pos[0].x, f.pos[1].enabled),
              std::tuple("img/a.png", 11, 0u));
    // Delay modes share bytes and write only their own.
    StepRecord rec;
    StepDelay d;
    d.mode = 1;
    strcpy(d.line[0], "first line");
    strcpy(d.line[2], "third");
    step_put_delay(&rec, d);
    StepDelay back;
    step_get_delay(rec, &back);
    EXPECT_EQ(std::tuple(std::string(back.line[0]), std::string(back.line[2]), back.time_value),
              std::tuple("first line", "third", 0u))
        << "other modes' fields stay empty";
    StepDelay bc{.mode = 2, .partial = 1, .range_start = 2, .range_end = 5};
    memset(bc.barcode, 'B', 32);
    step_put_delay(&rec, bc);
    EXPECT_EQ(std::tuple(job_get_u32(rec.b + 172), job_get_u32(rec.b + 180)), std::tuple(1u, 5u));
    EXPECT_STREQ(reinterpret_cast<const char*>(rec.b + 264), "") << "line 2 untouched (was empty)";
    EXPECT_STREQ(reinterpret_cast<const char*>(rec.b + 392), "third") << "line 3 kept";
    step_get_delay(rec, &back);
    EXPECT_EQ(std::tuple(std::string(back.barcode), back.range_start, back.line[0][0]),
              std::tuple(std::string(32, 'B'), 2u, '\0'));
}
