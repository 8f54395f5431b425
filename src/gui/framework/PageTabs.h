// A screen of tabs: a title bar with one button per tab and "Home", the tabs' pages in a
// stack. A tab is told when it is shown and hidden, so its live handlers run only while
// it is on screen. Buttons are named "<name>Tab<i>" and "<name>Home".
#pragma once

#include "Page.h"

#include <QList>

class QHBoxLayout;
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
    PageTabs(const QString& title, const QString& name, QWidget* parent = nullptr);
    ~PageTabs() override;
    void AddTab(const QString& label, TabPage* page);
    void ShowTab(int index);
    int CurrentTab() const { return current_; }
    TabPage* Tab(int index) const { return tabs_.value(index); }
    // Shows the first tab.
    void Init() override;
    // Hides the tab shown, then leaves.
    void Leave() override;

  private:
    QString name_;
    QHBoxLayout* bar_;
    QStackedWidget* stack_;
    QList<QPushButton*> buttons_;
    QList<TabPage*> tabs_;
    int current_ = -1;
};
