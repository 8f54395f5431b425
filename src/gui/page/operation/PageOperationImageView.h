// The work-piece picture of a step with up to 99 numbered screw circles: pending, OK and
// NG colours per position, the current circle blinking, and a full-screen mode.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>
#include <vector>

class Timer;
class UnitStepFastenData;

class PageOperationImageView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int MaxCircles = 99;
    static constexpr int BlinkFirstMs = 100;
    static constexpr int BlinkPeriodMs = 500;

    enum class Mark { Hidden, Pending, Ok, Ng };
    struct Circle {
        int X = 0, Y = 0, Radius = 0, Width = 0; // picture coordinates
        QColor Pending, OkColor, NgColor;
        bool Enabled = false;
        Mark State = Mark::Hidden;
    };

    explicit PageOperationImageView(QWidget* parent = nullptr);

    // The picture (a path under the data home, or empty for none); false when it could
    // not be read.
    bool Load(const QString& path);
    bool HasPicture() const { return !picture_.isNull(); }
    // Takes the screw positions of a fastening step (the first `count` of them, at most 99),
    // every defined one shown in its pending colour, none current.
    void SetPositions(const UnitStepFastenData* step, int count);
    // Makes circle i (0-based) current: drawn pending with its number, blinking.
    void Highlight(int i);
    // Circle i in its OK colour, visible; it is no longer current.
    void MarkOk(int i);
    // Circle i in its NG colour; a current circle stays current.
    void MarkNg(int i);
    // Circle i and its number hidden, its pending colour restored; no longer current.
    void Hide(int i);
    // Hides every circle and stops the blinking (the picture stays).
    void ClearMarks();
    // Drops the picture and the circles.
    void Clear();

    int Current() const { return current_; }
    int Count() const { return int(circles_.size()); }
    Mark MarkOf(int i) const;
    bool Blinking() const;
    // The blink phase: the current circle's outline is drawn.
    bool OutlineOn() const { return outline_; }
    Timer* BlinkTimer() const { return blink_; }

  signals:
    void pressed();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    QRectF target() const;
    void startBlink();
    QPixmap picture_;
    std::vector<Circle> circles_;
    int current_ = -1;
    bool outline_ = true;
    Timer* blink_;
};
