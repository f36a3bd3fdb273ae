#ifndef IMPORTRECORD_H
#define IMPORTRECORD_H

#include "storage/installationlayout.h"

#include <StrategyLogic/backtestcashinfo.h>
#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/instanceinfo.h>
#include <StrategyLogic/sarvekgroupinfo.h>

#include <QList>
#include <QString>

// An import as it is applied: every change it makes, in the order it makes
// them, each stated by its outcome (the group there, the strategy of this
// file and name there with this copy index, the lock taken, ...), so that
// taking a step again once it was taken changes nothing. The record is
// written to "work/<user>/SarvekStrategyImport.redo" before the first change
// and removed once every change is stored; a start that finds it (the
// process died in between) takes every step again (ImportReplay), so that
// the data folder shows the state before the import or after all of it.
//
// The file is one JSON object (docs/formats.md), replaced through a
// temporary file. Thread: any.
struct ImportRecord
{
    static constexpr const char *FileName = InstallationLayout::ImportRecordFile;
    static const QString Format;
    static constexpr int Version = 1;

    // Each step names the record of the bundle it comes from (a JSON
    // pointer, empty for the removals of a replace) and the row of the
    // import's answer that shows it.
    struct Step
    {
        QString at;
        int row = -1;
    };
    struct Removal : Step
    {
        qint64 id = 0; // a fixed strategy the import removes
        QString filePath;
    };
    struct GroupRemoval : Step
    {
        QString name;
    };
    struct Group : Step
    {
        SarvekGroupInfo group;
    };
    struct Strategy : Step
    {
        FixedStrategyInfo info; // its id is the store's
    };
    struct Lock : Step
    {
        QString filePath;
    };
    struct Instance : Step
    {
        InstanceInfo info;
    };
    struct Day : Step
    {
        BackTestCashInfo day;
    };
    struct Value : Step
    {
        QString key; // lastProduct, lastFundAccount, pythonPath
        QString value;
    };

    QString bundle; // the file or name the import was given, for messages
    bool replace = false;
    QList<Removal> removals;
    QList<GroupRemoval> groupRemovals;
    QList<Group> groups;
    QList<Strategy> strategies;
    QList<Lock> locks;
    QList<Instance> instances;
    QList<Day> days;
    QList<Value> values;

    // Where the record of the user's import lies.
    static QString pathFor(const QString &installationFolder, const QString &userId);

    enum ReadResult { Missing, Read, Damaged };
    // False with a reason when no record was written (the old one, or none, stays).
    bool write(const QString &path, QString *error) const;
    static ReadResult read(const QString &path, ImportRecord *record, QString *error);
};

#endif // IMPORTRECORD_H
