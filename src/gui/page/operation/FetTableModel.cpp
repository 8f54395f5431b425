#include "FetTableModel.h"

#include "ResultFormat.h"

#include <QBrush>
#include <QColor>
#include <cstring>
#include <iterator>

namespace {
const char* const kTitles[] = {"Tool",   "Barcode", "Time", "Preset", "Target",
                               "Torque", "Speed",   "A1",   "A2",     "A3",
                               "Screw",  "Error",   "Dir",  "Status", "Snug"};
static_assert(std::size(kTitles) == FetTableModel::FieldCount);

const QColor kRowNg{0x7a, 0x1f, 0x1f};
const QColor kRowOk{0x1a, 0x5e, 0x33};
const QColor kRowOther{0x2c, 0x34, 0x3c};

bool sameItem(const UnitFetItem& a, const UnitFetItem& b) {
    for (uint16_t FastenResult::*f : kFastenResultRegs)
        if (a.*f != b.*f) return false;
    return a.Seq == b.Seq && strcmp(a.Time, b.Time) == 0 && strcmp(a.ToolName, b.ToolName) == 0 &&
           strcmp(a.FastenResult::Barcode, b.FastenResult::Barcode) == 0;
}
} // namespace

FetTableModel::FetTableModel(CountFn count, ItemFn item, QObject* parent)
    : QAbstractTableModel(parent), count_(std::move(count)), item_(std::move(item)) {}

void FetTableModel::SetFields(const std::vector<int>& fields) {
    beginResetModel();
    fields_ = fields;
    endResetModel();
}

void FetTableModel::SetLongStatus(bool on) {
    if (on == longStatus_) return;
    longStatus_ = on;
    for (size_t c = 0; c < fields_.size(); ++c)
        if (fields_[c] == Status && rows_ > 0)
            emit dataChanged(index(0, int(c) + 1), index(rows_ - 1, int(c) + 1));
}

int FetTableModel::FieldOf(int column) const {
    if (column <= 0 || column > int(fields_.size())) return kSeqColumn;
    return fields_[size_t(column - 1)];
}

QString FetTableModel::FieldTitle(int field) {
    if (field < 0 || field >= FieldCount) return "No.";
    return kTitles[field];
}

bool FetTableModel::isLast(int position) const {
    UnitFetItem it;
    return item_(position, &it) && sameItem(it, last_);
}

uint32_t FetTableModel::seqAt(int position) const {
    UnitFetItem it;
    return item_(position, &it) ? it.Seq : 0;
}

// Once full the table overwrites its oldest entry, so from there on the newest results
// sit at the front of the array. Entries before the write position continue the sequence
// of entry 0; the first one that does not is the oldest.
int FetTableModel::oldestPosition(int len) const {
    if (len < kCapacity) return 0;
    const uint32_t first = seqAt(0);
    int lo = 1, hi = len; // the answer lies in [lo, hi]; hi (= len) means no wrap
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (seqAt(mid) == first + uint32_t(mid))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo == len ? 0 : lo;
}

void FetTableModel::reset(int len, int oldest, uint32_t newest) {
    beginResetModel();
    rememberLast(len, oldest);
    rows_ = len;
    len_ = len;
    oldest_ = oldest;
    newest_ = newest;
    cachedRow_ = -1;
    ++resets_;
    endResetModel();
}

void FetTableModel::rememberLast(int len, int oldest) {
    last_ = UnitFetItem();
    if (len > 0) item_((oldest + len - 1) % len, &last_);
}

void FetTableModel::Sync() {
    const int len = std::max(0, count_());
    if (len == 0) {
        if (rows_ != 0 || newest_ != 0) reset(0, 0, 0);
        return;
    }
    const int oldest = oldestPosition(len);
    const uint32_t newest = seqAt((oldest + len - 1) % len);
    if (newest == newest_ && len == rows_) return;
    // The last result shown must still be there, `added` rows above the end (from an
    // empty table: the numbering goes on from it). Anything else was a clear.
    const long added = long(newest) - long(newest_);
    const long dropped = long(rows_) + added - long(len);
    const bool follows = added > 0 && added <= len && dropped >= 0 &&
                         (rows_ == 0 ? added == len && seqAt(oldest) == newest_ + 1
                                     : dropped < rows_ && added < len &&
                                           isLast((oldest + len - 1 - int(added)) % len));
    if (!follows) {
        reset(len, oldest, newest);
        return;
    }
    cachedRow_ = -1;
    len_ = len;
    oldest_ = oldest; // the rows that stay keep their entries under the new mapping
    if (dropped > 0) {
        beginRemoveRows(QModelIndex(), 0, int(dropped) - 1);
        rows_ -= int(dropped);
        endRemoveRows();
    }
    beginInsertRows(QModelIndex(), rows_, rows_ + int(added) - 1);
    rows_ += int(added);
    newest_ = newest;
    rememberLast(len, oldest);
    endInsertRows();
}

int FetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int FetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fields_.size()) + 1;
}

const UnitFetItem* FetTableModel::row(int r) const {
    if (r < 0 || r >= rows_) return nullptr;
    if (r != cachedRow_) {
        if (!item_((oldest_ + r) % len_, &cached_)) return nullptr;
        cachedRow_ = r;
    }
    return &cached_;
}

QVariant FetTableModel::cell(const UnitFetItem& it, int field) const {
    switch (field) {
    case kSeqColumn:
        return QString::number(it.Seq);
    case ToolName:
        return QString::fromLatin1(it.ToolName);
    case Barcode:
        return QString::fromLatin1(it.FastenResult::Barcode);
    case FastenTime:
        return QString::number(it.FastenTime);
    case Preset:
        return QString::number(it.Preset);
    case TargetTorque:
        return ResultFormat::Torque(it.TargetTorque);
    case ConvTorque:
        return ResultFormat::Torque(it.ConvTorque);
    case Speed:
        return QString::number(it.Speed);
    case A1:
        return QString::number(it.A1);
    case A2:
        return QString::number(it.A2);
    case A3:
        return QString::number(it.A3);
    case ScrewNo:
        return QString::number(it.ScrewNo);
    case Error:
        return QString::number(it.Error);
    case Direction:
        return ResultFormat::Direction(it.Direction);
    case Status:
        return ResultFormat::StatusCell(it.Status, longStatus_);
    case Snug:
        return QString::number(it.Snug);
    }
    return {};
}

QVariant FetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::BackgroundRole) return {};
    const UnitFetItem* it = row(index.row());
    if (!it) return {};
    if (role == Qt::BackgroundRole) {
        if (it->Status == 2 || it->Status == 6) return QBrush(kRowNg);
        return QBrush(it->Status == 1 ? kRowOk : kRowOther);
    }
    return cell(*it, FieldOf(index.column()));
}

QVariant FetTableModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return FieldTitle(FieldOf(section));
}
