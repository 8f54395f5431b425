// The tool choice of a fastening step: one button per registered tool ("selectTool<i>")
// and "selectToolCancel"; a press hands back the tool's registered name.
#pragma once

#include <QFrame>

class UnitSelectFastenTool : public QFrame {
    Q_OBJECT
  public:
    explicit UnitSelectFastenTool(const QString& current, QWidget* parent = nullptr);

  signals:
    void chosen(const QString& name);
    void cancel();
};
