// traysim on its own: a libmodbus RTU master on its pty reads and writes the tray
// registers, and the script changes what it serves.
#include "TestEnv.h"
#include "TraySimProcess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <modbus.h>

namespace {
modbus_t* master(const std::string& path, int slave = 1) {
    modbus_t* m = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 1);
    if (!m) return nullptr;
    modbus_set_slave(m, slave);
    modbus_set_response_timeout(m, 0, 200000);
    if (modbus_connect(m) != 0) {
        modbus_free(m);
        return nullptr;
    }
    return m;
}

int readInput(modbus_t* m, int addr) {
    uint16_t v;
    return modbus_read_input_registers(m, addr, 1, &v) == 1 ? v : -1;
}
} // namespace

TEST(TraySim, HelpDescribesTheScript) {
    std::string cmd = std::string(SIM_BIN_DIR) + "/traysim/traysim --help";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    EXPECT_EQ(pclose(p), 0);
    for (const char* word : {"--link", "preset N", "silent", "back", "request", "3200"})
        EXPECT_NE(out.find(word), std::string::npos) << word;
}

TEST(TraySim, ServesTheRegisterMapAndFollowsTheScript) {
    TraySimProcess sim({"--preset", "3", "--alarm", "0", "--opmode", "1", "--sockets", "6"});
    ASSERT_FALSE(sim.pty().empty());
    modbus_t* m = master(sim.pty());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(readInput(m, 3201), 0);
    EXPECT_EQ(readInput(m, 3202), 1);
    EXPECT_EQ(readInput(m, 3203), 3);
    EXPECT_EQ(readInput(m, 3204), 6);
    uint16_t four[4];
    ASSERT_EQ(modbus_read_input_registers(m, 3201, 4, four), 4);
    EXPECT_EQ(four[2], 3);
    // Outside the map: an exception answer, not silence.
    EXPECT_EQ(readInput(m, 3205), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(sim.send("alarm 9"), "ok");
    EXPECT_EQ(sim.send("preset 65535"), "ok");
    EXPECT_EQ(sim.send("preset 65536").rfind("error", 0), 0u);
    EXPECT_EQ(readInput(m, 3201), 9);
    EXPECT_EQ(readInput(m, 3203), 65535);
    EXPECT_EQ(sim.send("request"), "request 0");
    EXPECT_EQ(modbus_write_register(m, 3200, 4), 1);
    EXPECT_EQ(sim.send("request"), "request 4");
    EXPECT_EQ(sim.send("silent"), "ok");
    EXPECT_EQ(readInput(m, 3201), -1);
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_EQ(sim.send("back"), "ok");
    EXPECT_EQ(readInput(m, 3201), 9);
    modbus_close(m);
    modbus_free(m);
    // Another slave address gets no answer.
    modbus_t* other = master(sim.pty(), 2);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(readInput(other, 3201), -1);
    modbus_close(other);
    modbus_free(other);
    std::string count = sim.send("count");
    EXPECT_EQ(count.rfind("count ", 0), 0u);
    EXPECT_EQ(std::atoi(count.c_str() + 6), 10); // the silent read is not answered
    EXPECT_EQ(sim.stop(), 0);
}

TEST(TraySim, LinkIsMadeAndRemoved) {
    TestEnv env;
    std::string link = env.sysroot() + "/dev/ttyUSB3";
    std::filesystem::create_directories(env.sysroot() + "/dev");
    {
        TraySimProcess sim({"--link", link});
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.pty());
        modbus_t* m = master(link);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(readInput(m, 3204), 0);
        modbus_close(m);
        modbus_free(m);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}
