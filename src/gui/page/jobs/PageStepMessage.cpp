#include "PageStepMessage.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitBrowser.h"
#include "UnitMessageBox.h"
#include "UnitStepMsgData.h"
#include "UnitTextKeypad.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

PageStepMessage::PageStepMessage(QWidget* parent) : StepPanel(parent) {
    setObjectName("PageStepMessage");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 0, 0, 0);
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(QString("Line %1").arg(i + 1), this), i, 0);
        lines_[i] = new QPushButton(this);
        lines_[i]->setObjectName(QString("msgLine%1").arg(i + 1));
        lines_[i]->setMinimumHeight(48);
        grid->addWidget(lines_[i], i, 1);
        connect(lines_[i], &QPushButton::clicked, this, [this, i] {
            UiSound_Tap();
            enterLine(i);
        });
    }
    grid->addWidget(new QLabel("Image", this), 3, 0);
    image_ = new QPushButton(this);
    image_->setObjectName("msgImage");
    image_->setMinimumHeight(48);
    grid->addWidget(image_, 3, 1);
    grid->setColumnStretch(1, 1);
    v->addLayout(grid);
    picture_ = new QLabel(this);
    picture_->setObjectName("msgPicture");
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setMinimumSize(320, 200);
    v->addWidget(picture_, 1);
    connect(image_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        chooseImage();
    });
}

void PageStepMessage::Load(int sdx) {
    sdx_ = sdx;
    std::unique_ptr<UnitStepMsgData> m(ApplicationDevice()->GetMsgData(sdx));
    const QString texts[3] = {m->Line1, m->Line2, m->Line3};
    for (int i = 0; i < 3; ++i)
        lines_[i]->setText(texts[i]);
    image_->setText(m->ImgFilename.isEmpty() ? QString("-") : m->ImgFilename);
    picture_->setPixmap(decoded_.Fit(m->ImgFilename, picture_->size()));
}

void PageStepMessage::enterLine(int line) {
    if (dialog_.Open() || sdx_ < 0) return;
    auto* pad = new UnitTextKeypad(QString("Line %1").arg(line + 1), lines_[line]->text());
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(dialog_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad, line] {
        const QString text = pad->Text();
        Navigator::DismissModal(dialog_);
        if (line == 0) ApplicationDevice()->SetMsgTextLine1(sdx_, text);
        if (line == 1) ApplicationDevice()->SetMsgTextLine2(sdx_, text);
        if (line == 2) ApplicationDevice()->SetMsgTextLine3(sdx_, text);
        Load(sdx_);
    });
    dialog_ = Navigator::PresentModal(host(), pad, Transition::Scale);
}

void PageStepMessage::chooseImage() {
    if (dialog_.Open() || sdx_ < 0) return;
    auto* browser = new UnitBrowser("./files/image", "internal storage");
    browser->Model().SetPick(BrowserModel::Pick::File, {"jpg", "jpeg", "png"});
    connect(browser, &UnitBrowser::chosen, this, [this](const QString& path) {
        Navigator::DismissModal(dialog_);
        if (!StepPicture::Storable(path)) return showError(StepPicture::TooLongText);
        ApplicationDevice()->SetMsgImgFilename(sdx_, path);
        Load(sdx_);
    });
    // A refusal shown from `chosen` is not the browser: it stays until it is closed.
    connect(browser, &Page::completed, this, [this, browser] {
        if (dialog_.dialog == browser) Navigator::DismissModal(dialog_);
    });
    dialog_ = Navigator::PresentModal(host(), browser, Transition::Scale);
    browser->Init();
}

void PageStepMessage::showError(const QString& text) {
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("msgStepError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(dialog_); });
    dialog_ = Navigator::PresentModal(host(), box, Transition::Fade);
}
