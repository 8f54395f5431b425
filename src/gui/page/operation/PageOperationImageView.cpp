#include "PageOperationImageView.h"

#include "ExternImage.h"
#include "Theme.h"
#include "Timer.h"
#include "UnitStepFastenData.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

PageOperationImageView::PageOperationImageView(QWidget* parent) : QWidget(parent) {
    setObjectName("PageOperationImageView");
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet("background: #0c0f12;");
    blink_ = new Timer(this);
    blink_->SetBegin(BlinkFirstMs);
    blink_->SetPeriod(BlinkPeriodMs);
    connect(blink_, &Timer::trigger, this, [this] {
        outline_ = !outline_;
        update();
    });
}

bool PageOperationImageView::Load(const QString& path) {
    picture_ = QPixmap::fromImage(EwLoadExternBitmap(path));
    update();
    return !picture_.isNull();
}

void PageOperationImageView::SetPositions(const UnitStepFastenData* step, int count) {
    circles_.clear();
    current_ = -1;
    blink_->SetEnabled(false);
    count = std::clamp(count, 0, MaxCircles);
    for (int i = 0; step && i < count; ++i) {
        const UnitScrewPosData* p = step->ScrewPos[i];
        Circle c;
        c.X = p->X;
        c.Y = p->Y;
        c.Radius = p->Radius;
        c.Width = p->Width;
        c.Pending = p->PendingColor;
        c.OkColor = p->OkColor;
        c.NgColor = p->NgColor;
        c.Enabled = p->Enabled;
        c.State = c.Enabled ? Mark::Pending : Mark::Hidden;
        circles_.push_back(c);
    }
    update();
}

void PageOperationImageView::startBlink() {
    outline_ = true;
    blink_->SetEnabled(false);
    if (current_ >= 0) blink_->SetEnabled(true);
}

void PageOperationImageView::Highlight(int i) {
    if (i < 0 || i >= Count()) {
        current_ = -1;
        blink_->SetEnabled(false);
        update();
        return;
    }
    current_ = i;
    if (circles_[size_t(i)].Enabled) circles_[size_t(i)].State = Mark::Pending;
    startBlink();
    update();
}

void PageOperationImageView::MarkOk(int i) {
    if (i < 0 || i >= Count()) return;
    if (circles_[size_t(i)].Enabled) circles_[size_t(i)].State = Mark::Ok;
    if (i == current_) Highlight(-1);
    update();
}

void PageOperationImageView::MarkNg(int i) {
    if (i < 0 || i >= Count()) return;
    if (circles_[size_t(i)].Enabled) circles_[size_t(i)].State = Mark::Ng;
    update();
}

void PageOperationImageView::Hide(int i) {
    if (i < 0 || i >= Count()) return;
    circles_[size_t(i)].State = Mark::Hidden;
    if (i == current_) Highlight(-1);
    update();
}

void PageOperationImageView::ClearMarks() {
    for (Circle& c : circles_)
        c.State = Mark::Hidden;
    current_ = -1;
    blink_->SetEnabled(false);
    update();
}

void PageOperationImageView::Clear() {
    picture_ = QPixmap();
    circles_.clear();
    current_ = -1;
    blink_->SetEnabled(false);
    update();
}

PageOperationImageView::Mark PageOperationImageView::MarkOf(int i) const {
    return i >= 0 && i < Count() ? circles_[size_t(i)].State : Mark::Hidden;
}

bool PageOperationImageView::Blinking() const {
    return blink_->Enabled();
}

QRectF PageOperationImageView::target() const {
    if (picture_.isNull()) return QRectF(rect());
    QSizeF s = picture_.size();
    s.scale(size(), Qt::KeepAspectRatio);
    QRectF r(QPointF(0, 0), s);
    r.moveCenter(QRectF(rect()).center());
    return r;
}

void PageOperationImageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x0c, 0x0f, 0x12));
    QRectF area = target();
    if (!picture_.isNull()) p.drawPixmap(area, picture_, QRectF(picture_.rect()));
    // Positions are picture coordinates; without a picture the view's own.
    const double k = picture_.isNull() ? 1.0 : area.width() / picture_.width();
    QFont f = font();
    for (int i = 0; i < Count(); ++i) {
        const Circle& c = circles_[size_t(i)];
        if (c.State == Mark::Hidden) continue;
        QColor fill = c.State == Mark::Ok ? c.OkColor : c.State == Mark::Ng ? c.NgColor : c.Pending;
        QPointF centre(area.left() + c.X * k, area.top() + c.Y * k);
        double r = std::max(6.0, c.Radius * k);
        double w = std::max(2.0, c.Width * k);
        fill.setAlpha(150);
        p.setBrush(fill);
        fill.setAlpha(255);
        QPen pen(fill, w);
        if (i == current_) pen = outline_ ? QPen(Theme::Text, w + 2) : QPen(Qt::NoPen);
        p.setPen(pen);
        p.drawEllipse(centre, r, r);
        f.setPixelSize(int(std::max(12.0, r)));
        f.setBold(true);
        p.setFont(f);
        p.setPen(Theme::Text);
        p.drawText(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), Qt::AlignCenter,
                   QString::number(i + 1));
    }
}

void PageOperationImageView::mousePressEvent(QMouseEvent* e) {
    e->accept();
    emit pressed();
}
