#include "UnitLineChart.h"

#include "Theme.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
constexpr int kGridRows = 5; // horizontal grid lines split the height in fifths
constexpr int kMarks = 10;   // at most this many marks on the sample axis
constexpr int kMargin = 6;
} // namespace

UnitLineChart::UnitLineChart(QWidget* parent) : QWidget(parent), line_(Theme::Accent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 80);
}

void UnitLineChart::setUpperLimit(int limit) {
    upper_ = limit < 1 ? 1 : limit;
    changed();
}

void UnitLineChart::setZeroLevel(int level) {
    zero_ = level;
    update();
}

void UnitLineChart::setXRange(int samples) {
    xRange_ = samples < 0 ? 0 : samples;
    changed();
}

void UnitLineChart::setPoints(std::vector<int> points) {
    points_ = std::move(points);
    changed();
}

void UnitLineChart::append(int value) {
    points_.push_back(value);
    changed();
}

void UnitLineChart::clear() {
    points_.clear();
    zero_ = -1;
    changed();
}

void UnitLineChart::setLineColor(const QColor& c) {
    line_ = c;
    update();
}

void UnitLineChart::changed() {
    stale_ = true;
    update();
}

void UnitLineChart::resizeEvent(QResizeEvent* e) {
    stale_ = true;
    QWidget::resizeEvent(e);
}

QRect UnitLineChart::plot() const {
    return rect().adjusted(kMargin, kMargin, -kMargin, -kMargin - 14);
}

int UnitLineChart::yOf(int value, const QRect& r) const {
    // 64-bit: a sample far outside the limit must not wrap around.
    const long long h = r.height() - 1;
    long long y = r.bottom() - (long long)value * h / upper_;
    if (y < r.top()) y = r.top();
    if (y > r.bottom()) y = r.bottom();
    return int(y);
}

void UnitLineChart::drawBackground(QPainter& p, const QRect& r, int span) {
    p.fillRect(rect(), Theme::Panel);
    p.setPen(Theme::Border);
    for (int i = 0; i <= kGridRows; ++i) {
        const int y = r.top() + (r.height() - 1) * i / kGridRows;
        p.drawLine(r.left(), y, r.right(), y);
    }
    p.drawLine(r.left(), r.top(), r.left(), r.bottom());
    p.setPen(Theme::Muted);
    QFont f = font();
    f.setPixelSize(11);
    p.setFont(f);
    int step = 1; // 1, 2, 5, 10, 20, 50, ... samples between marks
    for (int base = 1; span / step > kMarks; base *= 10)
        for (int m : {1, 2, 5})
            if (span / (step = base * m) <= kMarks) break;
    for (int s = 0; s <= span; s += step) {
        const int x = r.left() + int((long long)(r.width() - 1) * s / span);
        p.drawLine(x, r.bottom(), x, r.bottom() + 4);
        const QString t = QString::number(s);
        const int w = p.fontMetrics().horizontalAdvance(t);
        // The last mark's number goes left of it when it would run off the edge.
        p.drawText(x + 2 + w > width() ? x - 2 - w : x + 2, r.bottom() + 15, t);
    }
}

void UnitLineChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QRect r = plot();
    if (r.width() < 2 || r.height() < 2) {
        p.fillRect(rect(), Theme::Panel);
        return;
    }
    const int span = std::max<int>(xRange_ > 0 ? xRange_ : int(points_.size()), 2) - 1;
    const qreal dpr = devicePixelRatioF();
    if (backSpan_ != span || back_.size() != size() * dpr) {
        back_ = QPixmap(size() * dpr);
        back_.setDevicePixelRatio(dpr);
        QPainter bp(&back_);
        bp.setRenderHint(QPainter::Antialiasing, false);
        drawBackground(bp, r, span);
        backSpan_ = span;
    }
    p.drawPixmap(0, 0, back_);
    if (zero_ >= 0) {
        p.setPen(QPen(Theme::Muted, 1));
        const int y = yOf(zero_, r);
        p.drawLine(r.left(), y, r.right(), y);
    }
    if (points_.empty()) return;
    if (stale_) {
        path_.resize(int(points_.size()));
        for (size_t i = 0; i < points_.size(); ++i)
            path_[int(i)] =
                QPoint(r.left() + int((long long)(r.width() - 1) * i / span), yOf(points_[i], r));
        stale_ = false;
    }
    p.setPen(QPen(line_, 2));
    p.setClipRect(r);
    p.drawPolyline(path_);
}
