#include "UnitStepMessageView.h"

#include <QLabel>
#include <QVBoxLayout>

UnitStepMessageView::UnitStepMessageView(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitStepMessageView");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 16, 24, 16);
    auto* t = new QLabel("Message", this);
    t->setProperty("role", "title");
    v->addWidget(t);
    v->addStretch(1);
    for (int i = 0; i < 3; ++i) {
        lines_[i] = new QLabel(this);
        lines_[i]->setObjectName(QString("messageLine%1").arg(i + 1));
        lines_[i]->setAlignment(Qt::AlignCenter);
        lines_[i]->setWordWrap(true);
        lines_[i]->setStyleSheet("font-size: 36px; font-weight: bold;");
        v->addWidget(lines_[i]);
    }
    v->addStretch(2);
}

void UnitStepMessageView::SetLines(const QString& l1, const QString& l2, const QString& l3) {
    lines_[0]->setText(l1);
    lines_[1]->setText(l2);
    lines_[2]->setText(l3);
}

QString UnitStepMessageView::Text() const {
    return lines_[0]->text() + "\n" + lines_[1]->text() + "\n" + lines_[2]->text();
}
