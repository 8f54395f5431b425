// Icons of the panel: SVG pictures (tool types, link state, devices) drawn in one
// colour at the size asked for.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace Icons {
// `name` is the file name without ".svg" (tool_controller, tool_driver, dev_sd, dev_usb,
// dev_tray, dev_tray_alarm, dev_barcode, dev_wifi, link). Null pixmap if unknown.
QPixmap Pixmap(const QString& name, const QColor& color, int size);
bool Exists(const QString& name);
} // namespace Icons
