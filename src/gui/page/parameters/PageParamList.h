// The base of the parameter tabs built from the map: a preset choice where the tab has
// one, the lines (`UnitParamWrapper`) and the refresh that reads the tab's block and its
// limits and configures every line from that one read. Preset buttons are named
// "<prefix>Preset<p>".
#pragma once

#include "PageTabs.h"
#include "ParamBlock.h"
#include "ParamDevice.h"

#include <QList>

class QBoxLayout;
class QPushButton;
class UnitParamWrapper;

class PageParamList : public TabPage {
    Q_OBJECT
  public:
    explicit PageParamList(QWidget* parent = nullptr);
    void Shown() override { Reload(); }
    // Reads the tab's registers again and shows them.
    void Reload();
    int Preset() const { return preset_; }
    void SetPreset(int preset);
    const ParamBlock& Values() const { return block_; }

  protected:
    virtual ParameterMap::Block block() const = 0;
    // Configures the lines from block_ (every value invalid after a failed read).
    virtual void configure() = 0;
    QWidget* presetRow(const QString& prefix);
    UnitParamWrapper* line(QBoxLayout* into);

    ParamDevice port_;
    ParamBlock block_;

  private:
    int preset_ = 1;
    QList<QPushButton*> presets_;
};
