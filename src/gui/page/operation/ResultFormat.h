// How a fastening result is written on the operation screens: status labels, torques in
// hundredths, direction letters and the tools' torque unit names.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>

namespace ResultFormat {
// Torque kept x 100, with two decimals ("12.34").
QString Torque(uint32_t hundredths);
// Direction 0 "F" (fasten), anything else "L" (loosen).
QString Direction(uint32_t direction);
// Status of a table cell: short ("NG") or long ("F/L change") label; empty for status > 7.
QString StatusCell(uint32_t status, bool longLabel);
// Status of the last-result panel: "Other" .. "Barcode", "-1" for 8, else "Unknown".
QString StatusPanel(uint32_t status);
// Red for NG (2) and error (6), green for OK (1), grey for the rest.
QColor StatusColor(uint32_t status);
// Torque unit code (taken modulo 7) to its name ("Kgf.cm" .. "Lbf.ft"); empty when < 0.
QString TorqueUnit(int32_t code);
// Style sheet of the result and error-code tables (dark cells, light text and headers).
QString TableStyle();
} // namespace ResultFormat
