// The pull-down tool panel: every registered tool in a row with its link, address and
// temperature (read every 3 s), the current tool chosen by touching a connected row, and
// for a logged-in user the tool list editor, whose closing saves "./regtools", and each
// driver's parameters saved to or loaded from a parameter data file.
#pragma once

#include "Navigator.h"
#include "Page.h"

#include <QList>
#include <functional>
#include <optional>

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
    // The wait indicator and error dialog sit on the window: they go with the panel.
    ~PageTopDownBox() override;
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
    // A parameter file save or load is waiting for its timer or running.
    bool Busy() const { return wait_.Open(); }
    // The last save's or load's message, empty when it went well.
    QString LastMessage() const { return lastMessage_; }
    // Event-loop turns the last save or load took (a load goes a slice per turn).
    int Turns() const { return turns_; }

  private:
    void rowPressed(int tdx);
    void openEditor();
    void saveParams(int tdx);
    void loadParams(int tdx);
    // Shows the wait indicator, then runs `work` 100 ms later so the indicator is drawn
    // first, and again one event-loop turn apart until it gives its message (shown in the
    // error dialog when not empty).
    void runLater(std::function<std::optional<QString>()> work);
    void runTurn(std::function<std::optional<QString>()> work);
    void showError(const QString& text);
    QVBoxLayout* list_;
    QList<UnitSelectToolsItem*> rows_;
    QLabel* footer_;
    QPushButton* edit_;
    Timer* tempTimer_;
    ModalHandle wait_, error_;
    QString lastMessage_;
    int turns_ = 0;
};
