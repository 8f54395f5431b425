// Payload of GetFastenEventData: one decoded fastening result of a tool.
#pragma once

#include "operation.h"

#include <QObject>
#include <QString>
#include <cstdint>

class UnitFastenEventData : public QObject {
    Q_OBJECT
  public:
    uint16_t FastenTime = 0;
    uint16_t Preset = 0;
    uint16_t TargetTorque = 0; // x 100
    uint16_t ConvTorque = 0;   // x 100
    uint16_t Speed = 0;
    uint16_t A1 = 0;
    uint16_t A2 = 0;
    uint16_t A3 = 0;
    uint16_t ScrewNo = 0;
    uint16_t Error = 0;
    uint16_t Direction = 0;
    uint16_t Status = 0; // 1 OK, 2 NG, 7 barcode read at the tool, 8 screw count
    uint16_t Snug = 0;
    QString Barcode;
    // False when no unread result was waiting (the last one again): not a new screw.
    bool Fresh = false;

    void Fill(const FastenEventRecord& r) {
        FastenTime = r.FastenTime;
        Preset = r.Preset;
        TargetTorque = r.TargetTorque;
        ConvTorque = r.ConvTorque;
        Speed = r.Speed;
        A1 = r.A1;
        A2 = r.A2;
        A3 = r.A3;
        ScrewNo = r.ScrewNo;
        Error = r.Error;
        Direction = r.Direction;
        Status = r.Status;
        Snug = r.Snug;
        Barcode = QString::fromLatin1(r.Barcode);
    }
};
