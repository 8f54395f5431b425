#include "UnitParamWrapper.h"

#include "UiSound.h"
#include "UnitLvBar.h"
#include "UnitMessageBox.h"
#include "UnitParamSelect.h"
#include "UnitRectSwitch.h"
#include "page/parameters/ParamTabs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

using ParameterMap::Editor;

UnitParamWrapper::UnitParamWrapper(ParamPort& port, std::function<void()> refresh, QWidget* parent)
    : QFrame(parent), port_(port), refresh_(std::move(refresh)) {
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(6, 2, 6, 2);
    title_ = new QLabel(this);
    title_->setStyleSheet("font-size: 17px;");
    h->addWidget(title_, 1);
    bar_ = new UnitLvBar(this);
    switch_ = new UnitRectSwitch(this);
    select_ = new QPushButton(this);
    select_->setProperty("role", "param");
    select_->setFixedSize(236, 40);
    setFixedHeight(52);
    h->addWidget(bar_);
    h->addWidget(switch_);
    h->addWidget(select_);
    connect(bar_, &UnitLvBar::changed, this, &UnitParamWrapper::take);
    connect(switch_, &UnitRectSwitch::switched, this, &UnitParamWrapper::take);
    connect(select_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        openSelector();
    });
}

UnitParamWrapper::~UnitParamWrapper() {
    Navigator::DismissModal(selector_);
    Navigator::DismissModal(error_);
}

void UnitParamWrapper::Configure(const ParameterMap::Line& line, const ParamValue& value,
                                 int typeCode) {
    // A refresh of the same line sets only its value: names and title stay (a tab
    // refreshes every line).
    const bool same = configured_ && line.Reg == line_.Reg && line.Title == line_.Title &&
                      line.Decimals == line_.Decimals && line.Kind == line_.Kind;
    configured_ = true;
    line_ = line;
    value_ = value;
    typeCode_ = typeCode;
    if (!same) {
        const QString name = QString("param%1").arg(line.Reg);
        setObjectName(name);
        title_->setObjectName(name + "Title");
        title_->setText(ParameterMap::Shown(line.Title));
        bar_->SetName(name);
        switch_->setObjectName(name + "Switch");
        select_->setObjectName(name + "Select");
        bar_->SetTitle(line.Title);
        bar_->SetDecimals(line.Decimals);
    }

    const bool selector = line.Kind != Editor::Value;
    const bool isSwitch = !selector && value.Valid && value.Lower == 0 && value.Upper == 1;
    bar_->setVisible(!selector && !isSwitch);
    switch_->setVisible(isSwitch);
    select_->setVisible(selector);

    bar_->SetState(value.Lower, value.Upper, value.Value, value.Valid);
    switch_->SetValue(value.Value, value.Valid);
    select_->setText(value.Valid ? ParameterMap::SelectorText(line.Reg, value.Value)
                                 : QString("-"));
    select_->setEnabled(value.Valid);
}

void UnitParamWrapper::take(int value) {
    // The refresh may reconfigure this line; it stays alive, being the list's own.
    const WriteOutcome rc = WriteParam(port_, line_.Reg, value, typeCode_);
    if (rc == WriteOutcome::ToolDismissed) return;
    if (refresh_) refresh_();
    if (rc == WriteOutcome::Failed && !error_.Open()) {
        UiSound_Ng();
        auto* box = new UnitMessageBox;
        box->setObjectName("paramError");
        box->SetTitle("Error");
        box->SetText(ParamTabs::kWriteFailed);
        connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
        error_ = Navigator::PresentModal(window(), box, Transition::Fade);
    }
}

void UnitParamWrapper::openSelector() {
    if (!value_.Valid || selector_.Open()) return;
    auto* dialog = new UnitParamSelect(line_.Reg, value_.Value);
    connect(dialog, &UnitParamSelect::cancel, this, [this] { Navigator::DismissModal(selector_); });
    connect(dialog, &UnitParamSelect::ok, this, [this](int value) {
        Navigator::DismissModal(selector_);
        take(value);
    });
    selector_ = Navigator::PresentModal(window(), dialog, Transition::Scale);
}
