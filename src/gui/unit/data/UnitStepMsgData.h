// Fields of a message step: three text lines and an optional picture.
#pragma once

#include <QObject>
#include <QString>

class UnitStepMsgData : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    QString Line1, Line2, Line3;
    QString ImgFilename;
};
