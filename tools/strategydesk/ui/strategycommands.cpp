#include "ui/strategycommands.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QCoreApplication>

using StrategyLogic::Refusal;
using StrategyLogic::RefusalCode;

Refusal modifyRefusal(StrategyFileLogicHandler &plugin, const FixedStrategyInfo &current,
                      const FixedStrategyInfo &target)
{
    Refusal refusal = plugin.checkFixedStrategy(target.filePath, target.name, target.group, target.extraInfo, 1);
    // The name is checked last: taken by the record itself, it is free.
    if (refusal.code == RefusalCode::NameTaken && target.filePath == current.filePath && target.name == current.name)
        return Refusal();
    if (refusal.isRefused())
        refusal.function = QStringLiteral("StrategyFileLogicHandler::modifyFixedStrategyInfo");
    return refusal;
}

StrategyCommand::StrategyCommand(const QString &text)
{
    setText(text);
}

void StrategyCommand::undo() { run(false); }

void StrategyCommand::redo()
{
    if (m_done) {
        m_done = false;
        return;
    }
    run(true);
}

void StrategyCommand::run(bool forward)
{
    Refusal refusal;
    QString what;
    const bool made = apply(forward, &refusal, &what);
    if (m_host.changed)
        m_host.changed();
    if (!made) {
        setObsolete(true);
        if (m_host.refused)
            m_host.refused(what, refusal);
    }
}

ModifyStrategiesCommand::ModifyStrategiesCommand(const QString &text, const QList<Change> &changes)
    : StrategyCommand(text)
    , m_changes(changes)
{
}

bool ModifyStrategiesCommand::apply(bool forward, Refusal *refusal, QString *what)
{
    QList<Change> done;
    for (int i = 0; i < m_changes.size(); ++i) {
        // Undone in the reverse order of the change.
        const Change &change = forward ? m_changes.at(i) : m_changes.at(m_changes.size() - 1 - i);
        const FixedStrategyInfo &from = forward ? change.first : change.second;
        const FixedStrategyInfo &to = forward ? change.second : change.first;
        if (!setFields(from, to, refusal, what)) {
            // All or nothing, as far as the plug-in lets it.
            for (int j = done.size() - 1; j >= 0; --j)
                setFields(done.at(j).second, done.at(j).first, nullptr, nullptr);
            return false;
        }
        done.append(qMakePair(from, to));
    }
    return true;
}

// Sets the fields in which `from` and `to` differ to those of `to`.
bool ModifyStrategiesCommand::setFields(const FixedStrategyInfo &from, const FixedStrategyInfo &to,
                                        Refusal *refusal, QString *what)
{
    const qint64 id = to.id;
    const FixedStrategyInfo current = plugin().getFixedStrateyInfoByID(int(id));
    FixedStrategyInfo target = current.id == id ? current : to;
    if (from.name != to.name)
        target.name = to.name;
    if (from.filePath != to.filePath)
        target.filePath = to.filePath;
    if (from.group != to.group)
        target.group = to.group;
    if (from.extraInfo != to.extraInfo)
        target.extraInfo = to.extraInfo;
    Refusal found;
    if (current.id == id)
        found = modifyRefusal(plugin(), current, target);
    if (!found.isRefused() && !plugin().modifyFixedStrategyInfo(int(id), target))
        found = StrategyLogic::lastRefusal();
    if (!found.isRefused())
        return true;
    if (refusal)
        *refusal = found;
    if (what)
        *what = QCoreApplication::translate("StrategyCommand", "The strategy %1 was not changed back or again").arg(id);
    return false;
}

LockFilesCommand::LockFilesCommand(const QStringList &files, bool lock)
    : StrategyCommand(lock ? QCoreApplication::translate("StrategyCommand", "lock %n files", nullptr, files.size())
                                 : QCoreApplication::translate("StrategyCommand", "unlock %n files", nullptr, files.size()))
    , m_files(files)
    , m_lock(lock)
{
    if (files.size() == 1)
        setText(lock ? QCoreApplication::translate("StrategyCommand", "lock %1").arg(files.first())
                     : QCoreApplication::translate("StrategyCommand", "unlock %1").arg(files.first()));
}

bool LockFilesCommand::apply(bool forward, Refusal *refusal, QString *what)
{
    return setLock(m_files, forward ? m_lock : !m_lock, refusal, what);
}

bool LockFilesCommand::setLock(const QStringList &files, bool lock, Refusal *refusal, QString *what)
{
    for (int i = 0; i < files.size(); ++i) {
        if (plugin().changeFileLockState(files.at(i), lock))
            continue;
        *refusal = StrategyLogic::lastRefusal();
        *what = lock ? QCoreApplication::translate("StrategyCommand", "%1 was not locked").arg(files.at(i))
                     : QCoreApplication::translate("StrategyCommand", "%1 was not unlocked").arg(files.at(i));
        for (int j = i - 1; j >= 0; --j)
            plugin().changeFileLockState(files.at(j), !lock);
        return false;
    }
    return true;
}

RenameGroupCommand::RenameGroupCommand(const QString &from, const QString &to)
    : StrategyCommand(QCoreApplication::translate("StrategyCommand", "rename group %1 to %2").arg(from, to))
    , m_from(from)
    , m_to(to)
{
}

bool RenameGroupCommand::apply(bool forward, Refusal *refusal, QString *what)
{
    const QString &from = forward ? m_from : m_to;
    const QString &to = forward ? m_to : m_from;
    const QString message = plugin().renameGroup(from, to);
    if (message.isEmpty())
        return true;
    *refusal = StrategyLogic::lastRefusal();
    if (refusal->message.isEmpty())
        refusal->message = message;
    *what = QCoreApplication::translate("StrategyCommand", "The group %1 was not renamed").arg(from);
    return false;
}
