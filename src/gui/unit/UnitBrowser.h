// The file manager dialog over BrowserModel: drive selector, path, listing, storage figures,
// the menus of browsing, selection and paste, and OK / Cancel. Every screen that picks a
// folder or a file opens it; OK emits `chosen` with the path, Cancel emits nothing. A file
// picker with an accepted suffix (BrowserModel::SetAccept) refuses any other file at OK
// with "Invalid file." and stays open.
// Widgets: "browserDrive", "browserUp", "browserPath", "browserList", "browserStorage",
// "browserStorageBar", "browserPreview", "browserNewFolder", "browserRename",
// "browserSelect", "browserSelectAll", "browserCopy", "browserMove", "browserDelete",
// "browserSelectCancel", "browserPaste", "browserPasteCancel", "browserOk", "browserCancel".
#pragma once

#include "BrowserModel.h"
#include "Navigator.h"
#include "Page.h"

#include <QImage>
#include <QTimer>

class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class UnitMessageBox;

class UnitBrowser : public Page {
    Q_OBJECT
  public:
    // How long an item is held before selection mode starts.
    static constexpr int HoldMs = 500;
    // The look of the storage gauges (also on the storage status tab).
    static const char* const GaugeStyle;
    explicit UnitBrowser(const QString& root = "./files", const QString& label = "internal storage",
                         QWidget* parent = nullptr);
    BrowserModel& Model() { return model_; }
    void Init() override;
    // The open prompt or message (tests), null when none.
    QWidget* Dialog() const { return dialog_.dialog.data(); }
    // The image loader refused a picture: tells the operator and clears the highlight.
    void ShowImageTooLarge(int width, int height);

  signals:
    void chosen(const QString& path);

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    QPushButton* button(const char* name, const QString& text);
    void render();
    void renderDrives();
    void renderStorage();
    void tap(int row);
    void held();
    void showPreview();
    void showMessage(const QString& title, const QString& text);
    void askName(const QString& title, const QString& proposal, const QString& from);
    void confirmDelete();
    void report(int rc);
    void closeDialog();

    BrowserModel model_;
    QComboBox* drives_;
    QLabel* path_;
    QListWidget* list_;
    QLabel* storage_;
    QProgressBar* storageBar_;
    QLabel* preview_;
    QList<QPushButton*> browseMenu_, selectMenu_, pasteMenu_;
    QPushButton* selectAll_;
    QTimer hold_;
    int pressRow_ = -1;
    bool rendering_ = false;
    ModalHandle dialog_;
};
