// The "Contoller" tab: the tool settings (238 to 266, 355 to 359) with their selector
// dialogs, in two scrolled columns; the crow foot lines only for a type 3 tool.
#pragma once

#include "PageParamList.h"

class PageParamController : public PageParamList {
    Q_OBJECT
  public:
    explicit PageParamController(QWidget* parent = nullptr);

  private:
    ParameterMap::Block block() const override;
    void configure() override;
    QList<UnitParamWrapper*> lines_;
    ParamBlock crowFoot_;
};
