#include "UnitScrim.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

UnitScrim::UnitScrim(QWidget* parent) : QWidget(parent) {
    setObjectName("UnitScrim");
    setAttribute(Qt::WA_NoSystemBackground);
    if (parent) {
        setGeometry(parent->rect());
        parent->installEventFilter(this); // follow the parent's size
    }
}

void UnitScrim::SetDim(int alpha) {
    dim_ = alpha;
    update();
}

void UnitScrim::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0, dim_));
}

void UnitScrim::mousePressEvent(QMouseEvent* e) {
    e->accept();
}
void UnitScrim::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
}

bool UnitScrim::eventFilter(QObject* o, QEvent* e) {
    if (o == parent() && e->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return false;
}
