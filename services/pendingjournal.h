#ifndef PENDINGJOURNAL_H
#define PENDINGJOURNAL_H

#include "storage/installationlayout.h"

#include <StrategyLogic/backtestcashinfo.h>
#include <StrategyLogic/instanceinfo.h>

#include <QList>
#include <QString>

// Instance and day-cash rows that could not reach the local database when
// the plug-in stopped (the database was busy past the final wait, read
// only, full, or not a database), kept for the next start in
// "sarvek.pending.json" beside sarvek.db.
//
// The file is one JSON object (docs/formats.md), replaced whole through a
// temporary file, so a reader sees either the old or the new journal. Rows
// keep their order: of two rows with the same key the later one is newer.
class PendingJournal
{
public:
    static constexpr const char *FileName = InstallationLayout::PendingJournalFile;

    struct Rows
    {
        QList<InstanceInfo> instances;
        QList<BackTestCashInfo> dayCash;
        bool isEmpty() const { return instances.isEmpty() && dayCash.isEmpty(); }
        int size() const { return instances.size() + dayCash.size(); }
    };

    enum ReadResult { Missing, Read, Damaged };

    // "<installation folder>/sarvek.pending.json".
    static QString path(const QString &folder);

    // Missing when there is no journal; Damaged with a reason when it is not
    // a journal of this format (the rows read so far are not returned).
    static ReadResult read(const QString &path, Rows *rows, QString *error);
    // Replaces the journal; `reason` says why the rows are not in the
    // database. Amounts that are not finite cannot be stored anywhere and
    // are left out. False with a reason when the old journal stays.
    static bool write(const QString &path, const Rows &rows, const QString &reason, QString *error);
};

#endif // PENDINGJOURNAL_H
