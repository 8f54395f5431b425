// Step operations, names, renaming and copying of jobs, and the record codecs.
#include "job.h"
#include "unit_common.h"

namespace {

struct JobStepTest : ::testing::Test {
    TestEnv env;
    LogCapture log;
    void SetUp() override {
        fs::create_directories("files/job");
        load_job();
        ASSERT_EQ(job_new("base"), 0);
        ASSERT_EQ(job_new("other"), 0);
        ASSERT_EQ(job_load(0), 0);
    }
    std::vector<std::string> stepNames() {
        std::vector<std::string> out;
        for (int i = 0; i < job_steps_len(); ++i)
            out.push_back(get_stepname_sdx(i));
        return out;
    }
};
} // namespace

TEST_F(JobStepTest, NewStepsAreNamedByTypeCounter) {
    for (uint32_t t = 0; t < STEP_TYPE_COUNT; ++t)
        ASSERT_EQ(step_new(t), 0);
    step_new(STEP_FASTENING);
    EXPECT_EQ(stepNames(), (std::vector<std::string>{"fastening-1", "input-1", "output-1",
                                                     "delay-1", "message-1", "fastening-2"}));
    EXPECT_EQ(job_loaded_header()->entry.steps, 6u);
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

TEST_F(JobStepTest, MoveStepsWithinBoundsAndDeleteDecrementsCounterAndCount) {
    for (int i = 0; i < 3; ++i)
        step_new(STEP_DELAY);
    EXPECT_EQ(std::tuple(step_move_up(0), step_move_down(2), step_move_up(3)),
              std::tuple(-1, -1, -1));
    EXPECT_TRUE(log.contains("invalid parameters ("));
    EXPECT_EQ(step_move_up(2), 0);
    EXPECT_EQ(stepNames(), (std::vector<std::string>{"delay-1", "delay-3", "delay-2"}));
    EXPECT_EQ(step_move_down(0), 0);
    EXPECT_EQ(stepNames(), (std::vector<std::string>{"delay-3", "delay-1", "delay-2"}));
    EXPECT_EQ(step_move_down(1), 0); // into the last place
    EXPECT_EQ(stepNames(), (std::vector<std::string>{"delay-3", "delay-2", "delay-1"}));
    // A delete takes one off the type's counter and the count.
    step_new(STEP_INPUT);
    step_new(STEP_INPUT);
    EXPECT_EQ(step_delete(3), 0);
    EXPECT_EQ(std::tuple(job_loaded_header()->entry.counters[STEP_INPUT],
                         job_loaded_header()->entry.steps),
              std::tuple(1u, 4u));
    EXPECT_EQ(step_delete(4), -1);
    EXPECT_EQ(stepNames(), (std::vector<std::string>{"delay-3", "delay-2", "delay-1", "input-2"}));
}

TEST_F(JobStepTest, CopyAppendsAtTheEndWithSuffix) {
    step_new(STEP_FASTENING);
    step_new(STEP_INPUT);
    step_new(STEP_OUTPUT);
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
    ScrewPosition q;
    job_decode_screwpos(b, &q);
    EXPECT_EQ(std::tuple(q.y, q.ng[2]), std::tuple(-2, 0xdd));
    // A save keeps the geometry of disabled positions.
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
    next[1].x = 99; // disabled: only its enabled word changes
    step_save_screwpos(&r, "", next);
    step_get_fasten(r, &f);
    EXPECT_EQ(std::tuple(std::string(f.img_path), f.pos[0].x, f.pos[1].enabled, f.pos[1].x),
              std::tuple("img/a.png", 11, 0u, 20));
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
