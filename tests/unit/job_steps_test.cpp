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
    EXPECT_EQ(o.width, 100u);
    StepFasten f;
    step_get_fasten(*job_step(0), &f);
    EXPECT_EQ(f.screws, 0u);
    EXPECT_EQ(f.tool_name[0], '\0');
    EXPECT_EQ(step_new(5), -1);
    EXPECT_TRUE(log.contains("invalid step type (5)"));
    job_free();
    EXPECT_EQ(step_new(STEP_INPUT), -1) << "no job loaded";
    EXPECT_EQ(job_steps_len(), 0);
}

TEST_F(JobStepTest, MoveStepsWithinBoundsAndDeleteDecrementsCounterAndCount) {
    for (int i = 0; i < 3; ++i)
        step_new(STEP_DELAY);
    EXPECT_EQ(step_move_up(0), -1);
    EXPECT_EQ(step_move_down(2), -1);
    EXPECT_EQ(step_move_up(3), -1);
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
    EXPECT_EQ(job_loaded_header()->entry.counters[STEP_INPUT], 1u);
    EXPECT_EQ(job_loaded_header()->entry.steps, 4u);
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
    EXPECT_STREQ(get_stepname_sdx(3), "fastening-1-copy");
    EXPECT_EQ(job_get_u32(job_step(3)->b + SF_SCREWS), 7u);
    EXPECT_EQ(job_loaded_header()->entry.counters[STEP_FASTENING], 2u);
    EXPECT_EQ(job_loaded_header()->entry.steps, 4u);
    EXPECT_EQ(step_copy(4), -1);
    std::string longName(125, 'm');
    ASSERT_EQ(set_stepname_sdx(1, longName.c_str()), 0);
    step_copy(1);
    EXPECT_EQ(std::string(get_stepname_sdx(4)), (longName + "-copy").substr(0, 127));
}

TEST_F(JobStepTest, NameAccessorsValidateIndexesAndRenameMovesTheFileAndHeaderName) {
    EXPECT_EQ(get_jobname_jdx(-1), nullptr);
    EXPECT_TRUE(log.contains("invalid job index (-1)"));
    EXPECT_STREQ(get_jobname_jdx(1), "other");
    EXPECT_EQ(get_stepname_sdx(0), nullptr);
    EXPECT_TRUE(log.contains("invalid sdx (0,0)"));
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
    EXPECT_STREQ(img.c_str() + 16, "renamed");
    EXPECT_STREQ(get_jobname_jdx(0), "renamed");
    load_job();
    EXPECT_EQ(find_jdx_by_name("renamed"), 0);
    EXPECT_EQ(set_jobname_jdx(0, "renamed"), 0) << "renaming to its own name is harmless";
    EXPECT_EQ(set_jobname_jdx(3, "x"), -1);
    EXPECT_EQ(set_jobname_jdx(0, nullptr), -1);
    EXPECT_TRUE(log.contains("invalid parameters (3, "));
}

TEST_F(JobStepTest, RenameOrCopyOntoAnExistingJobIsRefusedAndAFailedRenameKeepsTheEntry) {
    std::string otherBefore = TestEnv::readFile(jobPath("other"));
    EXPECT_EQ(set_jobname_jdx(0, "other"), JOB_ERR_NAME_EXISTS);
    EXPECT_EQ(job_copy(0, "other"), JOB_ERR_NAME_EXISTS);
    EXPECT_EQ(TestEnv::readFile(jobPath("other")), otherBefore);
    EXPECT_STREQ(get_jobname_jdx(0), "base");
    EXPECT_EQ(job_list_len(), 2);
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
    EXPECT_STREQ(get_jobname_jdx(2), "dup");
    EXPECT_EQ(job_list_entry(2)->jdx, 2u);
    std::string a = TestEnv::readFile(jobPath("base")), b = TestEnv::readFile(jobPath("dup"));
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a.substr(144), b.substr(144));
    EXPECT_STREQ(b.c_str() + 16, "dup");
    EXPECT_EQ(uint8_t(b[12]), 2);
    load_job();
    ASSERT_EQ(job_load(2), 0);
    EXPECT_EQ(job_steps_len(), 2);
    // An invalid index or a missing source fails.
    EXPECT_EQ(job_copy(9, "x"), -1);
    EXPECT_EQ(job_copy(0, nullptr), -1);
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
    EXPECT_FALSE(TestEnv::exists("pwned"));
    EXPECT_FALSE(TestEnv::exists("pwned2"));
    EXPECT_FALSE(TestEnv::exists("files/job/pwned"));
    load_job();
    EXPECT_EQ(job_list_len(), expected);
    EXPECT_EQ(find_jdx_by_name("-rf2"), 6);
}

TEST(JobRecord, ScrewPositionLayoutDisabledGeometryKeptAndDelayModesWriteOnlyTheirOwn) {
    ScrewPosition p;
    p.enabled = 1;
    p.x = 640;
    p.y = -2;
    p.radius = 20;
    p.width = 3;
    p.pending[0] = 0xff;
    p.ok[1] = 0xee;
    p.ng[2] = 0xdd;
    uint8_t b[SCREW_POSITION_SIZE];
    memset(b, 0x55, sizeof b);
    job_encode_screwpos(p, b);
    EXPECT_EQ(job_get_u32(b + 4), 640u);
    EXPECT_EQ(job_get_u32(b + 8), 0xfffffffeu);
    EXPECT_EQ(b[20], 0xff);
    EXPECT_EQ(b[24], 0xee);
    EXPECT_EQ(b[28], 0xdd);
    EXPECT_EQ(b[29] | b[30] | b[31], 0);
    ScrewPosition q;
    job_decode_screwpos(b, &q);
    EXPECT_EQ(q.y, -2);
    EXPECT_EQ(q.ng[2], 0xdd);
    // A save keeps the geometry of disabled positions.
    StepRecord r;
    ScrewPosition pos[JOB_MAX_SCREW_POS];
    pos[0].enabled = 1;
    pos[0].x = 10;
    pos[1].enabled = 1;
    pos[1].x = 20;
    step_save_screwpos(&r, "img/a.png", pos);
    StepFasten f;
    step_get_fasten(r, &f);
    EXPECT_EQ(f.img_flag, 1u);
    EXPECT_STREQ(f.img_path, "img/a.png");
    ScrewPosition next[JOB_MAX_SCREW_POS];
    next[0].enabled = 1;
    next[0].x = 11;
    next[1].x = 99; // disabled: only its enabled word changes
    step_save_screwpos(&r, "", next);
    step_get_fasten(r, &f);
    EXPECT_STREQ(f.img_path, "img/a.png");
    EXPECT_EQ(f.pos[0].x, 11);
    EXPECT_EQ(f.pos[1].enabled, 0u);
    EXPECT_EQ(f.pos[1].x, 20);
    // Delay modes share bytes and write only their own.
    StepRecord rec;
    StepDelay d;
    d.mode = 1;
    strcpy(d.line[0], "first line");
    strcpy(d.line[2], "third");
    step_put_delay(&rec, d);
    StepDelay back;
    step_get_delay(rec, &back);
    EXPECT_STREQ(back.line[0], "first line");
    EXPECT_STREQ(back.line[2], "third");
    EXPECT_EQ(back.time_value, 0u) << "other modes' fields stay empty";
    StepDelay bc;
    bc.mode = 2;
    memset(bc.barcode, 'B', 32);
    bc.partial = 1;
    bc.range_start = 2;
    bc.range_end = 5;
    step_put_delay(&rec, bc);
    EXPECT_EQ(job_get_u32(rec.b + 172), 1u);
    EXPECT_EQ(job_get_u32(rec.b + 180), 5u);
    EXPECT_STREQ(reinterpret_cast<const char*>(rec.b + 264), "") << "line 2 untouched (was empty)";
    EXPECT_STREQ(reinterpret_cast<const char*>(rec.b + 392), "third") << "line 3 kept";
    step_get_delay(rec, &back);
    EXPECT_EQ(std::string(back.barcode), std::string(32, 'B'));
    EXPECT_EQ(back.range_start, 2u);
    EXPECT_EQ(back.line[0][0], '\0');
}
