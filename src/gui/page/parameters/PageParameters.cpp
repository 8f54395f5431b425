#include "PageParameters.h"

#include "ApplicationDeviceClass.h"
#include "PageParamAdvanced.h"
#include "PageParamBarcode.h"
#include "PageParamController.h"
#include "PageParamFastening.h"
#include "PageParamMultiSeq.h"
#include "PageParamNetwork.h"
#include "PageTabs.h"
#include "UiSound.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
const char* const kName = "PageParameters";
} // namespace

PageParameters::PageParameters(QWidget* parent) : Page(parent) {
    setObjectName(kName);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 14, 20, 16);
    v->setSpacing(12);
    bar_ = new QHBoxLayout;
    auto* t = new QLabel("Parameter", this);
    t->setProperty("role", "title");
    bar_->addWidget(t);
    bar_->addSpacing(24);
    bar_->addStretch(1);
    auto* home = new QPushButton("Back\nHome", this);
    home->setObjectName(QString(kName) + "Home");
    home->setProperty("role", "cancel");
    home->setMinimumWidth(140);
    bar_->addWidget(home);
    v->addLayout(bar_);
    notice_ = new QLabel(this);
    notice_->setObjectName("paramNotice");
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
    fastening_ = new PageParamFastening;
    advanced_ = new PageParamAdvanced;
    controller_ = new PageParamController;
    AddTab("Fastening", fastening_);
    AddTab("Advanced", advanced_);
    AddTab("Contoller", controller_);
    AddTab("Multi\nSequence", new PageParamMultiSeq);
    AddTab("Network", new PageParamNetwork);
    AddTab("Barcode", new PageParamBarcode);
    connect(ApplicationDevice(), &ApplicationDeviceClass::CurrTdxChanged, this,
            &PageParameters::toolChanged);
}

PageParameters::~PageParameters() {
    showCurrent(false);
}

void PageParameters::AddTab(const QString& title, QWidget* page) {
    const int index = int(tabs_.size());
    auto* b = new QPushButton(title, this);
    b->setObjectName(QString("%1Tab%2").arg(kName).arg(index));
    b->setCheckable(true);
    b->setMinimumWidth(140);
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

QString PageParameters::Notice() const {
    ApplicationDeviceClass* dev = ApplicationDevice();
    const int tdx = dev->OnGetCurrTdx();
    if (tdx < 0) return "Please select a tool.";
    const int type = dev->GetToolType_ByTdx(tdx);
    if (type == 1 || type == 4) return "Please use XWC's local LCD.";
    return {};
}

void PageParameters::showCurrent(bool shown) {
    auto* tab = qobject_cast<TabPage*>(Tab(current_));
    if (shown == live_) return;
    live_ = shown;
    if (!tab) return;
    if (shown)
        tab->Shown();
    else
        tab->Hidden();
}

void PageParameters::ShowTab(int index) {
    if (index < 0 || index >= tabs_.size()) return;
    if (index != current_) {
        showCurrent(false);
        current_ = index;
        stack_->setCurrentIndex(index);
    }
    for (int i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setChecked(i == index);
    toolChanged();
}

// The current tool (or its family) decides whether the tabs may talk to it; a tab shown
// again reads the new tool.
void PageParameters::toolChanged() {
    if (current_ < 0) return;
    showCurrent(false);
    const QString notice = Notice();
    notice_->setText(notice);
    notice_->setVisible(!notice.isEmpty());
    stack_->setVisible(notice.isEmpty());
    if (notice.isEmpty()) showCurrent(true);
}

void PageParameters::Init() {
    ShowTab(0);
}

void PageParameters::Leave() {
    showCurrent(false);
    current_ = -1;
    Page::Leave();
}
