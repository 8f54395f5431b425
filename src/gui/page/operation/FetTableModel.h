// The result table of the operation screen without a job: a table model over the driver's
// fastening event table, read lazily row by row, oldest result first. New results are
// inserted (and the oldest removed once the table is full), never a full rebuild.
#pragma once

#include "UnitFetItem.h"

#include <QAbstractTableModel>
#include <functional>
#include <vector>

class FetTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // The fields the log settings choose, in the settings' order.
    enum Field {
        ToolName,
        Barcode,
        FastenTime,
        Preset,
        TargetTorque,
        ConvTorque,
        Speed,
        A1,
        A2,
        A3,
        ScrewNo,
        Error,
        Direction,
        Status,
        Snug,
        FieldCount
    };
    static constexpr int kSeqColumn = -1; // the first column: the sequence number
    static constexpr int kCapacity = 1024;

    using CountFn = std::function<int()>;
    using ItemFn = std::function<bool(int position, UnitFetItem* out)>;

    FetTableModel(CountFn count, ItemFn item, QObject* parent = nullptr);

    // Shown fields, in order, after the sequence column (resets the model).
    void SetFields(const std::vector<int>& fields);
    // Status cells with long labels (the status column is 110 px or wider).
    void SetLongStatus(bool on);
    // The field of a column, kSeqColumn for column 0.
    int FieldOf(int column) const;
    static QString FieldTitle(int field);

    // Catches up with the table: rows of new results inserted at the end, rows the table
    // overwrote removed from the top; a reset only when the table was cleared or more
    // came in than it holds.
    void Sync();
    int Resets() const { return resets_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

  private:
    uint32_t seqAt(int position) const;
    bool isLast(int position) const;
    void rememberLast(int len, int oldest);
    int oldestPosition(int len) const;
    const UnitFetItem* row(int r) const;
    QVariant cell(const UnitFetItem& it, int field) const;
    void reset(int len, int oldest, uint32_t newest);

    CountFn count_;
    ItemFn item_;
    std::vector<int> fields_;
    bool longStatus_ = false;
    int rows_ = 0;
    int len_ = 0;         // entries in the driver's table
    int oldest_ = 0;      // array position of row 0
    uint32_t newest_ = 0; // sequence number of the last row
    int resets_ = 0;
    UnitFetItem last_; // the entry of the last row, to recognise it after a change
    mutable int cachedRow_ = -1;
    mutable UnitFetItem cached_;
};
