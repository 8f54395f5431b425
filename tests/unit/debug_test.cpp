// Debug log: flags, hex dump, save file.
#include "unit_common.h"

TEST(Debug, FlagsGateLinesHexDumpLayoutAndSaveFileNamedByLocalTime) {
    TestEnv env; // no ./files folder: the save file cannot be created
    Debug_SetQuiet(true);
    Debug_Init();
    // Every flag off after Debug_Init: on the debug page (debug_page_test.cpp).
    LogCapture cap;
    DBG_LOG(DEBUG_FLAG_DISCO, "hidden %d", 1);
    DBG_ERR("shown %d", 2);
    Debug_GetFlag()[DEBUG_FLAG_DISCO] = 1;
    DBG_LOG(DEBUG_FLAG_DISCO, "now %s", "visible");
    auto lines = cap.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" : shown 2"), std::string::npos);
    EXPECT_EQ(lines[0].rfind("TestBody.", 0), 0u); // function name and source line first
    EXPECT_NE(lines[1].find(" : now visible"), std::string::npos);
    const unsigned char bytes[18] = {'A', 'B', 0, 0x7f, 'z', 1,  2,  3,   4,
                                     5,   6,   7, 8,    9,   10, 11, '~', ' '};
    std::string d = Debug_HexDumpText(bytes, sizeof bytes);
    std::string line1 =
        "0000 41 42 00 7f 7a 01 02 03 04 05 06 07 08 09 0a 0b     AB..z...........\n";
    std::string line2 = "0010 7e 20 " + std::string(14 * 3, ' ') + "    ~ \n";
    EXPECT_EQ(d, line1 + line2);
    EXPECT_EQ(Debug_HexDumpText(bytes, 0), "");
    // The save file.
    EXPECT_EQ(Debug_OpenFile_ForSave(), -1);
    EXPECT_TRUE(cap.contains("Debug_OpenFile_ForSave."));
    Common_MkdirP("./files");
    Common_SetFixedTime(localInstant(2026, 1, 2, 3, 4, 5));
    Debug_WriteFile_ForSave("before open");
    EXPECT_TRUE(cap.contains(" : fd is null"));
    ASSERT_EQ(Debug_OpenFile_ForSave(), 0);
    Debug_WriteFile_ForSave("line 1");
    Debug_WriteFile_ForSave(nullptr);
    EXPECT_TRUE(cap.contains(" : log is null"));
    Debug_WriteFile_ForSave("line 2");
    Debug_CloseFile_ForSave();
    EXPECT_EQ(TestEnv::readFile("./files/dlog_20260102_030405.dbg"), "line 1\nline 2\n");
}
