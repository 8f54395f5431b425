#include "Theme.h"

namespace Theme {

QString StyleSheet() {
    // Object names and dynamic properties select the variants, so screens carry no
    // colours of their own.
    return QStringLiteral(R"(
* { font-family: "DejaVu Sans"; color: #f2f5f7; }
QWidget#RootObject, QWidget[page="true"] { background: #12161a; }
QLabel { background: transparent; font-size: 18px; }
QLabel[role="title"] { font-size: 30px; font-weight: bold; }
QLabel[role="subtitle"] { font-size: 17px; color: #9aa8b4; }
QLabel[role="muted"] { font-size: 16px; color: #9aa8b4; }
QPushButton {
  min-height: 56px; min-width: 56px; padding: 0 18px;
  font-size: 20px; font-weight: bold;
  background: #27313b; border: 2px solid #3a4754; border-radius: 8px;
}
QPushButton:pressed { background: #2f8fe8; border-color: #5fb0ff; }
QPushButton:checked { background: #22466b; border-color: #2f8fe8; }
QPushButton:disabled { color: #5b6772; background: #1d242b; border-color: #28323b; }
QPushButton[role="ok"] { background: #1f7a3e; border-color: #2eb85c; }
QPushButton[role="ok"]:pressed { background: #2eb85c; }
QPushButton[role="cancel"] { background: #3a4754; }
QPushButton[role="danger"] { background: #8f2323; border-color: #e23d3d; }
QPushButton[role="key"] { font-size: 24px; min-width: 64px; min-height: 60px; padding: 0; }
QPushButton[role="param"] { font-size: 18px; min-width: 44px; min-height: 38px; padding: 0 8px; }
QPushButton[role="tile"] {
  text-align: left; padding: 18px 24px; border-radius: 12px;
  background: #1d242b; border: 2px solid #33404c;
}
QPushButton[role="tile"]:pressed { background: #22466b; border-color: #2f8fe8; }
QPushButton[role="tile"]:disabled { background: #171c21; border-color: #222a31; }
QLineEdit {
  min-height: 56px; font-size: 26px; padding: 0 14px; color: #f2f5f7;
  background: #0c0f12; border: 2px solid #3a4754; border-radius: 8px;
}
QLineEdit:focus { border-color: #2f8fe8; }
QFrame[role="dialog"] { background: #1d242b; border: 2px solid #3a4754; border-radius: 14px; }
QFrame[role="statusbar"] { background: #0b0e11; border-bottom: 2px solid #2f8fe8; }
QListView { background: #0c0f12; border: 2px solid #3a4754; border-radius: 8px;
            font-family: "DejaVu Sans Mono"; font-size: 16px; }
QCheckBox { font-size: 22px; spacing: 16px; min-height: 56px; }
QCheckBox::indicator { width: 72px; height: 36px; border-radius: 18px;
                       background: #3a4754; border: 2px solid #55636f; }
QCheckBox::indicator:checked { background: #2eb85c; border-color: #6fe08f; }
QScrollBar:vertical { width: 28px; background: #12161a; }
QScrollBar::handle:vertical { background: #3a4754; min-height: 56px; border-radius: 10px; }
)");
}

QColor TitleColor(const QString& title) {
    if (title == "Error") return Ng;
    if (title == "Warning") return Warn;
    if (title == "Success") return Ok;
    return Accent;
}

} // namespace Theme
