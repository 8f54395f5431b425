#include "UnitSelectJob.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

QString UnitSelectJob::RowText(const Row& r) {
    return QString("%1  %2  %3  %4")
        .arg(r.Jdx + 1, 4)
        .arg(r.Name.left(28), -28)
        .arg(r.Steps, 6)
        .arg(r.Screws, 7);
}

UnitSelectJob::UnitSelectJob(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitSelectJob");
    setProperty("role", "dialog");
    setFixedSize(900, 660);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(12);
    auto* title = new QLabel("Select job", this);
    title->setProperty("role", "title");
    auto* header = new QLabel(
        QString("%1  %2  %3  %4").arg("No", 4).arg("Name", -28).arg("Steps", 6).arg("Screws", 7),
        this);
    header->setObjectName("selectJobHeader");
    header->setStyleSheet(
        "font-family: 'DejaVu Sans Mono'; font-size: 20px; color: #9aa8b4; padding-left: 8px;");
    model_ = new ListModel<Row>([] { return ApplicationDevice()->GetJobsLen(); },
                                [](int i) {
                                    ApplicationDeviceClass* dev = ApplicationDevice();
                                    return Row{i, dev->GetJobNameJdx(i), dev->GetJobStepCountJdx(i),
                                               dev->GetJobTotalScrewJdx(i)};
                                },
                                [](const Row& r, int role) -> QVariant {
                                    if (role == Qt::DisplayRole) return RowText(r);
                                    if (role == Qt::SizeHintRole) return QSize(0, 60);
                                    return {};
                                },
                                this);
    view_ = new QListView(this);
    view_->setObjectName("selectJobList");
    view_->setModel(model_);
    view_->setUniformItemSizes(true);
    view_->setStyleSheet("font-size: 20px;");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* cancelButton = new QPushButton("Cancel", this);
    cancelButton->setObjectName("selectJobCancel");
    cancelButton->setProperty("role", "cancel");
    cancelButton->setMinimumWidth(200);
    row->addWidget(cancelButton);
    v->addWidget(title);
    v->addWidget(header);
    v->addWidget(view_, 1);
    v->addLayout(row);
    connect(view_, &QListView::clicked, this, [this](const QModelIndex& index) {
        UiSound_Tap();
        emit chosen(model_->At(index.row()).Jdx);
    });
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit cancel();
    });
    Reload();
}

void UnitSelectJob::Reload() {
    model_->Reload();
}

int UnitSelectJob::Count() const {
    return model_->rowCount();
}
