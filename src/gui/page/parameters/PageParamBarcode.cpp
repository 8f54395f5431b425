#include "PageParamBarcode.h"

#include "ApplicationDeviceClass.h"
#include "ParamTabs.h"
#include "UiSound.h"
#include "UnitMessageBox.h"
#include "UnitParamBarcodeEdit.h"
#include "page/operation/ScreenResults.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
using namespace ToolBarcode;
const int kWidths[4] = {70, 640, 160, 120}; // number, code, range, preset

QHBoxLayout* columns(QWidget* parent, QList<QLabel*>* out, const QStringList& texts) {
    auto* h = new QHBoxLayout;
    h->setContentsMargins(12, 0, 12, 0);
    for (int c = 0; c < 4; ++c) {
        auto* l = new QLabel(texts.value(c), parent);
        l->setFixedWidth(kWidths[c]);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        h->addWidget(l);
        if (out) out->append(l);
    }
    h->addStretch(1);
    return h;
}
} // namespace

PageParamBarcode::PageParamBarcode(QWidget* parent) : TabPage(parent) {
    ScreenResults::Attach(this); // results are logged while it is open
    setObjectName("PageParamBarcode");
    setStyleSheet("QLabel { font-size: 20px; }"
                  "QPushButton[role=\"row\"] { min-height: 46px; text-align: left; }");
    entries_.resize(kEntries);
    auto* b = new QVBoxLayout(this);
    b->setContentsMargins(24, 12, 24, 12);
    b->addLayout(columns(this, nullptr, {"No.", "Barcode", "Range", "Preset"}));

    stack_ = new QStackedWidget(this);
    auto* scroll = new QScrollArea(stack_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setStyleSheet(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }");
    auto* list = new QWidget(scroll);
    auto* lv = new QVBoxLayout(list);
    lv->setSpacing(4);
    for (int i = 0; i < kEntries; ++i) {
        auto* row = new QPushButton(list);
        row->setObjectName(QString("pbRow%1").arg(i));
        row->setProperty("role", "row");
        QList<QLabel*> cells;
        row->setLayout(columns(row, &cells, {Number(i)}));
        cells[1]->setTextFormat(Qt::RichText);
        cells_.append(cells);
        connect(row, &QPushButton::clicked, this, [this, i] {
            UiSound_Tap();
            edit(i);
        });
        rows_.append(row);
        lv->addWidget(row);
    }
    lv->addStretch(1);
    scroll->setWidget(list);
    stack_->addWidget(scroll);
    auto* waiting = new QLabel("Reading the barcode table of the tool ...", stack_);
    waiting->setObjectName("pbWaiting");
    waiting->setAlignment(Qt::AlignCenter);
    waiting->setStyleSheet("font-size: 26px; color: #9aa8b4;");
    stack_->addWidget(waiting);
    b->addWidget(stack_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    clearAll_ = new QPushButton("Clear all", this);
    clearAll_->setObjectName("pbClearAll");
    clearAll_->setProperty("role", "danger");
    clearAll_->setMinimumWidth(200);
    buttons->addWidget(clearAll_);
    b->addLayout(buttons);
    connect(clearAll_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        clearAll();
    });
}

PageParamBarcode::~PageParamBarcode() {
    Navigator::DismissModal(editor_);
    Navigator::DismissModal(confirm_);
    Navigator::DismissModal(error_);
}

UnitParamBarcodeEdit* PageParamBarcode::Editor() const {
    return editor_.As<UnitParamBarcodeEdit>();
}

ToolBarcodeLink PageParamBarcode::link(int tdx) const {
    ToolBarcodeLink l;
    l.write = [tdx](int addr, int value) {
        return ApplicationDevice()->MbusWriteTdx(tdx, addr, value);
    };
    l.read = [tdx](int addr, int count) {
        return ApplicationDevice()->MbusReadTdx(tdx, addr, count);
    };
    l.block = [tdx](int addr, int count) {
        return ApplicationDevice()->MbusGetBlockTdx(tdx, addr, count);
    };
    return l;
}

void PageParamBarcode::Hidden() {
    ++generation_; // a read in progress stops
    next_ = -1;
    Navigator::DismissModal(editor_);
    Navigator::DismissModal(confirm_);
}

void PageParamBarcode::Refresh() {
    entries_.fill(ToolBarcodeEntry{});
    for (int i = 0; i < kEntries; ++i)
        showRow(i);
    ++generation_;
    next_ = 0;
    stack_->setCurrentIndex(Reading() ? 1 : 0);
    clearAll_->setEnabled(!Reading());
    if (Reading()) QTimer::singleShot(0, this, [this, g = generation_] { readNext(g); });
}

void PageParamBarcode::readNext(int generation) {
    if (generation != generation_ || next_ < 0) return; // stopped or started again
    const int tdx = ApplicationDevice()->OnGetCurrTdx();
    const int rc = ReadEntry(link(tdx), next_, &entries_[next_]);
    showRow(next_);
    // A tool that is gone answers no further entry; the rest stay "-".
    const bool gone = rc != 0 && ApplicationDevice()->GetTdxToolConn(tdx) != 1;
    if (++next_ < kEntries && !gone) {
        QTimer::singleShot(0, this, [this, generation] { readNext(generation); });
        return;
    }
    next_ = -1;
    stack_->setCurrentIndex(0);
    clearAll_->setEnabled(true);
}

void PageParamBarcode::showRow(int index) {
    const ToolBarcodeEntry& e = entries_[index];
    const QList<QLabel*>& cells = cells_[index];
    cells[1]->setText(CodeHtml(e));
    cells[2]->setText(Range(e));
    cells[3]->setText(Preset(e));
}

void PageParamBarcode::edit(int index) {
    if (Reading() || editor_.Open()) return;
    // An entry not read shows nothing of what the tool holds: confirming it would erase it.
    if (!entries_[index].valid) {
        error(ParamTabs::kReadFailed);
        return;
    }
    editing_ = index;
    auto* ed = new UnitParamBarcodeEdit(index, entries_[index]);
    connect(ed, &UnitParamBarcodeEdit::cancel, this, [this] { Navigator::DismissModal(editor_); });
    connect(ed, &UnitParamBarcodeEdit::ok, this, [this] { store(); });
    editor_ = Navigator::PresentModal(window(), ed, Transition::Scale);
}

void PageParamBarcode::store() {
    UnitParamBarcodeEdit* ed = Editor();
    if (!ed) return;
    const ToolBarcodeEntry e = ed->Entry();
    const bool partial = ed->Partial();
    if (const QString why = Refusal(e, partial); !why.isEmpty()) {
        error(why); // the editor stays for a correction
        return;
    }
    QList<int> tools{ApplicationDevice()->OnGetCurrTdx()};
    if (ed->AllTools()) {
        tools.clear();
        for (int t = 0; t < ApplicationDevice()->GetRegtoolsLen(); ++t) {
            const int type = ApplicationDevice()->GetToolType_ByTdx(t);
            if (ApplicationDevice()->GetTdxToolConn(t) == 1 && (type == 2 || type == 3))
                tools.append(t);
        }
    }
    Navigator::DismissModal(editor_);
    QStringList failed;
    for (int t : tools)
        if (WriteEntry(link(t).write, editing_, e, partial) != 0)
            failed.append(ApplicationDevice()->GetTdxToolName(t));
    Refresh();
    if (!failed.isEmpty()) error(QString(ParamTabs::kWriteFailed) + "\n\n" + failed.join(", "));
}

void PageParamBarcode::clearAll() {
    if (Reading() || confirm_.Open()) return;
    auto* box = new UnitMessageBox;
    box->setObjectName("pbConfirm");
    box->SetTitle("Confirmation");
    box->SetText("Clear all?");
    box->setProperty("context", "clear all");
    box->SetConfirm("OK");
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(confirm_); });
    connect(box, &UnitMessageBox::confirmed, this, [this] {
        Navigator::DismissModal(confirm_);
        const int rc = ClearAll(link(ApplicationDevice()->OnGetCurrTdx()).write);
        Refresh();
        if (rc != 0) error(ParamTabs::kWriteFailed);
    });
    confirm_ = Navigator::PresentModal(window(), box, Transition::Scale);
}

void PageParamBarcode::error(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("pbError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(window(), box, Transition::Fade);
}
