#include "PageParamAdvanced.h"

#include "UnitParamWrapper.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

PageParamAdvanced::PageParamAdvanced(QWidget* parent) : PageParamList(parent) {
    setObjectName("PageParamAdvanced");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    v->addWidget(presetRow("advanced"));
    auto* columns = new QHBoxLayout;
    columns->setSpacing(24);
    QVBoxLayout* column[2] = {new QVBoxLayout, new QVBoxLayout};
    const QList<ParameterMap::Group> groups = ParameterMap::AdvancedGroups(1);
    for (QVBoxLayout* c : column)
        c->setSpacing(4);
    for (int g = 0; g < groups.size(); ++g) {
        QVBoxLayout* c = column[g / 2]; // A and B left, C and D right
        auto* title = new QLabel(groups[g].Title, this);
        title->setObjectName(QString("advancedGroup%1").arg(g));
        title->setStyleSheet("font-size: 19px; font-weight: bold; color: #2f8fe8;");
        c->addWidget(title);
        for (int i = 0; i < groups[g].Lines.size(); ++i)
            lines_.append(line(c));
    }
    for (QVBoxLayout* c : column) {
        c->addStretch(1);
        columns->addLayout(c, 1);
    }
    v->addLayout(columns, 1);
}

ParameterMap::Block PageParamAdvanced::block() const {
    return ParameterMap::AdvancedBlock(Preset());
}

void PageParamAdvanced::configure() {
    int i = 0;
    for (const ParameterMap::Group& g : ParameterMap::AdvancedGroups(Preset()))
        for (const ParameterMap::Line& l : g.Lines)
            lines_[i++]->Configure(l, block_.At(l.Reg));
}
