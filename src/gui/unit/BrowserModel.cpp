#include "BrowserModel.h"

#include "ApplicationDeviceClass.h"
#include "browser.h"

namespace {
const char* const kMediaPrefix = "/media/";
} // namespace

BrowserModel::BrowserModel(const QString& root, const QString& label)
    : internalRoot_(root), internalLabel_(label) {
    drives_.push_back({label, root});
}

void BrowserModel::SetPick(Pick pick, const QStringList& extensions) {
    pick_ = pick;
    extensions_.clear();
    for (const QString& e : extensions)
        extensions_.append(e.toLower());
}

void BrowserModel::RefreshDrives() {
    drives_.resize(1);
    for (int i = 0; i < ApplicationDevice()->GetDrvsLen(); ++i) {
        const QString name = ApplicationDevice()->GetDrvDev(i);
        drives_.push_back(
            {name == "mmcblk1p1" ? "Micro SD" : "USB storage", QString(kMediaPrefix) + name});
    }
}

void BrowserModel::SelectDrive(int index) {
    if (index < 0 || size_t(index) >= drives_.size()) return;
    drive_ = index;
    stack_.clear();
    Refresh();
}

bool BrowserModel::DrivesChanged() {
    const QString shown = Root();
    ApplicationDevice()->RefreshDrvs();
    RefreshDrives();
    if (drive_ == 0) return false;
    for (size_t i = 1; i < drives_.size(); ++i)
        if (drives_[i].Root == shown) {
            drive_ = int(i); // the order may have changed
            return false;
        }
    // The copy/move memory may point at the pulled drive too.
    if (clipRoot_ == shown) LeaveSelection();
    SelectDrive(0);
    return true;
}

QString BrowserModel::Folder() const {
    return stack_.isEmpty() ? Root() : Root() + "/" + RelFolder();
}

QString BrowserModel::RelFolder() const {
    return stack_.join('/');
}

QString BrowserModel::PathLabel() const {
    QString label = drives_[size_t(drive_)].Label;
    for (const QString& n : stack_)
        label += " / " + n;
    return label;
}

QString BrowserModel::StoragePath() const {
    return drive_ == 0 ? QString("/media/mmcblk3p2") : Root();
}

bool BrowserModel::Enter(const QString& name) {
    if (stack_.size() >= MaxDepth) return false;
    for (const Item& it : items_)
        if (it.IsDir && it.Name == name) {
            stack_.append(name);
            Refresh();
            return true;
        }
    return false;
}

bool BrowserModel::Up() {
    if (stack_.isEmpty()) return false;
    stack_.removeLast();
    Refresh();
    return true;
}

void BrowserModel::Refresh() {
    items_.clear();
    highlight_ = -1;
    ApplicationDevice()->RefreshFiles(Folder());
    for (int i = 0; i < ApplicationDevice()->GetDirsLen(); ++i)
        items_.push_back({ApplicationDevice()->GetDirName(i), true, false});
    if (pick_ != Pick::Folder)
        for (int i = 0; i < ApplicationDevice()->GetFilesLen(); ++i)
            if (QString n = ApplicationDevice()->GetFileName(i); wanted(n))
                items_.push_back({n, false, false});
}

bool BrowserModel::wanted(const QString& file) const {
    if (extensions_.isEmpty()) return true;
    const int dot = file.lastIndexOf('.');
    return dot >= 0 && extensions_.contains(file.mid(dot + 1).toLower());
}

void BrowserModel::SetHighlight(int index) {
    highlight_ = index >= 0 && size_t(index) < items_.size() ? index : -1;
}

bool BrowserModel::IsImage(const QString& name) {
    const QString n = name.toLower();
    return n.endsWith(".jpg") || n.endsWith(".jpeg") || n.endsWith(".png");
}

void BrowserModel::EnterSelection() {
    selecting_ = true;
    highlight_ = -1;
}

void BrowserModel::LeaveSelection() {
    selecting_ = false;
    SelectAll(false);
    clip_ = Clip::None;
    clipNames_.clear();
}

void BrowserModel::Toggle(int index) {
    if (selecting_ && index >= 0 && size_t(index) < items_.size())
        items_[size_t(index)].Selected = !items_[size_t(index)].Selected;
}

bool BrowserModel::AllSelected() const {
    for (const Item& it : items_)
        if (!it.Selected) return false;
    return !items_.empty();
}

void BrowserModel::SelectAll(bool on) {
    for (Item& it : items_)
        it.Selected = on;
}

QStringList BrowserModel::SelectedNames() const {
    QStringList out;
    for (const Item& it : items_) // folders come first in the listing
        if (it.Selected) out.append(it.Name);
    return out;
}

bool BrowserModel::listed(const QString& name) const {
    if (ApplicationDevice()->CheckFileDirExist(Folder() + "/" + name) == 0) return true;
    for (const Item& it : items_)
        if (it.Name == name) return true;
    return false;
}

QString BrowserModel::ProposeFolderName() const {
    if (!listed("new_folder")) return "new_folder";
    // Past new_folder255 the count simply goes on: the operator still gets a free name.
    for (int i = 1;; ++i)
        if (QString n = QString("new_folder%1").arg(i); !listed(n)) return n;
}

QString BrowserModel::CheckName(const QString& name) const {
    if (name.isEmpty()) return "Enter a name.";
    if (name.contains('/')) return "Can not use \"/\" in the name.";
    if (name == "." || name == ".." || listed(name)) return "Already exist.";
    // The list hides dot names: such an entry could be neither seen nor removed here.
    if (name.startsWith('.')) return "Can not use \".\" at the start of the name.";
    if (name.toUtf8().size() > 255) return "The name is too long.";
    return {};
}

int BrowserModel::MakeFolder(const QString& name) {
    int rc = ApplicationDevice()->BrowserMakeDir(Root(), RelFolder(), name);
    Refresh();
    return rc;
}

int BrowserModel::Rename(const QString& from, const QString& to) {
    int rc = ApplicationDevice()->BrowserRename(Root(), RelFolder(), from, to);
    Refresh();
    return rc;
}

int BrowserModel::DeleteSelected() {
    int rc = 0;
    for (const QString& n : SelectedNames())
        if (int r = ApplicationDevice()->BrowserRemove(Root(), RelFolder(), n); r != 0 && rc == 0)
            rc = r;
    LeaveSelection();
    Refresh();
    return rc;
}

bool BrowserModel::Remember(Clip kind) {
    const QStringList names = SelectedNames();
    if (names.isEmpty()) return false;
    clip_ = kind;
    clipRoot_ = Root();
    clipFolder_ = RelFolder();
    clipNames_ = names;
    return true;
}

int BrowserModel::Paste() {
    if (clip_ == Clip::None) return 0;
    int rc = 0;
    if (clipRoot_ != Root() || clipFolder_ != RelFolder())
        for (const QString& n : clipNames_)
            if (int r = ApplicationDevice()->BrowserTransfer(clip_ == Clip::Move, clipRoot_,
                                                             clipFolder_, n, Root(), RelFolder());
                r != 0 && rc == 0)
                rc = r;
    LeaveSelection();
    Refresh();
    return rc;
}

bool BrowserModel::HasSuffix(const QString& name, const QString& suffix) {
    const int dot = name.lastIndexOf('.');
    return dot >= 0 && name.mid(dot) == suffix;
}

bool BrowserModel::Refused() const {
    if (accept_.isEmpty() || highlight_ < 0) return false;
    const Item& it = items_[size_t(highlight_)];
    return !it.IsDir && !HasSuffix(it.Name, accept_);
}

QString BrowserModel::Chosen() const {
    const Item* it = highlight_ >= 0 ? &items_[size_t(highlight_)] : nullptr;
    if (pick_ == Pick::File && (!it || it->IsDir)) return {};
    if (Refused()) return {};
    if (pick_ == Pick::Folder && it && !it->IsDir) return {};
    return it ? Folder() + "/" + it->Name : Folder();
}

QString BrowserModel::ErrorText(int rc) {
    switch (rc) {
    case BROWSER_BAD_NAME:
        return "The name can not be used.";
    case BROWSER_EXISTS:
        return "Already exist.";
    case BROWSER_NO_SPACE:
        return "Not enough space.\nNothing was written under that name.";
    case BROWSER_INSIDE:
        return "Can not copy or move a folder into itself.";
    default:
        return "Failed.";
    }
}
