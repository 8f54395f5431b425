// The tool's own network block (registers 267..320, read in one go): address mode,
// address, mask and gateway octets, port, Wi-Fi name and pass phrase, country and web
// password; and the decimal text the operator types for the numeric fields.
#pragma once

#include <QString>
#include <QVector>
#include <cstdint>

namespace ToolNetwork {

constexpr int kFirst = 267;
constexpr int kCount = 54;                            // 267..320
constexpr int kMode = 268;                            // 1 DHCP, 0 static
constexpr int kIp = 269, kMask = 273, kGateway = 277; // four octets each
constexpr int kPort = 281;
constexpr int kSsid = 287, kPsk = 303; // 16 registers each, two characters per register
constexpr int kCountry = 319;
constexpr int kWebPassword = 320;
constexpr int kTextMax = 32;

constexpr const char* kDhcp = "   DHCP (Obtain an IP address automatically)";
constexpr const char* kStatic = "   Static (Use the following IP address) : ";

// The fields typed as decimal text: register, title, accepted range.
struct Field {
    int reg;
    QString name; // object name of its button
    int lowest, highest;
};
// Twelve octets (address, mask, gateway), port, country, web password.
const QVector<Field>& Fields();
const Field* FieldOf(int reg);

// Shown value of a register of the block: decimal, or "-" when the block was not read.
QString Text(const QVector<uint16_t>& block, int reg);
bool Dhcp(const QVector<uint16_t>& block); // false also without a block

struct Parsed {
    bool ok = false;
    int value = 0;
    QString error; // what the operator is told; empty when ok
};
// Decimal digits only (surrounding blanks allowed), within [lowest, highest]; out of range
// gets the parameter lines' invalid-value message.
Parsed Parse(const QString& text, int lowest, int highest);

} // namespace ToolNetwork
