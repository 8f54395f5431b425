// Payload of GetFastenEventData: one fastening result of a tool. The result fields are the
// driver's record; the screens read the barcode as a GUI string.
#pragma once

#include "fasten_result.h"

#include <QObject>
#include <QString>

class UnitFastenEventData : public QObject, public FastenResult {
    Q_OBJECT
  public:
    // The barcode for the screens (the 8-bit text stays in FastenResult::Barcode for the
    // result log).
    QString Barcode;
    // False when no unread result was waiting (the last one again): not a new screw.
    bool Fresh = false;

    void Fill(const FastenResult& r) {
        static_cast<FastenResult&>(*this) = r;
        Barcode = QString::fromLatin1(r.Barcode);
    }
};
