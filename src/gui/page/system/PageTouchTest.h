// The touch test (service level): five targets, in the four corners and the centre of the
// panel, each turning green when touched. The test ends through the completion slot once
// all were touched, or at once with "Close" when the screen does not answer in a corner.
#pragma once

#include "Page.h"

#include <QList>

class QLabel;
class QPushButton;

class PageTouchTest : public Page {
    Q_OBJECT
  public:
    static constexpr int Targets = 5;
    explicit PageTouchTest(QWidget* parent = nullptr);
    // The whole panel: the corners are the screen's own.
    QSize sizeHint() const override;
    int Touched() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void touch(int index);

    QList<QPushButton*> targets_;
    QLabel* hint_;
    QPushButton* close_;
};
