// The confirmation dialog of the working screens: title "Confirmation", a question, "OK"
// and "Cancel", and the context that tells its handler which command it confirms.
#pragma once

#include "UnitMessageBox.h"

#include <QPushButton>

class UnitConfirmation : public UnitMessageBox {
    Q_OBJECT
  public:
    UnitConfirmation(const QString& question, const QString& context, QWidget* parent = nullptr)
        : UnitMessageBox(parent), context_(context) {
        setObjectName("UnitConfirmation");
        SetTitle("Confirmation");
        SetText(question);
        SetConfirm("OK");
        // Distinct from a message box that may be open beside it.
        if (auto* b = findChild<QPushButton*>("msgConfirm")) {
            b->setObjectName("confirmOk");
            // The command confirmed plays the tap itself.
            disconnect(b, &QPushButton::clicked, nullptr, nullptr);
            connect(b, &QPushButton::clicked, this, &UnitMessageBox::confirmed);
        }
        if (auto* b = findChild<QPushButton*>("msgClose")) b->setObjectName("confirmCancel");
    }
    const QString& Context() const { return context_; }

  private:
    QString context_;
};
