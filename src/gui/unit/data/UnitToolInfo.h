// One registered tool as the tool screens show it: identity, link state and address,
// copied from the registry in one piece.
#pragma once

#include <QString>
#include <cstdint>

struct UnitToolInfo {
    bool Valid = false; // false: no tool at that index
    QString Name, Serial, Model, Mac;
    int32_t Type = 0;
    uint32_t ModelNo = 0; // the number in the model text
    int32_t State = 0;    // connection state 0..5
    uint16_t Version = 0;
    uint32_t Ip = 0; // first octet in the most significant byte
    uint16_t Port = 0;
};
