#ifndef GROUPLISTMODEL_H
#define GROUPLISTMODEL_H

#include <QAbstractListModel>
#include <QStringList>
#include <QVector>

class StrategyFileLogicHandler;
class StrategyTableModel;

// The strategy groups in the plug-in's sorted order, after a first row
// "All strategies": each with the number of its strategies (from the
// strategy model), the built-in ones marked (they cannot be renamed or
// deleted). Strategies dropped onto a group ask to be moved there
// (moveRequested); the model changes nothing itself. Reloaded with the
// strategy model and after the screens changed a group. Thread: GUI.
class GroupListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        NameRole = Qt::UserRole + 1, // QString; empty for "All strategies"
        CountRole,                   // int
        BuiltInRole,                 // bool
    };

    GroupListModel(StrategyFileLogicHandler &plugin, const StrategyTableModel &strategies, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    QString groupAt(int row) const;
    // -1 when there is no such group.
    int rowOfGroup(const QString &name) const;

public slots:
    void reload();

signals:
    void moveRequested(const QList<qint64> &ids, const QString &group);

private:
    struct Row
    {
        QString name;
        int count = 0;
        bool builtIn = false;
    };
    StrategyFileLogicHandler &m_plugin;
    const StrategyTableModel &m_strategies;
    QVector<Row> m_rows;
};

#endif // GROUPLISTMODEL_H
