// Fields of a fastening step as the step editor and the job runner read them.
#pragma once

#include "UnitScrewPosData.h"

#include <QObject>
#include <QString>
#include <cstdint>

class UnitStepFastenData : public QObject {
    Q_OBJECT
  public:
    static constexpr int kPositions = 99;
    explicit UnitStepFastenData(QObject* parent = nullptr) : QObject(parent) {
        for (auto& p : ScrewPos)
            p = new UnitScrewPosData(this);
    }
    QString ToolName;
    int32_t PresetNo = 0; // index: 0..14 presets 1..15, 15 and 16 the multi sequences
    int32_t NoScrews = 0;
    int32_t ImgFlag = 0;
    QString ImgFilename;
    UnitScrewPosData* ScrewPos[kPositions] = {};
};
