#ifndef GROUPACTIONS_H
#define GROUPACTIONS_H

#include <QObject>
#include <QStringList>

#include <functional>

class QAction;
class QWidget;
class StrategyFileLogicHandler;

// The group operations of the screens: add, rename, delete and merge into
// another group, each through the plug-in. The built-in groups cannot be
// renamed, deleted or merged away, as the plug-in rules; before a delete the
// user chooses what becomes of the group's strategies (moved to the default
// group, or deleted with it). The plug-in emits no signal for group
// changes: after each, `changed` is called so that the views reload.
// Thread: GUI.
class GroupActions : public QObject
{
    Q_OBJECT

public:
    GroupActions(StrategyFileLogicHandler &plugin, QWidget *parent);

    QAction *addAction() const { return m_add; }
    QAction *renameAction() const { return m_rename; }
    QAction *deleteAction() const { return m_delete; }
    QAction *mergeAction() const { return m_merge; }
    QList<QAction *> actions() const { return {m_add, m_rename, m_delete, m_merge}; }

    // The group the actions work on (empty: none, "All strategies").
    void setCurrentGroup(const QString &group);
    QString currentGroup() const { return m_group; }

    // The operations, for the actions and for tests; false when cancelled
    // or refused (the refusal shown).
    bool add(const QString &name);
    bool rename(const QString &group, const QString &newName);
    bool remove(const QString &group, bool withStrategies);
    bool merge(const QString &group, const QString &into);

    // How the user is asked: a text (empty: cancelled), one of some choices
    // (-1: cancelled); how a refusal is shown; what follows a change.
    std::function<QString(const QString &title, const QString &label, const QString &text)> askText;
    std::function<int(const QString &title, const QString &question, const QStringList &choices)> askChoice;
    std::function<void(const QString &title, const QString &message)> showMessage;
    std::function<void()> changed;
    // After a rename the plug-in made (for undo).
    std::function<void(const QString &from, const QString &to)> renamed;

private:
    void addAsked();
    void renameAsked();
    void deleteAsked();
    void mergeAsked();
    void updateActions();
    bool answered(const QString &what, const QString &message);
    bool succeeded(const QString &what, bool done);

    StrategyFileLogicHandler &m_plugin;
    QWidget *m_parent;
    QString m_group;
    QAction *m_add = nullptr;
    QAction *m_rename = nullptr;
    QAction *m_delete = nullptr;
    QAction *m_merge = nullptr;
};

#endif // GROUPACTIONS_H
