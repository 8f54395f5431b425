#include "UnitPosTunner.h"

#include "Theme.h"
#include "Timer.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

UnitPosTunner::UnitPosTunner(QWidget* parent) : QWidget(parent) {
    setObjectName("UnitPosTunner");
    blink_ = new Timer(this);
    blink_->SetBegin(BlinkMs);
    blink_->SetPeriod(BlinkMs);
    connect(blink_, &Timer::trigger, this, [this] {
        outline_ = !outline_;
        update();
    });
}

void UnitPosTunner::SetPicture(const QImage& picture) {
    picture_ = QPixmap::fromImage(picture);
    layout_.SetPicture(picture.size());
    Changed();
}

void UnitPosTunner::Changed() {
    outline_ = true;
    blink_->SetEnabled(false);
    if (layout_.Current() >= 0) blink_->SetEnabled(true);
    update();
}

void UnitPosTunner::resizeEvent(QResizeEvent*) {
    layout_.SetView(size());
}

void UnitPosTunner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x0c, 0x0f, 0x12));
    const QRectF area = layout_.Shown();
    if (!picture_.isNull())
        p.drawPixmap(area, picture_, QRectF(picture_.rect()));
    else
        p.fillRect(area, QColor(0x1a, 0x1f, 0x24));
    // Drawn as the job screen draws them (same scale and translucent fill), so what is
    // placed here is what the operator sees there.
    const double k = layout_.Scale();
    QFont f = font();
    f.setBold(true);
    for (int i = 0; i < layout_.Count(); ++i) {
        const ScrewLayout::Circle& c = layout_.At(i);
        const QPointF centre = layout_.ToView(QPointF(c.X, c.Y));
        const double r = std::max(6.0, c.Radius * k);
        const double w = std::max(2.0, c.Width * k);
        QColor fill = c.Colors[ScrewLayout::Pending];
        fill.setAlpha(150);
        p.setBrush(fill);
        fill.setAlpha(255);
        QPen pen(fill, w);
        if (i == layout_.Current()) pen = outline_ ? QPen(Theme::Text, w + 2) : QPen(Qt::NoPen);
        p.setPen(pen);
        p.drawEllipse(centre, r, r);
        f.setPixelSize(std::max(8, int(ScrewLayout::BandFontPx(ScrewLayout::Band(c.Radius)) * k)));
        p.setFont(f);
        p.setPen(Theme::Text);
        p.drawText(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), Qt::AlignCenter,
                   QString::number(i + 1));
    }
}

void UnitPosTunner::mousePressEvent(QMouseEvent* e) {
    e->accept();
    const QPointF v = e->position();
    const QPoint at = layout_.FromView(v);
    dragging_ = false;
    if (mode_ == Mode::Append || mode_ == Mode::Insert) {
        const bool made =
            mode_ == Mode::Append ? layout_.Append(at.x(), at.y()) : layout_.Insert(at.x(), at.y());
        // An insertion is one placement; appending stays armed.
        if (mode_ == Mode::Insert) mode_ = Mode::Select;
        if (!made) return;
        dragging_ = true;
        emit added();
    } else {
        const int hit = layout_.HitTest(v);
        if (hit < 0) return;
        layout_.SetCurrent(hit);
        dragging_ = true;
    }
    pressAt_ = v;
    const ScrewLayout::Circle& c = layout_.At(layout_.Current());
    startCentre_ = QPoint(c.X, c.Y);
    Changed();
    emit edited();
}

void UnitPosTunner::mouseMoveEvent(QMouseEvent* e) {
    e->accept();
    if (!dragging_) return;
    const QPointF d = (e->position() - pressAt_) / layout_.Scale();
    layout_.MoveTo(startCentre_.x() + int(std::lround(d.x())),
                   startCentre_.y() + int(std::lround(d.y())));
    update();
    emit edited();
}

void UnitPosTunner::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    dragging_ = false;
}
