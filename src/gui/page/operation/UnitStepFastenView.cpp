#include "UnitStepFastenView.h"

#include "Theme.h"

#include <QGridLayout>
#include <QLabel>

namespace {
QLabel* field(QWidget* parent, const char* name, const char* style) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setStyleSheet(style);
    return l;
}
QString colourOf(UnitStepFastenView::Tone t) {
    return t == UnitStepFastenView::Ok   ? Theme::Ok.name()
           : t == UnitStepFastenView::Ng ? Theme::Ng.name()
                                         : Theme::Text.name();
}
// Restyling re-polishes a label, and every result refreshes the view: only a changed
// style is set.
void restyle(QLabel* l, const QString& css) {
    if (l->styleSheet() != css) l->setStyleSheet(css);
}
} // namespace

UnitStepFastenView::UnitStepFastenView(QWidget* parent) : QFrame(parent) {
    setObjectName("UnitStepFastenView");
    auto* g = new QGridLayout(this);
    g->setContentsMargins(24, 16, 24, 16);
    g->setVerticalSpacing(10);
    auto* toolCaption = new QLabel("Tool", this);
    toolCaption->setProperty("role", "muted");
    auto* codeCaption = new QLabel("Barcode", this);
    codeCaption->setProperty("role", "muted");
    tool_ = field(this, "fastenTool", "font-size: 28px; font-weight: bold;");
    barcode_ = field(this, "fastenBarcode", "font-size: 24px; font-family: 'DejaVu Sans Mono';");
    counter_ = field(this, "fastenCounter", "font-size: 120px; font-weight: bold;");
    counter_->setAlignment(Qt::AlignCenter);
    result_ = field(this, "fastenResult", "font-size: 34px; font-weight: bold;");
    result_->setAlignment(Qt::AlignCenter);
    error_ = field(this, "fastenError", "font-size: 20px; color: #e23d3d;");
    error_->setWordWrap(true);
    error_->setAlignment(Qt::AlignCenter);
    sign_l_ = field(this, "fastenSign", "");
    sign_l_->setAlignment(Qt::AlignCenter);
    sign_l_->setFixedSize(150, 110);
    g->addWidget(toolCaption, 0, 0);
    g->addWidget(tool_, 0, 1);
    g->addWidget(codeCaption, 1, 0);
    g->addWidget(barcode_, 1, 1);
    g->addWidget(counter_, 2, 0, 1, 2);
    g->addWidget(sign_l_, 3, 0, 1, 2, Qt::AlignCenter);
    g->addWidget(result_, 4, 0, 1, 2);
    g->addWidget(error_, 5, 0, 1, 2);
    g->setRowStretch(2, 1);
    g->setColumnStretch(1, 1);
    SetSign(Neutral);
    SetResult("", Neutral);
}

void UnitStepFastenView::SetTool(const QString& text) {
    tool_->setText(text);
}
void UnitStepFastenView::SetBarcode(const QString& text) {
    barcode_->setText(text);
}
void UnitStepFastenView::SetCounter(const QString& text) {
    counter_->setText(text);
}
void UnitStepFastenView::SetResult(const QString& text, Tone tone) {
    tone_ = tone;
    result_->setText(text);
    restyle(result_, QString("font-size: 34px; font-weight: bold; color: %1;").arg(colourOf(tone)));
}
void UnitStepFastenView::SetError(const QString& text) {
    error_->setText(text);
}
void UnitStepFastenView::SetSign(Tone sign) {
    sign_ = sign;
    sign_l_->setText(sign == Ok ? "OK" : sign == Ng ? "NG" : "");
    restyle(sign_l_, sign == Neutral ? QString("border: 3px dashed #3a4754; border-radius: 16px;")
                                     : QString("font-size: 64px; font-weight: bold; color: #12161a;"
                                               "background: %1; border-radius: 16px;")
                                           .arg(colourOf(sign)));
}

QString UnitStepFastenView::Tool() const {
    return tool_->text();
}
QString UnitStepFastenView::Barcode() const {
    return barcode_->text();
}
QString UnitStepFastenView::Counter() const {
    return counter_->text();
}
QString UnitStepFastenView::Result() const {
    return result_->text();
}
QString UnitStepFastenView::Error() const {
    return error_->text();
}
