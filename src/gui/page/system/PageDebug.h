// The debug page: the log lines raised while it is open, with clear, save and the
// debug flag settings. Laid over the current screen; only one exists at a time.
#pragma once

#include "Navigator.h"
#include "Page.h"

class DebugLogModel;
class QLabel;
class QListView;
class UnitMessageBox;

class PageDebug : public Page {
    Q_OBJECT
  public:
    // Opens the page over `host` unless one is open; returns the open page.
    static PageDebug* Open(QWidget* host);
    static PageDebug* Instance();
    ~PageDebug() override;

    DebugLogModel* Model() const { return model_; }
    // The save steps (also pressed through the buttons).
    void AskSave();
    void Save();
    UnitMessageBox* Dialog() const;
    void Leave() override;

  private:
    explicit PageDebug(QWidget* parent);
    void onLine(QObject* ctx);
    void updateCount();
    void openSettings();
    DebugLogModel* model_;
    QListView* list_;
    QLabel* count_;
    ModalHandle dialog_;
    ModalHandle settings_;
};
