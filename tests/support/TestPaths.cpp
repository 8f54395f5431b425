#include "TestPaths.h"

namespace kest_test {
const char* SourceDir() {
    return KEST_PATH_SOURCE;
}
const char* BinaryDir() {
    return KEST_PATH_BINARY;
}
const char* SimBinDir() {
    return KEST_PATH_BINARY "/sim";
}
const char* ZqcappPath() {
    return KEST_PATH_ZQCAPP;
}
const char* AckHarnessPath() {
    return KEST_PATH_ACK_HARNESS;
}
} // namespace kest_test
