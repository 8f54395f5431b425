#include "PageParamMultiSeq.h"

#include "ParamTabs.h"
#include "UiSound.h"
#include "UnitLvBar.h"
#include "UnitMessageBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
using namespace MultiSeq;
} // namespace

PageParamMultiSeq::PageParamMultiSeq(QWidget* parent) : TabPage(parent) {
    setObjectName("PageParamMultiSeq");
    setStyleSheet("QLabel { font-size: 20px; }"
                  "QPushButton[role=\"command\"] { min-height: 46px; text-align: left;"
                  " padding: 0 12px; min-width: 330px; }"
                  "QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 4, 24, 4);
    auto* top = new QHBoxLayout;
    for (int q = 1; q <= kPrograms; ++q) {
        QPushButton* p = button(QString("pmProgram%1").arg(q), QString("Program %1").arg(q), this);
        p->setCheckable(true);
        p->setMinimumWidth(200);
        connect(p, &QPushButton::clicked, this, [this, q] {
            program_ = q;
            Refresh();
        });
        programs_.append(p);
        top->addWidget(p);
    }
    top->addStretch(1);
    v->addLayout(top);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(16);
    for (int s = 0; s < kSteps; ++s) {
        Line l;
        l.command = button(QString("pmCmd%1").arg(s), QString(), this);
        l.command->setProperty("role", "command");
        connect(l.command, &QPushButton::clicked, this, [this, s] { chooseCommand(s); });
        l.argument = new UnitLvBar(this);
        l.argument->SetName(QString("pmArg%1").arg(s));
        l.argument->SetTitle(StepTitle(s));
        connect(l.argument, &UnitLvBar::changed, this, [this, s](int value) {
            write(s, {steps_[s].command, value});
        });
        grid->addWidget(new QLabel(StepTitle(s), this), s, 0);
        grid->addWidget(l.command, s, 1);
        grid->addWidget(l.argument, s, 2);
        lines_.append(l);
        steps_.append(Step{});
    }
    grid->setColumnStretch(3, 1);
    v->addLayout(grid);
    v->addStretch(1);
}

PageParamMultiSeq::~PageParamMultiSeq() {
    Navigator::DismissModal(select_);
    Navigator::DismissModal(error_);
}

QPushButton* PageParamMultiSeq::button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, [] { UiSound_Tap(); });
    return b;
}

void PageParamMultiSeq::Hidden() {
    Navigator::DismissModal(select_);
}

void PageParamMultiSeq::Refresh() {
    read_ = block_.Refresh(port_, {StepRegister(program_, 0), kSteps});
    for (int s = 0; read_ && s < kSteps; ++s)
        steps_[s] = Decode(block_.At(StepRegister(program_, s)).Value);
    showLines();
}

void PageParamMultiSeq::showLines() {
    for (int q = 0; q < programs_.size(); ++q)
        programs_[q]->setChecked(q + 1 == program_);
    for (int s = 0; s < kSteps; ++s) {
        const Line& l = lines_[s];
        const Command& c = CommandOf(steps_[s].command);
        // A failed read shows "-", never what an earlier read left.
        l.command->setText(read_ ? QString(c.label) : "-");
        l.command->setEnabled(read_);
        l.argument->setVisible(!read_ || c.hasArgument);
        l.argument->SetLimits(c.lowest, c.highest);
        l.argument->SetValue(steps_[s].argument);
        l.argument->SetValid(read_);
    }
}

void PageParamMultiSeq::write(int step, const Step& s) {
    const int value = Encode(s.command, s.argument);
    // The tool's own limits of the step register: a tool whose upper limit is below its
    // lower one takes nothing.
    const ParamValue now = block_.At(StepRegister(program_, step));
    if (!now.Valid || value < now.Lower || value > now.Upper) {
        error(ParameterMap::InvalidMessage(now.Lower, now.Upper, 0));
        return;
    }
    const WriteOutcome rc = WriteParam(port_, StepRegister(program_, step), value);
    Refresh();
    if (rc == WriteOutcome::Failed) error(ParamTabs::kWriteFailed);
}

void PageParamMultiSeq::chooseCommand(int step) {
    if (!read_ || select_.Open()) return;
    auto* box = new QFrame;
    box->setObjectName("pmSelect");
    box->setProperty("role", "dialog");
    box->setFixedSize(520, 700);
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(24, 16, 24, 16);
    auto* title = new QLabel("Select command", box);
    title->setProperty("role", "title");
    v->addWidget(title);
    for (int code = 0; code < kCommands; ++code) {
        QPushButton* b = button(QString("pmCommand%1").arg(code), CommandOf(code).label, box);
        b->setCheckable(true);
        b->setChecked(code == steps_[step].command);
        b->setStyleSheet("text-align: left; padding: 0 12px;");
        connect(b, &QPushButton::clicked, this, [this, step, code] {
            Navigator::DismissModal(select_);
            write(step, WithCommand(steps_[step], code));
        });
        v->addWidget(b);
    }
    auto* cancel = button("pmSelectCancel", "Cancel", box);
    cancel->setProperty("role", "cancel");
    connect(cancel, &QPushButton::clicked, this, [this] { Navigator::DismissModal(select_); });
    v->addWidget(cancel);
    select_ = Navigator::PresentModal(window(), box, Transition::Scale);
}

void PageParamMultiSeq::error(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("pmError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(window(), box, Transition::Fade);
}
