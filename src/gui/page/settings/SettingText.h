// Whether a text setting survives the settings file as typed: the file keeps 127 bytes of
// each and its reader drops blanks at a value's edges, so anything else would change at
// the next start (a password that can no longer be typed, an SSID tools stop joining).
#pragma once

#include <QString>

class SettingText {
  public:
    static constexpr int Max = 127;
    // "" when `text` is kept as typed, else the message naming the field (`what`).
    static QString Error(const QString& what, const QString& text);
};
