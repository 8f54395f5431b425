#include "PageParamFastening.h"

#include "UnitParamWrapper.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

PageParamFastening::PageParamFastening(QWidget* parent) : PageParamList(parent) {
    setObjectName("PageParamFastening");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    auto* top = new QHBoxLayout;
    top->addWidget(presetRow("fasten"), 1);
    type_ = new QLabel(this);
    type_->setObjectName("paramTypeName");
    type_->setStyleSheet("font-size: 22px; font-weight: bold; color: #2f8fe8;");
    top->addWidget(type_);
    v->addLayout(top);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(24);
    auto* l = new QVBoxLayout;
    auto* r = new QVBoxLayout;
    l->setSpacing(4);
    r->setSpacing(4);
    for (int i = 0; i < 10; ++i)
        left_.append(line(l));
    for (int i = 0; i < 5; ++i)
        right_.append(line(r));
    l->addStretch(1);
    r->addStretch(1);
    columns->addLayout(l, 1);
    columns->addLayout(r, 1);
    v->addLayout(columns, 1);
}

ParameterMap::Block PageParamFastening::block() const {
    return ParameterMap::FasteningBlock(Preset());
}

void PageParamFastening::configure() {
    const ParamValue type = block_.At(ParameterMap::FasteningReg(Preset(), 1));
    const int t = type.Valid ? type.Value : 0;
    type_->setText(type.Valid ? ParameterMap::TypeName(t) : QString("-"));
    const QList<ParameterMap::Line> left = ParameterMap::FasteningLeft(Preset(), t);
    const QList<ParameterMap::Line> right = ParameterMap::FasteningRight(Preset(), t);
    for (int i = 0; i < left_.size(); ++i)
        left_[i]->Configure(left[i], block_.At(left[i].Reg));
    for (int i = 0; i < right_.size(); ++i)
        right_[i]->Configure(right[i], block_.At(right[i].Reg));
}
