// The tool network dialog ("Network setting"), open while a tool is plugged in by its USB
// serial port: edits the tool's network registers (Wi-Fi, addressing, port, SSID, pass
// phrase, country). Apply writes them to the tool and closes, unless the tool could not
// keep them as typed (told in the dialog); Cancel closes without sending. The conversion to and
// from the registers is NetworkImage's.
#pragma once

#include "NetworkImage.h"
#include "Page.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class UnitKeypad;

class PageNetwork : public Page {
    Q_OBJECT
  public:
    explicit PageNetwork(QWidget* parent = nullptr);
    void Init() override;
    NetworkForm Form() const;

  private:
    void show(const NetworkForm& f);
    void setDhcp(bool on);
    void apply();
    QLineEdit* field(const QString& name, int maxLength);
    QComboBox* choice(const QString& name, const QList<QPair<QString, int>>& items);

    QVector<uint16_t> image_;
    QComboBox* wifi_;
    QComboBox* country_;
    QRadioButton* dhcp_;
    QRadioButton* static_;
    QLineEdit* octets_[12];
    QLabel* addrLabels_[3];
    QLineEdit* port_;
    QLineEdit* ssid_;
    QLineEdit* psk_;
    UnitKeypad* keypad_;
    QLabel* error_;
};
