#include "PageOperationWithoutJob.h"

#include "ApplicationDeviceClass.h"
#include "FetTableModel.h"
#include "ResultFormat.h"
#include "UiSound.h"
#include "UnitBarcodeData.h"
#include "UnitBstEvent.h"
#include "UnitBstHotplug.h"
#include "UnitDisconnFlagData.h"
#include "UnitErrorCodeList.h"
#include "UnitEwEventRegtool.h"
#include "UnitLastResult.h"
#include "UnitMessageBox.h"
#include "UnitNotice.h"
#include "UnitPlantBacklog.h"
#include "UnitTdxData.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
constexpr int kRowHeight = 40;

// The log settings that choose the columns, in their order.
std::vector<int> chosenFields() {
    ApplicationDeviceClass* d = ApplicationDevice();
    const bool on[FetTableModel::FieldCount] = {
        d->OnGetLogToolname(),  d->OnGetLogBarcode(), d->OnGetLogFtime(),   d->OnGetLogPreset(),
        d->OnGetLogTtorque(),   d->OnGetLogCtorque(), d->OnGetLogSpeed(),   d->OnGetLogA1(),
        d->OnGetLogA2(),        d->OnGetLogA3(),      d->OnGetLogScrewNo(), d->OnGetLogError(),
        d->OnGetLogDirection(), d->OnGetLogStatus(),  d->OnGetLogSnug()};
    std::vector<int> fields;
    for (int f = 0; f < FetTableModel::FieldCount; ++f)
        if (on[f]) fields.push_back(f);
    return fields;
}
} // namespace

PageOperationWithoutJob::PageOperationWithoutJob(QWidget* parent) : Page(parent), run_(*this) {
    setObjectName("PageOperationWithoutJob");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(20, 14, 20, 16);
    v->setSpacing(12);
    auto* bar = new QHBoxLayout;
    auto* title = new QLabel("Operation without job", this);
    title->setProperty("role", "title");
    bar->addWidget(title);
    bar->addStretch(1);
    bar->addWidget(new UnitPlantBacklog(this));
    bar->addSpacing(16);
    auto button = [&](const char* name, const char* text, const char* role) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumWidth(160);
        if (role) b->setProperty("role", role);
        bar->addWidget(b);
        return b;
    };
    QPushButton* errors = button("opErrorCodes", "Error code", nullptr);
    QPushButton* clear = button("opClear", "Clear", "danger");
    QPushButton* home = button("opHome", "Home", "cancel");
    v->addLayout(bar);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    last_ = new UnitLastResult(this);
    last_->setFixedWidth(300);
    body->addWidget(last_);
    model_ = new FetTableModel(
        [] { return ApplicationDevice()->GetFetLen(); },
        [](int i, UnitFetItem* out) { return ApplicationDevice()->GetFetItem(i, out); }, this);
    table_ = new QTableView(this);
    table_->setObjectName("opResultTable");
    table_->setModel(model_);
    // Fixed row heights: scrolling a thousand rows never measures them.
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setMinimumHeight(44);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setWordWrap(false);
    table_->setStyleSheet(ResultFormat::TableStyle());
    table_->viewport()->installEventFilter(this);
    body->addWidget(table_, 1);
    v->addLayout(body, 1);

    notice_ = new UnitNotice(this);
    prompt_ = new StoredPrompt(run_, this);
    connect(prompt_, &StoredPrompt::leave, this, [this] { run_.StoredLeave(); });
    promptTimer_.setSingleShot(true);
    trayTimer_.setSingleShot(true);
    connect(&promptTimer_, &QTimer::timeout, this, [this] { run_.Timer(FreeTimer::StoredPrompt); });
    connect(&trayTimer_, &QTimer::timeout, this, [this] { run_.Timer(FreeTimer::TrayCheck); });

    connect(errors, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        showErrorCodes();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        run_.ClearPressed();
    });
    connect(home, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        run_.HomePressed();
    });
    BuildColumns();
}

PageOperationWithoutJob::~PageOperationWithoutJob() {
    table_->viewport()->removeEventFilter(this);
    Navigator::DismissModal(message_);
    Navigator::DismissModal(confirm_);
    Navigator::DismissModal(errorList_);
    prompt_->Close();
    // Taken away without leaving (its host went away): tools connecting later are locked.
    if (shown_) ApplicationDevice()->SetScreenCode(0);
}

void PageOperationWithoutJob::Init() {
    // While this screen is shown a tool that connects stays unlocked.
    ApplicationDevice()->SetScreenCode(kScreenCode);
    shown_ = true;
    connectEvents();
    run_.Start();
}

void PageOperationWithoutJob::Leave() {
    if (shown_) ApplicationDevice()->SetScreenCode(0);
    shown_ = false;
    Page::Leave();
}

void PageOperationWithoutJob::connectEvents() {
    ApplicationDeviceClass* d = ApplicationDevice();
    connect(&d->FastenEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* p = qobject_cast<UnitTdxData*>(ctx)) run_.Fasten(p->Tdx);
    });
    // A result line the writer could not put on disk (it went to the spool).
    connect(&d->LogFailEvent, &SystemEvent::triggered, this,
            [this] { Message("Error", "Logging failed"); });
    connect(&d->DisconnFlagEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* e = qobject_cast<UnitDisconnFlagData*>(ctx)) run_.DisconnFlag(e->Tdx, e->Flag);
    });
    connect(&d->UpdateRegtoolsEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* p = qobject_cast<UnitEwEventRegtool*>(ctx)) run_.Registry(p->Tdx, p->State);
    });
    connect(&d->BcodeEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* p = qobject_cast<UnitBarcodeData*>(ctx))
            run_.ScannerCode(ApplicationDeviceClass::ToNative(p->Code).toStdString());
    });
    connect(&d->BstHotplugEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* p = qobject_cast<UnitBstHotplug*>(ctx)) run_.TrayHotplug(p->Value != 0);
    });
    connect(&d->BstEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* p = qobject_cast<UnitBstEvent*>(ctx))
            run_.TrayEvent(p->ChangeMask, p->Preset, p->Alarm, p->Opmode);
    });
}

void PageOperationWithoutJob::BuildColumns() {
    model_->SetFields(chosenFields());
    layoutColumns();
}

// The sequence column has a fixed width; the chosen columns share the rest, and the
// remainder of the division goes to the last of them.
void PageOperationWithoutJob::layoutColumns() {
    const int columns = model_->columnCount();
    const int width = table_->viewport()->width();
    table_->setColumnWidth(0, columns == 1 ? width : kSeqWidth);
    const int shown = columns - 1;
    if (shown <= 0) return;
    const int share = std::max(0, width - kSeqWidth) / shown;
    const int rest = std::max(0, width - kSeqWidth) % shown;
    for (int c = 1; c < columns; ++c) {
        const int w = share + (c == columns - 1 ? rest : 0);
        table_->setColumnWidth(c, w);
        if (model_->FieldOf(c) == FetTableModel::Status)
            model_->SetLongStatus(w >= kLongStatusWidth);
    }
}

bool PageOperationWithoutJob::eventFilter(QObject* o, QEvent* e) {
    if (o == table_->viewport() && e->type() == QEvent::Resize) layoutColumns();
    return Page::eventFilter(o, e);
}

void PageOperationWithoutJob::StartTimer(FreeTimer id, int ms) {
    (id == FreeTimer::StoredPrompt ? promptTimer_ : trayTimer_).start(ms);
}

void PageOperationWithoutJob::ShowLast(int tdx, const FastenResult& r) {
    last_->Show(ApplicationDevice()->GetTdxToolName(tdx), r,
                ResultFormat::TorqueUnit(ApplicationDevice()->GetTorqueUnit_ByTdx(tdx)));
}

void PageOperationWithoutJob::ClearLast() {
    last_->Clear();
}

void PageOperationWithoutJob::TableChanged() {
    model_->Sync();
    table_->scrollToBottom();
}

void PageOperationWithoutJob::Notice(const std::string& text) {
    notice_->Show(QString::fromLatin1(text.c_str()));
}

UnitMessageBox* PageOperationWithoutJob::MessageDialog() const {
    return message_.As<UnitMessageBox>();
}
UnitMessageBox* PageOperationWithoutJob::ConfirmDialog() const {
    return confirm_.As<UnitMessageBox>();
}
UnitStoredResults* PageOperationWithoutJob::StoredDialog() const {
    return prompt_->Dialog();
}

void PageOperationWithoutJob::Message(const std::string& title, const std::string& text) {
    if (message_.Open()) return; // one message at a time
    auto* box = new UnitMessageBox;
    box->SetTitle(QString::fromStdString(title));
    box->SetText(QString::fromStdString(text));
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(message_); });
    message_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void PageOperationWithoutJob::Confirm(const std::string& question, const std::string& context) {
    if (confirm_.Open()) return;
    auto* box = new UnitMessageBox;
    box->SetTitle("Confirmation");
    box->SetText(QString::fromStdString(question));
    box->SetConfirm("OK");
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(confirm_); });
    connect(box, &UnitMessageBox::confirmed, this, [this, context] {
        Navigator::DismissModal(confirm_);
        run_.Confirmed(context);
    });
    confirm_ = Navigator::PresentModal(this, box, Transition::Scale);
}

void PageOperationWithoutJob::LeaveScreen() {
    Leave();
}

void PageOperationWithoutJob::showErrorCodes() {
    if (errorList_.Open()) return;
    auto* list = new UnitErrorCodeList;
    connect(list, &UnitErrorCodeList::closed, this,
            [this] { Navigator::DismissModal(errorList_); });
    errorList_ = Navigator::PresentModal(this, list, Transition::Scale);
}

// ---- stored results: the shared dialog over the run state's collector ----

bool PageOperationWithoutJob::StoredOpen() {
    return prompt_->IsOpen();
}
void PageOperationWithoutJob::StoredShow() {
    prompt_->Show(this);
}
void PageOperationWithoutJob::StoredRefresh(int) {
    prompt_->Refresh();
}
void PageOperationWithoutJob::StoredProgress(int tdx, int collected) {
    prompt_->Progress(tdx, collected);
}
void PageOperationWithoutJob::StoredClose() {
    prompt_->Close();
}
