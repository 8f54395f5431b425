#include "PageStepFastening.h"

#include "ApplicationDeviceClass.h"
#include "Page.h"
#include "UiSound.h"
#include "UnitSelectFastenTool.h"
#include "UnitStepFastenData.h"
#include "UnitTextKeypad.h"
#include "page/Screens.h"

#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

QString PageStepFastening::PresetText(int index) {
    if (index == 15) return "Multi Sequence-A";
    if (index == 16) return "Multi Sequence-B";
    return index >= 0 && index < 15 ? "P" + QString::number(index + 1) : QString();
}

int PageStepFastening::ParseScrews(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= 1 && n <= kMaxScrews ? n : -1;
}

PageStepFastening::PageStepFastening(QWidget* parent) : StepPanel(parent) {
    setObjectName("PageStepFastening");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 0, 0, 0);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    auto caption = [&](int row, const char* text) {
        grid->addWidget(new QLabel(text, this), row, 0);
    };
    auto button = [&](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        b->setMinimumHeight(48);
        return b;
    };
    caption(0, "Tool");
    tool_ = button("fastenTool");
    grid->addWidget(tool_, 0, 1, 1, 3);
    caption(1, "Preset");
    QPushButton* down = button("fastenPresetDown");
    down->setText("<");
    preset_ = new QLabel(this);
    preset_->setObjectName("fastenPreset");
    preset_->setAlignment(Qt::AlignCenter);
    QPushButton* up = button("fastenPresetUp");
    up->setText(">");
    grid->addWidget(down, 1, 1);
    grid->addWidget(preset_, 1, 2);
    grid->addWidget(up, 1, 3);
    caption(2, "Screws");
    screws_ = button("fastenScrews");
    grid->addWidget(screws_, 2, 1, 1, 3);
    QPushButton* positions = button("fastenPositions");
    positions->setText("Screw positions");
    grid->addWidget(positions, 3, 1, 1, 3);
    grid->setColumnStretch(2, 1);
    v->addLayout(grid);
    picture_ = new QLabel(this);
    picture_->setObjectName("fastenPicture");
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setMinimumSize(320, 200);
    v->addWidget(picture_, 1);

    connect(tool_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        chooseTool();
    });
    connect(down, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        stepPreset(-1);
    });
    connect(up, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        stepPreset(1);
    });
    connect(screws_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        enterScrews();
    });
    connect(positions, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        openPositions();
    });
}

void PageStepFastening::Load(int sdx) {
    sdx_ = sdx;
    const UnitStepFastenData* f = ApplicationDevice()->GetFastenData(sdx);
    tool_->setText(f->ToolName.isEmpty() ? QString("-") : f->ToolName);
    presetNo_ = f->PresetNo;
    preset_->setText(PresetText(presetNo_));
    screws_->setText(QString::number(f->NoScrews));
    const QPixmap shown =
        decoded_.Fit(f->ImgFlag == 1 ? f->ImgFilename : QString(), picture_->size());
    picture_->setPixmap(shown);
    if (shown.isNull()) picture_->setText(f->ImgFlag == 1 ? f->ImgFilename : QString());
}

void PageStepFastening::chooseTool() {
    if (dialog_.Open() || sdx_ < 0) return;
    auto* select = new UnitSelectFastenTool(tool_->text());
    connect(select, &UnitSelectFastenTool::cancel, this,
            [this] { Navigator::DismissModal(dialog_); });
    connect(select, &UnitSelectFastenTool::chosen, this, [this](const QString& name) {
        Navigator::DismissModal(dialog_);
        ApplicationDevice()->SetFastenToolName(sdx_, name);
        Load(sdx_);
    });
    dialog_ = Navigator::PresentModal(host(), select, Transition::Scale);
}

void PageStepFastening::stepPreset(int delta) {
    if (sdx_ < 0) return;
    const int next = (presetNo_ + delta + kPresets) % kPresets;
    if (ApplicationDevice()->SetFastenPresetNo(sdx_, next) == 0) Load(sdx_);
}

void PageStepFastening::enterScrews() {
    if (dialog_.Open() || sdx_ < 0) return;
    auto* pad = new UnitTextKeypad("Number of screws (1 - 99)", screws_->text(), nullptr,
                                   UnitKeypad::Numeric);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(dialog_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad] {
        const int n = ParseScrews(pad->Text());
        if (n < 0) return; // out of range: the entry stays open
        Navigator::DismissModal(dialog_);
        ApplicationDevice()->SetFastenNoScrews(sdx_, n);
        Load(sdx_);
    });
    dialog_ = Navigator::PresentModal(host(), pad, Transition::Scale);
}

void PageStepFastening::openPositions() {
    if (sdx_ < 0) return;
    Page* page = Screens::Open(ScreenId::ScrewPosition, host());
    if (!page) return;
    QMetaObject::invokeMethod(page, "Edit", Q_ARG(int, sdx_));
    // Placing circles changes the screw count and the picture.
    connect(page, &QObject::destroyed, this, [self = QPointer<PageStepFastening>(this)] {
        if (self && self->sdx_ >= 0) self->Load(self->sdx_);
    });
}
