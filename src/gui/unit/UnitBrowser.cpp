#include "UnitBrowser.h"

#include "ExternImage.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitMessageBox.h"
#include "UnitTextKeypad.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

const char* const UnitBrowser::GaugeStyle =
    "QProgressBar { background: #27313b; border: 1px solid #3a4754; border-radius: 4px; }"
    " QProgressBar::chunk { background: #2f8fe8; }";

QPushButton* UnitBrowser::button(const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setMinimumHeight(56);
    return b;
}

UnitBrowser::UnitBrowser(const QString& root, const QString& label, QWidget* parent)
    : Page(parent), model_(root, label) {
    setObjectName("UnitBrowser");
    setProperty("role", "dialog");
    setFixedSize(1160, 740);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 20, 24, 20);
    auto* top = new QHBoxLayout;
    drives_ = new QComboBox(this);
    drives_->setObjectName("browserDrive");
    drives_->setMinimumSize(240, 56);
    drives_->setStyleSheet("QComboBox { background: #27313b; color: #f2f5f7; font-size: 20px;"
                           " padding: 0 12px; border: 1px solid #3a4754; border-radius: 6px; }"
                           " QComboBox QAbstractItemView { background: #27313b; color: #f2f5f7; }");
    QPushButton* up = button("browserUp", "Up");
    path_ = new QLabel(this);
    path_->setObjectName("browserPath");
    path_->setProperty("role", "title");
    top->addWidget(drives_);
    top->addWidget(up);
    top->addWidget(path_, 1);
    v->addLayout(top);

    auto* mid = new QHBoxLayout;
    list_ = new QListWidget(this);
    list_->setObjectName("browserList");
    list_->setStyleSheet("font-size: 22px;");
    list_->viewport()->installEventFilter(this);
    preview_ = new QLabel(this);
    preview_->setObjectName("browserPreview");
    preview_->setFixedSize(400, 300);
    preview_->setAlignment(Qt::AlignCenter);
    mid->addWidget(list_, 1);
    mid->addWidget(preview_);
    v->addLayout(mid, 1);

    auto* figures = new QHBoxLayout;
    storage_ = new QLabel(this);
    storage_->setObjectName("browserStorage");
    storageBar_ = new QProgressBar(this);
    storageBar_->setObjectName("browserStorageBar");
    storageBar_->setTextVisible(false);
    storageBar_->setStyleSheet(GaugeStyle);
    figures->addWidget(storage_);
    figures->addWidget(storageBar_, 1);
    v->addLayout(figures);

    auto* menu = new QHBoxLayout;
    browseMenu_ = {button("browserNewFolder", "Create folder"), button("browserRename", "Rename"),
                   button("browserSelect", "Select")};
    selectAll_ = button("browserSelectAll", "Select All");
    selectMenu_ = {selectAll_, button("browserCopy", "Copy"), button("browserMove", "Move"),
                   button("browserDelete", "Delete"), button("browserSelectCancel", "Cancel")};
    pasteMenu_ = {button("browserPaste", "Paste"), button("browserPasteCancel", "Cancel")};
    for (const auto* group : {&browseMenu_, &selectMenu_, &pasteMenu_})
        for (QPushButton* b : *group)
            menu->addWidget(b);
    menu->addStretch(1);
    QPushButton* ok = button("browserOk", "OK");
    QPushButton* cancel = button("browserCancel", "Cancel");
    cancel->setProperty("role", "cancel");
    menu->addWidget(ok);
    menu->addWidget(cancel);
    v->addLayout(menu);

    hold_.setSingleShot(true);
    hold_.setInterval(HoldMs);
    connect(&hold_, &QTimer::timeout, this, &UnitBrowser::held);
    connect(drives_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (rendering_ || i == model_.CurrentDrive()) return;
        UiSound_Tap();
        model_.SelectDrive(i);
        render();
    });
    connect(up, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        if (model_.Up()) render();
    });
    auto on = [this](const char* name, auto fn) {
        connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, [this, fn] {
            UiSound_Tap();
            fn();
            render();
        });
    };
    on("browserNewFolder",
       [this] { askName("Enter folder name", model_.ProposeFolderName(), QString()); });
    on("browserRename", [this] {
        if (model_.Highlight() >= 0) {
            const QString n = model_.Items()[size_t(model_.Highlight())].Name;
            askName("Enter new name", n, n);
        }
    });
    on("browserSelect", [this] { model_.EnterSelection(); });
    on("browserSelectAll", [this] { model_.SelectAll(!model_.AllSelected()); });
    on("browserCopy", [this] { model_.Remember(BrowserModel::Clip::Copy); });
    on("browserMove", [this] { model_.Remember(BrowserModel::Clip::Move); });
    on("browserDelete", [this] {
        if (!model_.SelectedNames().isEmpty()) confirmDelete();
    });
    on("browserSelectCancel", [this] { model_.LeaveSelection(); });
    on("browserPaste", [this] { report(model_.Paste()); });
    on("browserPasteCancel", [this] { model_.LeaveSelection(); });
    connect(ok, &QPushButton::clicked, this, [this] {
        const QString path = model_.Chosen();
        if (model_.Refused()) {
            UiSound_Tap();
            model_.SetHighlight(-1);
            render();
            return showMessage("Error", "Invalid file.");
        }
        if (path.isEmpty()) return; // the picker's rules are not met yet
        emit chosen(path);
        Leave();
    });
    connect(cancel, &QPushButton::clicked, this, [this] { Leave(); });
    connect(&ApplicationDevice()->DrvUpdateNotifierEvent, &SystemEvent::triggered, this, [this] {
        model_.DrivesChanged();
        render();
    });
}

void UnitBrowser::Init() {
    ApplicationDevice()->RefreshDrvs();
    model_.RefreshDrives();
    model_.SelectDrive(0);
    render();
}

bool UnitBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_->viewport()) return Page::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonPress) {
        pressRow_ = list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row();
        if (pressRow_ >= 0) hold_.start();
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        // A release after the hold fired belongs to the hold.
        if (hold_.isActive()) {
            hold_.stop();
            tap(pressRow_);
        }
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) return true;
    return Page::eventFilter(watched, event);
}

void UnitBrowser::tap(int row) {
    if (row < 0 || size_t(row) >= model_.Items().size()) return;
    UiSound_Tap();
    if (model_.SelectionMode()) {
        if (model_.Clipboard() == BrowserModel::Clip::None) model_.Toggle(row);
    } else if (row == model_.Highlight() && model_.Items()[size_t(row)].IsDir) {
        model_.Enter(model_.Items()[size_t(row)].Name); // a second tap opens a folder
    } else {
        model_.SetHighlight(row);
    }
    render();
    showPreview();
}

void UnitBrowser::held() {
    if (model_.SelectionMode() || pressRow_ < 0) return;
    UiSound_Tap();
    model_.EnterSelection();
    model_.Toggle(pressRow_);
    render();
}

void UnitBrowser::showPreview() {
    preview_->clear();
    const int h = model_.Highlight();
    if (h < 0 || !BrowserModel::IsImage(model_.Items()[size_t(h)].Name)) return;
    int tooWide = 0, tooHigh = 0;
    const QImage img =
        EwLoadExternBitmap(model_.Folder() + "/" + model_.Items()[size_t(h)].Name,
                           [&](int32_t w, int32_t hgt) { tooWide = w, tooHigh = hgt; });
    if (tooWide || tooHigh)
        ShowImageTooLarge(tooWide, tooHigh);
    else if (!img.isNull())
        preview_->setPixmap(QPixmap::fromImage(
            img.scaled(preview_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void UnitBrowser::ShowImageTooLarge(int width, int height) {
    model_.SetHighlight(-1);
    render();
    showMessage("Error", QString("The image is too large. (%1 x %2)\n\n Max resolution is 4096 x "
                                 "4096.")
                             .arg(width)
                             .arg(height));
}

void UnitBrowser::render() {
    rendering_ = true;
    renderDrives();
    path_->setText(model_.PathLabel());
    list_->clear();
    const bool selecting = model_.SelectionMode();
    for (const BrowserModel::Item& it : model_.Items()) {
        auto* li = new QListWidgetItem((it.IsDir ? "\u25B8 " : "   ") + it.Name, list_);
        if (selecting) li->setCheckState(it.Selected ? Qt::Checked : Qt::Unchecked);
        li->setSizeHint(QSize(0, 56));
    }
    list_->setCurrentRow(model_.Highlight());
    if (model_.Highlight() < 0) preview_->clear();
    const bool pasting = model_.Clipboard() != BrowserModel::Clip::None;
    for (QPushButton* b : browseMenu_)
        b->setVisible(!selecting);
    for (QPushButton* b : selectMenu_)
        b->setVisible(selecting && !pasting);
    for (QPushButton* b : pasteMenu_)
        b->setVisible(pasting);
    selectAll_->setText(model_.AllSelected() ? "Deselect All" : "Select All");
    renderStorage();
    rendering_ = false;
}

void UnitBrowser::renderDrives() {
    drives_->clear();
    for (const BrowserModel::Drive& d : model_.Drives())
        drives_->addItem(d.Label, d.Root);
    drives_->setCurrentIndex(model_.CurrentDrive());
}

void UnitBrowser::renderStorage() {
    const UnitStorageUsageData d = ApplicationDevice()->GetStorageUsage(model_.StoragePath());
    storage_->setText(
        d.UsedGB.isNull()
            ? QString()
            : QString("%1 GB / %2 GB   %3 %").arg(d.UsedGB, d.TotalGB, d.UsedPercent));
    storageBar_->setRange(0, qMax(1, d.TotalMB.toInt()));
    storageBar_->setValue(d.UsedMB.toInt());
}

void UnitBrowser::closeDialog() {
    Navigator::DismissModal(dialog_);
}

void UnitBrowser::showMessage(const QString& title, const QString& text) {
    closeDialog();
    auto* box = new UnitMessageBox;
    box->SetTitle(title);
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { closeDialog(); });
    dialog_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void UnitBrowser::report(int rc) {
    if (rc != 0) showMessage("Error", BrowserModel::ErrorText(rc));
}

// New folder (no `from`) or rename of `from`; the prompt stays open behind an error.
void UnitBrowser::askName(const QString& title, const QString& proposal, const QString& from) {
    closeDialog();
    auto* pad = new UnitTextKeypad(title, proposal);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { closeDialog(); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad, from] {
        const QString name = pad->Text();
        if (name.isEmpty() || name == from) return closeDialog();
        if (QString err = model_.CheckName(name); !err.isEmpty()) {
            auto* box = new UnitMessageBox;
            box->SetTitle("Error");
            box->SetText(err);
            auto handle = std::make_shared<ModalHandle>();
            connect(box, &UnitMessageBox::closed, this,
                    [handle] { Navigator::DismissModal(*handle); });
            *handle = Navigator::PresentModal(this, box, Transition::Fade);
            return;
        }
        closeDialog();
        const int rc = from.isEmpty() ? model_.MakeFolder(name) : model_.Rename(from, name);
        render();
        report(rc);
    });
    dialog_ = Navigator::PresentModal(this, pad, Transition::Scale);
}

void UnitBrowser::confirmDelete() {
    closeDialog();
    auto* box = new UnitMessageBox;
    box->SetTitle("Confirmation");
    box->SetText("Delete ?");
    box->SetConfirm("OK");
    connect(box, &UnitMessageBox::closed, this, [this] { closeDialog(); });
    connect(box, &UnitMessageBox::confirmed, this, [this] {
        closeDialog();
        const int rc = model_.DeleteSelected();
        render();
        report(rc);
    });
    dialog_ = Navigator::PresentModal(this, box, Transition::Scale);
}
