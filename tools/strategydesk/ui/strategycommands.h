#ifndef STRATEGYCOMMANDS_H
#define STRATEGYCOMMANDS_H

#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/strategyrefusal.h>

#include <QList>
#include <QPair>
#include <QStringList>
#include <QUndoCommand>

#include <functional>

class StrategyFileLogicHandler;

// What the plug-in would refuse in changing the fixed strategy `current`
// into `target` with modifyFixedStrategyInfo(): the rules and messages of
// checkFixedStrategy() (values the files cannot hold, a group that does not
// exist, a name taken for the file), the record's own name and file aside.
// modifyFixedStrategyInfo() does not look at names or groups itself; the
// screens ask this first so that no two records of a file share a name.
StrategyLogic::Refusal modifyRefusal(StrategyFileLogicHandler &plugin, const FixedStrategyInfo &current,
                                     const FixedStrategyInfo &target);

// How a command tells the window: `refused` shows the plug-in's refusal of
// an undo or redo, `changed` brings the views up to date after one.
struct StrategyCommandHost
{
    StrategyFileLogicHandler *plugin = nullptr;
    std::function<void(const QString &what, const StrategyLogic::Refusal &refusal)> refused;
    std::function<void()> changed;
};

// A change the plug-in has made already, pushed onto the window's undo
// stack: its first redo() (QUndoStack::push) does nothing, a later undo()
// or redo() asks the plug-in again. When the plug-in refuses that, the
// refusal is shown and the command makes itself obsolete: QUndoStack drops
// it, the plug-in keeps what it has, and the commands below it stay.
class StrategyCommand : public QUndoCommand
{
public:
    explicit StrategyCommand(const QString &text);
    // Whom the command tells; set before the push.
    void setHost(const StrategyCommandHost &host) { m_host = host; }

    void undo() override;
    void redo() override;

protected:
    // Asks the plug-in for the change (`forward`) or its reverse; false with
    // `*refusal` and `*what` set when it refused.
    virtual bool apply(bool forward, StrategyLogic::Refusal *refusal, QString *what) = 0;
    StrategyFileLogicHandler &plugin() const { return *m_host.plugin; }

private:
    void run(bool forward);

    StrategyCommandHost m_host;
    bool m_done = true; // the plug-in made the change before the push
};

// A modify of one or more fixed strategies (name, file path, group, text):
// each pair is the record before and after. A move to a group is one with
// the groups changed. Undoing puts back the fields the change changed and
// keeps any other field as the plug-in holds it now.
class ModifyStrategiesCommand : public StrategyCommand
{
public:
    using Change = QPair<FixedStrategyInfo, FixedStrategyInfo>; // before, after
    ModifyStrategiesCommand(const QString &text, const QList<Change> &changes);

    QList<Change> changes() const { return m_changes; }

protected:
    bool apply(bool forward, StrategyLogic::Refusal *refusal, QString *what) override;

private:
    bool setFields(const FixedStrategyInfo &from, const FixedStrategyInfo &to, StrategyLogic::Refusal *refusal,
                   QString *what);

    QList<Change> m_changes;
};

// A lock or unlock of strategy files: the files whose state it changed.
class LockFilesCommand : public StrategyCommand
{
public:
    LockFilesCommand(const QStringList &files, bool lock);

protected:
    bool apply(bool forward, StrategyLogic::Refusal *refusal, QString *what) override;

private:
    bool setLock(const QStringList &files, bool lock, StrategyLogic::Refusal *refusal, QString *what);

    QStringList m_files;
    bool m_lock;
};

// A rename of a group (its strategies with it): undoing renames it back.
class RenameGroupCommand : public StrategyCommand
{
public:
    RenameGroupCommand(const QString &from, const QString &to);

protected:
    bool apply(bool forward, StrategyLogic::Refusal *refusal, QString *what) override;

private:
    QString m_from;
    QString m_to;
};

#endif // STRATEGYCOMMANDS_H
