#ifndef SORTEDROWSMODEL_H
#define SORTEDROWSMODEL_H

#include <QAbstractTableModel>
#include <QVector>

#include <algorithm>
#include <utility>

// A table whose rows are kept in one order by key and brought to a fresh
// list in that order with the fewest signals: the rows that stayed keep
// their place (so selections and a view's position survive), removed and
// added rows go in runs, and a row that changed signals the columns that
// did. Many changes make one reset instead. The subject models derive from
// it and read their list into rows. Thread: GUI.
// The columns where two records of one key differ, as [first, last] for
// SortedRowsModel::updateRows(): mark() each column's comparison in column
// order; first is -1 when none differed.
class ChangedColumns
{
public:
    void mark(bool differs, int column)
    {
        if (!differs)
            return;
        if (m_first < 0)
            m_first = column;
        m_last = column;
    }
    std::pair<int, int> span() const { return {m_first, m_last}; }

private:
    int m_first = -1;
    int m_last = -1;
};

template <typename Row>
class SortedRowsModel : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows.size() + (m_tail.size() - m_tailStart);
    }

protected:
    using QAbstractTableModel::QAbstractTableModel;

    // The row `row` as the views see it, also between the steps of an update.
    const Row &rowAt(int row) const
    {
        return row < m_rows.size() ? m_rows.at(row) : m_tail.at(m_tailStart + row - m_rows.size());
    }
    // The rows in their order (outside updateRows()).
    const QVector<Row> &rows() const { return m_rows; }

    // Brings the rows to `fresh`, which is in the order of `less(a, b)`;
    // `columns(a, b)` gives the [first, last] columns where two rows of the
    // same key differ, first -1 when they are equal. False when nothing
    // differed (and nothing was signalled).
    template <typename Less, typename Columns>
    bool updateRows(QVector<Row> fresh, Less less, Columns columns);

private:
    // More separate runs of removed or added rows than this reset the model:
    // proxies and views do work in the number of rows for each run.
    static constexpr int MaxRuns = 256;

    struct Steps
    {
        int removed = 0;
        int inserted = 0;
        int changed = 0;
        int runs = 0; // of neighbouring removed or added rows
        int total() const { return removed + inserted + changed; }
    };
    template <typename Less, typename Columns>
    Steps countSteps(const QVector<Row> &fresh, Less less, Columns columns) const;
    template <typename Less, typename Columns>
    void applySteps(const QVector<Row> &fresh, int changedRows, Less less, Columns columns);

    // While an update applies its steps, m_rows holds the rows already done
    // and m_tail from m_tailStart on the old rows still to come.
    QVector<Row> m_rows;
    QVector<Row> m_tail;
    int m_tailStart = 0;
};

template <typename Row>
template <typename Less, typename Columns>
bool SortedRowsModel<Row>::updateRows(QVector<Row> fresh, Less less, Columns columns)
{
    const Steps steps = countSteps(fresh, less, columns);
    if (steps.total() == 0)
        return false;
    // Many changes: one reset costs the views less than the steps. So do
    // many runs, each of which the views and proxies handle in time linear
    // in the rows.
    const int size = std::max(m_rows.size(), fresh.size());
    if (m_rows.isEmpty() || 2 * steps.total() > size || steps.runs > MaxRuns) {
        beginResetModel();
        m_rows = std::move(fresh);
        endResetModel();
    } else {
        applySteps(fresh, steps.changed, less, columns);
    }
    return true;
}

template <typename Row>
template <typename Less, typename Columns>
typename SortedRowsModel<Row>::Steps SortedRowsModel<Row>::countSteps(const QVector<Row> &fresh, Less less,
                                                                      Columns columns) const
{
    Steps steps;
    int i = 0;
    int j = 0;
    int lastKind = 0; // 1 removal, 2 insertion, 0 neither
    while (i < m_rows.size() || j < fresh.size()) {
        if (j >= fresh.size() || (i < m_rows.size() && less(m_rows.at(i), fresh.at(j)))) {
            ++steps.removed;
            steps.runs += lastKind != 1;
            lastKind = 1;
            ++i;
        } else if (i >= m_rows.size() || less(fresh.at(j), m_rows.at(i))) {
            ++steps.inserted;
            steps.runs += lastKind != 2;
            lastKind = 2;
            ++j;
        } else {
            steps.changed += columns(m_rows.at(i), fresh.at(j)).first >= 0;
            lastKind = 0;
            ++i;
            ++j;
        }
    }
    return steps;
}

template <typename Row>
template <typename Less, typename Columns>
void SortedRowsModel<Row>::applySteps(const QVector<Row> &fresh, int changedRows, Less less, Columns columns)
{
    // The steps, in row order: m_rows is rebuilt from the front while the
    // old rows still to come wait in m_tail, so that each step is as long
    // as its rows and the model is whole between the steps.
    m_tail = std::move(m_rows);
    m_tailStart = 0;
    m_rows.clear();
    m_rows.reserve(fresh.size());
    struct Change
    {
        int row, first, last;
    };
    QVector<Change> changes;
    changes.reserve(changedRows);
    const auto oldFirst = [&](int j) {
        return j >= fresh.size() || (m_tailStart < m_tail.size() && less(m_tail.at(m_tailStart), fresh.at(j)));
    };
    const auto freshFirst = [&](int j) {
        return m_tailStart >= m_tail.size() || less(fresh.at(j), m_tail.at(m_tailStart));
    };
    int j = 0;
    while (m_tailStart < m_tail.size() || j < fresh.size()) {
        const int at = m_rows.size();
        if (oldFirst(j)) {
            int end = m_tailStart + 1;
            while (end < m_tail.size() && (j >= fresh.size() || less(m_tail.at(end), fresh.at(j))))
                ++end;
            beginRemoveRows(QModelIndex(), at, at + (end - m_tailStart) - 1);
            m_tailStart = end;
            endRemoveRows();
        } else if (freshFirst(j)) {
            int end = j + 1;
            while (end < fresh.size() && freshFirst(end))
                ++end;
            beginInsertRows(QModelIndex(), at, at + (end - j) - 1);
            for (; j < end; ++j)
                m_rows.append(fresh.at(j));
            endInsertRows();
        } else {
            const std::pair<int, int> changed = columns(m_tail.at(m_tailStart), fresh.at(j));
            if (changed.first >= 0)
                changes.append({at, changed.first, changed.second});
            m_rows.append(fresh.at(j));
            ++m_tailStart;
            ++j;
        }
    }
    m_tail.clear();
    m_tailStart = 0;

    // Neighbouring rows that changed in the same columns share a signal.
    for (int k = 0; k < changes.size();) {
        int end = k + 1;
        while (end < changes.size() && changes.at(end).row == changes.at(end - 1).row + 1
               && changes.at(end).first == changes.at(k).first && changes.at(end).last == changes.at(k).last)
            ++end;
        emit this->dataChanged(this->index(changes.at(k).row, changes.at(k).first),
                               this->index(changes.at(end - 1).row, changes.at(k).last));
        k = end;
    }
}

#endif // SORTEDROWSMODEL_H
