// What covers a screen that serves only the driver families (tool types 2 and 3): the
// no-tool notice, the controller families' notice, or nothing.
#pragma once

#include <QLabel>
#include <QString>

namespace ToolNotice {
constexpr const char* kNoTool = "Please select a tool.";
constexpr const char* kController = "Please use XWC's local LCD.";

inline QString For(int tdx, int type) {
    if (tdx < 0) return kNoTool;
    if (type == 1 || type == 4) return kController;
    return {};
}

// The notice's label, as every such screen shows it.
inline QLabel* Label(QWidget* parent, const QString& name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet("font-size: 30px; font-weight: bold; color: #f2a71b;");
    return l;
}

// The notice in place of the screen's controls, or the controls when there is none.
inline void Show(QLabel* notice, QWidget* controls, const QString& text) {
    notice->setText(text);
    notice->setVisible(!text.isEmpty());
    controls->setVisible(text.isEmpty());
}
} // namespace ToolNotice
