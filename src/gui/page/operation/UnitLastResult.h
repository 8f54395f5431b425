// The last-result panel of the operation screen without a job: status in its colour,
// tool name, preset, converted torque with the tool's unit, speed and fastening time.
#pragma once

#include "fasten_result.h"

#include <QFrame>

class QLabel;

class UnitLastResult : public QFrame {
    Q_OBJECT
  public:
    explicit UnitLastResult(QWidget* parent = nullptr);
    void Show(const QString& toolName, const FastenResult& r, const QString& unit);
    void Clear();
    QString StatusText() const;
    QString ToolText() const;
    QString TorqueText() const;

  private:
    QLabel* status_;
    QLabel* tool_;
    QLabel* preset_;
    QLabel* torque_;
    QLabel* speed_;
    QLabel* time_;
};
