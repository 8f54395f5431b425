// "Software upgrade": choose a ".dmk" program file with the storage browser, confirm it,
// and the device object replaces the program (checked, copied whole, the old one kept as
// zqcapp.prev). A progress bar then runs to 100 and the restart is offered; any failure
// shows "Failed to upgrade.\n\nPlease retry." with the program unchanged. Screen registry
// row SwUpgrade (modal).
// Widgets: "swFileButton", "swFileField", "swUpgrade", "swClose", "swProgress"; its
// browser, confirmation and message boxes are Dialog().
#pragma once

#include "Navigator.h"
#include "Page.h"

#include <QTimer>

class QLabel;
class QProgressBar;

class PageSwUpgrade : public Page {
    Q_OBJECT
  public:
    // One progress step every StepMs (tests shorten it).
    static int StepMs;
    explicit PageSwUpgrade(QWidget* parent = nullptr);
    ~PageSwUpgrade() override;
    QWidget* Dialog() const { return dialog_.dialog.data(); }
    QString File() const { return file_; }

  private:
    void chooseFile();
    void upgrade();
    void install();
    void step();
    void showMessage(const QString& title, const QString& text, bool restart = false);
    void closeDialog();
    QWidget* host() const { return window(); }

    QString file_;
    QLabel* fileField_;
    QProgressBar* progress_;
    QTimer timer_;
    ModalHandle dialog_;
};
