#ifndef DOCTORSURVEY_H
#define DOCTORSURVEY_H

#include <StrategyLogic/sarvekgroupinfo.h>
#include <StrategyLogic/strategydoctor.h>

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// What the checks of one installation folder learnt: the findings, in the
// order they were made, and what a later check or a repair needs of an
// earlier check's reading. InstallationCheck fills one survey, check after
// check, on the calling thread.
struct DoctorSurvey
{
    DoctorSurvey(const QString &appDir, bool heldByDoctor);

    const QString appDir; // absolute, cleaned
    // The caller holds the folder for the repairs, so that nobody else
    // writes there; nobody else's hold is then looked for.
    const bool heldByDoctor;
    // Another process, or this process's plug-in, holds the folder: its
    // files may change under the checks.
    bool inUse = false;

    QList<StrategyLogic::DoctorFinding> findings;
    QString userDir; // empty when the user id names no folder

    // The groups file as the plug-in's start reads it.
    QString groupsPath;
    bool groupsFileExists = false;
    bool groupsFileChangeable = true; // readable UTF-8 text, no group change waiting for the next start
    QMap<QString, SarvekGroupInfo> groups;
    bool defaultGroupMissing = false;
    QStringList missingGroups; // named by records, absent from the groups file, storable as group names

    // The id sequence.
    QString idSequencePath;
    qint64 highestStoredId = 0;
    bool idSequenceBehind = false;

    QStringList staleTemporaryFiles; // absolute paths

    // The tables of sarvek.db that are missing, or cannot take rows (a view
    // or an index in their place, columns no start adds), in StrategySchema
    // order; empty when the database's integrity check failed.
    QStringList damagedTables;

    void add(const QString &id, StrategyLogic::DoctorSeverity severity, const QString &message, const QString &path,
             const QString &fix = QString());
    // `fix` for a finding whose repair rewrites the groups file; empty while
    // the file cannot take one (unreadable, or a group change waits).
    QString groupsFileFix(const QString &fix) const;
};

#endif // DOCTORSURVEY_H
