#include "PageSettingBarcode.h"

#include "ApplicationDeviceClass.h"
#include "BarcodeList.h"
#include "UiSound.h"
#include "UnitBarcodeEdit.h"
#include "UnitBarcodeList.h"
#include "UnitMessageBox.h"
#include "page/operation/ScreenResults.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace BarcodeList;

namespace {
constexpr int kTools = 8;
} // namespace

PageSettingBarcode::PageSettingBarcode(QWidget* parent) : Page(parent) {
    ScreenResults::Attach(this); // results are logged while it is open
    setObjectName("PageSettingBarcode");
    setStyleSheet("QPushButton[role=\"tool\"]:checked { background: #1f5f9e; }"
                  "QCheckBox { font-size: 20px; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 8, 16, 8);
    auto* toolRow = new QHBoxLayout;
    toolRow->addWidget(new QLabel("Tool", this));
    for (int t = 0; t < kTools; ++t) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString("sbTool%1").arg(t));
        b->setProperty("role", "tool");
        b->setCheckable(true);
        connect(b, &QPushButton::clicked, this, [this, t] {
            UiSound_Tap();
            choose(t);
        });
        tools_.append(b);
        toolRow->addWidget(b);
    }
    none_ = new QLabel("No registered tool.", this);
    none_->setObjectName("sbNone");
    toolRow->addWidget(none_);
    toolRow->addStretch(1);
    v->addLayout(toolRow);
    enable_ = new QCheckBox(this);
    enable_->setObjectName("sbToolEnable");
    v->addWidget(enable_);
    connect(enable_, &QCheckBox::clicked, this, [this](bool on) {
        UiSound_Tap();
        // Kept in memory; the settings file is written when the settings screen is left.
        ApplicationDevice()->SetSettingBarcodeTdx(tdx_, on);
        enable_->setChecked(ApplicationDevice()->GetSettingBarcodeTdx(tdx_));
    });
    list_ = new UnitBarcodeList(
        "sb", "Preset", [](const BarcodeRow& r) { return Preset(r.Preset); }, this);
    v->addWidget(list_, 1);
    connect(list_, &UnitBarcodeList::addRequested, this, [this] { openEditor(-1); });
    connect(list_, &UnitBarcodeList::editRequested, this, [this](int row) { openEditor(row); });
    connect(list_, &UnitBarcodeList::changed, this, [this] { save({tdx_}); });
    connect(&ApplicationDevice()->UpdateRegtoolsEvent, &SystemEvent::triggered, this,
            &PageSettingBarcode::Refresh);
}

PageSettingBarcode::~PageSettingBarcode() {
    Navigator::DismissModal(editor_);
    Navigator::DismissModal(error_);
}

UnitBarcodeEdit* PageSettingBarcode::Editor() const {
    return editor_.As<UnitBarcodeEdit>();
}
UnitMessageBox* PageSettingBarcode::ErrorDialog() const {
    return error_.As<UnitMessageBox>();
}

void PageSettingBarcode::Refresh() {
    const int n = ApplicationDevice()->GetRegtoolsLen();
    for (int t = 0; t < kTools; ++t) {
        tools_[t]->setVisible(t < n);
        if (t < n) tools_[t]->setText(ApplicationDevice()->GetTdxToolName(t));
    }
    none_->setVisible(n == 0);
    choose(n == 0 ? -1 : tdx_ >= 0 && tdx_ < n ? tdx_ : 0);
}

void PageSettingBarcode::choose(int tdx) {
    if (tdx != tdx_) Navigator::DismissModal(editor_);
    const bool changed = tdx != tdx_;
    tdx_ = tdx;
    for (int t = 0; t < kTools; ++t)
        tools_[t]->setChecked(t == tdx);
    const bool any = tdx >= 0;
    enable_->setVisible(any);
    list_->setEnabled(any);
    if (any) {
        enable_->setText(QString("Preset selection by barcode (tool %1)").arg(tdx + 1));
        enable_->setChecked(ApplicationDevice()->GetSettingBarcodeTdx(tdx));
    }
    if (changed)
        list_->SetTable(tdx);
    else
        list_->Reload();
}

void PageSettingBarcode::openEditor(int row) {
    if (editor_.Open() || tdx_ < 0) return;
    list_->CloseDialogs();
    const BarcodeRow data = row >= 0 ? Read(tdx_, row) : BarcodeRow{};
    auto* ed = new UnitBarcodeEdit(UnitBarcodeEdit::Preset, row, data);
    connect(ed, &UnitBarcodeEdit::cancel, this, [this] { Navigator::DismissModal(editor_); });
    connect(ed, &UnitBarcodeEdit::ok, this, [this] { store(); });
    editor_ = Navigator::PresentModal(window(), ed, Transition::Scale);
}

void PageSettingBarcode::store() {
    UnitBarcodeEdit* ed = Editor();
    if (!ed) return;
    const BarcodeRow r = ed->Entered();
    if (r.Code.isEmpty()) return; // nothing to store; the editor stays for the code
    if (const QString why = Refusal(r, false); !why.isEmpty()) {
        error(why); // the editor stays for a correction
        return;
    }
    const int row = ed->Row();
    QList<int> tools{tdx_};
    if (row >= 0) {
        ApplicationDevice()->BarcodeEditPreset(tdx_, row, r.Code, r.Partial, r.Start, r.End,
                                               r.Preset);
    } else {
        if (ed->AllTools()) {
            tools.clear();
            for (int t = 0; t < ApplicationDevice()->GetRegtoolsLen(); ++t)
                tools.append(t);
        }
        for (int t : tools)
            ApplicationDevice()->BarcodeAddPreset(t, r.Code, r.Partial, r.Start, r.End, r.Preset);
    }
    Navigator::DismissModal(editor_);
    list_->Reload();
    list_->SetCursor(row < 0 ? Len(tdx_) - 1 : row);
    save(tools);
}

void PageSettingBarcode::save(const QList<int>& tools) {
    QStringList failed;
    for (int t : tools)
        if (t >= 0 && ApplicationDevice()->BarcodeSave(t) != 0)
            failed.append(ApplicationDevice()->GetTdxToolName(t));
    if (!failed.isEmpty()) error("Failed to save.\n\n" + failed.join(", "));
}

void PageSettingBarcode::error(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("sbError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(window(), box, Transition::Fade);
}
