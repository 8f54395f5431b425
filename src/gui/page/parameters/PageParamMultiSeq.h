// The "Multi\nSequence" tab of the parameters screen: a program of the current tool, its
// ten steps as "Step.N" lines of a command (chosen in "Select command") and an argument
// (on a level bar). A change is written at once as command x 1000 + argument, then the
// program is read again.
#pragma once

#include "MultiSeq.h"
#include "Navigator.h"
#include "PageTabs.h"
#include "ParamBlock.h"
#include "ParamDevice.h"

#include <QList>

class QLabel;
class QPushButton;
class UnitLvBar;

class PageParamMultiSeq : public TabPage {
    Q_OBJECT
  public:
    explicit PageParamMultiSeq(QWidget* parent = nullptr);
    ~PageParamMultiSeq() override;
    void Shown() override { Refresh(); }
    void Hidden() override;
    void Refresh() override;
    int Program() const { return program_; }
    // The steps as shown, valid only when Read().
    const QList<MultiSeq::Step>& Steps() const { return steps_; }
    bool Read() const { return read_; }

  private:
    struct Line {
        QPushButton* command;
        UnitLvBar* argument;
    };
    QPushButton* button(const QString& name, const QString& text, QWidget* parent);
    void showLines();
    void chooseCommand(int step);
    void write(int step, const MultiSeq::Step& s);
    void error(const QString& text);

    QList<QPushButton*> programs_;
    QList<Line> lines_;
    QList<MultiSeq::Step> steps_;
    ParamDevice port_;
    ParamBlock block_; // the program's step registers and their limits
    int program_ = 1;
    bool read_ = false;
    ModalHandle select_;
    ModalHandle error_;
};
