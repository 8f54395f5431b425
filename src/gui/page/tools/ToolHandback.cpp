#include "ToolHandback.h"

#include "ApplicationDeviceClass.h"

namespace {
class DevicePort : public ToolHandbackPort {
  public:
    int Count() override { return ApplicationDevice()->GetRegtoolsLen(); }
    QString Mac(int tdx) override { return ApplicationDevice()->GetTdxToolMac(tdx); }
    bool Connected(int tdx) override { return ApplicationDevice()->GetTdxToolConn(tdx) == 1; }
    int Read(int tdx, int addr) override {
        ApplicationDeviceClass* dev = ApplicationDevice();
        if (dev->MbusReadTdx(tdx, addr, 1) != 0) return -1;
        return dev->MbusGetDataTdx(tdx, addr);
    }
    int Write(int tdx, int addr, int value) override {
        return ApplicationDevice()->MbusWriteTdx(tdx, addr, value);
    }
};
} // namespace

ToolHandbackPort& ToolHandback::Device() {
    static DevicePort port;
    return port;
}

ToolHandback::Held* ToolHandback::find(const QString& mac) {
    for (Held& h : held_)
        if (h.Mac == mac) return &h;
    return nullptr;
}

ToolHandback::Held& ToolHandback::held(int tdx) {
    const QString mac = port_.Mac(tdx);
    if (Held* h = find(mac)) return *h;
    held_.append(Held{mac});
    return held_.last();
}

void ToolHandback::Running(int tdx, bool on) {
    if (tdx >= 0) held(tdx).Running = on;
}

void ToolHandback::Direction(int tdx, int direction) {
    if (tdx >= 0) held(tdx).Direction = direction != 0;
}

void ToolHandback::Lock(int tdx, bool locked) {
    if (tdx >= 0) held(tdx).Unlocked = !locked;
}

int ToolHandback::UnlockAll() {
    all_ = true;
    int failed = 0;
    for (int tdx = 0; tdx < port_.Count(); ++tdx) {
        if (!port_.Connected(tdx)) continue;
        Held& h = held(tdx);
        // Read before the first switch-off only: a second opening must not take "off" for
        // what the tool had.
        if (h.AutoLock < 0) h.AutoLock = port_.Read(tdx, kAutoLock);
        h.Unlocked = true;
        failed += port_.Write(tdx, kLock, 0) != 0;
        failed += port_.Write(tdx, kAutoLock, 0) != 0;
    }
    return failed;
}

int ToolHandback::Release() {
    int failed = 0;
    for (int tdx = 0; tdx < port_.Count() && (all_ || !held_.isEmpty()); ++tdx) {
        if (!port_.Connected(tdx)) continue;
        const Held* h = find(port_.Mac(tdx));
        if (!h && !all_) continue;
        // Stopped before anything else, so it never turns the other way or stays running.
        if (h && h->Running) failed += port_.Write(tdx, kRun, 0) != 0;
        if (h && h->Direction) failed += port_.Write(tdx, kDirection, 0) != 0;
        if (all_ || h->Unlocked) failed += port_.Write(tdx, kLock, 1) != 0;
        if (h && h->AutoLock > 0) failed += port_.Write(tdx, kAutoLock, h->AutoLock) != 0;
    }
    held_.clear();
    all_ = false;
    return failed;
}
