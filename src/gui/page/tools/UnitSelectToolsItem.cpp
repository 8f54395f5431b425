#include "UnitSelectToolsItem.h"

#include "Icons.h"
#include "Theme.h"
#include "UnitToolInfo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {
const char* const kFieldNames[] = {"No",      "Name",    "Serial", "Model", "Status",
                                   "Version", "Address", "Port",   "Mac",   "Temp"};
const int kWidths[] = {30, 150, 100, 90, 110, 70, 120, 64, 160, 56};
} // namespace

UnitSelectToolsItem::UnitSelectToolsItem(int tdx, QWidget* parent) : QFrame(parent), tdx_(tdx) {
    const QString name = QString("toolRow%1").arg(tdx);
    setObjectName(name);
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_StyledBackground, true);
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 0, 12, 0);
    h->setSpacing(4);
    icon_ = new QLabel(this);
    icon_->setFixedWidth(36);
    for (int f = 0; f < FieldCount; ++f) {
        fields_[f] = new QLabel(this);
        fields_[f]->setObjectName(name + kFieldNames[f]);
        fields_[f]->setFixedWidth(kWidths[f]);
        if (f == Model) h->addWidget(icon_);
        h->addWidget(fields_[f]);
    }
    fields_[No]->setText(QString::number(tdx + 1));
    fields_[Temp]->setText("-");
    save_ = new QPushButton("Save", this);
    save_->setObjectName(name + "Save");
    load_ = new QPushButton("Load", this);
    load_->setObjectName(name + "Load");
    for (QPushButton* b : {save_, load_}) {
        b->setFixedSize(64, 44);
        // Row-sized, not the screens' finger-sized buttons.
        b->setStyleSheet("min-width: 0; min-height: 0; padding: 0; font-size: 16px;");
        b->hide();
        h->addWidget(b);
    }
    connect(save_, &QPushButton::clicked, this, [this] { emit saveParams(tdx_); });
    connect(load_, &QPushButton::clicked, this, [this] { emit loadParams(tdx_); });
    h->addStretch(1);
    SetCurrent(false);
}

void UnitSelectToolsItem::Fill(const UnitToolInfo& t) {
    using namespace ToolRowFormat;
    status_ = ToolRowFormat::Status(t.State);
    fields_[Name]->setText(t.Name);
    fields_[Serial]->setText(t.Serial);
    fields_[Model]->setText(t.Model);
    fields_[Status]->setText(StatusText(status_));
    const QColor colours[] = {Theme::Ok, Theme::Ng, Theme::Idle, Theme::Warn};
    fields_[Status]->setStyleSheet(
        QString("color: %1; font-weight: bold;").arg(colours[status_].name()));
    fields_[Version]->setText(ToolRowFormat::Version(status_, t.Version));
    fields_[Address]->setText(ToolRowFormat::Address(status_, t.Ip));
    fields_[Port]->setText(ToolRowFormat::Port(status_, t.Port));
    fields_[Mac]->setText(t.Mac);
    const bool controller = t.Type == 1 || t.Type == 4;
    icon_->setPixmap(
        Icons::Pixmap(controller ? "tool_controller" : "tool_driver", colours[status_], 30));
}

void UnitSelectToolsItem::SetTemperature(const QString& text) {
    fields_[Temp]->setText(text);
}

void UnitSelectToolsItem::SetCurrent(bool current) {
    setStyleSheet(QString("QFrame#%1 { background: %2; border-bottom: 1px solid #3a4754; }"
                          " QLabel { font-size: 16px; }")
                      .arg(objectName(), current ? "#22466b" : "#1d242b"));
    setProperty("current", current);
}

void UnitSelectToolsItem::SetParamButtons(bool shown, bool usable) {
    for (QPushButton* b : {save_, load_}) {
        b->setVisible(shown);
        b->setEnabled(usable);
    }
}

QString UnitSelectToolsItem::Text(Field f) const {
    return fields_[f]->text();
}

void UnitSelectToolsItem::mouseReleaseEvent(QMouseEvent* e) {
    if (rect().contains(e->position().toPoint())) emit pressed(tdx_);
    QFrame::mouseReleaseEvent(e);
}
