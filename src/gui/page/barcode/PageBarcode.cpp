#include "PageBarcode.h"

#include "ApplicationDeviceClass.h"
#include "BarcodeList.h"
#include "UiSound.h"
#include "UnitBarcodeData.h"
#include "UnitBarcodeEdit.h"
#include "UnitBarcodeList.h"
#include "UnitMessageBox.h"
#include "page/operation/ScreenResults.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace BarcodeList;

PageBarcode::PageBarcode(QWidget* parent) : Page(parent) {
    ScreenResults::Attach(this); // results are logged while it is open
    setObjectName("PageBarcode");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 16, 24, 16);
    auto* top = new QHBoxLayout;
    auto* title = new QLabel("Job barcode", this);
    title->setProperty("role", "title");
    top->addWidget(title);
    top->addStretch(1);
    auto* back = new QPushButton("Back", this);
    back->setObjectName("bcBack");
    back->setProperty("role", "cancel");
    back->setMinimumWidth(190);
    top->addWidget(back);
    v->addLayout(top);
    list_ = new UnitBarcodeList(
        "bc", "Job name", [](const BarcodeRow& r) { return r.JobName; }, this);
    v->addWidget(list_, 1);
    connect(list_, &UnitBarcodeList::addRequested, this, [this] { openEditor(-1, {}); });
    connect(list_, &UnitBarcodeList::editRequested, this, [this](int row) { openEditor(row, {}); });
    connect(back, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        close();
    });
    connect(&ApplicationDevice()->BcodeEvent, &SystemEvent::triggered, this, [this](QObject* p) {
        auto* d = qobject_cast<UnitBarcodeData*>(p);
        if (!d || d->Code.isEmpty()) return;
        UiSound_Tap();
        openEditor(-1, d->Code);
    });
}

PageBarcode::~PageBarcode() {
    Navigator::DismissModal(editor_);
    Navigator::DismissModal(error_);
}

void PageBarcode::Init() {
    list_->SetTable(kJobTable);
}

void PageBarcode::Refresh() {
    list_->Reload();
}

UnitBarcodeEdit* PageBarcode::Editor() const {
    return editor_.As<UnitBarcodeEdit>();
}
UnitMessageBox* PageBarcode::ErrorDialog() const {
    return error_.As<UnitMessageBox>();
}

void PageBarcode::openEditor(int row, const QString& scanned) {
    if (UnitBarcodeEdit* open = Editor()) {
        // A scan while the editor is open fills its code.
        if (!scanned.isEmpty()) open->SetCode(scanned);
        return;
    }
    list_->CloseDialogs();
    BarcodeRow data = row >= 0 ? Read(kJobTable, row) : BarcodeRow{};
    if (!scanned.isEmpty()) data.Code = scanned;
    auto* ed = new UnitBarcodeEdit(UnitBarcodeEdit::Job, row, data);
    connect(ed, &UnitBarcodeEdit::cancel, this, [this] { Navigator::DismissModal(editor_); });
    connect(ed, &UnitBarcodeEdit::ok, this, [this] { store(); });
    editor_ = Navigator::PresentModal(window(), ed, Transition::Scale);
}

void PageBarcode::store() {
    UnitBarcodeEdit* ed = Editor();
    if (!ed) return;
    const BarcodeRow r = ed->Entered();
    if (r.Code.isEmpty()) return; // nothing to store; the editor stays for the code
    if (const QString why = Refusal(r, true); !why.isEmpty()) {
        error(why); // the editor stays for a correction
        return;
    }
    const int row = ed->Row();
    if (row < 0)
        ApplicationDevice()->BarcodeAddJob(kJobTable, r.Code, r.Partial, r.Start, r.End, r.JobName);
    else
        ApplicationDevice()->BarcodeEditJob(kJobTable, row, r.Code, r.Partial, r.Start, r.End,
                                            r.JobName);
    Navigator::DismissModal(editor_);
    list_->Reload();
    list_->SetCursor(row < 0 ? Len(kJobTable) - 1 : row);
}

void PageBarcode::close() {
    if (ApplicationDevice()->BarcodeSave(kJobTable) != 0) {
        // The edits stay in memory; the operator may try again.
        error("Failed to save.");
        return;
    }
    // The tools' results are turned off by the result taker when the last screen that
    // takes them closes: the job manager under this screen still takes them.
    Leave();
}

void PageBarcode::error(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("bcError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(window(), box, Transition::Fade);
}
