#include "PageEditToolList.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitMessageBox.h"
#include "UnitTextKeypad.h"
#include "UnitToolInfo.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
QString countText(int n) {
    return QString::number(n) + " ea";
}
} // namespace

PageEditToolList::PageEditToolList(QWidget* parent) : Page(parent), editor_(*this) {
    setObjectName("PageEditToolList");
    setProperty("role", "dialog");
    setFixedSize(1160, 700);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(28, 18, 28, 18);
    v->setSpacing(8);
    auto* title = new QLabel("Edit member tools", this);
    title->setProperty("role", "title");
    v->addWidget(title);

    regModel_ = new ListModel<RegRow>([] { return ApplicationDevice()->GetRegtoolsLen(); },
                                      [](int i) {
                                          UnitToolInfo t = ApplicationDevice()->GetTdxToolInfo(i);
                                          return RegRow{i, t.Name, t.Serial, t.Model};
                                      },
                                      {"No", "Tool name", "Serial number", "Model"},
                                      [](const RegRow& r, int column, int role) -> QVariant {
                                          if (role != Qt::DisplayRole) return {};
                                          switch (column) {
                                          case ColNo:
                                              return r.Tdx + 1;
                                          case ColName:
                                              return r.Name;
                                          case ColSerial:
                                              return r.Serial;
                                          default:
                                              return r.Model;
                                          }
                                      },
                                      this);
    discoModel_ = new ListModel<DiscoRow>(
        [] { return ApplicationDevice()->GetDiscotoolsLen(); },
        [](int i) {
            return DiscoRow{i, ApplicationDevice()->GetDiscoToolSerial(i),
                            ApplicationDevice()->GetDiscoToolModel(i)};
        },
        {"No", "Serial number", "Model"},
        [](const DiscoRow& r, int column, int role) -> QVariant {
            if (role != Qt::DisplayRole) return {};
            return column == 0 ? QVariant(r.Index + 1) : column == 1 ? r.Serial : r.Model;
        },
        this);

    auto heading = [&](const QString& text, QLabel** count, const char* name) {
        auto* h = new QHBoxLayout;
        h->addWidget(new QLabel(text, this));
        h->addStretch(1);
        *count = new QLabel(this);
        (*count)->setObjectName(name);
        h->addWidget(*count);
        v->addLayout(h);
    };
    heading("- Registered list to use :", &regCount_, "editRegCount");
    regView_ = makeView("editRegList", regModel_);
    v->addWidget(regView_, 3);
    heading("- Available list :", &discoCount_, "editDiscoCount");
    discoView_ = makeView("editDiscoList", discoModel_);
    v->addWidget(discoView_, 2);

    auto* row = new QHBoxLayout;
    auto button = [&](const char* name, const char* text, const char* role) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumWidth(180);
        if (role) b->setProperty("role", role);
        row->addWidget(b);
        return b;
    };
    QPushButton* reg = button("editRegister", "Register", "ok");
    QPushButton* rel = button("editRelease", "Release", "danger");
    row->addStretch(1);
    QPushButton* close = button("editClose", "Close", "cancel");
    v->addLayout(row);

    connect(reg, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        editor_.RegisterPressed();
    });
    connect(rel, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        editor_.ReleasePressed();
    });
    connect(close, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
    connect(regView_, &QTableView::clicked, this, [this](const QModelIndex& i) {
        UiSound_Tap();
        editor_.SelectRegistered(i.row());
        if (i.column() == ColName) openRename(i.row());
    });
    connect(discoView_, &QTableView::clicked, this, [this](const QModelIndex& i) {
        UiSound_Tap();
        editor_.SelectDiscovered(i.row());
    });
    ApplicationDeviceClass* d = ApplicationDevice();
    connect(&d->UpdateRegtoolsEvent, &SystemEvent::triggered, this,
            &PageEditToolList::reloadRegistered);
    connect(&d->UpdateDiscotoolsEvent, &SystemEvent::triggered, this,
            &PageEditToolList::reloadDiscovered);
}

PageEditToolList::~PageEditToolList() {
    Navigator::DismissModal(error_);
    Navigator::DismissModal(confirm_);
    Navigator::DismissModal(keypad_);
}

UnitMessageBox* PageEditToolList::ErrorDialog() const {
    return error_.As<UnitMessageBox>();
}
UnitMessageBox* PageEditToolList::ConfirmDialog() const {
    return confirm_.As<UnitMessageBox>();
}
UnitTextKeypad* PageEditToolList::Keypad() const {
    return keypad_.As<UnitTextKeypad>();
}

QTableView* PageEditToolList::makeView(const char* name, QAbstractItemModel* model) {
    auto* view = new QTableView(this);
    view->setObjectName(name);
    view->setModel(model);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(48);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    view->setColumnWidth(0, 80);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setFocusPolicy(Qt::NoFocus);
    view->setStyleSheet("QTableView { background: #0c0f12; font-size: 18px; }"
                        "QTableView::item:selected { background: #22466b; }"
                        "QHeaderView::section { background: #27313b; font-size: 17px;"
                        " padding: 6px; border: none; }");
    return view;
}

void PageEditToolList::Init() {
    ListsChanged();
}

void PageEditToolList::reloadRegistered() {
    regModel_->Reload();
    regCount_->setText(countText(regModel_->Count()));
    editor_.TablesChanged();
    if (editor_.SelectedRegistered() >= 0) regView_->selectRow(editor_.SelectedRegistered());
}

void PageEditToolList::reloadDiscovered() {
    discoModel_->Reload();
    discoCount_->setText(countText(discoModel_->Count()));
    editor_.TablesChanged();
    if (editor_.SelectedDiscovered() >= 0)
        discoView_->selectRow(editor_.SelectedDiscovered());
    else
        discoView_->clearSelection();
}

void PageEditToolList::ListsChanged() {
    reloadRegistered();
    reloadDiscovered();
}

void PageEditToolList::openRename(int tdx) {
    if (keypad_.Open()) return;
    renaming_ = tdx;
    auto* pad = new UnitTextKeypad("Tool name", ApplicationDevice()->GetTdxToolName(tdx));
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(keypad_); });
    connect(pad, &UnitTextKeypad::ok, this, [this] {
        UnitTextKeypad* k = Keypad();
        if (k && editor_.RenameConfirmed(renaming_, k->Text())) Navigator::DismissModal(keypad_);
    });
    keypad_ = Navigator::PresentModal(this, pad, Transition::Scale);
}

int PageEditToolList::RegCount() {
    return ApplicationDevice()->GetRegtoolsLen();
}
int PageEditToolList::DiscoCount() {
    return ApplicationDevice()->GetDiscotoolsLen();
}
QString PageEditToolList::DiscoMac(int index) {
    return ApplicationDevice()->GetDiscoToolMac(index);
}
int PageEditToolList::FindRegByName(const QString& name) {
    return ApplicationDevice()->FindRegTdxByName(name);
}
int PageEditToolList::Register(int index) {
    return ApplicationDevice()->RegisterDiscoTool(index);
}
int PageEditToolList::Release(int tdx) {
    return ApplicationDevice()->ReleaseRegTool(tdx);
}
int PageEditToolList::Rename(int tdx, const QString& name) {
    return ApplicationDevice()->SetTdxToolName(tdx, name);
}
int PageEditToolList::CurrTdx() {
    return ApplicationDevice()->OnGetCurrTdx();
}
void PageEditToolList::SetCurrTdx(int tdx) {
    ApplicationDevice()->OnSetCurrTdx(tdx);
}

void PageEditToolList::Error(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("editError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void PageEditToolList::ConfirmRelease() {
    if (confirm_.Open()) return;
    auto* box = new UnitMessageBox;
    box->setObjectName("editConfirm");
    box->SetTitle("Confirmation");
    box->SetText("Release?");
    box->SetConfirm("OK");
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(confirm_); });
    connect(box, &UnitMessageBox::confirmed, this, [this] {
        Navigator::DismissModal(confirm_);
        editor_.ReleaseConfirmed();
    });
    confirm_ = Navigator::PresentModal(this, box, Transition::Scale);
}
