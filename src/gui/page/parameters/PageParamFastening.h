// The "Fastening" tab: the chosen preset's fastening block, offsets 1 to 10 on the left and
// 11 to 15 on the right, titled by the block's "Type" ("TC/AM" or "AC/TM", shown in
// "paramTypeName").
#pragma once

#include "PageParamList.h"

class QLabel;

class PageParamFastening : public PageParamList {
    Q_OBJECT
  public:
    explicit PageParamFastening(QWidget* parent = nullptr);

  private:
    ParameterMap::Block block() const override;
    void configure() override;
    QList<UnitParamWrapper*> left_, right_;
    QLabel* type_;
};
