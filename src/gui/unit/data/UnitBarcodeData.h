// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitBarcodeData : public QObject {
    Q_OBJECT
  public:
    QString Code;
    // A barcode table row (UpdateCurrBarcode); the scan event carries the code only.
    int32_t Partial = 0;
    int32_t Start = 0;
    int32_t End = 0;
    QString JobName;
    int32_t Preset = -1;
    bool Selected = false;
};
