// The debug page's line store: a ring of at most 65535 time-stamped lines, listed
// oldest first. Once full, a new line replaces the oldest.
#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <vector>

class DebugLogModel : public QAbstractListModel {
    Q_OBJECT
  public:
    static constexpr int Capacity = 65535;
    explicit DebugLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Stores `line` behind a "[Y-MM-DD hh:mm:ss] " stamp of the panel's local time.
    void Append(const QString& line);
    void Clear();
    int Count() const { return count_; }
    int Oldest() const { return oldest_; }
    // Line `i` in age order (0 = oldest).
    const QString& Line(int i) const;
    static QString Stamp();

  private:
    std::vector<QString> lines_;
    int count_ = 0;
    int oldest_ = 0;
};
