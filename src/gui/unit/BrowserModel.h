// The file manager's state without widgets: the drive and folder being shown, its listing,
// the highlight, selection mode and selection, the copy/move memory and the picker rules.
// File operations go through the device object, which does them without a shell.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class BrowserModel {
  public:
    enum class Pick { Any, File, Folder }; // what OK may hand back
    enum class Clip { None, Copy, Move };
    static constexpr int MaxDepth = 100;

    struct Item {
        QString Name;
        bool IsDir = false;
        bool Selected = false;
    };
    struct Drive {
        QString Label, Root;
    };

    // `root` and `label` are the opener's internal storage ("./files", "internal storage").
    BrowserModel(const QString& root, const QString& label);

    // Picker rules: what OK returns, and which files are listed (suffixes without the dot,
    // case-insensitive; empty lists every file).
    void SetPick(Pick pick, const QStringList& extensions = {});
    Pick PickKind() const { return pick_; }
    // A file picker that lists every file but accepts only names whose text from the last
    // "." equals `suffix` exactly (".p2p"); empty accepts any.
    void SetAccept(const QString& suffix) { accept_ = suffix; }
    static bool HasSuffix(const QString& name, const QString& suffix);
    // The highlighted file is refused by the accepted suffix.
    bool Refused() const;

    // Drives: internal storage first, then the removable drives of the last drive refresh.
    void RefreshDrives();
    const std::vector<Drive>& Drives() const { return drives_; }
    int CurrentDrive() const { return drive_; }
    void SelectDrive(int index);
    // The drive list changed: back to internal storage when the shown drive is gone.
    // Returns true when that happened.
    bool DrivesChanged();

    // Current folder: root plus the names on the stack.
    QString Root() const { return drives_[size_t(drive_)].Root; }
    QString Folder() const;      // "./files/a/b"
    QString RelFolder() const;   // "a/b"
    QString PathLabel() const;   // "internal storage / a / b"
    QString StoragePath() const; // file system whose figures are shown
    int Depth() const { return int(stack_.size()); }
    bool Enter(const QString& name); // false when not a listed folder or too deep
    bool Up();
    void Refresh();

    // Listing, folders first.
    const std::vector<Item>& Items() const { return items_; }
    int Highlight() const { return highlight_; }
    void SetHighlight(int index);
    static bool IsImage(const QString& name);

    // Selection mode.
    bool SelectionMode() const { return selecting_; }
    void EnterSelection();
    void LeaveSelection(); // clears every selection and the copy/move memory
    void Toggle(int index);
    bool AllSelected() const;
    void SelectAll(bool on);
    QStringList SelectedNames() const;

    // New folder, rename, delete: 0 or a driver result (BROWSER_...).
    QString ProposeFolderName() const;
    // An empty text for a valid name, else the message to show.
    QString CheckName(const QString& name) const;
    int MakeFolder(const QString& name);
    int Rename(const QString& from, const QString& to);
    int DeleteSelected();

    // Copy and Move remember folder and selection (false with nothing selected); Paste
    // runs them into the current folder (nothing into the same folder).
    bool Remember(Clip kind);
    Clip Clipboard() const { return clip_; }
    int Paste();

    // What OK hands back: root, folder names and the highlighted item joined with "/";
    // empty when the picker rules are not met.
    QString Chosen() const;

    // Message for a failed operation.
    static QString ErrorText(int rc);

  private:
    bool listed(const QString& name) const;
    bool wanted(const QString& file) const;

    QString internalRoot_, internalLabel_;
    std::vector<Drive> drives_;
    int drive_ = 0;
    QStringList stack_;
    std::vector<Item> items_;
    int highlight_ = -1;
    bool selecting_ = false;
    Pick pick_ = Pick::Any;
    QStringList extensions_;
    QString accept_;
    Clip clip_ = Clip::None;
    QString clipRoot_, clipFolder_;
    QStringList clipNames_;
};
