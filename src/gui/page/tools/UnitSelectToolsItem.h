// One row of the pull-down tool panel (60 px): number, name, serial, type icon, model,
// link status, firmware, address, port, MAC, temperature, and the place of the parameter
// file buttons ("<row name>Save", "<row name>Load"). Pressing it signals `pressed`, its
// buttons `saveParams` and `loadParams`. Its labels are named "<row name><Field>".
#pragma once

#include "ToolRowFormat.h"

#include <QFrame>

class QLabel;
class QPushButton;
struct UnitToolInfo;

class UnitSelectToolsItem : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kHeight = 60;
    enum Field { No, Name, Serial, Model, Status, Version, Address, Port, Mac, Temp, FieldCount };

    UnitSelectToolsItem(int tdx, QWidget* parent = nullptr);
    void Fill(const UnitToolInfo& info);
    void SetTemperature(const QString& text);
    void SetCurrent(bool current);
    // The parameter file buttons: shown or not, and usable (a connected tool) or not.
    void SetParamButtons(bool shown, bool usable);
    QString Text(Field f) const;
    ToolRowFormat::LinkStatus Link() const { return status_; }
    int Tdx() const { return tdx_; }

  signals:
    void pressed(int tdx);
    void saveParams(int tdx);
    void loadParams(int tdx);

  protected:
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    int tdx_;
    ToolRowFormat::LinkStatus status_ = ToolRowFormat::Disconnected;
    QLabel* icon_;
    QLabel* fields_[FieldCount];
    QPushButton* save_;
    QPushButton* load_;
};
