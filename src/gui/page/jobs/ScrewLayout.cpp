#include "ScrewLayout.h"

#include <algorithm>
#include <cmath>

void ScrewLayout::SetCurrent(int i) {
    if (circles_.empty()) {
        current_ = -1;
        return;
    }
    current_ = std::clamp(i, 0, Count() - 1);
    follow();
}

void ScrewLayout::Load(const std::vector<Circle>& circles) {
    circles_ = circles;
    if (circles_.size() > size_t(MaxCircles)) circles_.resize(size_t(MaxCircles));
    current_ = circles_.empty() ? -1 : 0;
    follow();
}

void ScrewLayout::SetRadius(int r) {
    template_.Radius = std::clamp(r, MinRadius, MaxRadius);
    if (current_ >= 0) circles_[size_t(current_)].Radius = template_.Radius;
}

void ScrewLayout::SetWidth(int w) {
    template_.Width = std::clamp(w, MinWidth, MaxWidth);
    if (current_ >= 0) circles_[size_t(current_)].Width = template_.Width;
}

void ScrewLayout::SetColor(Paint which, const QColor& c) {
    // Stored as three bytes: always opaque.
    const QColor opaque(c.red(), c.green(), c.blue());
    template_.Colors[which] = opaque;
    if (current_ >= 0) circles_[size_t(current_)].Colors[which] = opaque;
}

bool ScrewLayout::Append(int x, int y) {
    if (Count() >= MaxCircles) return false;
    Circle c = template_;
    const QPoint p = inside(x, y);
    c.X = p.x();
    c.Y = p.y();
    circles_.push_back(c);
    current_ = Count() - 1;
    return true;
}

bool ScrewLayout::Insert(int x, int y) {
    if (current_ < 0) return Append(x, y);
    if (Count() >= MaxCircles) return false;
    Circle c = template_;
    const QPoint p = inside(x, y);
    c.X = p.x();
    c.Y = p.y();
    circles_.insert(circles_.begin() + current_, c);
    return true;
}

bool ScrewLayout::Delete() {
    if (current_ < 0) return false;
    circles_.erase(circles_.begin() + current_);
    if (current_ >= Count()) current_ = Count() - 1;
    follow();
    return true;
}

void ScrewLayout::MoveBy(int dx, int dy) {
    if (current_ < 0) return;
    const Circle& c = circles_[size_t(current_)];
    MoveTo(c.X + dx, c.Y + dy);
}

void ScrewLayout::MoveTo(int x, int y) {
    if (current_ < 0) return;
    const QPoint p = inside(x, y);
    circles_[size_t(current_)].X = p.x();
    circles_[size_t(current_)].Y = p.y();
}

void ScrewLayout::SetPicture(QSize size) {
    picture_ = size.isEmpty() ? QSize(1280, 800) : size;
}

void ScrewLayout::SetView(QSize size) {
    view_ = size.isEmpty() ? QSize(1, 1) : size;
}

QRectF ScrewLayout::Shown() const {
    QSizeF s = picture_;
    s.scale(QSizeF(view_), Qt::KeepAspectRatio);
    QRectF r(QPointF(0, 0), s);
    r.moveCenter(QRectF(QPointF(0, 0), QSizeF(view_)).center());
    return r;
}

double ScrewLayout::Scale() const {
    return Shown().width() / picture_.width();
}

QPointF ScrewLayout::ToView(QPointF p) const {
    const QRectF r = Shown();
    return r.topLeft() + p * Scale();
}

QPoint ScrewLayout::FromView(QPointF v) const {
    const QPointF p = (v - Shown().topLeft()) / Scale();
    return inside(int(std::floor(p.x())), int(std::floor(p.y())));
}

int ScrewLayout::HitTest(QPointF v) const {
    const double k = Scale();
    int best = -1;
    double bestDistance = 0;
    for (int i = 0; i < Count(); ++i) {
        const Circle& c = circles_[size_t(i)];
        const QPointF d = ToView(QPointF(c.X, c.Y)) - v;
        const double distance = std::hypot(d.x(), d.y());
        // A circle drawn a few pixels wide must still be reachable with a finger.
        const double reach = std::max(c.Radius * k, 16.0);
        if (distance > reach) continue;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

int ScrewLayout::Band(int radius) {
    return std::clamp((std::max(radius, 1) - 1) / 20, 0, Bands - 1);
}

int ScrewLayout::BandFontPx(int band) {
    static constexpr int px[Bands] = {14, 24, 36, 48, 60};
    return px[std::clamp(band, 0, Bands - 1)];
}

void ScrewLayout::follow() {
    // The controls show the current circle's settings, and the next circle takes them.
    if (current_ >= 0) template_ = circles_[size_t(current_)];
}

QPoint ScrewLayout::inside(int x, int y) const {
    return QPoint(std::clamp(x, 0, picture_.width() - 1), std::clamp(y, 0, picture_.height() - 1));
}
