// Digital I/O against a simulated sysfs GPIO tree (sim/gpio/gpio-tree): line set-up,
// active-low inputs, output writes, edges, and input changes reaching the event queue
// through the same handler as on the board.
#include "io.h"
#include "unit_common.h"

#include <cstdlib>

namespace {
using Lines = std::vector<std::string>;
const std::string kTree = std::string(KEST_SOURCE_DIR) + "/sim/gpio/gpio-tree";

class IoTest : public ::testing::Test {
  protected:
    TestEnv env;
    RecordingSink sink;

    void SetUp() override {
        ASSERT_EQ(std::system((kTree + " init " + env.sysroot()).c_str()), 0);
        EwDriver_SetDeviceObject(&sink);
        Threads_Init();
    }
    void TearDown() override {
        sink.drain(); // nothing is left queued at exit
        EwDriver_SetDeviceObject(nullptr);
    }
    std::string attr(uint32_t gpio, const char* leaf) const {
        return TestEnv::readFile(env.sysroot() + "/sys/class/gpio/gpio" + std::to_string(gpio) +
                                 "/" + leaf);
    }
    void setAttr(uint32_t gpio, const char* leaf, const std::string& v) const {
        TestEnv::writeFile(
            env.sysroot() + "/sys/class/gpio/gpio" + std::to_string(gpio) + "/" + leaf, v);
    }
    // Drives input `pos` (0-based) electrically low (0) or high (1).
    void wire(int pos, int level) const {
        std::string cmd = kTree + " wire " + env.sysroot() + " " + std::to_string(pos + 1) + " " +
                          std::to_string(level);
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
};
} // namespace

TEST_F(IoTest, InitThenInputsReadActiveLowOutputsWriteAndEdgeWordsWithinBounds) {
    setAttr(gpio_out_no[4], "value", "1\n"); // the kernel's level of a new output
    ASSERT_EQ(Gpio_Init(), 0);
    EXPECT_TRUE(Gpio_IsSimulated());
    for (int i = 0; i < IO_PORT_COUNT; ++i) {
        SCOPED_TRACE(i);
        const uint32_t out = gpio_out_no[i], in = gpio_in_no[i];
        EXPECT_EQ((Lines{attr(out, "direction"), attr(out, "edge"), attr(in, "direction"),
                         attr(in, "active_low"), attr(in, "edge")}),
                  (Lines{"out\n", "none\n", "in\n", "1\n", "both\n"}));
        EXPECT_EQ(get_gpio_out_val(i), 0);
    }
    EXPECT_EQ(std::tuple(attr(GPIO_EXTRA_OUT, "direction"), attr(gpio_out_no[4], "value")),
              std::tuple("out\n", "1\n"));
    // The last line exported is the extra output.
    EXPECT_EQ(TestEnv::readFile(env.sysroot() + "/sys/class/gpio/export"), "110\n");
    EXPECT_TRUE(sink.drain().empty()); // set-up posts nothing
    // An input wired low reads 1, high reads 0.
    for (int pos : {0, 7, 15}) {
        wire(pos, 0);
        EXPECT_EQ(get_gpio_in_val(pos), 1) << pos;
        wire(pos, 1);
        EXPECT_EQ(get_gpio_in_val(pos), 0) << pos;
    }
    EXPECT_EQ(std::tuple(get_gpio_in_val(16), get_gpio_in_val(-1)), std::tuple(-1, -1));
    // An output writes and remembers its level.
    Debug_GetFlag()[DEBUG_FLAG_OUTPUT] = 1;
    LogCapture log;
    // The port, the level written, the value file and the level remembered afterwards.
    const std::tuple<int, int, const char*, int> cases[] = {
        {0, 1, "1\n", 1}, {15, 7, "1\n", 1}, {15, 0, "0\n", 0}, {8, -1, "1\n", 1}};
    for (const auto& [pos, level, file, remembered] : cases) {
        ASSERT_EQ(set_gpio_out_val(pos, level), 0);
        EXPECT_EQ(std::tuple(attr(gpio_out_no[pos], "value"), get_gpio_out_val(pos)),
                  std::tuple(file, remembered));
    }
    EXPECT_TRUE(log.contains("output, port.0 = 1") && log.contains("output, port.15 = 0"));
    EXPECT_EQ(std::tuple(set_gpio_out_val(16, 1), set_gpio_out_val(-1, 1)), std::tuple(-1, -1));
    // The edge words, and the bounds.
    const char* words[] = {"none\n", "rising\n", "falling\n", "both\n"};
    for (int e = 0; e < 4; ++e) {
        ASSERT_EQ(set_gpio_edge(gpio_in_no[5], e), 0);
        EXPECT_EQ(attr(gpio_in_no[5], "edge"), words[e]);
    }
    // Out of range, and no such line.
    EXPECT_EQ(std::tuple(set_gpio_edge(gpio_in_no[5], 4), set_gpio_edge(gpio_in_no[5], -1),
                         set_gpio_edge(999, 3)),
              std::tuple(-1, -1, -1));
    EXPECT_EQ(attr(gpio_in_no[5], "edge"), "both\n");
    EXPECT_EQ(log.count("set_gpio_edge."), 3u);
}

TEST_F(IoTest, ToggledInputReachesTheQueueWithItsLevelAndAnEmptyValueIsAFailure) {
    Debug_GetFlag()[DEBUG_FLAG_INPUT] = 1;
    LogCapture log;
    Gpio_Init();
    wire(2, 0);
    ASSERT_TRUE(sink.waitFor("input 2", 20000));
    EXPECT_EQ(sink.with("input"), std::vector<std::string>{"input 2 1"});
    wire(2, 1);
    ASSERT_TRUE(sink.waitFor("input 2 0", 20000));
    wire(11, 0);
    ASSERT_TRUE(sink.waitFor("input 11 1", 20000));
    EXPECT_EQ(sink.with("input"),
              (std::vector<std::string>{"input 2 1", "input 2 0", "input 11 1"}));
    // The handler writes its line just after posting the event.
    auto logged = [&](const char* line) {
        return kest_test::WaitUntil([&] { return log.contains(line); });
    };
    EXPECT_TRUE(logged("input event, port.2 = 1") && logged("input event, port.11 = 1"));
    // An empty value is a failure, not a released input.
    sink.clear();
    wire(3, 0);
    ASSERT_TRUE(sink.waitFor("input 3 1", 20000));
    // A value file caught empty (half rewritten) must neither read as 0 nor post an event.
    setAttr(gpio_in_no[3], "value", "");
    EXPECT_EQ(get_gpio_in_val(3), -1);
    // The GUI read and the handler each say so; the next edge waits for the handler's line.
    kest_test::WaitUntil([&] { return log.count("input 3 read fail, empty") >= 2; });
    EXPECT_EQ(log.count("input 3 read fail, empty"), 2u);
    wire(3, 1);
    ASSERT_TRUE(sink.waitFor("input 3 0", 20000));
    EXPECT_EQ(sink.with("input"), (std::vector<std::string>{"input 3 1", "input 3 0"}));
    EXPECT_EQ(get_gpio_in_val(3), 0) << "the GUI read does not disturb the watch";
    wire(3, 0);
    EXPECT_TRUE(sink.waitFor("input 3 1", 20000));
}

TEST_F(IoTest, MissingTreeFailsLoudlyWithoutEvents) {
    // A board without these lines: every input open fails and is logged once.
    std::system(("rm -rf " + env.sysroot() + "/sys").c_str());
    LogCapture log;
    Gpio_Init();
    EXPECT_EQ(log.count("open fail"), size_t(IO_PORT_COUNT));
    EXPECT_EQ(std::tuple(get_gpio_in_val(0), set_gpio_out_val(0, 1)), std::tuple(-1, -1));
    sink.drain();
    EXPECT_TRUE(sink.with("input").empty());
}
