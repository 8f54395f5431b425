// The error tab of the monitor: the current tool's eight most recent error codes
// (registers 341 to 348) with their texts, read when the tab is shown, when the current
// tool changes and on "Refresh".
#pragma once

#include "ListModel.h"
#include "PageTabs.h"

class QLabel;
class QTableView;

class PageMonitorError : public TabPage {
    Q_OBJECT
  public:
    static constexpr int kFirstReg = 341;
    static constexpr int kCount = 8;
    struct Row {
        int Code; // 0: an empty line
    };
    explicit PageMonitorError(QWidget* parent = nullptr);
    void Shown() override;
    void Hidden() override;
    void Reload();
    ListModel<Row>* Model() const { return model_; }

  private:
    ListModel<Row>* model_;
    QTableView* view_;
    QLabel* notice_;
    QWidget* body_;
    bool read_ = false; // the last read succeeded
    QMetaObject::Connection currentTool_;
};
