#include "PageTabs.h"

#include "UiSound.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

PageTabs::PageTabs(const QString& title, const QString& name, QWidget* parent)
    : Page(parent), name_(name) {
    setObjectName(name);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 14, 20, 16);
    v->setSpacing(12);
    bar_ = new QHBoxLayout;
    auto* t = new QLabel(title, this);
    t->setProperty("role", "title");
    bar_->addWidget(t);
    bar_->addSpacing(30);
    bar_->addStretch(1);
    auto* home = new QPushButton("Home", this);
    home->setObjectName(name + "Home");
    home->setProperty("role", "cancel");
    home->setMinimumWidth(160);
    bar_->addWidget(home);
    v->addLayout(bar_);
    stack_ = new QStackedWidget(this);
    v->addWidget(stack_, 1);
    connect(home, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
}

PageTabs::~PageTabs() {
    if (TabPage* t = Tab(current_)) t->Hidden();
}

void PageTabs::AddTab(const QString& label, TabPage* page) {
    const int index = int(tabs_.size());
    auto* b = new QPushButton(label, this);
    b->setObjectName(QString("%1Tab%2").arg(name_).arg(index));
    b->setCheckable(true);
    b->setMinimumWidth(150);
    b->setStyleSheet("QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }");
    bar_->insertWidget(2 + index, b);
    connect(b, &QPushButton::clicked, this, [this, index] {
        UiSound_Tap();
        ShowTab(index);
    });
    buttons_.append(b);
    tabs_.append(page);
    stack_->addWidget(page);
}

void PageTabs::ShowTab(int index) {
    if (index < 0 || index >= tabs_.size()) return;
    if (index != current_) {
        if (TabPage* old = Tab(current_)) old->Hidden();
        current_ = index;
        stack_->setCurrentIndex(index);
        tabs_[index]->Shown();
    }
    for (int i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setChecked(i == index);
}

void PageTabs::Init() {
    ShowTab(0);
}

void PageTabs::Leave() {
    if (TabPage* t = Tab(current_)) t->Hidden();
    current_ = -1;
    Page::Leave();
}
