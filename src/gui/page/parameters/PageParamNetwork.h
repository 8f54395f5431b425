// The "Network" tab of the parameters screen: the current tool's own address mode,
// addresses, port, Wi-Fi name and pass phrase, country and web password. The block is
// read in one go when the tab is shown and after every change; numbers are typed as
// decimal text on the numeric keypad and written at once, the name and pass phrase go
// through the device object's text coding.
#pragma once

#include "Navigator.h"
#include "PageTabs.h"

#include <QMap>
#include <QVector>
#include <cstdint>

class QLabel;
class QPushButton;
class UnitMessageBox;

class PageParamNetwork : public TabPage {
    Q_OBJECT
  public:
    explicit PageParamNetwork(QWidget* parent = nullptr);
    ~PageParamNetwork() override;
    void Shown() override { Refresh(); }
    void Hidden() override;
    void Refresh() override;
    // Last block read (empty when the read failed or there is no usable tool).
    const QVector<uint16_t>& Block() const { return block_; }

  private:
    QPushButton* button(const QString& name, QWidget* parent);
    void show();
    void editNumber(int reg, const QString& title);
    void editText(bool ssid);
    void setMode(bool dhcp);
    void write(int reg, int value);
    void error(const QString& text);

    QPushButton* dhcp_;
    QPushButton* static_;
    QMap<int, QPushButton*> numbers_; // by register
    QPushButton* ssid_;
    QPushButton* psk_;
    QVector<uint16_t> block_;
    ModalHandle keypad_;
    ModalHandle error_;
};
