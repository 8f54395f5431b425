#include "PageTouchTest.h"

#include "UiSound.h"

#include <QLabel>
#include <QPushButton>

namespace {
constexpr int Side = 96;   // a finger's width and some
constexpr int Margin = 12; // close to the edge, where a misaligned screen misses first
const char* Idle = "background: #d94c3d; color: white; border-radius: 48px; font-size: 40px;";
const char* Done = "background: #3aa655; color: white; border-radius: 48px; font-size: 40px;";
} // namespace

PageTouchTest::PageTouchTest(QWidget* parent) : Page(parent) {
    setObjectName("PageTouchTest");
    setAutoFillBackground(true);
    resize(sizeHint());
    for (int i = 0; i < Targets; ++i) {
        auto* t = new QPushButton("+", this);
        t->setObjectName(QString("touchTarget%1").arg(i));
        t->setFixedSize(Side, Side);
        t->setStyleSheet(Idle);
        t->setProperty("touched", false);
        connect(t, &QPushButton::pressed, this, [this, i] { touch(i); });
        targets_.append(t);
    }
    hint_ = new QLabel(this);
    hint_->setObjectName("touchHint");
    hint_->setAlignment(Qt::AlignCenter);
    close_ = new QPushButton("Close", this);
    close_->setObjectName("touchClose");
    close_->setProperty("role", "cancel");
    connect(close_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
    hint_->setText(QString("Touch each target (%1 of %2)").arg(0).arg(Targets));
}

QSize PageTouchTest::sizeHint() const {
    return parentWidget() ? parentWidget()->size() : QSize(1280, 800);
}

int PageTouchTest::Touched() const {
    int n = 0;
    for (QPushButton* t : targets_)
        n += t->property("touched").toBool();
    return n;
}

void PageTouchTest::touch(int index) {
    QPushButton* t = targets_[index];
    if (t->property("touched").toBool()) return;
    t->setProperty("touched", true);
    t->setStyleSheet(Done);
    UiSound_Tap();
    const int n = Touched();
    hint_->setText(QString("Touch each target (%1 of %2)").arg(n).arg(Targets));
    if (n < Targets) return;
    UiSound_Ok();
    Leave();
}

void PageTouchTest::resizeEvent(QResizeEvent* event) {
    const int w = width(), h = height();
    const QPoint at[Targets] = {{Margin, Margin},
                                {w - Side - Margin, Margin},
                                {Margin, h - Side - Margin},
                                {w - Side - Margin, h - Side - Margin},
                                {(w - Side) / 2, (h - Side) / 2}};
    for (int i = 0; i < Targets; ++i)
        targets_[i]->move(at[i]);
    hint_->setGeometry(0, h / 2 - Side, w, 40);
    close_->adjustSize();
    close_->move((w - close_->width()) / 2, h - close_->height() - 2 * Margin);
    Page::resizeEvent(event);
}
