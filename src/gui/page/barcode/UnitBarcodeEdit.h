// The editor of one barcode table row: the code typed on the keypad with its compared
// part chosen by touching characters, and the row's target: a job chosen from the job
// list (job table) or a preset with the choice to add the row to every tool's table
// (preset tables). OK hands the row to the opener, which stores it and closes the editor.
#pragma once

#include "BarcodeList.h"
#include "Navigator.h"

#include <QFrame>
#include <QList>

class QLabel;
class QPushButton;
class UnitCodeRange;
class UnitSelectJob;

class UnitBarcodeEdit : public QFrame {
    Q_OBJECT
  public:
    enum Target { Job, Preset };
    // `row` -1 for a new row.
    UnitBarcodeEdit(Target target, int row, const BarcodeRow& data, QWidget* parent = nullptr);
    ~UnitBarcodeEdit() override;
    int Row() const { return row_; }
    // The row as entered; the part is kept only when one was chosen.
    BarcodeRow Entered() const;
    bool AllTools() const;
    void SetCode(const QString& code);
    QString Title() const;
    UnitSelectJob* JobList() const;

  signals:
    void ok();
    void cancel();

  private:
    QPushButton* button(const QString& name, const QString& text, QWidget* parent);
    void choosePreset(int preset);
    void openJobList();

    Target target_;
    int row_;
    QLabel* title_;
    UnitCodeRange* range_;
    QLabel* job_ = nullptr;
    QList<QPushButton*> presets_;
    QPushButton* all_ = nullptr;
    QString jobName_;
    int preset_ = -1;
    ModalHandle jobList_;
};
