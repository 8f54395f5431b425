// The tool network dialog's form and its conversion to and from the register image
// (53 words, registers 267..319, string words in memory order: low byte first), without
// widgets.
#pragma once

#include <QString>
#include <QVector>
#include <cstdint>

struct NetworkForm {
    int Wifi = 0; // word 0, passed through: the tool gives it its meaning
    bool Dhcp = false;
    QString Octets[12]; // IP address, subnet mask, default gateway, most significant first
    QString Port;
    QString Ssid, Psk; // at most 32 characters typed, 31 kept
    int Country = 0;   // word 52, passed through
};

namespace NetworkImage {
constexpr int Words = 53;
constexpr int DefaultPort = 5000;
constexpr int TextMax = 31; // 32 bytes with the terminating NUL

NetworkForm FormOf(const QVector<uint16_t>& image);
// What keeps the form from reaching the tool as typed ("" when nothing): a text longer
// than the tool keeps would be cut, and a cut SSID never joins.
QString Check(const NetworkForm& form);
// The form into a copy of `image`: words 15..19 stay as read; with DHCP on, the address
// words too (the fields are cleared on the screen, the tool keeps its static address).
QVector<uint16_t> ImageOf(const NetworkForm& form, const QVector<uint16_t>& image);
// A text field as 8-bit text in words [first, first + 16), NUL-filled; and back.
void PutText(QVector<uint16_t>& image, int first, const QString& text);
QString TextAt(const QVector<uint16_t>& image, int first);
} // namespace NetworkImage
