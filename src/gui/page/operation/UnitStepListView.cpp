#include "UnitStepListView.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

UnitStepListView::UnitStepListView(const char* name, const QString& title, QWidget* parent)
    : QFrame(parent) {
    setObjectName(name);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 16, 24, 16);
    auto* t = new QLabel(title, this);
    t->setProperty("role", "title");
    caption_ = new QLabel(this);
    caption_->setObjectName(QString(name) + "Caption");
    caption_->setStyleSheet("font-size: 26px;");
    list_ = new QListWidget(this);
    list_->setObjectName(QString(name) + "Lines");
    list_->setStyleSheet("font-size: 22px;");
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    v->addWidget(t);
    v->addWidget(caption_);
    v->addWidget(list_, 1);
}

void UnitStepListView::SetCaption(const QString& text) {
    caption_->setText(text);
}
QString UnitStepListView::Caption() const {
    return caption_->text();
}

void UnitStepListView::SetLines(const QStringList& lines) {
    lines_ = lines;
    list_->clear();
    list_->addItems(lines);
}
