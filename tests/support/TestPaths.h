// Where the tests find the source tree, the build tree and the programs they start. The
// absolute paths are compiled into TestPaths.cpp alone: as -D values on every test file they
// made each checkout's command lines differ, so no other clone ever hit the compiler cache.
// TestEnv.h and ChildProcess.h include it.
#pragma once

namespace kest_test {
const char* SourceDir();
const char* BinaryDir();
const char* SimBinDir();
const char* ZqcappPath();
const char* AckHarnessPath();
} // namespace kest_test

#define KEST_SOURCE_DIR kest_test::SourceDir()
#define KEST_BINARY_DIR kest_test::BinaryDir()
#define SIM_BIN_DIR kest_test::SimBinDir()
#define ZQCAPP_PATH kest_test::ZqcappPath()
#define ACK_HARNESS_PATH kest_test::AckHarnessPath()
