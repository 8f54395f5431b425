// "Edit member tools": the registered tools and the discovered ones in two lists,
// register, release and rename. The rules live in ToolListEditor; this screen shows the
// lists (re-read on the registry events) and the dialogs.
#pragma once

#include "ListModel.h"
#include "Navigator.h"
#include "Page.h"
#include "ToolListEditor.h"

class QLabel;
class QTableView;
class UnitMessageBox;
class UnitTextKeypad;

class PageEditToolList : public Page, private ToolListPort {
    Q_OBJECT
  public:
    struct RegRow {
        int Tdx;
        QString Name, Serial, Model;
    };
    struct DiscoRow {
        int Index;
        QString Serial, Model;
    };
    // Columns of the registered list; the name column opens the rename keypad.
    enum { ColNo, ColName, ColSerial, ColModel };

    explicit PageEditToolList(QWidget* parent = nullptr);
    ~PageEditToolList() override;
    void Init() override;

    ToolListEditor& Editor() { return editor_; }
    QTableView* RegisteredView() const { return regView_; }
    QTableView* DiscoveredView() const { return discoView_; }
    ListModel<RegRow>* RegisteredModel() const { return regModel_; }
    ListModel<DiscoRow>* DiscoveredModel() const { return discoModel_; }
    UnitMessageBox* ErrorDialog() const;
    UnitMessageBox* ConfirmDialog() const;
    UnitTextKeypad* Keypad() const;

  private:
    int RegCount() override;
    int DiscoCount() override;
    QString DiscoMac(int index) override;
    int FindRegByName(const QString& name) override;
    int Register(int index) override;
    int Release(int tdx) override;
    int Rename(int tdx, const QString& name) override;
    int CurrTdx() override;
    void SetCurrTdx(int tdx) override;
    void Error(const QString& text) override;
    void ConfirmRelease() override;
    void ListsChanged() override;

    void reloadRegistered();
    void reloadDiscovered();
    void openRename(int tdx);
    QTableView* makeView(const char* name, QAbstractItemModel* model);

    ToolListEditor editor_;
    ListModel<RegRow>* regModel_;
    ListModel<DiscoRow>* discoModel_;
    QTableView* regView_;
    QTableView* discoView_;
    QLabel* regCount_;
    QLabel* discoCount_;
    ModalHandle error_;
    ModalHandle confirm_;
    ModalHandle keypad_;
    int renaming_ = -1;
};
