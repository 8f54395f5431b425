// "Wi-fi Advanced setting": country, automatic or manual channel, and in manual mode the
// channel from the list for the network tab's band and the chosen country. OK hands the
// choice back; the other button drops it. Every button plays the tap sound.
#pragma once

#include "WifiForm.h"

#include <QFrame>

class QButtonGroup;
class QListWidget;

class UnitWlanAdvanced : public QFrame {
    Q_OBJECT
  public:
    // `current`: country, mode and channel shown at opening; `band` picks the list.
    UnitWlanAdvanced(int band, const WifiSettings& current, QWidget* parent = nullptr);

  signals:
    // Country, mode, and the channel parsed as decimal (-1 when none is chosen).
    void accepted(int country, int mode, int channel);
    void rejected();

  private:
    void fill();
    int band_;
    int channel_;
    QButtonGroup* country_;
    QButtonGroup* mode_;
    QListWidget* list_;
};
