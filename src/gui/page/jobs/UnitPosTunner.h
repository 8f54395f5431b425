// The picture of a fastening step with its numbered screw circles, edited by touch: a
// press appends (or inserts) a circle in the armed mode, else takes the circle under the
// finger; holding and moving drags the current circle. The current circle's outline
// blinks every 500 ms.
#pragma once

#include "ScrewLayout.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

class Timer;

class UnitPosTunner : public QWidget {
    Q_OBJECT
  public:
    static constexpr int BlinkMs = 500;
    enum class Mode { Select, Append, Insert };

    explicit UnitPosTunner(QWidget* parent = nullptr);
    ScrewLayout& Layout() { return layout_; }
    const ScrewLayout& Layout() const { return layout_; }
    // The decoded picture; a null image shows none (positions then use the screen's size).
    void SetPicture(const QImage& picture);
    bool HasPicture() const { return !picture_.isNull(); }
    void SetMode(Mode m) { mode_ = m; }
    Mode GetMode() const { return mode_; }
    // Redraws after the layout changed and restarts the blink on the current circle.
    void Changed();
    bool OutlineOn() const { return outline_; }
    Timer* BlinkTimer() const { return blink_; }

  signals:
    // A circle was added by touch (the count changed).
    void added();
    // The current circle or its place changed.
    void edited();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    ScrewLayout layout_;
    QPixmap picture_;
    Mode mode_ = Mode::Select;
    bool dragging_ = false;
    QPointF pressAt_;
    QPoint startCentre_;
    bool outline_ = true;
    Timer* blink_;
};
