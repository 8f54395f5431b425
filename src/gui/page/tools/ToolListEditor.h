// The tool list editor's rules, free of widgets: the two selections, the registration
// limit, release of the current tool and the rename checks, carried out through a port
// that the screen implements over the device object.
#pragma once

#include <QString>

class ToolListPort {
  public:
    virtual ~ToolListPort() = default;
    virtual int RegCount() = 0;
    virtual int DiscoCount() = 0;
    virtual QString DiscoMac(int index) = 0;            // empty for none
    virtual int FindRegByName(const QString& name) = 0; // -1 none
    virtual int Register(int index) = 0;                // 0 done
    virtual int Release(int tdx) = 0;
    virtual int Rename(int tdx, const QString& name) = 0;
    virtual int CurrTdx() = 0;
    virtual void SetCurrTdx(int tdx) = 0;
    virtual void Error(const QString& text) = 0; // dialog titled "Error"
    virtual void ConfirmRelease() = 0;           // "Release?"
    virtual void ListsChanged() = 0;             // both lists re-read
};

class ToolListEditor {
  public:
    static constexpr int kMaxTools = 8;
    static constexpr int kNameMax = 32; // what the registry keeps of a name
    static constexpr const char* kLimitText = "Exceed limit\n\nUp to 8 tools can be registered.";
    static constexpr const char* kSlashText = "Can not use \"/\" in the tool name.";
    static constexpr const char* kExistText = "Already exist.";
    static constexpr const char* kRenameFailText = "Failed to rename.";

    explicit ToolListEditor(ToolListPort& port) : port_(port) {}

    void SelectRegistered(int tdx) { reg_ = tdx; }
    // The discovered choice is kept by MAC: the table loses tools from other threads.
    void SelectDiscovered(int index);
    int SelectedRegistered() const { return reg_; }
    int SelectedDiscovered() const; // its row now, -1 none
    // The tables changed: a registered choice past the end, a discovered tool gone, is
    // dropped.
    void TablesChanged();
    void RegisterPressed();
    void ReleasePressed();
    void ReleaseConfirmed();
    // The keypad's text for tool `tdx`: true when renamed (the keypad closes), false when
    // refused with its message (the keypad stays).
    bool RenameConfirmed(int tdx, const QString& name);

  private:
    ToolListPort& port_;
    int reg_ = -1;
    QString disco_; // MAC
};
