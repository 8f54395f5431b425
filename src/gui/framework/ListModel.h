// The one list model of the screens: rows the device object hands out by index (jobs,
// tools, files, barcodes), copied once per Reload so painting never calls the driver; a
// display function turns a row into what the view shows for a role. A table model has
// columns: its cell function gets the column too, and the header texts are its own.
#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <vector>

template <class Row> class ListModel : public QAbstractListModel {
  public:
    using CountFn = std::function<int()>;
    using RowFn = std::function<Row(int index)>;
    using DataFn = std::function<QVariant(const Row& row, int role)>;

    ListModel(CountFn count, RowFn row, DataFn data, QObject* parent = nullptr)
        : QAbstractListModel(parent), count_(std::move(count)), row_(std::move(row)),
          data_(std::move(data)) {}
    using CellFn = std::function<QVariant(const Row& row, int column, int role)>;
    ListModel(CountFn count, RowFn row, const QStringList& headers, CellFn cell,
              QObject* parent = nullptr)
        : QAbstractListModel(parent), count_(std::move(count)), row_(std::move(row)),
          cell_(std::move(cell)), headers_(headers) {}

    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : std::max<int>(1, int(headers_.size()));
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o == Qt::Horizontal && role == Qt::DisplayRole && section < headers_.size())
            return headers_[section];
        return QAbstractListModel::headerData(section, o, role);
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : int(rows_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= int(rows_.size())) return {};
        const Row& r = rows_[size_t(index.row())];
        return cell_ ? cell_(r, index.column(), role) : data_(r, role);
    }

    // Re-reads every row (after the list changed); views keep no stale row.
    void Reload() {
        beginResetModel();
        rows_.clear();
        const int n = std::max(0, count_());
        rows_.reserve(size_t(n));
        for (int i = 0; i < n; ++i)
            rows_.push_back(row_(i));
        endResetModel();
    }
    const Row& At(int index) const { return rows_.at(size_t(index)); }
    int Count() const { return int(rows_.size()); }

  private:
    CountFn count_;
    RowFn row_;
    DataFn data_;
    CellFn cell_;
    QStringList headers_;
    std::vector<Row> rows_;
};
