// The job selection dialog: a modal list of every job (number, name, steps, screws) read
// from the job list, and a cancel button. Choosing a row only reports it; the opener loads.
#pragma once

#include "ListModel.h"

#include <QFrame>
#include <QString>

class QListView;

class UnitSelectJob : public QFrame {
    Q_OBJECT
  public:
    struct Row {
        int Jdx = -1;
        QString Name;
        int Steps = 0;
        int Screws = 0;
    };
    explicit UnitSelectJob(QWidget* parent = nullptr);
    // Re-reads the job list.
    void Reload();
    int Count() const;
    QListView* View() const { return view_; }
    static QString RowText(const Row& r);

  signals:
    void chosen(int jdx);
    void cancel();

  private:
    QListView* view_;
    ListModel<Row>* model_;
};
