#ifndef BUNDLEIMPORTER_H
#define BUNDLEIMPORTER_H

#include "bundle/bundledocument.h"
#include "bundle/importrecord.h"

#include <StrategyLogic/strategybundle.h>

#include <QDateTime>
#include <QHash>
#include <QSet>

#include <functional>

class StrategyFileLogicHandler;

// Walks through a checked bundle against the plug-in object's state to find
// what the import would change and what could not be applied, in order:
// groups, fixed strategies, locks, instances, days, the remembered values;
// with Replace the backups and removals first. apply() walks again, makes
// the backups, writes the changes found to an import record (ImportRecord)
// and makes them through the plug-in's own changing methods (ImportReplay),
// so that a process that dies part way leaves the rest to the next start.
// Thread: any, as the plug-in's methods it calls; one walk at a time.
class BundleImporter
{
public:
    BundleImporter(StrategyFileLogicHandler &handler, const BundleDocument &document,
                   StrategyLogic::BundleImportMode mode);

    // How the last walk ended.
    enum class Ending {
        Done,        // every step was taken (or, planned, could be)
        Stopped,     // a step failed after others changed something; the record stays
        NotWritable, // a folder or a backup could not be written before anything changed
    };

    // Walks through the import and changes nothing: changes() is what it
    // would do, problems() what stands in the way in this data folder.
    void plan();
    // Walks through the import and makes every change; call it after a
    // plan() without problems. Changes nothing when the walk finds
    // problems after all (another thread changed the data folder).
    void apply();
    // The bundle's file or name, for the record.
    void setName(const QString &name) { m_name = name; }

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
    // Stopped: the record of the import, which the next start finishes.
    QString recordPath() const { return m_recordPath; }

private:
    bool walk();
    bool foldersWritable();
    bool clear();
    bool backUp(const QString &path, const QDateTime &when);
    bool removeStrategies();
    bool removeGroups();
    bool walkGroups();
    bool walkStrategies();
    bool walkLocks();
    bool walkInstances();
    bool walkDays();
    bool walkValues();
    void walkValue(const QString &key, const QString &what, const QString &value, const QString &current);

    // A step of the record, for the change row added next.
    template <typename Step> Step &recordStep(QList<Step> &steps, const QString &at)
    {
        Step step;
        step.at = at;
        step.row = int(m_changes.size());
        steps.append(step);
        return steps.last();
    }
    void change(const QString &pointer, StrategyLogic::BundleAction action, const QString &detail);
    void problem(const QString &pointer, const QString &message);
    bool notWritable(const QString &message);

    StrategyFileLogicHandler &m_handler;
    const BundleDocument &m_document;
    StrategyLogic::BundleImportMode m_mode;
    QString m_name;

    // The state of one walk.
    bool m_apply = false; // the backups are made
    ImportRecord m_record; // the changes found
    QList<FixedStrategyInfo> m_existing;   // the user's strategies before the import (after Replace's removal)
    QSet<QString> m_groupNames;            // the groups there, and those the walk adds
    QHash<QString, QSet<QString>> m_names; // the names taken for each file, and those the walk adds
    QHash<QString, qint64> m_nextSuffix;   // where the search for a default name goes on, by file
    QList<StrategyLogic::BundleChange> m_changes;
    QList<StrategyLogic::BundleProblem> m_problems;
    QStringList m_backups;
    Ending m_ending = Ending::Done;
    QString m_message;
    QString m_stoppedAt;
    bool m_storageFailed = false;
    StrategyLogic::Refusal m_refusal;
    QString m_recordPath;
};

#endif // BUNDLEIMPORTER_H
