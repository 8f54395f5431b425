// The parameters screen: the current tool's settings edited in its registers, one tab per
// list ("Fastening", "Advanced", "Contoller", and the tabs added by their own pages), and
// "Back\nHome". With no current tool, or a controller (edited on its own display), a
// notice covers the tabs and no tab is shown, so nothing is read or written.
// Tab buttons are named "PageParametersTab<i>", the home button "PageParametersHome", the
// notice "paramNotice".
#pragma once

#include "Page.h"

#include <QList>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QStackedWidget;
class PageParamFastening;
class PageParamAdvanced;
class PageParamController;

class PageParameters : public Page {
    Q_OBJECT
  public:
    explicit PageParameters(QWidget* parent = nullptr);
    ~PageParameters() override;
    // Adds a tab. A page that is a TabPage is told when it is shown and hidden: it reads
    // its registers in Shown() (again after the current tool changed).
    void AddTab(const QString& title, QWidget* page);
    void ShowTab(int index);
    int CurrentTab() const { return current_; }
    QWidget* Tab(int index) const { return tabs_.value(index); }
    // The notice covering the tabs, empty when they are usable.
    QString Notice() const;

    PageParamFastening* FasteningTab() const { return fastening_; }
    PageParamAdvanced* AdvancedTab() const { return advanced_; }
    PageParamController* ControllerTab() const { return controller_; }

    void Init() override;
    void Leave() override;

  private:
    void toolChanged();
    void showCurrent(bool shown);

    QHBoxLayout* bar_;
    QLabel* notice_;
    QStackedWidget* stack_;
    QList<QPushButton*> buttons_;
    QList<QWidget*> tabs_;
    int current_ = -1;
    bool live_ = false; // the current tab was told it is shown
    PageParamFastening* fastening_;
    PageParamAdvanced* advanced_;
    PageParamController* controller_;
};
