#include "PageParamMultiSeq.h"

#include "ApplicationDeviceClass.h"
#include "ParamTabs.h"
#include "ToolNetwork.h"
#include "UiSound.h"
#include "UnitMessageBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
ApplicationDeviceClass* dev() {
    return ApplicationDevice();
}
using namespace MultiSeq;
constexpr int kLimits = 1000; // lower limit at + 1000, upper at + 2000
} // namespace

PageParamMultiSeq::PageParamMultiSeq(QWidget* parent) : TabPage(parent) {
    setObjectName("PageParamMultiSeq");
    setStyleSheet("QLabel { font-size: 20px; }"
                  "QPushButton { min-height: 46px; }"
                  "QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 12, 24, 12);
    notice_ = new QLabel(this);
    notice_->setObjectName("pmNotice");
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setStyleSheet(ParamTabs::kNoticeStyle);
    v->addWidget(notice_, 1);
    body_ = new QWidget(this);
    v->addWidget(body_, 1);
    auto* b = new QVBoxLayout(body_);
    b->setContentsMargins(0, 0, 0, 0);

    auto* top = new QHBoxLayout;
    for (int q = 1; q <= kPrograms; ++q) {
        QPushButton* p = button(QString("pmProgram%1").arg(q), QString("Program %1").arg(q), body_);
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
    b->addLayout(top);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(4);
    grid->setHorizontalSpacing(16);
    for (int s = 0; s < kSteps; ++s) {
        Line l;
        l.title = new QLabel(StepTitle(s), body_);
        l.command = button(QString("pmCmd%1").arg(s), QString(), body_);
        l.command->setMinimumWidth(360);
        l.command->setStyleSheet("text-align: left; padding: 0 12px;");
        connect(l.command, &QPushButton::clicked, this, [this, s] { chooseCommand(s); });
        l.argument = new QWidget(body_);
        auto* h = new QHBoxLayout(l.argument);
        h->setContentsMargins(0, 0, 0, 0);
        l.minus = button(QString("pmArgMinus%1").arg(s), "-", l.argument);
        l.value = new QLabel(l.argument);
        l.value->setObjectName(QString("pmArg%1").arg(s));
        l.value->setMinimumWidth(80);
        l.value->setAlignment(Qt::AlignCenter);
        l.plus = button(QString("pmArgPlus%1").arg(s), "+", l.argument);
        h->addWidget(l.minus);
        h->addWidget(l.value);
        h->addWidget(l.plus);
        connect(l.minus, &QPushButton::clicked, this,
                [this, s] { setArgument(s, steps_[s].argument - 1); });
        connect(l.plus, &QPushButton::clicked, this,
                [this, s] { setArgument(s, steps_[s].argument + 1); });
        grid->addWidget(l.title, s, 0);
        grid->addWidget(l.command, s, 1);
        grid->addWidget(l.argument, s, 2);
        lines_.append(l);
    }
    grid->setColumnStretch(3, 1);
    b->addLayout(grid);
    b->addStretch(1);
    for (int s = 0; s < kSteps; ++s)
        steps_.append(Step{});
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

void PageParamMultiSeq::Shown() {
    currentTool_ =
        connect(dev(), &ApplicationDeviceClass::CurrTdxChanged, this, [this] { Refresh(); });
    Refresh();
}

void PageParamMultiSeq::Hidden() {
    disconnect(currentTool_);
    Navigator::DismissModal(select_);
}

void PageParamMultiSeq::Refresh() {
    const QString notice = ParamTabs::Notice();
    notice_->setText(notice);
    notice_->setVisible(!notice.isEmpty());
    body_->setVisible(notice.isEmpty());
    read_ = false;
    if (notice.isEmpty()) {
        const int first = StepRegister(program_, 0), tdx = dev()->OnGetCurrTdx();
        QVector<uint16_t> blocks[3];
        read_ = true;
        for (int k = 0; k < 3 && read_; ++k) {
            read_ = dev()->MbusRead(first + k * kLimits, kSteps) == 0;
            if (read_) blocks[k] = dev()->MbusGetBlockTdx(tdx, first + k * kLimits, kSteps);
            read_ = read_ && blocks[k].size() == kSteps;
        }
        for (int s = 0; read_ && s < kSteps; ++s) {
            steps_[s] = Decode(blocks[0][s]);
            lowest_[s] = blocks[1][s];
            highest_[s] = blocks[2][s];
        }
    }
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
        l.value->setText(read_ ? QString::number(steps_[s].argument) : "-");
        l.minus->setEnabled(read_ && steps_[s].argument > c.lowest);
        l.plus->setEnabled(read_ && steps_[s].argument < c.highest);
    }
}

void PageParamMultiSeq::setArgument(int step, int argument) {
    const Command& c = CommandOf(steps_[step].command);
    if (!read_ || argument < c.lowest || argument > c.highest) return;
    write(step, {steps_[step].command, argument});
}

void PageParamMultiSeq::write(int step, const Step& s) {
    const int value = Encode(s.command, s.argument);
    // The tool's own limits of the step register; a tool whose upper limit is below its
    // lower one takes nothing.
    if (value < lowest_[step] || value > highest_[step]) {
        error(ToolNetwork::InvalidValue(lowest_[step], highest_[step]));
        return;
    }
    const int rc = dev()->MbusWrite(StepRegister(program_, step), value);
    Refresh();
    if (rc != 0) error(ParamTabs::kWriteFailed);
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
