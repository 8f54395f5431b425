// What the folder and file dialogs share: a titled frame shown over its parent's dim, the
// storage browser opened as a picker over the same parent, the error message ("Error")
// of its checks, and closing itself after it answered.
#pragma once

#include "Navigator.h"

#include <QFrame>
#include <functional>

class QGridLayout;
class QPushButton;
class UnitBrowser;

class PageP2P_Dialog : public QFrame {
    Q_OBJECT
  public:
    ~PageP2P_Dialog() override;
    // The open browser, keypad or error message (tests), null when none.
    QWidget* Dialog() const { return dialog_.dialog.data(); }

  protected:
    PageP2P_Dialog(const QString& title, QWidget* parent);
    // Shows the dialog over the parent given at construction.
    void present();
    // A row of the form: its label and the widget beside it.
    void addRow(const QString& label, QWidget* field);
    QPushButton* fieldButton(const char* name);
    // The browser as a picker; `chosen` gets the path it handed back.
    void openBrowser(UnitBrowser* browser, std::function<void(const QString&)> chosen);
    void showError(const QString& text);
    // Shows a prompt over the same parent, in place of any other.
    void showDialog(QWidget* dialog, Transition t = Transition::Scale);
    void closeDialog();
    // Runs `answer` (which emits), then takes the dialog off the screen.
    void finish(const std::function<void()>& answer);
    QWidget* host() const { return host_; }
    // OK and Cancel run these.
    virtual void confirm() = 0;
    virtual void cancel() = 0;

  private:
    QWidget* host_;
    QGridLayout* form_;
    ModalHandle self_, dialog_;
    bool done_ = false;
};
