#include "PageStepEditor.h"

#include "ApplicationDeviceClass.h"
#include "PageStepDelay.h"
#include "PageStepFastening.h"
#include "PageStepInput.h"
#include "PageStepMessage.h"
#include "PageStepOutput.h"
#include "UiSound.h"
#include "UnitConfirmation.h"
#include "UnitMessageBox.h"
#include "UnitStepDelayData.h"
#include "UnitTextKeypad.h"
#include "page/operation/ScreenResults.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

namespace {
constexpr int kNoPanel = ApplicationDeviceClass::StepTypeCount; // the blank page of the stack
} // namespace

QString PageStepEditor::TypeText(int type) {
    static const char* const names[] = {"Fastening", "Input", "Output", "Delay", "Message"};
    // A type from a file this editor did not write (a newer firmware, a damaged card).
    return type >= 0 && type < ApplicationDeviceClass::StepTypeCount ? names[type] : "Unknown";
}

PageStepEditor::PageStepEditor(QWidget* parent) : Page(parent), editor_(*this) {
    ScreenResults::Attach(this); // results are logged while it is open
    setObjectName("PageStepEditor");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 12, 20, 12);
    v->setSpacing(8);
    title_ = new QLabel(this);
    title_->setObjectName("stepTitle");
    title_->setProperty("role", "title");
    v->addWidget(title_);

    model_ = new ListModel<Row>(
        [] { return ApplicationDevice()->GetStepsLen(); },
        [](int i) {
            return Row{i, ApplicationDevice()->GetStepName(i), ApplicationDevice()->GetStepType(i)};
        },
        {"No", "Step name", "Type"},
        [](const Row& r, int column, int role) -> QVariant {
            if (role != Qt::DisplayRole) return {};
            return column == 0 ? QVariant(r.Sdx + 1) : column == 1 ? r.Name : TypeText(r.Type);
        },
        this);
    view_ = new QTableView(this);
    view_->setObjectName("stepList");
    view_->setModel(model_);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(44);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    view_->setColumnWidth(0, 60);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setFocusPolicy(Qt::NoFocus);
    view_->setFixedWidth(440);
    view_->setStyleSheet("QTableView { background: #0c0f12; font-size: 17px; }"
                         "QTableView::item:selected { background: #22466b; }"
                         "QHeaderView::section { background: #27313b; font-size: 16px;"
                         " padding: 5px; border: none; }");

    panels_ = new QStackedWidget(this);
    panels_->setObjectName("stepPanelArea");
    typePanels_[ApplicationDeviceClass::StepTypeFastening] = new PageStepFastening(panels_);
    typePanels_[ApplicationDeviceClass::StepTypeInput] = new PageStepInput(panels_);
    typePanels_[ApplicationDeviceClass::StepTypeOutput] = new PageStepOutput(panels_);
    typePanels_[ApplicationDeviceClass::StepTypeDelay] = new PageStepDelay(panels_);
    typePanels_[ApplicationDeviceClass::StepTypeMessage] = new PageStepMessage(panels_);
    for (StepPanel* p : typePanels_)
        panels_->addWidget(p);
    unknown_ = new QLabel(panels_);
    unknown_->setObjectName("stepUnknown");
    unknown_->setAlignment(Qt::AlignCenter);
    panels_->addWidget(unknown_);
    panels_->setCurrentIndex(kNoPanel);

    auto* body = new QHBoxLayout;
    body->addWidget(view_);
    body->addWidget(panels_, 1);
    v->addLayout(body, 1);

    auto buttonRow = [&](std::initializer_list<std::pair<const char*, const char*>> items) {
        auto* row = new QHBoxLayout;
        std::vector<QPushButton*> made;
        for (const auto& [name, text] : items) {
            auto* b = new QPushButton(text, this);
            b->setObjectName(name);
            b->setMinimumHeight(52);
            row->addWidget(b);
            made.push_back(b);
        }
        v->addLayout(row);
        return made;
    };
    auto adds = buttonRow({{"stepAddFasten", "+ Fastening"},
                           {"stepAddInput", "+ Input"},
                           {"stepAddOutput", "+ Output"},
                           {"stepAddDelay", "+ Delay"},
                           {"stepAddMessage", "+ Message"}});
    for (int type = 0; type < ApplicationDeviceClass::StepTypeCount; ++type)
        connect(adds[size_t(type)], &QPushButton::clicked, this, [this, type] {
            UiSound_Tap();
            editor_.AddPressed(type);
        });
    auto edits = buttonRow({{"stepCopy", "Copy"},
                            {"stepDelete", "Delete"},
                            {"stepRename", "Rename"},
                            {"stepUp", "Up"},
                            {"stepDown", "Down"},
                            {"stepSave", "Save"},
                            {"stepCancel", "Cancel"}});
    edits[1]->setProperty("role", "danger");
    edits[5]->setProperty("role", "ok");
    edits[6]->setProperty("role", "cancel");
    void (StepEditor::*actions[])() = {&StepEditor::CopyPressed,   &StepEditor::DeletePressed,
                                       &StepEditor::RenamePressed, &StepEditor::UpPressed,
                                       &StepEditor::DownPressed,   &StepEditor::SavePressed,
                                       &StepEditor::CancelPressed};
    for (size_t i = 0; i < edits.size(); ++i)
        connect(edits[i], &QPushButton::clicked, this, [this, action = actions[i]] {
            UiSound_Tap();
            (editor_.*action)();
        });
    connect(view_, &QTableView::clicked, this, [this](const QModelIndex& i) {
        UiSound_Tap();
        editor_.Select(i.row());
    });
}

PageStepEditor::~PageStepEditor() {
    Navigator::DismissModal(dialog_);
}

void PageStepEditor::Edit(int jdx) {
    jdx_ = jdx;
    title_->setText(ApplicationDevice()->GetJobNameJdx(jdx));
    editor_.Open();
}

UnitMessageBox* PageStepEditor::Dialog() const {
    return dialog_.As<UnitMessageBox>();
}

StepPanel* PageStepEditor::Panel(int type) const {
    return type >= 0 && type < ApplicationDeviceClass::StepTypeCount ? typePanels_[type] : nullptr;
}

StepPanel* PageStepEditor::VisiblePanel() const {
    const int i = panels_->currentIndex();
    return i < kNoPanel ? typePanels_[i] : nullptr;
}

int PageStepEditor::StepCount() {
    return ApplicationDevice()->GetStepsLen();
}
int PageStepEditor::AddStep(int type) {
    return ApplicationDevice()->StepCreateNew(type);
}
int PageStepEditor::CopyStep(int sdx) {
    return ApplicationDevice()->StepCopy(sdx);
}
int PageStepEditor::DeleteStep(int sdx) {
    return ApplicationDevice()->StepDelete(sdx);
}
int PageStepEditor::MoveStepUp(int sdx) {
    return ApplicationDevice()->StepMoveUp(sdx);
}
int PageStepEditor::MoveStepDown(int sdx) {
    return ApplicationDevice()->StepMoveDown(sdx);
}
QString PageStepEditor::StepName(int sdx) {
    return ApplicationDevice()->GetStepName(sdx);
}
int PageStepEditor::RenameStep(int sdx, const QString& name) {
    return ApplicationDevice()->SetStepName(sdx, name);
}
int PageStepEditor::SaveJob() {
    return ApplicationDevice()->JobSave(jdx_);
}
void PageStepEditor::FreeJob() {
    ApplicationDevice()->JobFree();
}

void PageStepEditor::SavePanel() {
    if (StepPanel* p = VisiblePanel()) p->Save();
}

QString PageStepEditor::StepProblem(int sdx) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    if (!qobject_cast<PageStepDelay*>(Panel(dev->GetStepType(sdx)))) return QString();
    // No scan ever matches an empty code, nor a compared part that lies in no code (a
    // file from another editor): the station would stop at the step.
    std::unique_ptr<UnitStepDelayData> d(dev->GetDelayData(sdx));
    if (d->Mode != 2) return QString();
    if (d->Barcode.isEmpty()) return "The step has no barcode to wait for.";
    const bool noPart =
        d->RangeStart < 1 || d->RangeEnd < d->RangeStart || d->RangeEnd > d->Barcode.size();
    if (d->Partial == 1 && noPart)
        return "The step compares a part of its barcode but no part is chosen.";
    return QString();
}

void PageStepEditor::ShowStep(int sdx) {
    model_->Reload();
    if (sdx < 0) {
        unknown_->clear();
        panels_->setCurrentIndex(kNoPanel);
        return;
    }
    view_->selectRow(sdx);
    const int type = ApplicationDevice()->GetStepType(sdx);
    StepPanel* panel = Panel(type);
    // No panel can show an unknown type, so none can save over it: it stays as loaded.
    unknown_->setText(panel ? QString() : "Unknown step type: the step is kept as it is.");
    if (!panel) {
        panels_->setCurrentIndex(kNoPanel);
        return;
    }
    panel->Load(sdx);
    panels_->setCurrentIndex(type);
}

void PageStepEditor::Error(const QString& text) {
    Navigator::DismissModal(dialog_);
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("stepError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(dialog_); });
    dialog_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void PageStepEditor::Confirm(const QString& question, const QString& context) {
    if (dialog_.Open()) return;
    auto* box = new UnitConfirmation(question, context);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(dialog_); });
    connect(box, &UnitMessageBox::confirmed, this, [this, context] {
        UiSound_Tap();
        Navigator::DismissModal(dialog_);
        editor_.Confirmed(context);
    });
    dialog_ = Navigator::PresentModal(this, box, Transition::Scale);
}

void PageStepEditor::AskName(const QString& current) {
    if (dialog_.Open()) return;
    auto* pad = new UnitTextKeypad("Rename", current);
    pad->setObjectName("stepRenamePad");
    if (auto* field = pad->findChild<QLineEdit*>("textKeypadField"))
        field->setPlaceholderText("Enter new name");
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(dialog_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad] {
        if (editor_.NameEntered(pad->Text())) Navigator::DismissModal(dialog_);
    });
    dialog_ = Navigator::PresentModal(this, pad, Transition::Scale);
}

void PageStepEditor::Close() {
    Leave();
}
