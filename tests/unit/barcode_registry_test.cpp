// Barcode tool tables in the real registry records: loaded with the registered tools,
// saved under the tool's folder, fed by the registry when a rename merges a folder, and
// freed with the record.
#include "barcode.h"
#include "toollink_support.h"
#include "tools_private.h"

using namespace toollink_test;

namespace {
class BarcodeRegistry : public DriverFixture {};
} // namespace

TEST_F(BarcodeRegistry, ToolTablesLiveInTheRegistryRecords) {
    TestEnv::writeFile("regtools", regRecord("ZQalpha", 1) + regRecord("ZQbeta", 2));
    TestEnv::writeFile("files/tools/ZQalpha/barcode.zq", "A1~0~0~0~2~\nB~1~1~1~17~\n");
    startDriver();
    ASSERT_EQ(ToolManager_GetRegToolsLen(), 2);
    // Tool 1 has no file: an empty table.
    EXPECT_EQ(std::tuple(Barcode_Len(0), Barcode_Len(1), Barcode_FindPreset(0, "A1"),
                         Barcode_FindPreset(0, "Bxyz")),
              std::tuple(2, 0, 2, 17));
    ToolManager_LockRegTools();
    EXPECT_TRUE(ToolManager_RegTool(0)->barcode && ToolManager_RegTool(1)->barcode);
    ToolManager_UnlockRegTools();

    int32_t preset = 5;
    ASSERT_EQ(Barcode_Append(1, "NEW", 0, 0, 0, &preset), 0);
    ASSERT_EQ(Barcode_Save(1), 0);
    EXPECT_EQ(TestEnv::readFile("files/tools/ZQbeta/barcode.zq"), "NEW~0~0~0~5~\n");

    // A rename into a folder that has a table merges its rows through the module's append.
    TestEnv::writeFile("files/tools/Line 2/barcode.zq", "M1~0~0~0~9~\n");
    ASSERT_EQ(ToolManager_SetToolName_ByTdx(1, "Line 2"), 0);
    EXPECT_EQ(std::tuple(Barcode_Len(1), Barcode_FindPreset(1, "M1")), std::tuple(2, 9));
    ASSERT_EQ(Barcode_Save(1), 0);
    EXPECT_EQ(TestEnv::readFile("files/tools/Line 2/barcode.zq"), "NEW~0~0~0~5~\nM1~0~0~0~9~\n");

    // Releasing a tool frees its table; the next tool moves down with its own.
    ASSERT_EQ(ToolManager_MoveTool_RegToDisco(0), 0);
    EXPECT_EQ(std::tuple(Barcode_Len(0), Barcode_FindPreset(0, "M1"), Barcode_Len(1)),
              std::tuple(2, 9, 0));
}
