#include "UnitLastResult.h"

#include "ResultFormat.h"
#include "Theme.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
QLabel* value(QWidget* parent, const char* name) {
    auto* l = new QLabel("-", parent);
    l->setObjectName(name);
    l->setStyleSheet("font-size: 24px; font-weight: bold;");
    return l;
}
} // namespace

UnitLastResult::UnitLastResult(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitLastResult");
    setProperty("role", "dialog");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(18, 18, 18, 18);
    v->setSpacing(14);
    status_ = new QLabel(this);
    status_->setObjectName("lastStatus");
    status_->setAlignment(Qt::AlignCenter);
    status_->setMinimumHeight(110);
    v->addWidget(status_);
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(12);
    tool_ = value(this, "lastTool");
    preset_ = value(this, "lastPreset");
    torque_ = value(this, "lastTorque");
    speed_ = value(this, "lastSpeed");
    time_ = value(this, "lastTime");
    const std::pair<const char*, QLabel*> rows[] = {{"Tool", tool_},
                                                    {"Preset", preset_},
                                                    {"Torque", torque_},
                                                    {"Speed", speed_},
                                                    {"Fastening time", time_}};
    int r = 0;
    for (const auto& [title, label] : rows) {
        auto* t = new QLabel(title, this);
        t->setProperty("role", "muted");
        grid->addWidget(t, r++, 0);
        grid->addWidget(label, r++, 0);
    }
    v->addLayout(grid);
    v->addStretch(1);
    Clear();
}

void UnitLastResult::Show(const QString& toolName, const FastenResult& r, const QString& unit) {
    status_->setText(ResultFormat::StatusPanel(r.Status));
    status_->setStyleSheet(QString("font-size: 44px; font-weight: bold; border-radius: 10px;"
                                   "background: %1;")
                               .arg(ResultFormat::StatusColor(r.Status).name()));
    tool_->setText(toolName);
    preset_->setText(QString::number(r.Preset));
    torque_->setText(ResultFormat::Torque(r.ConvTorque) + " " + unit);
    speed_->setText(QString::number(r.Speed));
    time_->setText(QString::number(r.FastenTime) + " ms");
}

void UnitLastResult::Clear() {
    status_->setText("-");
    status_->setStyleSheet(QString("font-size: 44px; font-weight: bold; border-radius: 10px;"
                                   "background: %1;")
                               .arg(Theme::Raised.name()));
    for (QLabel* l : {tool_, preset_, torque_, speed_, time_})
        l->setText("-");
}

QString UnitLastResult::StatusText() const {
    return status_->text();
}
QString UnitLastResult::ToolText() const {
    return tool_->text();
}
QString UnitLastResult::TorqueText() const {
    return torque_->text();
}
