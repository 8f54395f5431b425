// Device object, tool families: registry, Modbus access, fastening events and tool locks,
// driven through the GUI-side methods against a Modbus server thread on loopback.
#include "ApplicationDeviceClass.h"
#include "TestEnv.h"
#include "UnitFastenEventData.h"
#include "disco.h"
#include "mbus.h"
#include "operation.h"
#include "setting.h"
#include "threads.h"
#include "tools.h"

#include <QSignalSpy>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <modbus/modbus.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// One tool: Modbus server on 127.0.0.1:port, event listener on port + 1.
class MiniTool {
  public:
    MiniTool() {
        map_ = modbus_mapping_new(0, 0, 6000, 6000);
        for (int p = 21000 + int(getpid() % 20000); port_ < 0; p += 2) {
            int a = listenOn(p), b = listenOn(p + 1);
            if (a >= 0 && b >= 0) {
                dataL_ = a;
                eventL_ = b;
                port_ = p;
            } else {
                if (a >= 0) close(a);
                if (b >= 0) close(b);
            }
        }
        thread_ = std::thread([this] { run(); });
    }
    ~MiniTool() {
        stop_ = true;
        thread_.join();
        for (int fd : {dataL_, eventL_, data_, event_.load()})
            if (fd >= 0) close(fd);
        modbus_mapping_free(map_);
    }
    int port() const { return port_; }
    uint16_t reg(int a) {
        std::lock_guard<std::mutex> g(lock_);
        return map_->tab_registers[a];
    }
    void setReg(int a, uint16_t v) {
        std::lock_guard<std::mutex> g(lock_);
        map_->tab_registers[a] = v;
    }
    int requests() { return requests_.load(); }
    bool push(const std::vector<uint8_t>& f) {
        for (int i = 0; i < 500 && event_.load() < 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return event_.load() >= 0 && write(event_.load(), f.data(), f.size()) == ssize_t(f.size());
    }

  private:
    static int listenOn(int port) {
        int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(port));
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) || listen(s, 2)) {
            close(s);
            return -1;
        }
        return s;
    }
    void run() {
        modbus_t* ctx = modbus_new_tcp("127.0.0.1", port_);
        uint8_t q[MODBUS_TCP_MAX_ADU_LENGTH];
        while (!stop_) {
            pollfd p[3] = {{dataL_, POLLIN, 0}, {eventL_, POLLIN, 0}, {data_, POLLIN, 0}};
            if (poll(p, 3, 20) <= 0) continue;
            if (p[0].revents & POLLIN) {
                data_ = accept(dataL_, nullptr, nullptr);
                modbus_set_socket(ctx, data_);
            }
            if (p[1].revents & POLLIN) event_ = accept(eventL_, nullptr, nullptr);
            if (data_ >= 0 && (p[2].revents & POLLIN)) {
                int rc = modbus_receive(ctx, q);
                if (rc <= 0) {
                    close(data_);
                    data_ = -1;
                    continue;
                }
                ++requests_;
                std::lock_guard<std::mutex> g(lock_);
                modbus_reply(ctx, q, rc, map_);
            }
        }
        modbus_free(ctx);
    }
    modbus_mapping_t* map_;
    int port_ = -1, dataL_ = -1, eventL_ = -1, data_ = -1;
    std::atomic<int> event_{-1}, requests_{0};
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::thread thread_;
};

ToolInfo info(uint8_t last, uint8_t type, uint16_t port, const char* serial) {
    ToolInfo i{};
    memcpy(i.serial, serial, strlen(serial));
    i.model = 4711;
    i.ip = 0x7f000001;
    i.port = port;
    const uint8_t mac[6] = {0x02, 0, 0x5e, 0, 0, last};
    memcpy(i.mac, mac, 6);
    i.type = type;
    return i;
}

void ack(const ToolInfo& i) {
    uint8_t b[DISCO_ACK_LEN];
    Disco_EncodeAck(DISCO_SCAN_ACK, &i, b);
    Disco_Proc(b, sizeof b, 1);
}

class DeviceToolLink : public ::testing::Test {
  protected:
    void SetUp() override {
        ToolManager_LoadRegTools();
        Operation_Init();
        dev = ApplicationDevice();
    }
    // Registers a tool for `tool` and connects it on this thread.
    int connect(MiniTool& tool, uint8_t type, uint8_t mac, const char* serial) {
        ack(info(mac, type, uint16_t(tool.port()), serial));
        int tdx = dev->GetRegtoolsLen();
        EXPECT_EQ(dev->RegisterDiscoTool(0), 0);
        Modbus_MsgQProc_Connect(tdx);
        return tdx;
    }
    TestEnv env;
    ApplicationDeviceClass* dev = nullptr;
};

TEST_F(DeviceToolLink, RegistryThroughTheDeviceObject) {
    ack(info(1, TOOL_TYPE_XWTC, 5020, "S-1"));
    ack(info(2, TOOL_TYPE_ZQ, 5020, "S-2"));
    EXPECT_EQ(dev->GetDiscotoolsLen(), 2);
    EXPECT_EQ(dev->GetDiscoToolModel(0), "XWTC4711");
    EXPECT_EQ(dev->GetDiscoToolSerial(1), "S-2");
    EXPECT_EQ(dev->GetDiscoToolSerial(5), "");
    ASSERT_EQ(dev->RegisterDiscoTool(1), 0);
    ASSERT_EQ(dev->RegisterDiscoTool(0), 0);
    EXPECT_EQ(dev->GetRegtoolsLen(), 2);
    EXPECT_EQ(dev->GetTdxToolName(0), "ZQS-2");
    EXPECT_EQ(dev->GetTdxToolModel(1), "XWTC4711");
    EXPECT_EQ(dev->GetTdxToolMac(1), "02:00:5e:00:00:01");
    EXPECT_EQ(dev->GetToolType_ByTdx(1), TOOL_TYPE_XWTC);
    EXPECT_EQ(dev->GetToolType_ByTdx(9), 255);
    // No connect queue runs here: the request could not be queued, so the tool waits idle
    // for its next answer rather than "connecting" for good.
    EXPECT_EQ(dev->GetTdxToolState(0), TOOL_STATE_IDLE);
    EXPECT_EQ(dev->GetTdxToolConn(0), 0);
    EXPECT_EQ(dev->GetSelToolConn(), 0);

    EXPECT_EQ(dev->SetTdxToolName(1, QString::fromUtf8("St\u00e4tion")), 0);
    EXPECT_EQ(dev->FindRegTdxByName(QString::fromUtf8("St\u00e4tion")), 1);
    EXPECT_EQ(dev->GetTdxToolName(1), QString::fromUtf8("St\u00e4tion"));
    EXPECT_TRUE(TestEnv::exists("files/tools/St\xe4tion")); // Latin-1 folder name

    QSignalSpy spy(dev, &ApplicationDeviceClass::CurrTdxChanged);
    dev->OnSetCurrTdx(1);
    EXPECT_EQ(ToolManager_GetCurrTdx(), 1);
    EXPECT_EQ(dev->GetToolType(), TOOL_TYPE_XWTC);
    EXPECT_EQ(dev->ReleaseRegTool(1), 0); // the current tool: CurrTdx falls back first
    EXPECT_EQ(dev->OnGetCurrTdx(), -1);
    EXPECT_EQ(ToolManager_GetCurrTdx(), -1);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(dev->GetRegtoolsLen(), 1);
    EXPECT_EQ(dev->SaveRegTools(), 0);
    EXPECT_EQ(TestEnv::readFile("regtools").size(), size_t(REGTOOLS_RECORD_SIZE));
}

TEST_F(DeviceToolLink, ModbusAccessAndToolText) {
    MiniTool tool;
    for (int r = 287; r <= 318; ++r)
        tool.setReg(r, 0xffff);
    tool.setReg(260, 3);
    tool.setReg(2 * 15 + 2, 1250);
    int tdx = connect(tool, TOOL_TYPE_ZQT, 1, "M");
    dev->OnSetCurrTdx(tdx);
    EXPECT_EQ(dev->GetSelToolConn(), 1);
    EXPECT_EQ(dev->GetTorqueUnit_ByTdx(tdx), 3);
    EXPECT_EQ(dev->GetTorqueUnit_ByTdx(9), -1);
    EXPECT_EQ(dev->GetTorqueValue_ByPreset(tdx, 2), 1250);

    int before = tool.requests();
    EXPECT_EQ(dev->MbusWriteTdx(-1, 4004, 1), MBUS_ERR_NOT_CONNECTED);
    EXPECT_EQ(tool.requests(), before); // no traffic

    EXPECT_EQ(dev->SetTdxToolSsid(tdx, "ab"), 0);
    EXPECT_EQ(tool.reg(287), 0x6162);
    for (int r = 288; r <= 302; ++r)
        EXPECT_EQ(tool.reg(r), 0) << r;
    EXPECT_EQ(tool.reg(303), 0xffff); // the pass phrase is untouched
    EXPECT_EQ(dev->MbusRead(267, 54), 0);
    EXPECT_EQ(dev->GetTdxToolSsid(tdx), "ab");
    EXPECT_EQ(dev->GetTdxToolSsid(5), "");
    EXPECT_EQ(dev->MbusWrite(264, 0x10007), 0); // low 16 bits
    EXPECT_EQ(tool.reg(264), 7);
    EXPECT_EQ(dev->MbusReadTdx(tdx, 264, 1), 0);
    EXPECT_EQ(dev->MbusGetData(264), 7);
    EXPECT_EQ(dev->MbusGetDataTdx(tdx, 264), 7);
    EXPECT_EQ(dev->MbusRead(5995, 6), MBUS_ERR_RANGE);
    dev->ToolLost(tdx);
    EXPECT_EQ(dev->GetSelToolConn(), 0);
}

TEST_F(DeviceToolLink, EventsLocksAndTheTable) {
    Threads_Init();
    MiniTool a, b;
    int ta = connect(a, TOOL_TYPE_ZQ, 1, "A");
    int tb = connect(b, TOOL_TYPE_XWC, 2, "B");
    dev->ToolLockExceptTdx(tb);
    EXPECT_EQ(a.reg(4001), 1);
    EXPECT_EQ(b.reg(4001), 0);
    dev->ToolLockAll();
    EXPECT_EQ(b.reg(4001), 1);
    EXPECT_EQ(dev->SetToolLock(-1, 0), MBUS_ERR_NOT_CONNECTED);
    EXPECT_EQ(dev->SetToolLock(ta, 0), 0);
    EXPECT_EQ(a.reg(4001), 0);
    EXPECT_EQ(dev->SetAutoLock(9, 1), -1);
    EXPECT_EQ(dev->SetAutoLock(2, 1), -1) << "past the registered tools";
    EXPECT_EQ(dev->SetAutoLock(tb, 1), 0);
    EXPECT_EQ(b.reg(264), 1);
    // The screw count goes to 262 on a driver and to 247 on a controller.
    EXPECT_EQ(dev->SetScrewCnt(ta, 12), 0);
    EXPECT_EQ(dev->SetScrewCnt(tb, 7), 0);
    EXPECT_EQ(a.reg(262), 12);
    EXPECT_EQ(a.reg(247), 0);
    EXPECT_EQ(b.reg(247), 7);
    EXPECT_EQ(b.reg(262), 0);
    EXPECT_EQ(dev->SetScrewCnt(-1, 1), -1);
    EXPECT_EQ(dev->SetScrewCnt(2, 1), -1);

    a.setReg(2900, 5);
    a.setReg(2901, 65030);
    EXPECT_EQ(dev->GetNoPendingEvent(ta), 7);

    QSignalSpy fetSpy(dev, &ApplicationDeviceClass::FetEnableChanged);
    dev->OnSetFetEnable(0x01);
    EXPECT_EQ(dev->OnGetFetEnable(), 1);
    EXPECT_EQ(fetSpy.count(), 1);
    get_setting_operation()->operation_mode = 1;
    ASSERT_EQ(dev->EnableDataBackup(ta, 1), 0);
    EXPECT_EQ(a.reg(4015), 2);
    std::vector<uint8_t> f(70, 0);
    f[5] = 64;
    f[6] = 255;
    f[7] = 3;
    f[8] = 61;
    f[17] = 0x04; // ConvTorque 1234
    f[18] = 0xD2;
    f[34] = 2; // NG
    f[37] = 'B';
    f[38] = 0xE4; // Latin-1 a-umlaut
    ASSERT_TRUE(a.push(f));
    for (int i = 0; i < 500 && Operation_QueuedEvents(ta) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::unique_ptr<UnitFastenEventData> d(dev->GetFastenEventData(ta));
    EXPECT_EQ(d->ConvTorque, 1234);
    EXPECT_EQ(d->Status, 2);
    EXPECT_EQ(d->Barcode, QString::fromUtf8("B\u00e4"));
    EXPECT_TRUE(d->Fresh);
    std::unique_ptr<UnitFastenEventData> again(dev->GetFastenEventData(ta));
    EXPECT_EQ(again->ConvTorque, 1234);
    EXPECT_FALSE(again->Fresh) << "the same result a second time is not a new screw";
    EXPECT_EQ(dev->GetFetLen(), 1);
    dev->ClearFet();
    EXPECT_EQ(dev->GetFetLen(), 0);
    EXPECT_EQ(dev->DisableDataBackup(ta), 0);
    EXPECT_EQ(a.reg(4015), 0);
    dev->ToolLost(ta);
    dev->ToolLost(tb);
}

} // namespace
