#include "PageP2P_Dialog.h"

#include "UiSound.h"
#include "UnitBrowser.h"
#include "UnitMessageBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PageP2P_Dialog::PageP2P_Dialog(const QString& title, QWidget* parent)
    : QFrame(parent), host_(parent) {
    setProperty("role", "dialog");
    setFixedWidth(820);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(18);
    auto* t = new QLabel(title, this);
    t->setObjectName("p2pTitle");
    t->setProperty("role", "title");
    v->addWidget(t);
    form_ = new QGridLayout;
    form_->setHorizontalSpacing(12);
    form_->setVerticalSpacing(12);
    form_->setColumnStretch(1, 1);
    v->addLayout(form_);
    v->addStretch(1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("p2pOk");
    ok->setProperty("role", "ok");
    auto* no = new QPushButton("Cancel", this);
    no->setObjectName("p2pCancel");
    no->setProperty("role", "cancel");
    for (QPushButton* b : {ok, no}) {
        b->setMinimumSize(180, 56);
        row->addWidget(b);
    }
    v->addLayout(row);
    connect(ok, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        if (!done_) confirm();
    });
    connect(no, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        if (!done_) cancel();
    });
}

PageP2P_Dialog::~PageP2P_Dialog() {
    Navigator::DismissModal(dialog_);
}

void PageP2P_Dialog::present() {
    if (host_) self_ = Navigator::PresentModal(host_, this, Transition::Scale);
}

void PageP2P_Dialog::addRow(const QString& label, QWidget* field) {
    const int r = form_->rowCount();
    auto* l = new QLabel(label, this);
    // The labels line up by their own blanks, as the operator knows them.
    l->setStyleSheet("font-family: monospace; font-size: 22px;");
    form_->addWidget(l, r, 0);
    form_->addWidget(field, r, 1);
}

QPushButton* PageP2P_Dialog::fieldButton(const char* name) {
    auto* b = new QPushButton(this);
    b->setObjectName(name);
    b->setMinimumHeight(56);
    b->setStyleSheet("text-align: left; padding: 0 12px;");
    return b;
}

void PageP2P_Dialog::openBrowser(UnitBrowser* browser, std::function<void(const QString&)> chosen) {
    closeDialog();
    connect(browser, &UnitBrowser::chosen, this, [this, chosen](const QString& path) {
        closeDialog();
        chosen(path);
    });
    connect(browser, &Page::completed, this, [this] { closeDialog(); });
    showDialog(browser);
    browser->Init();
}

void PageP2P_Dialog::showError(const QString& text) {
    closeDialog();
    auto* box = new UnitMessageBox;
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { closeDialog(); });
    UiSound_Ng();
    showDialog(box, Transition::Fade);
}

void PageP2P_Dialog::showDialog(QWidget* dialog, Transition t) {
    closeDialog();
    dialog_ = Navigator::PresentModal(host_ ? host_ : this, dialog, t);
}

void PageP2P_Dialog::closeDialog() {
    Navigator::DismissModal(dialog_);
}

void PageP2P_Dialog::finish(const std::function<void()>& answer) {
    done_ = true;
    closeDialog();
    answer();
    if (self_.Open())
        Navigator::DismissModal(self_);
    else
        deleteLater();
}
