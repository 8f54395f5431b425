// The stored-results dialog over a ResultTaker's collector: opened over a host with the
// pending counts, its rows and bars kept as the collector has them, the operator's choice
// handed back. Shared by every screen that collects stored results.
#pragma once

#include "Navigator.h"

#include <QObject>

class ResultTaker;
class UnitStoredResults;

class StoredPrompt : public QObject {
    Q_OBJECT
  public:
    explicit StoredPrompt(ResultTaker& taker, QObject* parent = nullptr);
    ~StoredPrompt() override;

    bool IsOpen() const { return handle_.Open(); }
    UnitStoredResults* Dialog() const;
    void Show(QWidget* host);
    // Rows re-read, a bar for every tool being collected; confirm enabled again when a
    // tool came back with stored results the operator may now choose.
    void Refresh();
    // Told before the collector counts the result (it may close the dialog then).
    void Progress(int tdx, int collected);
    void Close();

  signals:
    void leave(); // the dialog's leave button; the dialog is closed already

  private:
    ResultTaker& taker_;
    ModalHandle handle_;
};
