#include "JobManager.h"

namespace {
QString firstFree(const QString& base, int from, const JobManager::ExistsFn& exists) {
    for (int n = from; n <= JobManager::kMaxSuffix; ++n) {
        const QString name = base + QString::number(n);
        if (!exists(name)) return name;
    }
    return {};
}
} // namespace

QString JobManager::DefaultNewName(const ExistsFn& exists) {
    const QString base = "new_job";
    return exists(base) ? firstFree(base, 1, exists) : base;
}

QString JobManager::DefaultCopyName(const QString& source, const ExistsFn& exists) {
    return firstFree(source, 1, exists);
}

void JobManager::Select(int row) {
    row_ = row >= 0 && row < port_.Count() ? row : -1;
}

void JobManager::ListReloaded() {
    if (row_ >= port_.Count()) row_ = -1;
}

void JobManager::selectLast() {
    row_ = port_.Count() - 1;
    port_.ListChanged();
}

void JobManager::NewPressed() {
    if (port_.Count() >= kMaxJobs) {
        port_.Error(kLimitText);
        return;
    }
    port_.Entry("Add new job", "Enter job name",
                DefaultNewName([this](const QString& n) { return port_.Exists(n); }), "new job");
}

void JobManager::CopyPressed() {
    if (row_ < 0) return;
    port_.Entry(
        "Copy job", "Enter job name",
        DefaultCopyName(port_.Name(row_), [this](const QString& n) { return port_.Exists(n); }),
        "copy job");
}

void JobManager::RenamePressed() {
    if (row_ < 0) return;
    port_.Entry("Rename", "Enter new name", port_.Name(row_), "rename");
}

void JobManager::DeletePressed() {
    if (row_ >= 0) port_.Confirm("Delete?", "delete");
}

void JobManager::UpPressed() {
    if (row_ < 1 || port_.MoveUp(row_) != 0) return;
    --row_;
    port_.ListChanged();
}

void JobManager::DownPressed() {
    if (row_ < 0 || row_ >= port_.Count() - 1 || port_.MoveDown(row_) != 0) return;
    ++row_;
    port_.ListChanged();
}

void JobManager::EditPressed() {
    if (row_ >= 0 && port_.Load(row_) == 0) port_.OpenEditor(row_);
}

bool JobManager::EntryConfirmed(const QString& context, const QString& name) {
    if (name.isEmpty()) return false;
    // The name becomes a file name: a "/" would reach into another folder.
    if (name.contains('/')) {
        port_.Error(kSlashText);
        return context != "new job";
    }
    // A hidden file is never listed again: the job would be gone after a restart.
    if (name.startsWith('.')) {
        port_.Error(kDotText);
        return context != "new job";
    }
    if (context == "new job") {
        if (port_.Exists(name)) {
            port_.Error(kExistText);
            return false;
        }
        const int before = port_.Count();
        const int rc = port_.Create(name);
        added(rc, before, kCreateFailText);
        if (rc != 0) return false;
        selectLast();
        return true;
    }
    if (context == "rename") {
        if (row_ < 0 || name == port_.Name(row_)) return true;
        // Renaming onto another job's file would replace it.
        if (port_.Exists(name)) {
            port_.Error(kExistText);
            return true;
        }
        const int rc = port_.Rename(row_, name);
        port_.ListChanged(); // the entry carries the new name even when its file failed
        if (rc != 0) port_.Error(kRenameFailText);
        return true;
    }
    if (context == "copy job") {
        if (row_ < 0) return true;
        if (port_.Exists(name)) {
            port_.Error(kExistText);
            return true;
        }
        const int before = port_.Count();
        const int rc = port_.Copy(row_, name);
        added(rc, before, kCopyFailText);
        if (rc == 0) selectLast();
        return true;
    }
    return true;
}

void JobManager::added(int rc, int countBefore, const char* failText) {
    if (rc == 0) return;
    if (port_.Count() > countBefore) {
        port_.Delete(port_.Count() - 1);
        port_.ListChanged();
    }
    port_.Error(failText);
}

void JobManager::Confirmed(const QString& context) {
    if (context != "delete" || row_ < 0) return;
    if (port_.Delete(row_) != 0) return;
    row_ = -1;
    port_.ListChanged();
}
