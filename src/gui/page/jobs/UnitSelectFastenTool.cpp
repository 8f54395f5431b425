#include "UnitSelectFastenTool.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

UnitSelectFastenTool::UnitSelectFastenTool(const QString& current, QWidget* parent)
    : QFrame(parent) {
    setObjectName("UnitSelectFastenTool");
    setProperty("role", "dialog");
    setFixedWidth(520);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(28, 20, 28, 20);
    v->setSpacing(8);
    auto* title = new QLabel("Select tool", this);
    title->setProperty("role", "title");
    v->addWidget(title);
    ApplicationDeviceClass* dev = ApplicationDevice();
    const int n = dev->GetRegtoolsLen();
    for (int tdx = 0; tdx < n; ++tdx) {
        const QString name = dev->GetTdxToolName(tdx);
        auto* b = new QPushButton(QString("%1. %2").arg(tdx + 1).arg(name), this);
        b->setObjectName(QString("selectTool%1").arg(tdx));
        b->setMinimumHeight(52);
        b->setCheckable(true);
        b->setChecked(name == current);
        v->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, name] {
            UiSound_Tap();
            emit chosen(name);
        });
    }
    if (n == 0) v->addWidget(new QLabel("No registered tool.", this));
    auto* cancelButton = new QPushButton("Cancel", this);
    cancelButton->setObjectName("selectToolCancel");
    cancelButton->setProperty("role", "cancel");
    v->addWidget(cancelButton);
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit cancel();
    });
    adjustSize();
}
