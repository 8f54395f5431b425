// The screw circles of one fastening step as the position editor changes them, free of
// widgets: the circles in screw order, the current one, the settings a new circle takes,
// the picture's bounds and the mapping between picture pixels and the scaled view.
// Coordinates are those of the decoded picture, the space the job screen draws in.
#pragma once

#include <QColor>
#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <vector>

class ScrewLayout {
  public:
    static constexpr int MaxCircles = 99;
    static constexpr int MinRadius = 1, MaxRadius = 100;
    // A line wider than the circle would hide its number; 20 covers the largest circle.
    static constexpr int MinWidth = 1, MaxWidth = 20;
    static constexpr int Bands = 5; // font sizes of the number, by radius

    enum Paint { Pending, Ok, Ng };
    struct Circle {
        int X = 0, Y = 0;
        int Radius = 20, Width = 3;
        QColor Colors[3] = {QColor(255, 200, 0), QColor(0, 200, 0), QColor(230, 0, 0)};
        bool operator==(const Circle&) const = default;
    };

    int Count() const { return int(circles_.size()); }
    const Circle& At(int i) const { return circles_[size_t(i)]; }
    const std::vector<Circle>& Circles() const { return circles_; }
    int Current() const { return current_; } // -1 with no circles
    // The current circle's radius, width and colours become the settings of new circles.
    void SetCurrent(int i);
    // Replaces every circle (as read from a step); the first becomes current.
    void Load(const std::vector<Circle>& circles);

    // New circles take these; changing them changes the current circle too.
    const Circle& Template() const { return template_; }
    void SetRadius(int r);
    void SetWidth(int w);
    void SetColor(Paint which, const QColor& c);

    // Append at the end / insert before the current one, at (x, y) kept inside the
    // picture; the new circle becomes current. False (nothing changes) at MaxCircles.
    bool Append(int x, int y);
    bool Insert(int x, int y);
    // Deletes the current circle; later ones move down one place. The circle that took
    // its place becomes current, or the one before when the last was deleted.
    bool Delete();
    // Moves the current circle by (dx, dy) / to (x, y), its centre kept on the picture.
    void MoveBy(int dx, int dy);
    void MoveTo(int x, int y);

    // The picture's size in pixels (the decoded size); without a picture the screen's.
    void SetPicture(QSize size);
    QSize Picture() const { return picture_; }
    // The view the picture is shown in: scaled to fit with its aspect kept, centred.
    void SetView(QSize size);
    QRectF Shown() const;
    double Scale() const;
    QPointF ToView(QPointF p) const;
    QPoint FromView(QPointF v) const; // nearest picture pixel, kept inside the picture
    // The circle under a view point (the nearest centre within its radius, or within a
    // finger's reach of a small one), -1 for none.
    int HitTest(QPointF v) const;

    static int Band(int radius); // 0..4: up to 20, 21-40, 41-60, 61-80, 81-100
    static int BandFontPx(int band);

  private:
    QPoint inside(int x, int y) const;
    void follow();
    std::vector<Circle> circles_;
    int current_ = -1;
    Circle template_;
    QSize picture_{1280, 800};
    QSize view_{1280, 800};
};
