// Device object, barcode family: job table editing through the GUI-side methods.
#include "ApplicationDeviceClass.h"
#include "TestEnv.h"
#include "UnitBarcodeData.h"
#include "barcode.h"
#include "setting.h"

#include <gtest/gtest.h>

TEST(DeviceBarcode, JobTableRowsThroughTheDeviceObject) {
    TestEnv env;
    load_setting();
    Barcode_Init();
    ApplicationDeviceClass* dev = ApplicationDevice();
    dev->BarcodeAddJob(BARCODE_JOB_TABLE, "", 0, 0, 0, "ignored"); // empty code: nothing
    EXPECT_EQ(dev->BarcodeGetLen(BARCODE_JOB_TABLE), 0);
    dev->BarcodeAddJob(BARCODE_JOB_TABLE, QString::fromUtf8("AB\u00e9"), 1, 2, 3, "Job 1");
    dev->BarcodeAddJob(BARCODE_JOB_TABLE, QString::fromUtf8("X\u4e2d"), 0, 0, 0, "Job 2");
    ASSERT_EQ(dev->BarcodeGetLen(BARCODE_JOB_TABLE), 2);
    auto* row = qobject_cast<UnitBarcodeData*>(dev->UpdateCurrBarcode(BARCODE_JOB_TABLE, 0));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Code, QString::fromUtf8("AB\u00e9")); // Latin-1 survives
    EXPECT_EQ(row->Partial, 1);
    EXPECT_EQ(row->Start, 2);
    EXPECT_EQ(row->End, 3);
    EXPECT_EQ(row->JobName, "Job 1");
    EXPECT_EQ(row->Preset, -1);
    EXPECT_FALSE(row->Selected);
    // The same object is reused for the next row.
    EXPECT_EQ(dev->UpdateCurrBarcode(BARCODE_JOB_TABLE, 1), row);
    EXPECT_EQ(row->Code, "X "); // a character beyond Latin-1 becomes a blank
    dev->BarcodeEditJob(BARCODE_JOB_TABLE, 1, "Y", 0, 0, 0, "Job 3");
    dev->BarcodeMoveTop(BARCODE_JOB_TABLE, 1);
    dev->UpdateCurrBarcode(BARCODE_JOB_TABLE, 0);
    EXPECT_EQ(row->Code, "Y");
    EXPECT_EQ(dev->BarcodeFindJob("Y"), "Job 3");
    dev->BarcodeSetSelected(BARCODE_JOB_TABLE, 1, true);
    dev->UpdateCurrBarcode(BARCODE_JOB_TABLE, 1);
    EXPECT_TRUE(row->Selected);
    dev->BarcodeDeleteSelOn(BARCODE_JOB_TABLE);
    EXPECT_EQ(dev->BarcodeGetLen(BARCODE_JOB_TABLE), 1);
    EXPECT_EQ(dev->BarcodeSave(BARCODE_JOB_TABLE), 0);
    EXPECT_EQ(TestEnv::readFile("files/barcode.kest"), "Y~0~0~0~Job 3~\n");
    LogCapture log;
    EXPECT_EQ(dev->BarcodeGetLen(3), 0); // no such tool: an empty list, not an error
    EXPECT_EQ(log.count("invalid barcode table"), 0u);
    // A row that is not there clears the reused object instead of repeating the last row.
    dev->UpdateCurrBarcode(BARCODE_JOB_TABLE, 0);
    EXPECT_EQ(dev->UpdateCurrBarcode(BARCODE_JOB_TABLE, 5), row);
    EXPECT_EQ(row->Code, "");
    EXPECT_EQ(row->JobName, "");
    EXPECT_EQ(row->Preset, -1);
    EXPECT_EQ(dev->BarcodeGetCurrCode(), "-");
}
