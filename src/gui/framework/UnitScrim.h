// The dimming layer under a modal dialog: covers its parent, darkens it and swallows
// every touch so only the dialog above it can be pressed.
#pragma once

#include <QWidget>

class UnitScrim : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Dim READ Dim WRITE SetDim)
  public:
    explicit UnitScrim(QWidget* parent);
    int Dim() const { return dim_; }
    void SetDim(int alpha);
    static constexpr int FullDim = 170;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    int dim_ = FullDim;
};
