#include "UnitErrorCodeList.h"

#include "ErrorCodes.h"
#include "ResultFormat.h"
#include "UiSound.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

UnitErrorCodeList::UnitErrorCodeList(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitErrorCodeList");
    setProperty("role", "dialog");
    setFixedSize(1000, 640);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(28, 20, 28, 20);
    auto* title = new QLabel("Error code", this);
    title->setProperty("role", "title");
    v->addWidget(title);
    table_ = new QTableWidget(ErrorCodes::Count(), 2, this);
    table_->setObjectName("errorCodeTable");
    table_->setHorizontalHeaderLabels({"Code", "Description"});
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(44);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table_->setColumnWidth(0, 110);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setStyleSheet(ResultFormat::TableStyle());
    const ErrorCodes::Entry* e = ErrorCodes::Table();
    for (int i = 0; i < ErrorCodes::Count(); ++i) {
        auto* code = new QTableWidgetItem("E" + QString::number(e[i].Code));
        code->setTextAlignment(Qt::AlignCenter);
        table_->setItem(i, 0, code);
        table_->setItem(i, 1, new QTableWidgetItem(ErrorCodes::Text(e[i].Code)));
    }
    v->addWidget(table_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("errorCodeClose");
    close->setMinimumWidth(180);
    row->addWidget(close);
    v->addLayout(row);
    connect(close, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit closed();
    });
}
