// "Job Manager": the job list with new, copy, rename, delete, up, down, edit (opens the
// step editor on the loaded job) and the job barcode screen. The rules live in
// JobManager; this screen shows the list and the dialogs.
#pragma once

#include "JobManager.h"
#include "ListModel.h"
#include "Navigator.h"
#include "Page.h"

class QTableView;
class UnitMessageBox;
class UnitTextKeypad;

class PageJobManager : public Page, private JobManagerPort {
    Q_OBJECT
  public:
    struct Row {
        int Jdx;
        QString Name;
        int Steps, Screws;
    };
    enum { ColNo, ColName, ColSteps, ColScrews };

    explicit PageJobManager(QWidget* parent = nullptr);
    ~PageJobManager() override;
    void Init() override;

    JobManager& Manager() { return manager_; }
    QTableView* View() const { return view_; }
    ListModel<Row>* Model() const { return model_; }
    UnitMessageBox* ErrorDialog() const;
    UnitMessageBox* ConfirmDialog() const;
    UnitTextKeypad* Keypad() const;

  private:
    int Count() override;
    QString Name(int row) override;
    bool Exists(const QString& name) override;
    int Create(const QString& name) override;
    int Copy(int row, const QString& name) override;
    int Rename(int row, const QString& name) override;
    int Delete(int row) override;
    int MoveUp(int row) override;
    int MoveDown(int row) override;
    int Load(int row) override;
    void OpenEditor(int row) override;
    void OpenBarcode() override;
    void Error(const QString& text) override;
    void Entry(const QString& title, const QString& prompt, const QString& text,
               const QString& context) override;
    void Confirm(const QString& question, const QString& context) override;
    void ListChanged() override;

    JobManager manager_;
    ListModel<Row>* model_;
    QTableView* view_;
    ModalHandle error_;
    ModalHandle confirm_;
    ModalHandle keypad_;
};
