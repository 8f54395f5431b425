// The I/O tab of the monitor: the 16 inputs and 16 outputs with their function names and
// lamps. Showing it reads every input and the remembered output levels; while shown,
// each input event lights or darkens its lamp.
#pragma once

#include "PageTabs.h"

#include <QList>

class QLabel;

class PageMonitorIo : public TabPage {
    Q_OBJECT
  public:
    static constexpr int kPorts = 16;
    explicit PageMonitorIo(QWidget* parent = nullptr);
    void Shown() override;
    void Hidden() override;
    // Lamps named "ioIn<n>Lamp" and "ioOut<n>Lamp" (n from 1); property "lit".
    QLabel* InputLamp(int i) const { return inLamps_[i]; }
    QLabel* OutputLamp(int i) const { return outLamps_[i]; }

  private:
    QWidget* column(const QString& title, bool inputs);
    static void light(QLabel* lamp, bool on);
    QLabel* inLamps_[kPorts];
    QLabel* outLamps_[kPorts];
    QLabel* inNames_[kPorts];
    QLabel* outNames_[kPorts];
    QList<QMetaObject::Connection> inputEvents_;
};
