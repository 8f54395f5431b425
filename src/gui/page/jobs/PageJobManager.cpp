#include "PageJobManager.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitConfirmation.h"
#include "UnitMessageBox.h"
#include "UnitTextKeypad.h"
#include "page/Screens.h"
#include "page/operation/ScreenResults.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

PageJobManager::PageJobManager(QWidget* parent) : Page(parent), manager_(*this) {
    setObjectName("PageJobManager");
    ScreenResults::Attach(this);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 14, 20, 16);
    v->setSpacing(12);
    auto* bar = new QHBoxLayout;
    auto* title = new QLabel("Job Manager", this);
    title->setProperty("role", "title");
    bar->addWidget(title);
    bar->addStretch(1);
    auto button = [this](QBoxLayout* row, const char* name, const char* text, const char* role) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumWidth(150);
        if (role) b->setProperty("role", role);
        row->addWidget(b);
        return b;
    };
    QPushButton* home = button(bar, "jobHome", "Home", "cancel");
    v->addLayout(bar);

    model_ = new ListModel<Row>([] { return ApplicationDevice()->GetJobsLen(); },
                                [](int i) {
                                    return Row{i, ApplicationDevice()->GetJobNameJdx(i),
                                               ApplicationDevice()->GetJobStepCountJdx(i),
                                               ApplicationDevice()->GetJobTotalScrewJdx(i)};
                                },
                                {"No", "Job name", "Steps", "Screws"},
                                [](const Row& r, int column, int role) -> QVariant {
                                    if (role != Qt::DisplayRole) return {};
                                    switch (column) {
                                    case ColNo:
                                        return r.Jdx + 1;
                                    case ColName:
                                        return r.Name;
                                    case ColSteps:
                                        return r.Steps;
                                    default:
                                        return r.Screws;
                                    }
                                },
                                this);
    view_ = new QTableView(this);
    view_->setObjectName("jobList");
    view_->setModel(model_);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(48);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setSectionResizeMode(ColName, QHeaderView::Stretch);
    view_->setColumnWidth(ColNo, 90);
    view_->setColumnWidth(ColSteps, 140);
    view_->setColumnWidth(ColScrews, 140);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setFocusPolicy(Qt::NoFocus);
    view_->setStyleSheet("QTableView { background: #0c0f12; font-size: 18px; }"
                         "QTableView::item:selected { background: #22466b; }"
                         "QHeaderView::section { background: #27313b; font-size: 17px;"
                         " padding: 6px; border: none; }");
    v->addWidget(view_, 1);

    auto* row = new QHBoxLayout;
    const struct {
        const char* name;
        const char* text;
        const char* role;
        void (JobManager::*press)();
    } buttons[] = {
        {"jobNew", "New", "ok", &JobManager::NewPressed},
        {"jobCopy", "Copy", nullptr, &JobManager::CopyPressed},
        {"jobRename", "Rename", nullptr, &JobManager::RenamePressed},
        {"jobDelete", "Delete", "danger", &JobManager::DeletePressed},
        {"jobUp", "Up", nullptr, &JobManager::UpPressed},
        {"jobDown", "Down", nullptr, &JobManager::DownPressed},
        {"jobEdit", "Edit", nullptr, &JobManager::EditPressed},
        {"jobBarcode", "Barcode", nullptr, &JobManager::BarcodePressed},
    };
    for (const auto& b : buttons) {
        QPushButton* w = button(row, b.name, b.text, b.role);
        w->setMinimumWidth(120);
        connect(w, &QPushButton::clicked, this, [this, press = b.press] {
            UiSound_Tap();
            (manager_.*press)();
        });
    }
    v->addLayout(row);

    connect(home, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
    connect(view_, &QTableView::clicked, this, [this](const QModelIndex& i) {
        UiSound_Tap();
        manager_.Select(i.row());
    });
}

PageJobManager::~PageJobManager() {
    Navigator::DismissModal(error_);
    Navigator::DismissModal(confirm_);
    Navigator::DismissModal(keypad_);
}

void PageJobManager::Init() {
    ListChanged();
}

UnitMessageBox* PageJobManager::ErrorDialog() const {
    return error_.As<UnitMessageBox>();
}
UnitMessageBox* PageJobManager::ConfirmDialog() const {
    return confirm_.As<UnitMessageBox>();
}
UnitTextKeypad* PageJobManager::Keypad() const {
    return keypad_.As<UnitTextKeypad>();
}

void PageJobManager::ListChanged() {
    model_->Reload();
    manager_.ListReloaded();
    const int row = manager_.Selected();
    if (row >= 0) {
        view_->selectRow(row);
        view_->scrollTo(model_->index(row, 0));
    } else {
        view_->clearSelection();
    }
}

int PageJobManager::Count() {
    return ApplicationDevice()->GetJobsLen();
}
QString PageJobManager::Name(int row) {
    return ApplicationDevice()->GetJobNameJdx(row);
}
bool PageJobManager::Exists(const QString& name) {
    // Names are stored 8-bit; the file is looked up under the same bytes.
    const QByteArray path = "./files/job/" + ApplicationDeviceClass::ToNative(name) + ".job";
    return QFileInfo::exists(QFile::decodeName(path));
}
int PageJobManager::Create(const QString& name) {
    return ApplicationDevice()->JobCreateNew(name);
}
int PageJobManager::Copy(int row, const QString& name) {
    return ApplicationDevice()->JobCopy(row, name);
}
int PageJobManager::Rename(int row, const QString& name) {
    return ApplicationDevice()->SetJobNameJdx(row, name);
}
int PageJobManager::Delete(int row) {
    return ApplicationDevice()->JobDelete(row);
}
int PageJobManager::MoveUp(int row) {
    return ApplicationDevice()->JobMoveUp(row);
}
int PageJobManager::MoveDown(int row) {
    return ApplicationDevice()->JobMoveDown(row);
}
int PageJobManager::Load(int row) {
    return ApplicationDevice()->JobLoad(row);
}

void PageJobManager::OpenEditor(int row) {
    Page* editor = Screens::Open(ScreenId::StepEditor, window());
    if (!editor) {
        ApplicationDevice()->JobFree(); // nothing edits it
        return;
    }
    // The editor saved or dropped the job: its figures in the list may have changed.
    connect(editor, &QObject::destroyed, this, [this] { ListChanged(); });
    QMetaObject::invokeMethod(editor, "Edit", Q_ARG(int, row));
}

void PageJobManager::OpenBarcode() {
    Screens::Open(ScreenId::Barcode, window());
}

void PageJobManager::Error(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("jobError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void PageJobManager::Entry(const QString& title, const QString& prompt, const QString& text,
                           const QString& context) {
    if (keypad_.Open()) return;
    auto* pad = new UnitTextKeypad(title, text);
    if (auto* field = pad->findChild<QLineEdit*>("textKeypadField"))
        field->setPlaceholderText(prompt);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(keypad_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, context] {
        UnitTextKeypad* k = Keypad();
        if (k && manager_.EntryConfirmed(context, k->Text())) Navigator::DismissModal(keypad_);
    });
    keypad_ = Navigator::PresentModal(this, pad, Transition::Scale);
}

void PageJobManager::Confirm(const QString& question, const QString& context) {
    if (confirm_.Open()) return;
    auto* box = new UnitConfirmation(question, context);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(confirm_); });
    connect(box, &UnitMessageBox::confirmed, this, [this, context] {
        UiSound_Tap();
        Navigator::DismissModal(confirm_);
        manager_.Confirmed(context);
    });
    confirm_ = Navigator::PresentModal(this, box, Transition::Scale);
}
