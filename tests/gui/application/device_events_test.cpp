// The device object's delivery of driver events: payloads, ordering, dropped indexes,
// the current-tool property (the debug flags are the debug page's toggles).
#include "ApplicationDeviceClass.h"
#include "RecordingSink.h"
#include "UnitBarcodeData.h"
#include "UnitDisconnFlagData.h"
#include "UnitIoEventData.h"
#include "UnitTdxData.h"
#include "debug.h"
#include "ew_driver.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <numeric>

namespace {
void runTasks() {
    QCoreApplication::sendPostedEvents();
}

class DeviceEventsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Debug_SetQuiet(true);
        EwDriver_SetDeviceObject(dev);
    }
    void TearDown() override {
        EwDriver_Deinitialize();
        runTasks();
    }
    ApplicationDeviceClass* dev = ApplicationDevice();
};
} // namespace

// Handlers run once the cycle processes its tasks, in posted order, each event with its
// own payload, which every handler sees and which is freed once all have run; input ports
// above fifteen and tools above seven are dropped.
TEST_F(DeviceEventsTest, DeliveryOrderPayloadsAndDroppedIndexes) {
    std::vector<int> seen, ports;
    QPointer<QObject> firstPayload;
    int a = 0, b = 0, flags = 0;
    std::vector<QMetaObject::Connection> cs;
    cs.push_back(QObject::connect(&dev->FastenEvent, &SystemEvent::triggered, [&](QObject* ctx) {
        auto* p = qobject_cast<UnitTdxData*>(ctx);
        ASSERT_NE(p, nullptr);
        if (!firstPayload) firstPayload = p;
        seen.push_back(p->Tdx);
    }));
    cs.push_back(QObject::connect(&dev->BcodeEvent, &SystemEvent::triggered, [&](QObject* ctx) {
        a += qobject_cast<UnitBarcodeData*>(ctx)->Code == QString::fromLatin1("Z\xe9-1");
    }));
    cs.push_back(QObject::connect(&dev->BcodeEvent, &SystemEvent::triggered, [&](QObject* ctx) {
        b += qobject_cast<UnitBarcodeData*>(ctx)->Code.size() == 4;
    }));
    for (int i = 0; i < 16; ++i)
        cs.push_back(
            QObject::connect(&dev->InputEvents[i], &SystemEvent::triggered, [&, i](QObject* ctx) {
                auto* p = qobject_cast<UnitIoEventData*>(ctx);
                EXPECT_EQ(p->Port, i);
                ports.push_back(p->Port * 10 + p->Value);
            }));
    cs.push_back(
        QObject::connect(&dev->DisconnFlagEvent, &SystemEvent::triggered, [&](QObject* ctx) {
            EXPECT_EQ(qobject_cast<UnitDisconnFlagData*>(ctx)->Tdx, 7);
            ++flags;
        }));
    for (int i = 0; i < 100; ++i)
        EwDriver_PushMsgQ_RecvBackupData(i);
    EwDriver_PushMsgQ_RecvBarcode("Z\xe9-1");
    EwDriver_PushMsgQ_RecvInput(16, 1);
    EwDriver_PushMsgQ_RecvInput(15, 1);
    EwDriver_PushMsgQ_RecvInput(0, 0);
    EwDriver_PushMsgQ_SetDisconnFlag(8, 1);
    EwDriver_PushMsgQ_SetDisconnFlag(7, 1);
    EwDriver_ProcessData();
    EXPECT_TRUE(seen.empty()); // delivery runs when the cycle processes its tasks
    runTasks();
    std::vector<int> posted(100);
    std::iota(posted.begin(), posted.end(), 0);
    EXPECT_EQ(seen, posted);
    EXPECT_TRUE(firstPayload.isNull()); // freed once every handler has run
    EXPECT_EQ(std::tuple(a, b, ports, flags), std::tuple(1, 1, std::vector<int>{151, 0}, 1));
    for (auto& c : cs)
        QObject::disconnect(c);
}

TEST_F(DeviceEventsTest, UnchangedCurrentToolNotifiesNobody) {
    static int32_t registry = 3;
    EwDriver_SetCurrTdxSource([] { return registry; });
    QSignalSpy spy(dev, &ApplicationDeviceClass::CurrTdxChanged);
    EwDriver_PushMsgQ_UpdateCurrTdx();
    EwDriver_ProcessData();
    EXPECT_EQ(std::tuple(spy.count(), dev->OnGetCurrTdx()), std::tuple(1, 3));
    int prev = dev->OnGetPrevTdx();
    EwDriver_PushMsgQ_UpdateCurrTdx();
    EwDriver_ProcessData();
    EXPECT_EQ(std::tuple(spy.count(), dev->OnGetPrevTdx()), std::tuple(1, prev));
    // The property setter always notifies and makes PrevTdx equal CurrTdx.
    dev->OnSetCurrTdx(3);
    EXPECT_EQ(std::tuple(spy.count(), dev->OnGetPrevTdx()), std::tuple(2, 3));
    EwDriver_SetCurrTdxSource(nullptr);
}

TEST(DeviceText, NativeConversionBlanksWhatDoesNotFit) {
    EXPECT_EQ(
        ApplicationDeviceClass::ToNative(QString::fromUtf8("Ab\xc3\xa9\xe2\x82\xac\xe4\xb8\xad!")),
        QByteArray("Ab\xe9  !"));
    // A character beyond 16 bits is one blank; a NUL inside the text is a blank as well.
    EXPECT_EQ(ApplicationDeviceClass::ToNative(QString::fromUtf8("a\xf0\x9f\x94\xa9"
                                                                 "b")),
              QByteArray("a b"));
    EXPECT_EQ(ApplicationDeviceClass::ToNative(QString::fromUtf8("a\0b", 3)), QByteArray("a b"));
    EXPECT_EQ(ApplicationDeviceClass::FromNative("\xe9t\xe9"),
              QString::fromUtf8("\xc3\xa9t\xc3\xa9"));
    EXPECT_EQ(ApplicationDeviceClass::FromNative(nullptr), QString());
}
