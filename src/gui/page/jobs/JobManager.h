// The job manager's rules, free of widgets: default names, the name checks, which dialog
// or message each button leads to and where the selection goes after each action,
// carried out through a port the screen implements over the device object.
#pragma once

#include <QString>
#include <functional>

class JobManagerPort {
  public:
    virtual ~JobManagerPort() = default;
    // ---- the job list ----
    virtual int Count() = 0;
    virtual QString Name(int row) = 0;
    virtual bool Exists(const QString& name) = 0; // "./files/job/<name>.job" is there
    virtual int Create(const QString& name) = 0;  // 0 done
    virtual int Copy(int row, const QString& name) = 0;
    virtual int Rename(int row, const QString& name) = 0;
    virtual int Delete(int row) = 0;
    virtual int MoveUp(int row) = 0;
    virtual int MoveDown(int row) = 0;
    virtual int Load(int row) = 0;
    // ---- screens and dialogs ----
    virtual void OpenEditor(int row) = 0; // the job is loaded
    virtual void OpenBarcode() = 0;
    virtual void Error(const QString& text) = 0; // message titled "Error"
    virtual void Entry(const QString& title, const QString& prompt, const QString& text,
                       const QString& context) = 0;
    virtual void Confirm(const QString& question, const QString& context) = 0;
    virtual void ListChanged() = 0; // rows re-read, the selection shown
};

class JobManager {
  public:
    static constexpr int kMaxJobs = 1000;
    static constexpr int kMaxSuffix = 255;
    static constexpr const char* kLimitText = "Job limit exceeded.";
    static constexpr const char* kExistText = "Job already exists.";
    static constexpr const char* kSlashText = "Can not use \"/\" in the job name.";
    static constexpr const char* kDotText = "Can not use \".\" at the start of the job name.";
    static constexpr const char* kCreateFailText = "Failed to create the job.";
    static constexpr const char* kCopyFailText = "Failed to copy the job.";
    static constexpr const char* kRenameFailText = "Failed to rename the job.";

    using ExistsFn = std::function<bool(const QString& name)>;
    // "new_job", else new_job1..255, the first whose file is absent; "" when all exist.
    static QString DefaultNewName(const ExistsFn& exists);
    // source + "1", else source + 2..255, the first whose file is absent; "" when all exist.
    static QString DefaultCopyName(const QString& source, const ExistsFn& exists);

    explicit JobManager(JobManagerPort& port) : port_(port) {}

    int Selected() const { return row_; }
    void Select(int row);
    // The list was re-read: a selection past its end is dropped.
    void ListReloaded();

    void NewPressed();
    void CopyPressed();
    void RenamePressed();
    void DeletePressed();
    void UpPressed();
    void DownPressed();
    void EditPressed();
    void BarcodePressed() { port_.OpenBarcode(); }
    // The name entry's OK: true when the dialog closes, false when it stays open.
    bool EntryConfirmed(const QString& context, const QString& name);
    void Confirmed(const QString& context);

  private:
    void selectLast();
    // A new or copied job whose file could not be written: its entry is dropped again,
    // as nothing could edit or run it, and the failure is told.
    void added(int rc, int countBefore, const char* failText);
    JobManagerPort& port_;
    int row_ = -1;
};
