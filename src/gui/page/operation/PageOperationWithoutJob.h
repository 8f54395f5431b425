// The operation screen without a job: every connected tool fastens freely; the last result
// in a panel, all results since the last clear in a table whose columns the log settings
// choose. The run state lives in FreeRun; this screen shows it and forwards its events.
#pragma once

#include "FreeRun.h"
#include "FreeRunDevice.h"
#include "Navigator.h"
#include "Page.h"
#include "StoredPrompt.h"

#include <QTimer>

class FetTableModel;
class QTableView;
class UnitLastResult;
class UnitMessageBox;
class UnitNotice;
class UnitStoredResults;

class PageOperationWithoutJob : public Page, private FreeRunDevice {
    Q_OBJECT
  public:
    static constexpr int kScreenCode = 3;
    static constexpr int kSeqWidth = 90;
    static constexpr int kLongStatusWidth = 110;

    explicit PageOperationWithoutJob(QWidget* parent = nullptr);
    ~PageOperationWithoutJob() override;
    void Init() override;
    void Leave() override;

    FreeRun& Run() { return run_; }
    FetTableModel* Model() const { return model_; }
    QTableView* Table() const { return table_; }
    UnitLastResult* LastResult() const { return last_; }
    UnitNotice* NoticeWidget() const { return notice_; }
    UnitMessageBox* MessageDialog() const;
    UnitMessageBox* ConfirmDialog() const;
    UnitStoredResults* StoredDialog() const;
    // Columns from the log settings, widths shared out over the table.
    void BuildColumns();

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    // ---- the screen's side of FreeRunPort ----
    void StartTimer(FreeTimer id, int ms) override;
    void ShowLast(int tdx, const FastenResult& r) override;
    void ClearLast() override;
    void TableChanged() override;
    void Notice(const std::string& text) override;
    void Message(const std::string& title, const std::string& text) override;
    void Confirm(const std::string& question, const std::string& context) override;
    void LeaveScreen() override;
    bool StoredOpen() override;
    void StoredShow() override;
    void StoredRefresh(int tdx) override;
    void StoredProgress(int tdx, int collected) override;
    void StoredClose() override;

    void connectEvents();
    void layoutColumns();
    void showErrorCodes();

    FreeRun run_;
    FetTableModel* model_;
    QTableView* table_;
    UnitLastResult* last_;
    UnitNotice* notice_;
    QTimer promptTimer_;
    QTimer trayTimer_;
    ModalHandle message_;
    ModalHandle confirm_;
    ModalHandle errorList_;
    StoredPrompt* prompt_;
    bool shown_ = false; // the screen code is ours
};
