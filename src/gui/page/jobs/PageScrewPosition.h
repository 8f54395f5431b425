// The screw position editor of a fastening step of the loaded job: the step's picture
// (picked through the file browser) with its numbered circles, the touch modes, fine
// moves, circle size, line width and the three colours. Save writes the picture and every
// circle to the step; Cancel leaves the positions as they were.
// Widgets: "posPicture", "posAppend", "posInsert", "posDelete", "posUp", "posDown",
// "posLeft", "posRight", "posRadiusDown", "posRadiusUp", "posWidthDown", "posWidthUp",
// "posRadiusValue", "posWidthValue" (the current circle's),
// "posPending", "posOk", "posNg" (which colour is edited), "posRed", "posGreen",
// "posBlue" (its components, entered on the numpad), "posCount", "posSave", "posCancel".
#pragma once

#include "Navigator.h"
#include "Page.h"
#include "ScrewLayout.h"

class QLabel;
class QPushButton;
class UnitPosTunner;

class PageScrewPosition : public Page {
    Q_OBJECT
  public:
    static constexpr const char* NoScrewText = "Place at least one screw position.";
    explicit PageScrewPosition(QWidget* parent = nullptr);
    ~PageScrewPosition() override;
    // Edits step `sdx` of the loaded job (a fastening step).
    Q_INVOKABLE void Edit(int sdx);
    UnitPosTunner* Tunner() const { return tunner_; }
    QString PicturePath() const { return path_; }
    // The open dialog (browser, numpad or message), null when none.
    QWidget* Dialog() const;

  private:
    QPushButton* button(const char* name, const QString& text, int height = 56);
    void loadPicture(const QString& path, bool tell);
    void showError(const QString& text);
    void countChanged();
    void render();
    void enterComponent(int component);
    void save();
    void cancel();

    int sdx_ = -1;
    int countAtOpen_ = 0;
    QString path_;
    ScrewLayout::Paint paint_ = ScrewLayout::Pending;
    UnitPosTunner* tunner_;
    QLabel* count_;
    QLabel* radius_;
    QLabel* width_;
    QPushButton* append_;
    QPushButton* insert_;
    QPushButton* paints_[3];
    QPushButton* components_[3];
    ModalHandle keypad_, error_;
    QPointer<Page> browser_;
};
