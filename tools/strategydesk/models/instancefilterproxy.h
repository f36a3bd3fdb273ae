#ifndef INSTANCEFILTERPROXY_H
#define INSTANCEFILTERPROXY_H

#include <QSortFilterProxyModel>

class InstanceTableModel;

// The instances the user looks for: those of one run mode (or all), whose
// id, fund account or registration answer holds the filter text
// (case-insensitive, never a pattern). Ids sort in the plug-in's order
// (numbers as numbers), run modes by their value, times as times, the
// texts as texts. Sorting and filtering follow the changes of the source
// (dynamic). Thread: GUI.
class InstanceFilterProxy : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    // The mode filter that shows every instance.
    static constexpr int AllModes = -1;

    explicit InstanceFilterProxy(QObject *parent = nullptr);

    QString filterText() const { return m_text; }
    int runMode() const { return m_mode; }

    void setSourceModel(QAbstractItemModel *model) override;

public slots:
    void setFilterText(const QString &text);
    // AllModes, or an OPERATEMODE value; OPERATE_UNKNOWN also shows the
    // modes the plug-in does not name (as the table shows them: "Mode 7").
    void setRunMode(int mode);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    // The rows filtered and sorted anew, in one layout change.
    void refilter();
    bool modeAccepted(int mode) const;
    bool textAccepted(const QString &id, const QString &account, const QString &answer) const;
    int compare(const QString &a, const QString &b) const;

    // The source when it is an instance model, read directly: a keystroke
    // filters every row.
    const InstanceTableModel *m_instances = nullptr;
    QString m_text;
    int m_mode = AllModes;
};

#endif // INSTANCEFILTERPROXY_H
