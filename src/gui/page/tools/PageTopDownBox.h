// The pull-down tool panel: every registered tool in a row with its link, address and
// temperature (read every 3 s), the current tool chosen by touching a connected row, and
// for a logged-in user the tool list editor, whose closing saves "./regtools".
#pragma once

#include "Page.h"

#include <QList>

class QLabel;
class QPushButton;
class QVBoxLayout;
class Timer;
class UnitSelectToolsItem;

class PageTopDownBox : public Page {
    Q_OBJECT
  public:
    static constexpr int kTempReg = 3313;

    explicit PageTopDownBox(QWidget* parent = nullptr);
    void Init() override;
    QSize sizeHint() const override;

    // Rows rebuilt from the registry (also on every registry event), the current tool's
    // row marked, the footer counted.
    void RefreshTools();
    // One pass of the temperature timer.
    void RefreshTemperatures();
    UnitSelectToolsItem* Row(int tdx) const;
    int Rows() const { return int(rows_.size()); }
    QString Footer() const;
    Timer* TemperatureTimer() const { return tempTimer_; }

  private:
    void rowPressed(int tdx);
    void openEditor();
    QVBoxLayout* list_;
    QList<UnitSelectToolsItem*> rows_;
    QLabel* footer_;
    QPushButton* edit_;
    // Where the parameter file save and load of the chosen tool go; hidden until then.
    QPushButton* paramSave_;
    QPushButton* paramLoad_;
    Timer* tempTimer_;
};
