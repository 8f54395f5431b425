#include "UnitScanning.h"

#include "Theme.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

UnitScanning::UnitScanning(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitScanning");
    setProperty("role", "dialog");
    setFixedSize(560, 300);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 32);
    auto* title = new QLabel("Wi-Fi", this);
    title->setProperty("role", "title");
    auto* text = new QLabel("Scanning for a free channel ...", this);
    text->setObjectName("scanningText");
    text->setStyleSheet("font-size: 22px;");
    v->addWidget(title);
    v->addStretch(1);
    v->addWidget(text, 0, Qt::AlignHCenter);
    spin_ = new QTimer(this);
    connect(spin_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
    spin_->start(100);
}

void UnitScanning::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPointF c(width() / 2.0, height() / 2.0 + 4);
    for (int i = 0; i < 12; ++i) {
        QColor col = Theme::Accent;
        col.setAlpha(40 + ((i - step_ + 12) % 12) * 18);
        p.save();
        p.translate(c);
        p.rotate(i * 30.0);
        p.setPen(Qt::NoPen);
        p.setBrush(col);
        p.drawRoundedRect(QRectF(22, -4, 18, 8), 4, 4);
        p.restore();
    }
}
