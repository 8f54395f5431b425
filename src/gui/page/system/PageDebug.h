// The debug page: the log lines raised while it is open, with clear, save and the
// debug flag settings. Laid over the current screen (screen registry row Debug).
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
    explicit PageDebug(QWidget* parent = nullptr);
    ~PageDebug() override;
    // The open debug page, or nullptr.
    static PageDebug* Instance();
    void Init() override;

    DebugLogModel* Model() const { return model_; }
    // The save steps (also pressed through the buttons).
    void AskSave();
    void Save();
    UnitMessageBox* Dialog() const;
    void Leave() override;

  private:
    void onLine(QObject* ctx);
    void updateCount();
    void openSettings();
    DebugLogModel* model_;
    QListView* list_;
    QLabel* count_;
    ModalHandle dialog_;
    ModalHandle settings_;
    bool open_ = false; // DebugPageOpen set by this page and not cleared yet
};
