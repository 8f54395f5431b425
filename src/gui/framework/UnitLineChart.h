// A line chart over a buffer of integer samples, drawn with a bare QPainter polyline
// (no antialiasing, the pixel path cached between paints) so a curve of a few hundred
// points redraws within a frame on the board. Values from 0 to the upper limit span the
// plot's height; a zero level draws a brighter base line where the measured zero sits.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QPolygon>
#include <QWidget>
#include <vector>

class UnitLineChart : public QWidget {
    Q_OBJECT
  public:
    explicit UnitLineChart(QWidget* parent = nullptr);
    // Values 0..limit fill the plot height; a limit below 1 is taken as 1.
    void setUpperLimit(int limit);
    int upperLimit() const { return upper_; }
    // The level drawn as the zero line; negative: none.
    void setZeroLevel(int level);
    int zeroLevel() const { return zero_; }
    // Samples across the width; 0 lets the points fill it.
    void setXRange(int samples);
    void setPoints(std::vector<int> points);
    void append(int value);
    void clear();
    const std::vector<int>& points() const { return points_; }
    void setLineColor(const QColor& c);
    QSize sizeHint() const override { return {600, 300}; }

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    QRect plot() const;
    int yOf(int value, const QRect& r) const;
    void changed();
    void drawBackground(QPainter& p, const QRect& r, int span);
    std::vector<int> points_;
    // Panel, grid and sample marks, drawn once per size and span: the text is the costly
    // part of a frame, and a curve frame changes only the line.
    QPixmap back_;
    int backSpan_ = -1;
    QPolygon path_; // points_ in pixels, rebuilt when stale
    bool stale_ = true;
    int upper_ = 5;
    int zero_ = -1;
    int xRange_ = 0;
    QColor line_;
};
