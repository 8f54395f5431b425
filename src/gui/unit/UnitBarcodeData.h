// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitBarcodeData : public QObject {
    Q_OBJECT
public:
    QString Code;
};
