#include "PageTabs.h"

#include "UiSound.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

PageTabs::PageTabs(const QString& title, const QString& name, QWidget* parent,
                   const QString& homeLabel)
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
    auto* home = new QPushButton(homeLabel, this);
    home->setObjectName(name + "Home");
    home->setProperty("role", "cancel");
    home->setMinimumWidth(160);
    bar_->addWidget(home);
    v->addLayout(bar_);
    notice_ = new QLabel(this);
    notice_->setObjectName(name + "Notice");
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setStyleSheet("font-size: 30px; font-weight: bold; color: #f2a71b;");
    notice_->hide();
    v->addWidget(notice_, 1);
    stack_ = new QStackedWidget(this);
    v->addWidget(stack_, 1);
    connect(home, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
}

PageTabs::~PageTabs() {
    setLive(false);
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

void PageTabs::setLive(bool live) {
    if (live == live_) return;
    live_ = live;
    if (TabPage* t = Tab(current_)) {
        if (live)
            t->Shown();
        else
            t->Hidden();
    }
}

void PageTabs::ShowTab(int index) {
    if (index < 0 || index >= tabs_.size()) return;
    if (index != current_) {
        setLive(false);
        current_ = index;
        stack_->setCurrentIndex(index);
        setLive(notice_->isHidden());
    }
    for (int i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setChecked(i == index);
}

void PageTabs::SetNotice(const QString& text) {
    setLive(false);
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
    stack_->setVisible(text.isEmpty());
    if (text.isEmpty() && current_ >= 0) setLive(true);
}

QString PageTabs::Notice() const {
    return notice_->text();
}

void PageTabs::Init() {
    ShowTab(0);
}

void PageTabs::Leave() {
    setLive(false);
    current_ = -1;
    Page::Leave();
}
