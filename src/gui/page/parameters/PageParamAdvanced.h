// The "Advanced" tab: the chosen preset's advanced block in its four groups.
#pragma once

#include "PageParamList.h"

class PageParamAdvanced : public PageParamList {
    Q_OBJECT
  public:
    explicit PageParamAdvanced(QWidget* parent = nullptr);

  private:
    ParameterMap::Block block() const override;
    void configure() override;
    QList<UnitParamWrapper*> lines_;
};
