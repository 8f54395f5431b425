#include "PageTopDownBox.h"

#include "ApplicationDeviceClass.h"
#include "ParamFile.h"
#include "ParamFileRunner.h"
#include "Timer.h"
#include "UiSound.h"
#include "UnitMessageBox.h"
#include "UnitSelectToolsItem.h"
#include "UnitToolInfo.h"
#include "page/Screens.h"
#include "page/p2p/PageP2P_SelectFile.h"
#include "page/p2p/PageP2P_SelectFolder.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

namespace {
constexpr int kMaxRows = 8;
} // namespace

PageTopDownBox::PageTopDownBox(QWidget* parent) : Page(parent) {
    setObjectName("PageTopDownBox");
    setStyleSheet("QFrame#PageTopDownBox { background: #161b20;"
                  " border-bottom: 3px solid #2f8fe8; }");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 12, 24, 12);
    v->setSpacing(0);
    auto* bar = new QHBoxLayout;
    auto* title = new QLabel("Tools", this);
    title->setProperty("role", "title");
    bar->addWidget(title);
    bar->addStretch(1);
    edit_ = new QPushButton("Edit", this);
    edit_->setObjectName("topDownEdit");
    edit_->setMinimumWidth(140);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("topDownClose");
    close->setProperty("role", "cancel");
    close->setMinimumWidth(140);
    bar->addWidget(edit_);
    bar->addWidget(close);
    v->addLayout(bar);
    v->addSpacing(8);
    list_ = new QVBoxLayout;
    list_->setSpacing(0);
    v->addLayout(list_);
    v->addStretch(1);
    footer_ = new QLabel(this);
    footer_->setObjectName("topDownFooter");
    footer_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    footer_->setStyleSheet("font-size: 20px; font-weight: bold;");
    v->addWidget(footer_);

    connect(edit_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        openEditor();
    });
    connect(close, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
    tempTimer_ = new Timer(this);
    tempTimer_->SetBegin(100);
    tempTimer_->SetPeriod(3000);
    connect(tempTimer_, &Timer::trigger, this, &PageTopDownBox::RefreshTemperatures);
    connect(&ApplicationDevice()->UpdateRegtoolsEvent, &SystemEvent::triggered, this,
            &PageTopDownBox::RefreshTools);
    connect(ApplicationDevice(), &ApplicationDeviceClass::CurrTdxChanged, this,
            &PageTopDownBox::RefreshTools);
}

PageTopDownBox::~PageTopDownBox() {
    Navigator::DismissModal(wait_);
    Navigator::DismissModal(error_);
}

QSize PageTopDownBox::sizeHint() const {
    return QSize(1280, 100 + kMaxRows * UnitSelectToolsItem::kHeight + 60);
}

void PageTopDownBox::Init() {
    edit_->setVisible(ApplicationDevice()->OnGetUserLevel() != 0);
    RefreshTools();
    tempTimer_->SetEnabled(true);
}

UnitSelectToolsItem* PageTopDownBox::Row(int tdx) const {
    return tdx >= 0 && tdx < rows_.size() ? rows_[tdx] : nullptr;
}

QString PageTopDownBox::Footer() const {
    return footer_->text();
}

void PageTopDownBox::RefreshTools() {
    const int n = std::min(ApplicationDevice()->GetRegtoolsLen(), kMaxRows);
    while (rows_.size() > n)
        delete rows_.takeLast();
    while (rows_.size() < n) {
        auto* row = new UnitSelectToolsItem(int(rows_.size()), this);
        connect(row, &UnitSelectToolsItem::pressed, this, &PageTopDownBox::rowPressed);
        connect(row, &UnitSelectToolsItem::saveParams, this, &PageTopDownBox::saveParams);
        connect(row, &UnitSelectToolsItem::loadParams, this, &PageTopDownBox::loadParams);
        list_->addWidget(row);
        rows_.append(row);
    }
    const int current = ApplicationDevice()->OnGetCurrTdx();
    const bool loggedIn = ApplicationDevice()->OnGetUserLevel() != 0;
    int connected = 0;
    for (UnitSelectToolsItem* row : rows_) {
        const UnitToolInfo info = ApplicationDevice()->GetTdxToolInfo(row->Tdx());
        row->Fill(info);
        row->SetCurrent(row->Tdx() == current);
        // Parameter files are the drivers' (types 2 and 3).
        row->SetParamButtons(loggedIn && (info.Type == 2 || info.Type == 3),
                             row->Link() == ToolRowFormat::Connected);
        if (row->Link() == ToolRowFormat::Connected)
            ++connected;
        else
            row->SetTemperature("-");
    }
    footer_->setText(ToolRowFormat::Footer(connected, n));
}

void PageTopDownBox::RefreshTemperatures() {
    for (UnitSelectToolsItem* row : rows_) {
        const int tdx = row->Tdx();
        if (ApplicationDevice()->GetTdxToolConn(tdx) == 1 &&
            ApplicationDevice()->MbusReadTdx(tdx, kTempReg, 1) == 0)
            row->SetTemperature(ToolRowFormat::Temperature(
                int16_t(ApplicationDevice()->MbusGetDataTdx(tdx, kTempReg))));
        else
            row->SetTemperature("-");
    }
}

void PageTopDownBox::rowPressed(int tdx) {
    UiSound_Tap();
    if (ApplicationDevice()->GetTdxToolConn(tdx) != 1) return;
    if (ApplicationDevice()->OnGetCurrTdx() != tdx) ApplicationDevice()->OnSetCurrTdx(tdx);
    Leave();
}

void PageTopDownBox::openEditor() {
    Page* editor = Screens::Open(ScreenId::EditToolList, window());
    // The row's reaction saves "./regtools" first; then the rows show the new table.
    if (editor)
        connect(editor, &Page::completed, this, &PageTopDownBox::RefreshTools,
                Qt::UniqueConnection);
}

void PageTopDownBox::saveParams(int tdx) {
    UiSound_Tap();
    if (wait_.Open() || ApplicationDevice()->GetTdxToolConn(tdx) != 1) return;
    const UnitToolInfo info = ApplicationDevice()->GetTdxToolInfo(tdx);
    const QString name = QString::fromStdString(
        ParamFile::DefaultName(info.Name.toStdString(), info.Model.toStdString(), info.Version));
    auto* dialog = new PageP2P_SelectFolder(name, ".csv", window());
    connect(dialog, &PageP2P_SelectFolder::accepted, this, [this, tdx](const QString& path) {
        runLater(
            [tdx, path]() -> std::optional<QString> { return ParamFileRunner::Save(tdx, path); });
    });
}

void PageTopDownBox::loadParams(int tdx) {
    UiSound_Tap();
    if (wait_.Open() || ApplicationDevice()->GetTdxToolConn(tdx) != 1) return;
    auto* dialog = new PageP2P_SelectFile(".csv", true, window());
    connect(dialog, &PageP2P_SelectFile::accepted, this,
            [this, tdx](const QString& path, bool barcodeOnly) {
                runLater([tdx, path, barcodeOnly,
                          load = std::shared_ptr<ParamFileRunner::Loading>()]() mutable
                         -> std::optional<QString> {
                    if (!load)
                        load = std::make_shared<ParamFileRunner::Loading>(tdx, path, barcodeOnly);
                    if (!load->Next()) return std::nullopt;
                    return load->Message();
                });
            });
}

void PageTopDownBox::runLater(std::function<std::optional<QString>()> work) {
    auto* box = new UnitMessageBox;
    box->setObjectName("paramWait");
    box->SetTitle("Message");
    box->SetText("Please wait...");
    box->SetCloseVisible(false);
    wait_ = Navigator::PresentModal(window(), box, Transition::Fade);
    turns_ = 0;
    QTimer::singleShot(100, this, [this, work = std::move(work)] { runTurn(work); });
}

void PageTopDownBox::runTurn(std::function<std::optional<QString>()> work) {
    ++turns_;
    std::optional<QString> message = work();
    if (!message) {
        QTimer::singleShot(0, this, [this, work = std::move(work)] { runTurn(work); });
        return;
    }
    lastMessage_ = *message;
    Navigator::DismissModal(wait_);
    if (!lastMessage_.isEmpty()) showError(lastMessage_);
}

void PageTopDownBox::showError(const QString& text) {
    if (error_.Open()) return; // one at a time; later errors are not shown
    auto* box = new UnitMessageBox;
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    UiSound_Ng();
    error_ = Navigator::PresentModal(window(), box, Transition::Fade);
}
