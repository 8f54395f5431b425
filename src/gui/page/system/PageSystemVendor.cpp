#include "PageSystemVendor.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitMessageBox.h"
#include "UnitTextKeypad.h"
#include "page/Screens.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PageSystemVendor::PageSystemVendor(QWidget* parent) : Page(parent) {
    setObjectName("PageSystemVendor");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 16, 32, 16);
    v->setSpacing(24);
    auto* title = new QLabel("Vendor", this);
    title->setProperty("role", "subtitle");
    v->addWidget(title);
    field_ = new QLineEdit(this);
    field_->setObjectName("PP_Serial");
    field_->setReadOnly(true);
    field_->setMaxLength(127); // what the vendor block keeps
    field_->installEventFilter(this);
    v->addWidget(field_);
    auto* touch = new QPushButton("Touch test", this);
    touch->setObjectName("vendorTouchTest");
    v->addWidget(touch, 0, Qt::AlignLeft);
    v->addStretch(1);
    connect(touch, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Screens::Open(ScreenId::TouchTest, window());
    });
    Refresh();
}

UnitTextKeypad* PageSystemVendor::Keypad() const {
    return keypad_.As<UnitTextKeypad>();
}

UnitMessageBox* PageSystemVendor::Message() const {
    return message_.As<UnitMessageBox>();
}

void PageSystemVendor::Refresh() {
    field_->setText(ApplicationDevice()->GetVendorInfo().Text);
}

bool PageSystemVendor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::MouseButtonRelease) {
        UiSound_Tap();
        edit();
        return true;
    }
    return Page::eventFilter(watched, event);
}

void PageSystemVendor::edit() {
    if (keypad_.Open()) return;
    auto* pad = new UnitTextKeypad("Vendor", field_->text());
    connect(pad, &UnitTextKeypad::ok, this, &PageSystemVendor::apply);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(keypad_); });
    keypad_ = Navigator::PresentModal(window(), pad, Transition::Scale);
}

void PageSystemVendor::apply() {
    UnitTextKeypad* pad = Keypad();
    if (!pad) return;
    const int32_t rc = ApplicationDevice()->SetVendorInfo({pad->Text()});
    Navigator::DismissModal(keypad_);
    Refresh();
    if (rc == 0 || message_.Open()) return;
    auto* box = new UnitMessageBox;
    box->SetTitle("Error");
    box->SetText("Failed to save.");
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(message_); });
    message_ = Navigator::PresentModal(window(), box, Transition::Scale);
}
