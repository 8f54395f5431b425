// "Select P2P type": save the controller data to an archive or load it back. The folder or
// file dialog chooses the archive, the processing notice stays until the network queue's
// worker raised "processing", and a load that succeeded offers the restart, after which
// only the restart notice stays (RestartNotice). A failed save or load says so and changes
// nothing. Screen registry row P2P (modal).
// Widgets: "p2pSave", "p2pLoad", "p2pClose"; its message boxes are Dialog().
#pragma once

#include "Navigator.h"
#include "Page.h"

class UnitMessageBox;

class PageP2P : public Page {
    Q_OBJECT
  public:
    explicit PageP2P(QWidget* parent = nullptr);
    ~PageP2P() override;
    // The processing notice or the result message (tests), null when none.
    UnitMessageBox* Dialog() const;

  private:
    void save();
    void load();
    void start(bool loading, const QString& path);
    void onProcessing();
    void showMessage(const QString& title, const QString& text, bool restart);
    QWidget* host() const;

    ModalHandle dialog_;
    enum class Busy { None, Saving, Loading, Restarting } busy_ = Busy::None;
};
