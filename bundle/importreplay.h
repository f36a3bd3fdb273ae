#ifndef IMPORTREPLAY_H
#define IMPORTREPLAY_H

#include "bundle/importrecord.h"

#include <StrategyLogic/strategyrefusal.h>

#include <QHash>
#include <QString>

#include <functional>

class StrategyFileLogicHandler;

// Takes the steps of an import record through the plug-in object's own
// changing methods, in the record's order: the removals of a replace, the
// groups, the fixed strategies, the locks, the instances, the days, the
// remembered values. A step whose outcome is there already is passed over,
// so that running a record again, after a process died part way through it,
// finishes the import and changes nothing more. Ends at the first step that
// fails. Thread: any, as the plug-in's methods it calls; one run at a time.
class ImportReplay
{
public:
    ImportReplay(StrategyFileLogicHandler &handler, const ImportRecord &record);

    // True when every step is taken (now or before).
    bool run();

    // After a run that failed: the failed step's row of the import's answer
    // (-1 for none), its pointer (empty for the removals of a replace), what
    // failed in English, whether the local database did not take it, and
    // the plug-in's refusal of it.
    int stoppedRow() const { return m_stoppedRow; }
    QString stoppedAt() const { return m_stoppedAt; }
    QString message() const { return m_message; }
    bool storageFailed() const { return m_storageFailed; }
    StrategyLogic::Refusal refusal() const { return m_refusal; }

    // Start-up, once the plug-in is initialised: an import that a process
    // did not finish is finished, and its record removed once all of it is
    // stored. A record that cannot be read, or whose steps fail again, is
    // set aside with a critical log line, so that it is not tried at every
    // start.
    static void finishInterrupted(StrategyFileLogicHandler &handler, const QString &installationFolder);

    // Once every step is in memory: writes the rows the plug-in holds for
    // the local database (or keeps them in its journal), so that the record
    // can go. False when some could be stored nowhere.
    static bool storePending();

    // For tests of an interrupted import: called with 0, 1, 2, ... at each
    // point of an import's application where a process may die (after the
    // backups, after the record, after each change, after the rows are
    // stored, after the record went). resetSteps() starts the count again.
    static std::function<void(int)> &stepHook();
    static void resetSteps();
    static void reached();

private:
    bool removeStrategies();
    bool removeGroups();
    bool addGroups();
    bool addStrategies();
    bool writeStrategies();
    bool lockFiles();
    bool registerInstances();
    bool recordDays();
    bool setValues();

    enum class Cause {
        Unexplained, // which step: the plug-in's reason for refusing it is added
        Explained,   // why, in the plug-in's own words
        Storage,     // that the local database did not take it
    };
    bool stopped(const ImportRecord::Step &step, const QString &message, Cause cause = Cause::Unexplained);
    bool stopped(const ImportRecord::Step &step, const QString &message, Cause cause,
                 const StrategyLogic::Refusal &refusal);

    StrategyFileLogicHandler &m_handler;
    const ImportRecord &m_record;

    int m_stoppedRow = -1;
    QString m_stoppedAt;
    QString m_message;
    bool m_storageFailed = false;
    StrategyLogic::Refusal m_refusal;
};

#endif // IMPORTREPLAY_H
