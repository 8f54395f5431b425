// "Select folder": where to write a file and under which name. The folder comes from the
// storage browser as a folder picker, the name from the text keypad; OK checks both and
// hands back folder + "/" + name, the name ending with the dialog's extension. Shown over
// its parent; it deletes itself once it answered.
// Widgets: "p2pFolderButton", "p2pFolderField", "p2pNameField", "p2pOk", "p2pCancel".
#pragma once

#include "PageP2P_Dialog.h"

class QLabel;

class PageP2P_SelectFolder : public PageP2P_Dialog {
    Q_OBJECT
  public:
    PageP2P_SelectFolder(const QString& defaultName, const QString& extension,
                         QWidget* parent = nullptr);
    QString Folder() const { return folder_; }
    QString Name() const { return name_; }

  signals:
    void accepted(const QString& path);
    void cancelled();

  private:
    void confirm() override;
    void cancel() override;
    void chooseFolder();
    void enterName();

    QString extension_, folder_, name_;
    QLabel* folderField_;
    QPushButton* nameField_;
};
