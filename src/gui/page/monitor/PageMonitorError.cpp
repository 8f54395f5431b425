#include "PageMonitorError.h"

#include "ApplicationDeviceClass.h"
#include "ToolErrorTexts.h"
#include "UiSound.h"
#include "page/operation/ResultFormat.h"
#include "page/tools/ToolNotice.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

PageMonitorError::PageMonitorError(QWidget* parent) : TabPage(parent) {
    setObjectName("PageMonitorError");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(12, 8, 12, 8);
    notice_ = ToolNotice::Label(this, "monitorErrorNotice");
    v->addWidget(notice_, 1);
    body_ = new QWidget(this);
    v->addWidget(body_, 1);
    auto* b = new QVBoxLayout(body_);
    b->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel("- Displays up to 8 recent errors.", body_));
    bar->addStretch(1);
    auto* refresh = new QPushButton("Refresh", body_);
    refresh->setObjectName("monitorErrorRefresh");
    refresh->setMinimumWidth(160);
    bar->addWidget(refresh);
    b->addLayout(bar);
    model_ = new ListModel<Row>(
        [this] { return read_ ? kCount : 0; },
        [](int i) { return Row{ApplicationDevice()->MbusGetData(kFirstReg + i)}; },
        {"Code", "Description"},
        [](const Row& r, int column, int role) -> QVariant {
            if (role != Qt::DisplayRole || r.Code == 0) return {};
            return column == 0 ? "E" + QString::number(r.Code) : ToolErrorTexts::Text(r.Code);
        },
        this);
    view_ = new QTableView(body_);
    view_->setObjectName("monitorErrorList");
    view_->setModel(model_);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(52);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->setColumnWidth(0, 140);
    view_->setSelectionMode(QAbstractItemView::NoSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setFocusPolicy(Qt::NoFocus);
    view_->setStyleSheet(ResultFormat::TableStyle());
    b->addWidget(view_, 1);
    connect(refresh, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Reload();
    });
}

void PageMonitorError::Shown() {
    currentTool_ = connect(ApplicationDevice(), &ApplicationDeviceClass::CurrTdxChanged, this,
                           &PageMonitorError::Reload);
    Reload();
}

void PageMonitorError::Hidden() {
    disconnect(currentTool_);
}

void PageMonitorError::Reload() {
    const int tdx = ApplicationDevice()->OnGetCurrTdx();
    const int type = ApplicationDevice()->GetToolType_ByTdx(tdx);
    const QString notice = ToolNotice::For(tdx, type);
    ToolNotice::Show(notice_, body_, notice);
    // A failed read shows no line rather than codes of an earlier read.
    read_ = notice.isEmpty() && ApplicationDevice()->MbusRead(kFirstReg, kCount) == 0;
    model_->Reload();
    view_->setColumnWidth(0, 140);
}
