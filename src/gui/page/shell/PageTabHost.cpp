#include "PageTabHost.h"

#include "UiSound.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

PageTabHost::PageTabHost(const QList<Tab>& tabs, QWidget* parent) : Page(parent) {
    setObjectName("PageTabHost");
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(16, 16, 16, 16);
    auto* side = side_ = new QVBoxLayout;
    buttons_ = new QButtonGroup(this);
    stack_ = new QStackedLayout;
    for (int i = 0; i < tabs.size(); ++i) {
        auto* b = new QPushButton(tabs[i].Label, this);
        b->setObjectName(tabs[i].Name);
        b->setCheckable(true);
        b->setMinimumWidth(220);
        buttons_->addButton(b, i);
        side->addWidget(b);
        Page* page =
            Screens::Row(tabs[i].Id).Factory ? Screens::Row(tabs[i].Id).Factory() : new Page;
        stack_->addWidget(page);
    }
    side->addStretch(1);
    auto* back = new QPushButton("Back", this);
    back->setObjectName("tabBack");
    back->setProperty("role", "cancel");
    side->addWidget(back);
    h->addLayout(side);
    h->addLayout(stack_, 1);
    connect(buttons_, &QButtonGroup::idClicked, this, [this](int i) {
        UiSound_Tap();
        Show(i);
    });
    connect(back, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
    if (!tabs.isEmpty()) Show(0);
}

Page* PageTabHost::Current() const {
    return qobject_cast<Page*>(stack_->currentWidget());
}

void PageTabHost::Show(int index) {
    if (QAbstractButton* b = buttons_->button(index)) b->setChecked(true);
    stack_->setCurrentIndex(index);
    if (Page* p = Current()) p->Refresh(); // status tabs read again when shown
}

QPushButton* PageTabHost::AddButton(const char* name, const QString& label) {
    auto* b = new QPushButton(label, this);
    b->setObjectName(name);
    b->setMinimumWidth(220);
    side_->insertWidget(side_->count() - 2, b); // above the stretch and "Back"
    return b;
}
