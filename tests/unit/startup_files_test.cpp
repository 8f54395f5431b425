// Start-up loaders of the panel's data files with a FIFO in a file's place (a restored
// archive can bring one): each returns at once, keeps the FIFO aside and runs on defaults.
#include "barcode.h"
#include "unit_common.h"

namespace {
// Waits for `load` with a deadline. A loader stuck on the FIFO is set free by opening the
// other end, so a failing case ends too instead of hanging the suite.
bool returnsPromptly(const std::function<void()>& load, const std::string& fifo) {
    auto done = std::async(std::launch::async, load);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
    while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) close(fd);
    }
    return false;
}

const char* const kSettings = "files/setting/setting.kest";
const char* const kJobTable = "files/barcode.kest";
const char* const kToolTable = "files/tools/ZQ-A/barcode.zq";

struct Case {
    const char* what;
    const char* fifo;  // where the FIFO is put
    const char* read;  // where the loader reads it
    const char* aside; // where it is kept afterwards (empty: left in place)
    std::function<void()> load;
};
} // namespace

TEST(StartUpFiles, AFifoInPlaceOfADataFileNeverBlocks) {
    Debug_SetQuiet(true);
    const Case cases[] = {
        {"settings file", kSettings, kSettings, "files/setting/setting.kest.unreadable",
         [] { load_setting(); }},
        {"vendor file", "vendor", "vendor", "", [] { read_vendor_info(); }},
        {"job barcode table", kJobTable, kJobTable, "files/barcode.kest.unreadable",
         [] { Barcode_Load(); }},
        {"old job barcode table", "barcode", kJobTable, "files/barcode.kest.unreadable",
         [] { Barcode_Load(); }},
        {"tool barcode table", kToolTable, kToolTable, "files/tools/ZQ-A/barcode.zq.unreadable",
         [] {
             BarcodeTable* t = BarcodeTable_Create();
             EXPECT_EQ(BarcodeTable_LoadTool(t, "ZQ-A"), -1);
             EXPECT_EQ(t->rows.size(), 0u);
             BarcodeTable_Destroy(t);
         }},
    };
    for (const Case& c : cases) {
        TestEnv env;
        fs::create_directories("files/setting");
        fs::create_directories(fs::path(c.fifo).parent_path() / ".");
        ASSERT_EQ(mkfifo(c.fifo, 0600), 0) << c.what;
        EXPECT_TRUE(returnsPromptly(c.load, c.read)) << c.what << " waited on the FIFO";
        if (c.aside[0]) {
            EXPECT_TRUE(fs::is_fifo(c.aside)) << c.what << ": kept for diagnosis";
        }
    }
    EXPECT_EQ(memcmp(get_setting(), get_default_setting(), sizeof(Setting)), 0);
    EXPECT_STREQ(get_vendor_info(), "");
}
