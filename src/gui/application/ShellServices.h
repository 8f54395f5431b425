// What the shell (root object, home screen, status bar) needs from driver modules that
// join the device object later: tool registry, sound, discovery, network, drives, tray,
// jobs. Each default method is the one place to wire the device object's call; tests
// install their own implementation to drive the shell.
#pragma once

#include "UiSound.h"

#include <QString>
#include <QStringList>

class ShellServices {
  public:
    virtual ~ShellServices() = default;

    // Tool registry: registered tools in registry order.
    virtual int RegtoolsLen();
    virtual int ToolState(int tdx); // connection state 0..5
    virtual int ToolType(int tdx); // 1 XWC, 2 ZQ, 3 ZQT, 4 XWTC
    virtual QString ToolName(int tdx);

    // Sound requests (tap, OK, NG).
    virtual void Sound(UiSoundKind kind);

    // Discovery scan request on both networks (root object's scan timer).
    virtual void DiscoScan();

    // Network start-up and the Wi-Fi adapter.
    virtual void NetInit();
    virtual bool IsWifiConnected();

    // Drive list: refresh and the names of the drives ("sda1", "mmcblk1p1").
    virtual int RefreshDrvs();
    virtual QStringList Drives();
    // Barcode scanner device: reopen after a storage/USB change; present or not.
    virtual void BarcodeRefreshDev();
    virtual bool BarcodeScannerPresent();
    // Bit socket tray connected.
    virtual bool IsBstConnect();

    // Jobs: index of the job of that name or -1; loading one into the operation screen.
    virtual int FindJob(const QString& name);
    virtual void LoadJob(int jdx);

    // The services in use (never null); Set takes ownership, nullptr restores defaults.
    static ShellServices* Get();
    static void Set(ShellServices* services);
};
