// The remote tool tab: run and stop, preset, direction, lock, alarm reset and parameter
// initialisation of the current tool. The rules live in RemoteTool; this tab shows its
// state, the notices of the controller families and the dialogs.
#pragma once

#include "Navigator.h"
#include "PageTabs.h"
#include "RemoteTool.h"

class QLabel;
class QPushButton;
class UnitMessageBox;

class PageRemoteTool : public TabPage, private RemoteToolPort {
    Q_OBJECT
  public:
    explicit PageRemoteTool(QWidget* parent = nullptr);
    ~PageRemoteTool() override;
    void Shown() override;
    void Hidden() override;
    RemoteTool& State() { return state_; }
    UnitMessageBox* ErrorDialog() const;
    UnitMessageBox* ConfirmDialog() const;

  private:
    int CurrTdx() override;
    bool Connected() override;
    int ToolType() override;
    int Read(int addr, int count) override;
    int Data(int addr) override;
    int Write(int addr, int value) override;
    void ToolLost(int tdx) override;
    void Error(const QString& text) override;
    void Confirm(const QString& question, const QString& context) override;
    void Changed() override;

    QPushButton* button(const QString& name, const QString& text, std::function<void()> f);

    RemoteTool state_;
    QLabel* notice_;
    QWidget* controls_;
    QLabel* tool_;
    QPushButton* run_;
    QList<QPushButton*> presets_;
    QList<QPushButton*> directions_;
    QList<QPushButton*> locks_;
    ModalHandle error_;
    ModalHandle confirm_;
    QMetaObject::Connection currentTool_;
};
