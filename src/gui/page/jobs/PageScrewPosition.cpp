#include "PageScrewPosition.h"

#include "ApplicationDeviceClass.h"
#include "ExternImage.h"
#include "StepPicture.h"
#include "UiSound.h"
#include "UnitBrowser.h"
#include "UnitMessageBox.h"
#include "UnitPosTunner.h"
#include "UnitStepFastenData.h"
#include "UnitTextKeypad.h"
#include "page/operation/ScreenResults.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const componentNames[3] = {"Red", "Green", "Blue"};
const char* const paintTexts[3] = {"Pending", "OK", "NG"};
} // namespace

PageScrewPosition::PageScrewPosition(QWidget* parent) : Page(parent) {
    ScreenResults::Attach(this); // results are logged while it is open
    setObjectName("PageScrewPosition");
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 12, 12, 12);
    h->setSpacing(12);
    tunner_ = new UnitPosTunner(this);
    h->addWidget(tunner_, 1);

    auto* side = new QVBoxLayout;
    side->setSpacing(6);
    h->addLayout(side);
    auto* title = new QLabel("Screw position", this);
    title->setProperty("role", "title");
    side->addWidget(title);
    count_ = new QLabel(this);
    count_->setObjectName("posCount");
    side->addWidget(count_);
    side->addWidget(button("posPicture", "Picture"));

    auto* g = new QGridLayout;
    g->setSpacing(6);
    side->addLayout(g);
    append_ = button("posAppend", "Append");
    insert_ = button("posInsert", "Insert");
    append_->setCheckable(true);
    insert_->setCheckable(true);
    g->addWidget(append_, 0, 0);
    g->addWidget(insert_, 0, 1);
    g->addWidget(button("posDelete", "Delete"), 0, 2);
    g->addWidget(button("posUp", "\u25B2"), 1, 1);
    g->addWidget(button("posLeft", "\u25C0"), 2, 0);
    g->addWidget(button("posRight", "\u25B6"), 2, 2);
    g->addWidget(button("posDown", "\u25BC"), 3, 1);

    auto stepper = [&](const char* caption, const char* down, const char* up, QLabel** value) {
        auto* row = new QHBoxLayout;
        auto* l = new QLabel(caption, this);
        l->setProperty("role", "muted");
        row->addWidget(l, 1);
        row->addWidget(button(down, "-", 44));
        *value = new QLabel(this);
        (*value)->setObjectName(QString(down).chopped(4) + "Value");
        (*value)->setAlignment(Qt::AlignCenter);
        (*value)->setMinimumWidth(48);
        row->addWidget(*value);
        row->addWidget(button(up, "+", 44));
        side->addLayout(row);
    };
    stepper("Radius", "posRadiusDown", "posRadiusUp", &radius_);
    stepper("Line width", "posWidthDown", "posWidthUp", &width_);

    auto* paints = new QHBoxLayout;
    const char* paintNames[3] = {"posPending", "posOk", "posNg"};
    for (int i = 0; i < 3; ++i) {
        paints_[i] = button(paintNames[i], paintTexts[i], 44);
        paints_[i]->setCheckable(true);
        paints->addWidget(paints_[i]);
    }
    side->addLayout(paints);
    auto* rgb = new QHBoxLayout;
    const char* componentObjects[3] = {"posRed", "posGreen", "posBlue"};
    for (int i = 0; i < 3; ++i) {
        components_[i] = button(componentObjects[i], "", 44);
        rgb->addWidget(components_[i]);
    }
    side->addLayout(rgb);
    side->addStretch(1);
    auto* end = new QHBoxLayout;
    QPushButton* saveButton = button("posSave", "Save");
    saveButton->setProperty("role", "ok");
    QPushButton* cancelButton = button("posCancel", "Cancel");
    cancelButton->setProperty("role", "cancel");
    end->addWidget(saveButton);
    end->addWidget(cancelButton);
    side->addLayout(end);

    ScrewLayout* layout = &tunner_->Layout();
    auto on = [this](const char* name, auto fn) {
        connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, [this, fn] {
            UiSound_Tap();
            fn();
            render();
        });
    };
    on("posPicture", [this] {
        auto* b = new UnitBrowser(QDir("files/image").exists() ? "./files/image" : "./files");
        b->Model().SetPick(BrowserModel::Pick::File, {"jpg", "jpeg", "png"});
        connect(b, &UnitBrowser::chosen, this, [this](const QString& p) { loadPicture(p, true); });
        browser_ = Navigator::PushModal(this, b, Transition::Scale);
    });
    on("posAppend", [this] {
        tunner_->SetMode(append_->isChecked() ? UnitPosTunner::Mode::Append
                                              : UnitPosTunner::Mode::Select);
    });
    on("posInsert", [this] {
        tunner_->SetMode(insert_->isChecked() ? UnitPosTunner::Mode::Insert
                                              : UnitPosTunner::Mode::Select);
    });
    on("posDelete", [this, layout] {
        if (layout->Delete()) countChanged();
    });
    on("posUp", [layout] { layout->MoveBy(0, -1); });
    on("posDown", [layout] { layout->MoveBy(0, 1); });
    on("posLeft", [layout] { layout->MoveBy(-1, 0); });
    on("posRight", [layout] { layout->MoveBy(1, 0); });
    on("posRadiusDown", [layout] { layout->SetRadius(layout->Template().Radius - 1); });
    on("posRadiusUp", [layout] { layout->SetRadius(layout->Template().Radius + 1); });
    on("posWidthDown", [layout] { layout->SetWidth(layout->Template().Width - 1); });
    on("posWidthUp", [layout] { layout->SetWidth(layout->Template().Width + 1); });
    for (int i = 0; i < 3; ++i) {
        on(paintNames[i], [this, i] { paint_ = ScrewLayout::Paint(i); });
        on(componentObjects[i], [this, i] { enterComponent(i); });
    }
    on("posSave", [this] { save(); });
    on("posCancel", [this] { cancel(); });
    connect(tunner_, &UnitPosTunner::added, this, &PageScrewPosition::countChanged);
    connect(tunner_, &UnitPosTunner::added, this, &PageScrewPosition::render);
    connect(tunner_, &UnitPosTunner::edited, this, &PageScrewPosition::render);
    render();
}

PageScrewPosition::~PageScrewPosition() {
    Navigator::DismissModal(error_);
    Navigator::DismissModal(keypad_);
    if (browser_) Navigator::Pop(browser_);
}

QPushButton* PageScrewPosition::button(const char* name, const QString& text, int height) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    b->setMinimumHeight(height);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QWidget* PageScrewPosition::Dialog() const {
    if (error_.Open()) return error_.dialog;
    if (keypad_.Open()) return keypad_.dialog;
    return browser_.data();
}

void PageScrewPosition::Edit(int sdx) {
    sdx_ = sdx;
    const UnitStepFastenData* d = ApplicationDevice()->GetFastenData(sdx);
    countAtOpen_ = d->NoScrews;
    // Every defined position in screw order; this editor never leaves gaps.
    std::vector<ScrewLayout::Circle> circles;
    for (const UnitScrewPosData* p : d->ScrewPos) {
        if (!p->Enabled) continue;
        ScrewLayout::Circle c;
        c.X = p->X;
        c.Y = p->Y;
        c.Radius = std::clamp(int(p->Radius), ScrewLayout::MinRadius, ScrewLayout::MaxRadius);
        c.Width = std::clamp(int(p->Width), ScrewLayout::MinWidth, ScrewLayout::MaxWidth);
        c.Colors[ScrewLayout::Pending] = p->PendingColor.rgb();
        c.Colors[ScrewLayout::Ok] = p->OkColor.rgb();
        c.Colors[ScrewLayout::Ng] = p->NgColor.rgb();
        circles.push_back(c);
    }
    tunner_->Layout().Load(circles);
    path_.clear();
    tunner_->SetPicture(QImage());
    if (d->ImgFlag && !d->ImgFilename.isEmpty()) loadPicture(d->ImgFilename, false);
    tunner_->SetMode(circles.empty() ? UnitPosTunner::Mode::Append : UnitPosTunner::Mode::Select);
    render();
}

void PageScrewPosition::loadPicture(const QString& path, bool tell) {
    if (tell && !StepPicture::Storable(path)) {
        showError(StepPicture::TooLongText);
        return;
    }
    QString tooLarge;
    const QImage img = EwLoadExternBitmap(path, [&tooLarge](int32_t w, int32_t h) {
        tooLarge = QString("The image is too large. (%1 x %2)\n\n Max resolution is 4096 x 4096.")
                       .arg(w)
                       .arg(h);
    });
    if (img.isNull()) {
        // A stored picture that is gone keeps its path: the positions still belong to it.
        if (!tell) path_ = path;
        showError(!tooLarge.isEmpty() ? tooLarge : "Can not load the image.");
        return;
    }
    path_ = path;
    tunner_->SetPicture(img);
    render();
}

void PageScrewPosition::showError(const QString& text) {
    if (error_.Open()) return;
    UiSound_Ng();
    auto* box = new UnitMessageBox;
    box->setObjectName("posError");
    box->SetTitle("Error");
    box->SetText(text);
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(error_); });
    error_ = Navigator::PresentModal(this, box, Transition::Fade);
}

void PageScrewPosition::countChanged() {
    // The step's count follows the circles, so the job screen counts what is drawn.
    ApplicationDevice()->SetFastenNoScrews(sdx_, tunner_->Layout().Count());
}

void PageScrewPosition::render() {
    const ScrewLayout& l = tunner_->Layout();
    count_->setText(QString("%1 / %2").arg(l.Count()).arg(ScrewLayout::MaxCircles));
    radius_->setText(QString::number(l.Template().Radius));
    width_->setText(QString::number(l.Template().Width));
    append_->setChecked(tunner_->GetMode() == UnitPosTunner::Mode::Append);
    insert_->setChecked(tunner_->GetMode() == UnitPosTunner::Mode::Insert);
    const QColor c = l.Template().Colors[paint_];
    const int values[3] = {c.red(), c.green(), c.blue()};
    for (int i = 0; i < 3; ++i) {
        paints_[i]->setChecked(i == paint_);
        components_[i]->setText(QString("%1 %2").arg(componentNames[i][0]).arg(values[i]));
    }
    paints_[paint_]->setStyleSheet(QString("border-color: %1;").arg(c.name()));
    for (int i = 0; i < 3; ++i)
        if (i != paint_) paints_[i]->setStyleSheet({});
    tunner_->Changed();
}

void PageScrewPosition::enterComponent(int component) {
    if (keypad_.Open()) return;
    const QColor c = tunner_->Layout().Template().Colors[paint_];
    const int value = component == 0 ? c.red() : component == 1 ? c.green() : c.blue();
    auto* pad = new UnitTextKeypad(
        QString("%1 colour - %2").arg(paintTexts[paint_]).arg(componentNames[component]),
        QString::number(value), nullptr, UnitKeypad::Numeric);
    connect(pad, &UnitTextKeypad::cancel, this, [this] { Navigator::DismissModal(keypad_); });
    connect(pad, &UnitTextKeypad::ok, this, [this, pad, component] {
        bool ok = false;
        const int v = pad->Text().trimmed().toInt(&ok);
        if (!ok || v < 0 || v > 255) {
            showError("Enter a number from 0 to 255.");
            return;
        }
        QColor now = tunner_->Layout().Template().Colors[paint_];
        if (component == 0)
            now.setRed(v);
        else if (component == 1)
            now.setGreen(v);
        else
            now.setBlue(v);
        tunner_->Layout().SetColor(paint_, now);
        Navigator::DismissModal(keypad_);
        render();
    });
    keypad_ = Navigator::PresentModal(this, pad, Transition::Scale);
}

void PageScrewPosition::save() {
    const ScrewLayout& l = tunner_->Layout();
    // A fastening step without a screw would be passed by the job without the tool ever
    // being unlocked: the editor stays until a position is placed (or Cancel).
    if (l.Count() == 0) {
        showError(NoScrewText);
        return;
    }
    auto* data = new UnitStepFastenData(this);
    data->ImgFilename = path_;
    for (int k = 0; k < UnitStepFastenData::kPositions; ++k) {
        UnitScrewPosData* p = data->ScrewPos[k];
        p->Enabled = k < l.Count();
        if (!p->Enabled) continue;
        const ScrewLayout::Circle& c = l.At(k);
        p->X = c.X;
        p->Y = c.Y;
        p->Radius = c.Radius;
        p->Width = c.Width;
        p->PendingColor = c.Colors[ScrewLayout::Pending];
        p->OkColor = c.Colors[ScrewLayout::Ok];
        p->NgColor = c.Colors[ScrewLayout::Ng];
    }
    // Without a picture the image flag stays as it was: a flag over an empty path would
    // make the job screen look for a file that is not there.
    if (!path_.isEmpty()) ApplicationDevice()->SetFastenImgFilename(sdx_, path_);
    ApplicationDevice()->SaveScrewPos(sdx_, data);
    delete data;
    Leave();
}

void PageScrewPosition::cancel() {
    // Appends and deletes wrote the count as they went; the positions stay as they were,
    // so the count goes back with them.
    if (ApplicationDevice()->GetFastenData(sdx_)->NoScrews != countAtOpen_)
        ApplicationDevice()->SetFastenNoScrews(sdx_, countAtOpen_);
    Leave();
}
