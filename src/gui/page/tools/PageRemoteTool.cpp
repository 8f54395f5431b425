#include "PageRemoteTool.h"

#include "ApplicationDeviceClass.h"
#include "ToolNotice.h"
#include "UiSound.h"
#include "UnitMessageBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
constexpr int kPresets = 15;
const char* const kChecked = "QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }";
} // namespace

PageRemoteTool::PageRemoteTool(QWidget* parent) : TabPage(parent), state_(*this) {
    setObjectName("PageRemoteTool");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(12, 8, 12, 8);
    notice_ = ToolNotice::Label(this, "remoteNotice");
    v->addWidget(notice_, 1);
    controls_ = new QWidget(this);
    v->addWidget(controls_, 1);
    auto* c = new QVBoxLayout(controls_);
    c->setSpacing(14);

    auto* top = new QHBoxLayout;
    tool_ = new QLabel(controls_);
    tool_->setObjectName("remoteToolName");
    tool_->setStyleSheet("font-size: 24px; font-weight: bold;");
    top->addWidget(tool_, 1);
    run_ = button("remoteRun", "Start", [this] { state_.RunPressed(); });
    run_->setMinimumSize(260, 90);
    run_->setProperty("role", "ok");
    top->addWidget(run_);
    c->addLayout(top);

    c->addWidget(new QLabel("Preset", controls_));
    auto* grid = new QGridLayout;
    for (int p = 1; p <= kPresets; ++p) {
        QPushButton* b = button(QString("remotePreset%1").arg(p), QString::number(p),
                                [this, p] { state_.PresetChosen(p); });
        grid->addWidget(b, (p - 1) / 8, (p - 1) % 8);
        presets_.append(b);
    }
    c->addLayout(grid);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Direction", controls_));
    const char* const dirs[] = {"Fastening", "Loosening"};
    for (int d = 0; d < 2; ++d)
        directions_.append(button(QString("remoteDir%1").arg(d), dirs[d],
                                  [this, d] { state_.DirectionChosen(d); }));
    for (QPushButton* b : directions_)
        row->addWidget(b);
    row->addSpacing(40);
    row->addWidget(new QLabel("Lock", controls_));
    const char* const locks[] = {"Unlock", "Lock"};
    for (int l = 0; l < 2; ++l)
        locks_.append(
            button(QString("remoteLock%1").arg(l), locks[l], [this, l] { state_.LockChosen(l); }));
    for (QPushButton* b : locks_)
        row->addWidget(b);
    row->addStretch(1);
    c->addLayout(row);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    QPushButton* alarm =
        button("remoteAlarmReset", "Alarm reset", [this] { state_.AlarmResetPressed(); });
    QPushButton* init = button("remoteToolInit", "Tool init", [this] { state_.ToolInitPressed(); });
    init->setProperty("role", "danger");
    bottom->addWidget(alarm);
    bottom->addWidget(init);
    c->addLayout(bottom);
    c->addStretch(1);
}

PageRemoteTool::~PageRemoteTool() {
    // Taken away while shown (its screen went away): the tool is put back all the same.
    state_.Leave();
    Navigator::DismissModal(error_);
    Navigator::DismissModal(confirm_);
}

QPushButton* PageRemoteTool::button(const QString& name, const QString& text,
                                    std::function<void()> f) {
    auto* b = new QPushButton(text, controls_);
    b->setObjectName(name);
    b->setMinimumWidth(120);
    b->setStyleSheet(kChecked);
    connect(b, &QPushButton::clicked, this, [f = std::move(f)] {
        UiSound_Tap();
        f();
    });
    return b;
}

UnitMessageBox* PageRemoteTool::ErrorDialog() const {
    return error_.As<UnitMessageBox>();
}
UnitMessageBox* PageRemoteTool::ConfirmDialog() const {
    return confirm_.As<UnitMessageBox>();
}

void PageRemoteTool::Shown() {
    currentTool_ = connect(ApplicationDevice(), &ApplicationDeviceClass::CurrTdxChanged, this,
                           [this] { state_.Refresh(); });
    state_.Refresh();
}

void PageRemoteTool::Hidden() {
    disconnect(currentTool_);
    state_.Leave();
    Changed();
}

void PageRemoteTool::Changed() {
    const QString notice = state_.Notice();
    ToolNotice::Show(notice_, controls_, notice);
    tool_->setText(ApplicationDevice()->GetTdxToolName(ApplicationDevice()->OnGetCurrTdx()));
    run_->setText(state_.Running() ? "Stop" : "Start");
    run_->setProperty("role", state_.Running() ? "danger" : "ok");
    run_->style()->unpolish(run_);
    run_->style()->polish(run_);
    auto check = [](const QList<QPushButton*>& list, int value, int first) {
        for (int i = 0; i < list.size(); ++i) {
            list[i]->setCheckable(true);
            list[i]->setChecked(i + first == value);
        }
    };
    check(presets_, state_.Preset(), 1);
    check(directions_, state_.Direction(), 0);
    check(locks_, state_.Lock(), 0);
}

int PageRemoteTool::CurrTdx() {
    return ApplicationDevice()->OnGetCurrTdx();
}
bool PageRemoteTool::Connected() {
    return ApplicationDevice()->GetTdxToolConn(ApplicationDevice()->OnGetCurrTdx()) == 1;
}
int PageRemoteTool::ToolType() {
    return ApplicationDevice()->GetToolType_ByTdx(ApplicationDevice()->OnGetCurrTdx());
}
int PageRemoteTool::Read(int addr, int count) {
    return ApplicationDevice()->MbusRead(addr, count);
}
int PageRemoteTool::Data(int addr) {
    return ApplicationDevice()->MbusGetDataTdx(ApplicationDevice()->OnGetCurrTdx(), addr);
}
int PageRemoteTool::Write(int addr, int value) {
    return ApplicationDevice()->MbusWrite(addr, value);
}
void PageRemoteTool::ToolLost(int tdx) {
    ApplicationDevice()->ToolLost(tdx);
}

void PageRemoteTool::Error(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("remoteError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(window(), box, Transition::Fade);
}

void PageRemoteTool::Confirm(const QString& question, const QString& context) {
    if (confirm_.Open()) return;
    auto* box = new UnitMessageBox;
    box->setObjectName("remoteConfirm");
    box->SetTitle("Confirmation");
    box->SetText(question);
    box->SetConfirm("OK");
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(confirm_); });
    connect(box, &UnitMessageBox::confirmed, this, [this, context] {
        Navigator::DismissModal(confirm_);
        state_.Confirmed(context);
    });
    confirm_ = Navigator::PresentModal(window(), box, Transition::Scale);
}
