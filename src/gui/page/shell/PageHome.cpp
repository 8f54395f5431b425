#include "PageHome.h"

#include "ApplicationDeviceClass.h"
#include "ShellStartup.h"
#include "UiSound.h"
#include "UnitErrorPopup.h"
#include "UnitMenu.h"
#include "UnitPassword.h"
#include "UnitPlantCommand.h"
#include "page/Screens.h"
#include "page/operation/PlantCommands.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PageHome::PageHome(QWidget* parent) : Page(parent) {
    setObjectName("PageHome");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* header = new QWidget(this);
    header->setFixedHeight(110);
    auto* h = new QHBoxLayout(header);
    h->setContentsMargins(40, 20, 40, 4);
    auto* titles = new QVBoxLayout;
    auto* product = new QLabel("KEST  ZQC", header);
    product->setObjectName("homeTitle");
    product->setStyleSheet("font-size: 40px; font-weight: bold; letter-spacing: 2px;");
    auto* sub = new QLabel("Fastening cell controller", header);
    sub->setProperty("role", "subtitle");
    titles->addWidget(product);
    titles->addWidget(sub);
    h->addLayout(titles);
    h->addStretch(1);
    debugButton_ = new QPushButton("Debug log", header);
    debugButton_->setObjectName("btnDebug");
    connect(debugButton_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        PresentDebug();
    });
    level_ = new QLabel(header);
    level_->setObjectName("homeLevel");
    level_->setMinimumHeight(56);
    level_->setAlignment(Qt::AlignCenter);
    h->addWidget(debugButton_);
    h->addSpacing(16);
    h->addWidget(level_);
    v->addWidget(header);
    menuArea_ = new QWidget(this);
    menuArea_->installEventFilter(this);
    v->addWidget(menuArea_, 1);

    startup_ = new ShellStartup(this);
    new PlantCommands(this);
    ApplicationDeviceClass* dev = ApplicationDevice();
    // Results dropped before a plant system received them: said to whoever is at the panel.
    connect(&dev->PlantDroppedEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        if (auto* p = qobject_cast<UnitPlantCommand*>(ctx)) ShowMessage("Warning", p->Text);
    });
    connect(dev, &ApplicationDeviceClass::UserLevelChanged, this, &PageHome::refreshLevel);
    connect(dev, &ApplicationDeviceClass::OpmodeChanged, this, &PageHome::refreshTiles);
    dev->OnSetUserLevel(0);
    showMenu(false);
    refreshLevel();
}

PageHome::~PageHome() = default;

UnitErrorPopup* PageHome::MessageBox() const {
    return message_.As<UnitErrorPopup>();
}
UnitPassword* PageHome::Password() const {
    return password_.As<UnitPassword>();
}

void PageHome::showMenu(bool admin) {
    if (menu_) Navigator::Dismiss(menu_);
    admin_ = admin;
    QList<UnitMenu::Tile> tiles = Screens::MenuTiles(admin);
    UnitMenu* m = admin ? static_cast<UnitMenu*>(new UnitAdminMenu(tiles, menuArea_))
                        : static_cast<UnitMenu*>(new UnitGuestMenu(tiles, menuArea_));
    menu_ = m;
    connect(m, &UnitMenu::tilePressed, this,
            [this](const QString& title) { Screens::OpenTile(title, this); });
    refreshTiles();
    // The menu area has its final size only once laid out; the slide follows it.
    QRect area = menuArea_->rect();
    if (area.height() < 100) area = QRect(0, 0, 1280, 650);
    Navigator::Present(menuArea_, m, Transition::SlideLeft, area);
}

bool PageHome::eventFilter(QObject* o, QEvent* e) {
    if (o == menuArea_ && e->type() == QEvent::Resize && menu_)
        menu_->setGeometry(menuArea_->rect());
    return Page::eventFilter(o, e);
}

void PageHome::refreshTiles() {
    if (!menu_) return;
    for (const QString& title : menu_->Titles())
        menu_->SetTileEnabled(title, Screens::TileEnabled(title));
}

void PageHome::refreshLevel() {
    int level = ApplicationDevice()->OnGetUserLevel();
    static const char* names[] = {"Guest", "Administrator", "Service"};
    level_->setText(names[qBound(0, level, 2)]);
    level_->setStyleSheet(QString("font-size: 18px; font-weight: bold; padding: 0 22px;"
                                  "border-radius: 8px; background: %1;")
                              .arg(level == 0   ? "#3a4754"
                                   : level == 1 ? "#1f5f9e"
                                                : "#8a5a10"));
    debugButton_->setVisible(level == 2);
}

void PageHome::PresentOperation() {
    Screens::OpenTile("Operation", this);
}

void PageHome::PresentPassword() {
    if (password_.Open()) return;
    auto* pw = new UnitPassword;
    connect(pw, &UnitPassword::ok, this, &PageHome::passwordOk);
    connect(pw, &UnitPassword::cancel, this, [this] {
        UiSound_Tap();
        closePassword();
    });
    password_ = Navigator::PresentModal(this, pw, Transition::Scale);
}

void PageHome::closePassword() {
    Navigator::DismissModal(password_);
}

void PageHome::passwordOk() {
    UiSound_Tap();
    UnitPassword* pw = Password();
    if (!pw) return;
    QString text = pw->Text();
    int level = 0;
    if (text == ApplicationDevice()->GetSysPwd())
        level = 1;
    else if (text == ServicePassword)
        level = 2;
    if (level == 0) {
        pw->ClearText();
        UiSound_Ng();
        pw->ShowIncorrect();
        return;
    }
    closePassword();
    showMenu(true);
    ApplicationDevice()->OnSetUserLevel(level);
}

void PageHome::LogoutAsGuest() {
    showMenu(false);
    ApplicationDevice()->OnSetUserLevel(0);
}

void PageHome::PresentDebug() {
    Screens::Open(ScreenId::Debug, window());
}

bool PageHome::ShowMessage(const QString& title, const QString& text) {
    if (message_.Open()) return false;
    UiSound_Ng();
    auto* box = new UnitErrorPopup;
    box->SetTitle(title);
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(message_); });
    message_ = Navigator::PresentModal(this, box, Transition::Fade);
    return true;
}
