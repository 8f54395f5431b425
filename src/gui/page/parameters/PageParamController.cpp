#include "PageParamController.h"

#include "ApplicationDeviceClass.h"
#include "UnitParamWrapper.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

PageParamController::PageParamController(QWidget* parent) : PageParamList(parent) {
    setObjectName("PageParamController");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("paramControllerScroll");
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* body = new QWidget;
    auto* columns = new QHBoxLayout(body);
    columns->setSpacing(24);
    QVBoxLayout* column[2] = {new QVBoxLayout, new QVBoxLayout};
    for (QVBoxLayout* c : column)
        c->setSpacing(4);
    const int n = int(ParameterMap::ToolSettings().size());
    for (int i = 0; i < n; ++i) {
        auto* w = line(column[i < (n + 1) / 2 ? 0 : 1]);
        lines_.append(w);
    }
    for (QVBoxLayout* c : column) {
        c->addStretch(1);
        columns->addLayout(c, 1);
    }
    scroll->setWidget(body);
    scroll->viewport()->setAutoFillBackground(false);
    body->setAutoFillBackground(false);
    v->addWidget(scroll, 1);
}

ParameterMap::Block PageParamController::block() const {
    return ParameterMap::ToolSettingsBlock();
}

void PageParamController::configure() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    const bool crowFoot = dev->GetToolType_ByTdx(dev->OnGetCurrTdx()) == 3;
    const ParameterMap::Block crow = ParameterMap::CrowFootBlock();
    if (!crowFoot || !block_.Valid() || !crowFoot_.Refresh(port_, crow)) crowFoot_.Clear();
    const QList<ParameterMap::Line> lines = ParameterMap::ToolSettings();
    for (int i = 0; i < lines.size(); ++i) {
        const int reg = lines[i].Reg;
        const bool isCrow = reg >= crow.First && reg < crow.First + crow.Count;
        lines_[i]->setVisible(!isCrow || crowFoot);
        lines_[i]->Configure(lines[i], isCrow ? crowFoot_.At(reg) : block_.At(reg));
    }
}
