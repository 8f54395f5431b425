#include "UnitStepDelayView.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

QString UnitStepDelayView::FormatRemaining(int remainingMs, int durationMs) {
    return QString::number(remainingMs / 1000.0, 'f', durationMs < 1000 ? 3 : 1);
}

UnitStepDelayView::UnitStepDelayView(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitStepDelayView");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 16, 24, 16);
    title_ = new QLabel(this);
    title_->setObjectName("delayTitle");
    title_->setProperty("role", "title");
    remaining_ = new QLabel(this);
    remaining_->setObjectName("delayRemaining");
    remaining_->setAlignment(Qt::AlignCenter);
    remaining_->setStyleSheet(
        "font-size: 120px; font-weight: bold; font-family: 'DejaVu Sans Mono';");
    lines_ = new QLabel(this);
    lines_->setObjectName("delayLines");
    lines_->setAlignment(Qt::AlignCenter);
    lines_->setWordWrap(true);
    lines_->setTextFormat(Qt::RichText);
    lines_->setStyleSheet("font-size: 34px; font-weight: bold;");
    confirm_ = new QPushButton("OK", this);
    confirm_->setObjectName("delayConfirm");
    confirm_->setProperty("role", "ok");
    confirm_->setMinimumSize(260, 80);
    v->addWidget(title_);
    v->addStretch(1);
    v->addWidget(remaining_);
    v->addWidget(lines_);
    v->addStretch(1);
    v->addWidget(confirm_, 0, Qt::AlignCenter);
    countdown_ = new QVariantAnimation(this);
    countdown_->setEasingCurve(QEasingCurve::Linear);
    connect(countdown_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        remaining_->setText(FormatRemaining(v.toInt(), duration_));
    });
    connect(countdown_, &QVariantAnimation::finished, this, &UnitStepDelayView::finished);
    // The end of the delay plays the tap.
    connect(confirm_, &QPushButton::clicked, this, &UnitStepDelayView::confirmed);
    hideModes();
}

void UnitStepDelayView::hideModes() {
    remaining_->hide();
    lines_->hide();
    confirm_->hide();
}

void UnitStepDelayView::SetTitle(const QString& title) {
    title_->setText(title);
}

void UnitStepDelayView::StartCountdown(int ms) {
    countdown_->stop();
    hideModes();
    remaining_->show();
    duration_ = ms;
    countdown_->setDuration(ms);
    countdown_->setStartValue(ms);
    countdown_->setEndValue(0);
    remaining_->setText(FormatRemaining(ms, ms));
    countdown_->start();
}

void UnitStepDelayView::StopCountdown() {
    countdown_->stop();
}

bool UnitStepDelayView::CountingDown() const {
    return countdown_->state() == QAbstractAnimation::Running;
}

void UnitStepDelayView::SetRemainingText(const QString& text) {
    countdown_->stop();
    hideModes();
    remaining_->show();
    remaining_->setText(text);
}

void UnitStepDelayView::ShowConfirm(const QString& l1, const QString& l2, const QString& l3) {
    countdown_->stop();
    hideModes();
    lines_->setText(
        QStringList{l1.toHtmlEscaped(), l2.toHtmlEscaped(), l3.toHtmlEscaped()}.join("<br>"));
    lines_->show();
    confirm_->show();
}

void UnitStepDelayView::ShowBarcode(const QString& code, int start, int end) {
    countdown_->stop();
    hideModes();
    QString html = code.toHtmlEscaped();
    if (start > 0 && end >= start && start <= code.size()) {
        const int from = start - 1, n = qMin(end, int(code.size())) - from;
        html = code.left(from).toHtmlEscaped() +
               "<span style='color:#12161a; background:#f2a71b;'>" +
               code.mid(from, n).toHtmlEscaped() + "</span>" + code.mid(from + n).toHtmlEscaped();
    }
    lines_->setText(html);
    lines_->show();
}

QString UnitStepDelayView::Title() const {
    return title_->text();
}
QString UnitStepDelayView::Remaining() const {
    return remaining_->text();
}
QString UnitStepDelayView::Lines() const {
    return lines_->text();
}
