// One fastening result as the tools report it: the thirteen result registers of an event
// frame and the barcode text. The event queue, the result table, the log and the screens
// all carry this record.
#pragma once

#include <cstdint>

struct FastenResult {
    uint16_t FastenTime = 0; // ms
    uint16_t Preset = 0;
    uint16_t TargetTorque = 0; // x 100
    uint16_t ConvTorque = 0;   // x 100
    uint16_t Speed = 0;
    uint16_t A1 = 0, A2 = 0, A3 = 0;
    uint16_t ScrewNo = 0;
    uint16_t Error = 0;
    uint16_t Direction = 0;
    uint16_t Status = 0; // 1 OK, 2 NG, 7 barcode read at the tool, 8 screw count
    uint16_t Snug = 0;
    char Barcode[33] = {}; // at most 32 characters, NUL-terminated
    // Frame register 0: the tool's number of the event. Not part of the log line; it only
    // helps to recognise a stored result the tool sends again.
    uint16_t EventNo = 0;
};

// The result fields in the order of frame registers 1 to 13.
inline constexpr uint16_t FastenResult::*kFastenResultRegs[13] = {
    &FastenResult::FastenTime, &FastenResult::Preset,    &FastenResult::TargetTorque,
    &FastenResult::ConvTorque, &FastenResult::Speed,     &FastenResult::A1,
    &FastenResult::A2,         &FastenResult::A3,        &FastenResult::ScrewNo,
    &FastenResult::Error,      &FastenResult::Direction, &FastenResult::Status,
    &FastenResult::Snug};

// Same event content, register 0 and text included.
inline bool SameFastenResult(const FastenResult& a, const FastenResult& b) {
    for (uint16_t FastenResult::*f : kFastenResultRegs)
        if (a.*f != b.*f) return false;
    for (unsigned i = 0; i < sizeof a.Barcode; ++i) {
        if (a.Barcode[i] != b.Barcode[i]) return false;
        if (!a.Barcode[i]) break;
    }
    return a.EventNo == b.EventNo;
}
