#include "RestartNotice.h"

#include "ApplicationDeviceClass.h"
#include "Navigator.h"
#include "UiSound.h"
#include "UnitMessageBox.h"

UnitMessageBox* RestartNotice::Restart(QWidget* host) {
    auto* box = new UnitMessageBox;
    box->setObjectName("restartNotice");
    box->SetTitle("Message");
    box->SetText(Text);
    box->SetCloseVisible(false);
    // Never dismissed: it goes with the window when the program ends.
    Navigator::PresentModal(host->window(), box, Transition::Scale);
    // No console key may reach a button under it.
    box->setFocus();
    if (ApplicationDevice()->SystemRestart() != 0) {
        box->SetTitle("Error");
        box->SetText(FailedText);
        UiSound_Ng();
    }
    return box;
}
