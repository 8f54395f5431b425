// What a screen did to tools that must not outlive it: a run it started, a direction other
// than fastening, an unlock, auto-lock switched off. Every screen that unlocks or drives a
// tool notes here what it did as it does it, and calls Release() when it goes (home,
// another tab, another current tool, its end), which puts each tool back. Tools are kept
// by MAC, so a release elsewhere that renumbers the table does not lock the wrong one.
#pragma once

#include <QString>
#include <QVector>

class ToolHandbackPort {
  public:
    virtual ~ToolHandbackPort() = default;
    virtual int Count() = 0; // registered tools
    virtual QString Mac(int tdx) = 0;
    virtual bool Connected(int tdx) = 0;
    virtual int Read(int tdx, int addr) = 0;             // the register's value, -1 unread
    virtual int Write(int tdx, int addr, int value) = 0; // 0 written
};

class ToolHandback {
  public:
    enum { kRun = 4003, kDirection = 4005, kLock = 4001, kAutoLock = 264 };

    explicit ToolHandback(ToolHandbackPort& port) : port_(port) {}
    // The port over the device object.
    static ToolHandbackPort& Device();

    void Running(int tdx, bool on);
    void Direction(int tdx, int direction); // 0 fastening
    void Lock(int tdx, bool locked);
    // Every connected tool unlocked with auto-lock off. Tools connecting meanwhile are left
    // unlocked by the driver, so at the release every connected tool is locked. The number
    // of writes that failed.
    int UnlockAll();
    // Each tool back: stopped, fastening, locked, auto-lock as it was. A tool no longer
    // connected is skipped: it comes up locked when it connects. The number of writes
    // that failed.
    int Release();

  private:
    struct Held {
        QString Mac;
        bool Running = false;
        bool Direction = false; // other than fastening
        bool Unlocked = false;
        int AutoLock = -1; // as read before it was switched off; -1 untouched
    };
    Held* find(const QString& mac);
    Held& held(int tdx);

    ToolHandbackPort& port_;
    QVector<Held> held_;
    bool all_ = false; // every tool unlocked
};
