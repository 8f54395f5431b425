// Restarts the network and share tabs leave pending: the access point's interface comes
// up again (Wlan0Up) and the FTP daemon starts again (RunFtpd) 1 s after an apply, or at
// once when the operator leaves the settings screens. One instance on the GUI thread, so
// a restart outlives the tab that asked for it.
#pragma once

#include <QObject>
#include <QTimer>

class SettingsRestarts : public QObject {
    Q_OBJECT
  public:
    enum Kind { Wifi, Ftp, KindCount };
    static constexpr int kDelayMs = 1000;
    static SettingsRestarts& Instance();
    // (Re)starts the kind's 1 s one-shot timer.
    void Schedule(Kind kind);
    bool Pending(Kind kind) const;
    // Leaving the settings screens: every pending restart stops its timer and runs now.
    void RunPending();
    // Drops a pending restart without running it (FTP switched off meanwhile).
    void Cancel(Kind kind);

  private:
    explicit SettingsRestarts(QObject* parent = nullptr);
    static void run(Kind kind);
    QTimer timers_[KindCount];
};
