// Software upgrade over real files: a program in the test's data home that no file replaces
// unless it is a whole copy of an executable of this machine (the trial start and the
// replacement itself, with the real program, are in the process tests).
#include "FileSizeLimit.h"
#include "unit_common.h"
#include "upgrade.h"

#include <elf.h>

#include <fstream>

namespace {

// The head of an executable of this machine (the test program's own file), long enough
// for a copy to take several blocks.
std::string ownProgram() {
    std::ifstream f("/proc/self/exe", std::ios::binary);
    std::string s(300000, '\0');
    f.read(s.data(), std::streamsize(s.size()));
    s.resize(size_t(f.gcount()));
    return s;
}
std::string withMachine(std::string elf, uint16_t machine) {
    memcpy(&elf[EI_NIDENT + 2], &machine, 2);
    return elf;
}

TEST(Upgrade,
     OnlyAWholeExecutableOfThisMachineThatStartsReplacesTheProgramWhosePathFollowsTheLauncher) {
    TestEnv env;
    LogCapture log;
    const std::string program = env.home() + "/zqcapp";
    Upgrade_SetProgramPath(program.c_str());
    const std::string good = ownProgram();
    UpgradeElfId self{};
    ASSERT_EQ(Upgrade_SelfId(&self), 0);
    std::string otherClass = good;
    otherClass[EI_CLASS] = self.elfClass == ELFCLASS64 ? ELFCLASS32 : ELFCLASS64;
    // A name, the file's content, how it is installed, the result, the line logged.
    using Row =
        std::tuple<std::string, std::string, std::function<int(const char*)>, int, std::string>;
    auto plain = [](const char* f) { return Upgrade_Install(f); };
    auto cut = [](const char* f) {
        Upgrade_SetCopyCutAfter(4096);
        int r = Upgrade_Install(f);
        Upgrade_SetCopyCutAfter(-1);
        return r;
    };
    // The copy may not grow beyond 64 KiB, as on a full card.
    auto fullDisk = [](const char* f) {
        return kest_test::RunWithFileSizeLimit(65536, [f] { return Upgrade_Install(f); });
    };
    const uint16_t otherMachine = self.machine == EM_AARCH64 ? EM_X86_64 : EM_AARCH64;
    const std::vector<Row> rows = {
        {"other machine", withMachine(good, otherMachine), plain, UPGRADE_ERR_ARCH,
         "built for another machine"},
        {"other class", otherClass, plain, UPGRADE_ERR_ARCH, "built for another machine"},
        {"a script", "#!/bin/sh\necho hi\n", plain, UPGRADE_ERR_FORMAT, "not an executable"},
        {"empty", "", plain, UPGRADE_ERR_FORMAT, "not an executable"},
        {"truncated copy", good, cut, UPGRADE_ERR_SIZE, "has 4096 bytes of"},
        {"full disk", good, fullDisk, UPGRADE_ERR_COPY, "write"},
        {"missing", "", [](const char*) { return Upgrade_Install("/nonexistent/x.dmk"); },
         UPGRADE_ERR_OPEN, "open /nonexistent/x.dmk fail"},
    };
    for (const auto& [name, content, install, want, line] : rows) {
        TestEnv::writeFile(program, "running program");
        const std::string file = env.root() + "/new.dmk";
        TestEnv::writeFile(file, content);
        log.clear();
        EXPECT_EQ(install(file.c_str()), want) << name;
        // The child logs the full disk's line.
        EXPECT_TRUE(name == "full disk" || log.contains(line)) << name;
        EXPECT_EQ(TestEnv::readFile(program), "running program") << name;
        EXPECT_FALSE(TestEnv::exists(program + ".prev")) << name;
        EXPECT_FALSE(TestEnv::exists(env.home() + "/.zqcapp.upgrade")) << name;
    }

    Upgrade_SetProgramPath(nullptr);
    // The program path follows the launcher.
    setenv("ZQCAPP_PROGRAM", "/usr/bin/zqcapp", 1);
    EXPECT_EQ(Upgrade_ProgramPath(), "/usr/bin/zqcapp");
    unsetenv("ZQCAPP_PROGRAM");
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(Upgrade_ProgramPath(), std::string(exe, size_t(n)));
}

} // namespace
