#include "DebugLogModel.h"

#include "ApplicationDeviceClass.h"

DebugLogModel::DebugLogModel(QObject* parent) : QAbstractListModel(parent) {}

int DebugLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

QVariant DebugLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count_) return {};
    if (role == Qt::DisplayRole) return Line(index.row());
    return {};
}

const QString& DebugLogModel::Line(int i) const {
    return lines_[size_t((oldest_ + i) % Capacity)];
}

QString DebugLogModel::Stamp() {
    UnitTime t = ApplicationDevice()->GetTime();
    return QString::asprintf("[%d-%02d-%02d %02d:%02d:%02d] ", t.Year, t.Month, t.Day, t.Hour,
                             t.Minute, t.Second);
}

void DebugLogModel::Append(const QString& line) {
    QString stamped = Stamp() + line;
    if (count_ < Capacity) {
        beginInsertRows(QModelIndex(), count_, count_);
        lines_.push_back(std::move(stamped));
        ++count_;
        endInsertRows();
        return;
    }
    // Full: the oldest row leaves the top and the new one joins at the bottom.
    const int slot = oldest_;
    beginRemoveRows(QModelIndex(), 0, 0);
    oldest_ = (oldest_ + 1) % Capacity;
    --count_;
    endRemoveRows();
    beginInsertRows(QModelIndex(), count_, count_);
    lines_[size_t(slot)] = std::move(stamped);
    ++count_;
    endInsertRows();
}

void DebugLogModel::Clear() {
    beginResetModel();
    lines_.clear();
    lines_.shrink_to_fit();
    count_ = 0;
    oldest_ = 0;
    endResetModel();
}
