// The base of every screen: Init when presented, Refresh when its data changed, Leave
// when the operator leaves it; Leave signals `completed`, the screen's completion slot
// through which its opener dismisses it.
#pragma once

#include <QFrame>

class Page : public QFrame {
    Q_OBJECT
  public:
    explicit Page(QWidget* parent = nullptr);
    virtual void Init() {}
    virtual void Refresh() {}
    virtual void Leave() { emit completed(this); }

  signals:
    void completed(Page* page);
};
