// A screen of tabs: a title bar with one button per tab and "Home", the tabs' pages in a
// stack. A tab is told when it is shown and hidden, so its live handlers run only while
// it is on screen. Buttons are named "<name>Tab<i>" and "<name>Home", the notice
// "<name>Notice".
#pragma once

#include "Page.h"

#include <QList>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QStackedWidget;

class TabPage : public Page {
    Q_OBJECT
  public:
    using Page::Page;
    virtual void Shown() {}
    virtual void Hidden() {}
};

class PageTabs : public Page {
    Q_OBJECT
  public:
    PageTabs(const QString& title, const QString& name, QWidget* parent = nullptr,
             const QString& homeLabel = "Home");
    ~PageTabs() override;
    void AddTab(const QString& label, TabPage* page);
    void ShowTab(int index);
    int CurrentTab() const { return current_; }
    TabPage* Tab(int index) const { return tabs_.value(index); }
    // Shows the first tab.
    void Init() override;
    // Hides the tab shown, then leaves.
    void Leave() override;
    // A notice covering the tabs (empty: none). While one shows no tab is shown, so none
    // talks to a tool. Each call tells the current tab it is hidden and, without a notice,
    // shown again, so it reads afresh (after a change of the current tool, say).
    void SetNotice(const QString& text);
    QString Notice() const;

  private:
    void setLive(bool live);

    QString name_;
    QLabel* notice_;
    QHBoxLayout* bar_;
    QStackedWidget* stack_;
    QList<QPushButton*> buttons_;
    QList<TabPage*> tabs_;
    int current_ = -1;
    bool live_ = false; // the current tab was told it is shown
};
