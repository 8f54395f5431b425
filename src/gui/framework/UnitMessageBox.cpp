#include "UnitMessageBox.h"

#include "Theme.h"
#include "UiSound.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

UnitMessageBox::UnitMessageBox(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitMessageBox");
    setProperty("role", "dialog");
    setFixedWidth(640);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(18);
    title_ = new QLabel(this);
    title_->setObjectName("msgTitle");
    title_->setProperty("role", "title");
    text_ = new QLabel(this);
    text_->setObjectName("msgText");
    text_->setWordWrap(true);
    text_->setMinimumHeight(90);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    text_->setStyleSheet("font-size: 22px;");
    v->addWidget(title_);
    v->addWidget(text_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    confirm_ = new QPushButton(this);
    confirm_->setObjectName("msgConfirm");
    confirm_->setProperty("role", "ok");
    confirm_->setMinimumWidth(180);
    confirm_->hide();
    close_ = new QPushButton("Close", this);
    close_->setObjectName("msgClose");
    close_->setMinimumWidth(180);
    row->addWidget(confirm_);
    row->addWidget(close_);
    v->addLayout(row);
    connect(confirm_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit confirmed();
    });
    connect(close_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit closed();
    });
    SetTitle("Message");
}

void UnitMessageBox::SetTitle(const QString& title) {
    title_->setText(title);
    title_->setStyleSheet(QString("color: %1;").arg(Theme::TitleColor(title).name()));
}

void UnitMessageBox::SetText(const QString& text) {
    text_->setText(text);
}
QString UnitMessageBox::Title() const {
    return title_->text();
}
QString UnitMessageBox::Text() const {
    return text_->text();
}

void UnitMessageBox::SetConfirm(const QString& choice) {
    confirm_->setText(choice);
    confirm_->setVisible(!choice.isEmpty());
    close_->setText(choice.isEmpty() ? "Close" : "Cancel");
}

void UnitMessageBox::SetCloseText(const QString& text) {
    close_->setText(text);
}
void UnitMessageBox::SetCloseVisible(bool visible) {
    close_->setVisible(visible);
}
