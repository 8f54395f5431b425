// Payload of a device-object system event.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

class UnitEwDebugLog : public QObject {
    Q_OBJECT
  public:
    QString Text;
};
