#include "PageDebug.h"

#include "ApplicationDeviceClass.h"
#include "DebugLogModel.h"
#include "PageDebugSetting.h"
#include "UiSound.h"
#include "UnitEwDebugLog.h"
#include "UnitMessageBox.h"

#include "page/Screens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

PageDebug* PageDebug::Instance() {
    return qobject_cast<PageDebug*>(Screens::Find(ScreenId::Debug));
}

void PageDebug::Init() {
    open_ = true;
    ApplicationDevice()->OnSetDebugPageOpen(true);
}

PageDebug::PageDebug(QWidget* parent) : Page(parent) {
    setObjectName("PageDebug");
    // Laid over the current screen at opacity 150: the screen shows through dimly.
    setStyleSheet("PageDebug { background: rgba(12, 15, 18, 150); }");
    model_ = new DebugLogModel(this);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 52, 24, 20);
    v->setSpacing(12);
    // The toolbar is solid so its controls stay legible over any screen.
    auto* bar = new QFrame(this);
    bar->setObjectName("debugBar");
    bar->setStyleSheet("QFrame#debugBar { background: #1d242b; border: 2px solid #3a4754;"
                       " border-radius: 10px; }");
    auto* top = new QHBoxLayout(bar);
    top->setContentsMargins(16, 8, 8, 8);
    auto* title = new QLabel("Debug log", this);
    title->setProperty("role", "title");
    count_ = new QLabel(this);
    count_->setObjectName("debugCount");
    count_->setProperty("role", "muted");
    top->addWidget(title);
    top->addSpacing(20);
    top->addWidget(count_);
    top->addStretch(1);
    auto button = [&](const char* name, const char* text, const char* role = nullptr) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setMinimumWidth(150);
        if (role) b->setProperty("role", role);
        top->addWidget(b);
        return b;
    };
    QPushButton* clear = button("debugClear", "Clear");
    QPushButton* settings = button("debugSettings", "Settings");
    QPushButton* save = button("debugSave", "Save", "ok");
    QPushButton* close = button("debugClose", "Close", "danger");
    v->addWidget(bar);
    list_ = new QListView(this);
    list_->setObjectName("debugList");
    list_->setModel(model_);
    list_->setUniformItemSizes(true);
    list_->setStyleSheet("QListView::item { height: 30px; padding-left: 8px; }"
                         "QListView { background: rgba(0, 0, 0, 200); }");
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    v->addWidget(list_, 1);

    connect(clear, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        model_->Clear();
    });
    connect(settings, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        openSettings();
    });
    connect(save, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        AskSave();
    });
    connect(close, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, &PageDebug::updateCount);
    connect(model_, &QAbstractItemModel::modelReset, this, &PageDebug::updateCount);
    connect(&ApplicationDevice()->EwDebugEvent, &SystemEvent::triggered, this, &PageDebug::onLine);
    updateCount();
}

PageDebug::~PageDebug() {
    Navigator::DismissModal(dialog_);
    Navigator::DismissModal(settings_);
    // Destroyed without leaving (its host went away): it must stay possible to open anew.
    if (open_) ApplicationDevice()->OnSetDebugPageOpen(false);
}

void PageDebug::onLine(QObject* ctx) {
    auto* p = qobject_cast<UnitEwDebugLog*>(ctx);
    if (!p) return;
    model_->Append(p->Text);
    list_->scrollToBottom();
}

void PageDebug::updateCount() {
    count_->setText(QString("%1 / %2 lines").arg(model_->Count()).arg(DebugLogModel::Capacity));
}

UnitMessageBox* PageDebug::Dialog() const {
    return dialog_.As<UnitMessageBox>();
}

void PageDebug::AskSave() {
    if (dialog_.Open()) return;
    auto* box = new UnitMessageBox;
    box->SetTitle("Confirmation");
    box->SetText("Save?");
    box->SetConfirm("save");
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(dialog_); });
    connect(box, &UnitMessageBox::confirmed, this, [this, box] {
        box->SetConfirm(QString());
        box->SetTitle("Message");
        box->SetText("Please wait ...");
        box->SetCloseVisible(false);
        QTimer::singleShot(100, this, &PageDebug::Save);
    });
    dialog_ = Navigator::PresentModal(this, box, Transition::Scale);
}

void PageDebug::Save() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    UnitMessageBox* box = Dialog();
    bool saved = dev->DebugOpenFd() == 0;
    if (saved) {
        for (int i = 0; i < model_->Count(); ++i)
            dev->DebugWriteFd(model_->Line(i));
        saved = dev->DebugCloseFd() == 0;
    }
    if (box && saved) {
        box->SetText("Complete");
    } else if (box) {
        box->SetTitle("Error");
        box->SetText("Save fail");
    }
    if (box) box->SetCloseVisible(true);
}

void PageDebug::openSettings() {
    if (settings_.Open()) return;
    auto* dlg = new PageDebugSetting;
    connect(dlg, &PageDebugSetting::closed, this, [this] { Navigator::DismissModal(settings_); });
    settings_ = Navigator::PresentModal(this, dlg, Transition::Scale);
}

void PageDebug::Leave() {
    // Cleared now, not at deletion: a new page may open before this one is deleted.
    open_ = false;
    ApplicationDevice()->OnSetDebugPageOpen(false);
    Page::Leave();
}
