// The step editor: the loaded job's steps beside the editing panel of the selected step,
// and the buttons that add, copy, delete, rename, move, save or drop them. The rules live
// in StepEditor; this screen shows the list, the panels and the dialogs.
#pragma once

#include "ApplicationDeviceClass.h"
#include "ListModel.h"
#include "Navigator.h"
#include "Page.h"
#include "StepEditor.h"

class QLabel;
class QStackedWidget;
class QTableView;
class StepPanel;
class UnitMessageBox;

class PageStepEditor : public Page, private StepEditorPort {
    Q_OBJECT
  public:
    struct Row {
        int Sdx;
        QString Name;
        int Type;
    };
    explicit PageStepEditor(QWidget* parent = nullptr);
    ~PageStepEditor() override;
    // Opened after the job manager loaded job `jdx`.
    Q_INVOKABLE void Edit(int jdx);

    StepEditor& Editor() { return editor_; }
    ListModel<Row>* Model() const { return model_; }
    StepPanel* Panel(int type) const; // the panel of a step type
    StepPanel* VisiblePanel() const;  // null while no step is selected
    UnitMessageBox* Dialog() const;   // the open confirmation or message, null when none
    static QString TypeText(int type);

  private:
    int StepCount() override;
    int AddStep(int type) override;
    int CopyStep(int sdx) override;
    int DeleteStep(int sdx) override;
    int MoveStepUp(int sdx) override;
    int MoveStepDown(int sdx) override;
    QString StepName(int sdx) override;
    int RenameStep(int sdx, const QString& name) override;
    int SaveJob() override;
    void FreeJob() override;
    void SavePanel() override;
    QString StepProblem(int sdx) override;
    void ShowStep(int sdx) override;
    void Error(const QString& text) override;
    void Confirm(const QString& question, const QString& context) override;
    void AskName(const QString& current) override;
    void Close() override;

    StepEditor editor_;
    int jdx_ = -1;
    ListModel<Row>* model_;
    QTableView* view_;
    QLabel* title_;
    QLabel* unknown_; // the page shown without a panel: no step, or one of unknown type
    QStackedWidget* panels_;
    StepPanel* typePanels_[ApplicationDeviceClass::StepTypeCount] = {};
    ModalHandle dialog_; // one confirmation, message or name entry at a time
};
