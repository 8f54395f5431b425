// The demo's sample jobs: jobgen writes them through the job store for the tools named in
// "./regtools", and the panel's store reads them back with the steps the demo relies on.
#include "FakeTool.h"
#include "TestEnv.h"
#include "job.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

namespace {
const std::string kJobgen = std::string(SIM_BIN_DIR) + "/jobgen/jobgen";

int runJobgen(const std::string& home) {
    return WEXITSTATUS(std::system((kJobgen + " --home '" + home + "' 2>/dev/null").c_str()));
}

std::vector<uint32_t> stepTypes() {
    std::vector<uint32_t> types;
    for (int s = 0; s < job_steps_len(); ++s)
        types.push_back(step_type(*job_step(s)));
    return types;
}

TEST(Jobgen, RefusesAHomeWithoutRegisteredToolsAndWritesTheJobsForThem) {
    TestEnv env;
    EXPECT_EQ(runJobgen(env.home()), 1);
    EXPECT_FALSE(TestEnv::exists("files/job/Demo steps.job"));
    TestEnv::writeFile("regtools", regRecord("ZQ-1", 1) + regRecord("XWC-2", 2, 1));
    ASSERT_EQ(runJobgen(env.home()), 0);
    ASSERT_EQ(runJobgen(env.home()), 0) << "a second run replaces the samples";
    ASSERT_EQ(load_job(), 0);
    ASSERT_EQ(job_list_len(), 2);

    ASSERT_EQ(job_load(find_jdx_by_name("Demo picture")), 0);
    ASSERT_EQ(stepTypes(), (std::vector<uint32_t>{STEP_FASTENING, STEP_FASTENING}));
    // Each step's tool, screw count and picture flag.
    const std::tuple<std::string, uint32_t, uint32_t> fastening[] = {{"ZQ-1", 4, 1},
                                                                     {"XWC-2", 2, 1}};
    for (int s = 0; s < 2; ++s) {
        StepFasten f;
        step_get_fasten(*job_step(s), &f);
        EXPECT_EQ(std::tuple(std::string(f.tool_name), f.screws, f.img_flag), fastening[s]);
        EXPECT_TRUE(TestEnv::exists(f.img_path)) << f.img_path;
        for (uint32_t k = 0; k < JOB_MAX_SCREW_POS; ++k)
            EXPECT_EQ(f.pos[k].enabled, k < f.screws ? 1u : 0u) << s << " " << k;
    }
    EXPECT_EQ(job_list_entry(find_jdx_by_name("Demo picture"))->total_screws, 6u);

    ASSERT_EQ(job_load(find_jdx_by_name("Demo steps")), 0);
    EXPECT_EQ(stepTypes(), (std::vector<uint32_t>{STEP_MESSAGE, STEP_INPUT, STEP_OUTPUT, STEP_DELAY,
                                                  STEP_FASTENING, STEP_FASTENING}));
    // The input step must pass at once in the demo, where nothing drives the inputs.
    StepInput in;
    step_get_input(*job_step(1), &in);
    EXPECT_EQ(in.condition, 3u);
    job_free();
}

} // namespace
