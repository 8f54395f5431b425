// One editing panel of the step editor: shows step `sdx` of the loaded job and writes
// its fields back. Panels that write each change at once have nothing left to save.
#pragma once

#include "Navigator.h"

#include <QWidget>

class StepPanel : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    ~StepPanel() override { Navigator::DismissModal(dialog_); }
    virtual void Load(int sdx) = 0;
    virtual void Save() {}
    int Sdx() const { return sdx_; }
    // The panel's open entry dialog or picker (tests), null when none.
    QWidget* Dialog() const { return dialog_.dialog.data(); }

  protected:
    // Dialogs dim the whole screen, not only the panel.
    QWidget* host() { return window(); }
    int sdx_ = -1;
    ModalHandle dialog_;
};
