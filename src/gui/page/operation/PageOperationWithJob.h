// The job screen: shows the run state of JobRun (step list, the five step views, the
// picture, the result banner, the buttons) and forwards every event, timer, button and
// dialog answer to it. Its port is the device object, Qt timers and these widgets.
#pragma once

#include "JobRun.h"
#include "ListModel.h"
#include "Navigator.h"
#include "OperationDevicePort.h"
#include "Page.h"

#include <QPointer>
#include <map>
#include <memory>

class QLabel;
class QListView;
class QPushButton;
class QStackedWidget;
class QTimer;
class PageOperationImageView;
class UnitConfirmation;
class UnitMessageBox;
class UnitNotice;
class UnitPassword;
class UnitSelectJob;
class UnitStepDelayView;
class UnitStepFastenView;
class UnitStepInputView;
class UnitStepMessageView;
class UnitStepOutputView;
class UnitStoredResults;

class PageOperationWithJob : public Page, public OperationDevicePort {
    Q_OBJECT
  public:
    explicit PageOperationWithJob(QWidget* parent = nullptr);
    ~PageOperationWithJob() override;
    void Init() override;

    JobRun& Run() { return *run_; }
    PageOperationImageView* ImageView() const { return image_; }
    UnitStepFastenView* FastenView() const { return fasten_; }
    UnitStepInputView* InputView() const { return input_; }
    UnitStepOutputView* OutputView() const { return output_; }
    UnitStepDelayView* DelayView() const { return delay_; }
    UnitStepMessageView* MessageView() const { return message_; }
    UnitNotice* Notice() const { return notice_; }
    QWidget* VisibleStepView() const;
    QString Banner() const;
    QStringList StepListRows() const;
    int SelectedStepRow() const;
    // Open dialogs (null when closed).
    UnitMessageBox* MessageDialog() const;
    UnitConfirmation* ConfirmDialog() const;
    UnitPassword* PasswordDialog() const;
    UnitSelectJob* SelectJobDialog() const;
    UnitStoredResults* StoredDialog() const;
    bool TimerActive(RunTimer t) const;

    // ---- the port's screen half ----
    void Start(RunTimer t, int32_t ms) override;
    void Stop(RunTimer t) override;
    void ViewChanged() override;
    void PictureLoad(const QString& path, const UnitStepFastenData* step) override;
    void PictureHighlight(int32_t n) override;
    void PictureMarkOk(int32_t n) override;
    void PictureMarkNg(int32_t n) override;
    void PictureHide(int32_t n) override;
    void PictureClear() override;
    void ShowMessage(const QString& title, const QString& text) override;
    void CloseMessage() override;
    void Confirm(const QString& question, const QString& context) override;
    void CloseConfirm() override;
    void AskPassword(const QString& context) override;
    void ShowNotice(const QString& text) override;
    void OpenJobSelect() override;
    void CloseJobSelect() override;
    void StoredOpen() override;
    void StoredRefresh() override;
    bool StoredIsOpen() override;
    void StoredClose() override;
    void GoHome() override;

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    QWidget* buildHeader();
    QWidget* buildButtons();
    QPushButton* button(QWidget* parent, const char* name, const QString& text,
                        void (JobRun::*command)());
    void subscribe();
    void renderStepList();
    void placePicture();
    void fastenEvent(QObject* payload);

    std::unique_ptr<JobRun> run_;
    std::map<RunTimer, QTimer*> timers_;
    QLabel* jobName_ = nullptr;
    QListView* steps_ = nullptr;
    ListModel<QString>* stepModel_ = nullptr;
    QString listedJob_;
    bool listed_ = false;
    int listedRow_ = -1;
    QStackedWidget* stack_ = nullptr;
    QWidget* empty_ = nullptr;
    UnitStepFastenView* fasten_ = nullptr;
    UnitStepInputView* input_ = nullptr;
    UnitStepOutputView* output_ = nullptr;
    UnitStepDelayView* delay_ = nullptr;
    UnitStepMessageView* message_ = nullptr;
    QWidget* pictureSlot_ = nullptr;
    PageOperationImageView* image_ = nullptr;
    bool fullScreen_ = false;
    QLabel* banner_ = nullptr;
    QPushButton* resetJob_ = nullptr;
    QPushButton* fullScreenButton_ = nullptr;
    UnitNotice* notice_ = nullptr;
    ModalHandle messageBox_, confirm_, password_, selectJob_, stored_;
    QString passwordContext_;
};
