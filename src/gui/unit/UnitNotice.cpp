#include "UnitNotice.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>

UnitNotice::UnitNotice(QWidget* parent) : QLabel(parent) {
    setObjectName("UnitNotice");
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet("background: #27313b; border: 2px solid #f2a71b; border-radius: 14px;"
                  "font-size: 28px; font-weight: bold; padding: 24px;");
    effect_ = new QGraphicsOpacityEffect(this);
    effect_->setOpacity(0.0);
    setGraphicsEffect(effect_);
    fade_ = new QPropertyAnimation(effect_, "opacity", this);
    fade_->setDuration(FadeMs);
    fade_->setStartValue(1.0);
    fade_->setEndValue(0.0);
    fade_->setEasingCurve(QEasingCurve::InQuad);
    connect(fade_, &QPropertyAnimation::finished, this, &QWidget::hide);
    hide();
}

void UnitNotice::Show(const QString& text) {
    setText(text);
    if (QWidget* p = parentWidget()) {
        QSize s(qMin(640, p->width() - 40), 0);
        s.setHeight(qMax(140, heightForWidth(s.width())));
        QRect r(QPoint(0, 0), s);
        r.moveCenter(p->rect().center());
        setGeometry(r);
    }
    fade_->stop();
    effect_->setOpacity(1.0);
    show();
    raise();
    fade_->start();
}

bool UnitNotice::Showing() const {
    return isVisible();
}

double UnitNotice::Opacity() const {
    return effect_->opacity();
}
