#include "ResultFormat.h"

#include "Theme.h"

#include <iterator>

namespace {
const char* const kShort[] = {"Other", "OK", "NG", "FL", "PC", "AR", "ERR", "BCD"};
const char* const kLong[] = {"Other",         "OK",          "NG",    "F/L change",
                             "Preset change", "Alarm reset", "Error", "Barcode"};
const char* const kPanel[] = {"Other", "OK", "NG", "FL", "PC", "AR", "ERR", "Barcode", "-1"};
const char* const kUnits[] = {"Kgf.cm", "Kgf.m", "N.m", "cN.m", "Lbf.in", "Ozf.in", "Lbf.ft"};
} // namespace

namespace ResultFormat {
QString Torque(uint32_t hundredths) {
    return QString::number(double(hundredths) / 100.0, 'f', 2);
}

QString Direction(uint32_t direction) {
    return direction == 0 ? "F" : "L";
}

QString StatusCell(uint32_t status, bool longLabel) {
    if (status >= std::size(kShort)) return QString();
    return longLabel ? kLong[status] : kShort[status];
}

QString StatusPanel(uint32_t status) {
    return status < std::size(kPanel) ? kPanel[status] : "Unknown";
}

QColor StatusColor(uint32_t status) {
    if (status == 2 || status == 6) return Theme::Ng;
    if (status == 1) return Theme::Ok;
    return Theme::Idle;
}

QString TorqueUnit(int32_t code) {
    return code < 0 ? QString() : kUnits[code % 7];
}
} // namespace ResultFormat

QString ResultFormat::TableStyle() {
    return "QTableView { background: #0c0f12; color: #f2f5f7; gridline-color: #3a4754;"
           " border: 2px solid #3a4754; border-radius: 8px; font-size: 17px; }"
           "QHeaderView::section { background: #27313b; color: #f2f5f7; font-size: 16px;"
           " font-weight: bold; border: 0; border-right: 1px solid #3a4754; padding: 4px; }";
}
