#ifndef BUNDLEIMPORTER_H
#define BUNDLEIMPORTER_H

#include "bundle/bundledocument.h"

#include <StrategyLogic/strategybundle.h>

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <functional>

class StrategyFileLogicHandler;

// Applies a checked bundle to the plug-in object through its own changing
// methods, or walks through it without changing anything, to find what
// would change and what could not be applied. Both walks take the same
// steps in the same order: groups, fixed strategies, locks, instances,
// days, the remembered values; with Replace the backups and removals come
// first. A step that fails ends the walk there; what came before it stays.
// Thread: any, as the plug-in's methods it calls; one walk at a time.
class BundleImporter
{
public:
    BundleImporter(StrategyFileLogicHandler &handler, const BundleDocument &document,
                   StrategyLogic::BundleImportMode mode);

    // How the last walk ended.
    enum class Ending {
        Done,        // every step was taken (or, planned, could be)
        Stopped,     // a step failed after others changed something
        NotWritable, // a folder or a backup could not be written before anything changed
    };

    // Walks through the import and changes nothing: changes() is what it
    // would do, problems() what stands in the way in this data folder.
    void plan();
    // Walks through the import and makes every change; call it after a
    // plan() without problems.
    void apply();

    Ending ending() const { return m_ending; }
    const QList<StrategyLogic::BundleChange> &changes() const { return m_changes; }
    const QList<StrategyLogic::BundleProblem> &problems() const { return m_problems; }
    // The changes that are not "keep".
    int changeCount() const;
    // Stopped and NotWritable: what failed, in English.
    QString message() const { return m_message; }
    // Stopped: where; empty for the removals of Replace.
    QString stoppedAt() const { return m_stoppedAt; }
    // Stopped: whether the local database did not take the step.
    bool storageFailed() const { return m_storageFailed; }
    // Stopped: the plug-in's refusal of the step.
    StrategyLogic::Refusal refusal() const { return m_refusal; }
    // The backups made (apply) or to be made (plan), in order.
    QStringList backups() const { return m_backups; }

private:
    bool walk();
    bool foldersWritable();
    bool clear();
    bool backUp(const QString &path, const QDateTime &when);
    bool removeStrategies();
    bool removeGroups();
    bool walkGroups();
    bool walkStrategies();
    bool addStrategy(const QString &at, const FixedStrategyInfo &info);
    bool walkLocks();
    bool walkInstances();
    bool walkDays();
    bool walkValues();
    bool setValue(const QString &key, const QString &what, const QString &value,
                  const std::function<QString()> &get, const std::function<void(const QString &)> &set);

    void change(const QString &pointer, StrategyLogic::BundleAction action, const QString &detail);
    void problem(const QString &pointer, const QString &message);
    bool notWritable(const QString &message);
    // What the message of a step that failed says.
    enum class Cause {
        Unexplained, // which step: the plug-in's reason for refusing it is added
        Explained,   // why, in the plug-in's own words
        Storage,     // that the local database did not take it
    };
    // Ends the walk at a step that failed; `refusal` is the plug-in's.
    bool stopped(const QString &pointer, const QString &message, Cause cause = Cause::Unexplained);
    bool stopped(const QString &pointer, const QString &message, Cause cause, const StrategyLogic::Refusal &refusal);

    StrategyFileLogicHandler &m_handler;
    const BundleDocument &m_document;
    StrategyLogic::BundleImportMode m_mode;

    // The state of one walk.
    bool m_apply = false;
    QList<FixedStrategyInfo> m_existing;   // the user's strategies before the import (after Replace's removal)
    QSet<QString> m_groupNames;            // the groups there, and those the walk adds
    QHash<QString, QStringList> m_names;   // the names taken for each file, and those the walk adds
    QList<StrategyLogic::BundleChange> m_changes;
    QList<StrategyLogic::BundleProblem> m_problems;
    QStringList m_backups;
    Ending m_ending = Ending::Done;
    QString m_message;
    QString m_stoppedAt;
    bool m_storageFailed = false;
    StrategyLogic::Refusal m_refusal;
};

#endif // BUNDLEIMPORTER_H
