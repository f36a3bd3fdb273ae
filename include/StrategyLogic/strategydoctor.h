#ifndef STRATEGYDOCTOR_H
#define STRATEGYDOCTOR_H

#include <StrategyLogic/strategylogic_global.h>

#include <QList>
#include <QString>
#include <QStringList>

/// \file
/// The health check of an installation folder: what is wrong with the
/// plug-in's files there, found without starting the plug-in, and the
/// repairs that are safe to make.

namespace StrategyLogic {

/// How much a finding matters.
enum class DoctorSeverity {
    Info,    ///< worth knowing; nothing is wrong
    Warning, ///< the plug-in copes, or repairs it at its next start; a person may want to look
    Error,   ///< records are hidden, lost or about to be damaged, or the plug-in cannot work as it should
};

/// One thing checkInstallation() found.
struct DoctorFinding
{
    /// What was checked, as a stable kebab-case name a client may rely on:
    /// "folder-not-writable", "db-integrity", "data-file-duplicate-id",
    /// "id-sequence-behind", ... (docs/integration.md lists them all).
    QString id;
    DoctorSeverity severity = DoctorSeverity::Info; ///< how much it matters
    QString message; ///< what was found, in English, for people; names the file and, for lines, their numbers
    /// What fixInstallation() does about it, in English; empty when it does
    /// nothing (the message then says what a person can do).
    QString fix;
    QString path; ///< the file or folder concerned, absolute; empty when none
};

/// One change fixInstallation() made.
struct DoctorRepair
{
    QString id;     ///< the id of the finding it answers
    QString action; ///< what was done, in English
    QString path;   ///< the file changed or removed, absolute
    /// The copy of the file taken before the change,
    /// "<file>.bak-<yyyyMMdd-HHmmss>" (with "-2", "-3", ... when that name
    /// is taken); empty when the file did not exist or was a leftover
    /// temporary file that was removed.
    QString backup;
};

/// What fixInstallation() did.
struct DoctorFixResult
{
    /// Whether the repairs could run.
    enum Outcome {
        Fixed,  ///< the folder was taken, every safe fix was tried (see `failures`), the folder let go again
        Busy,   ///< another process, or this process's initialised plug-in, holds the folder: nothing changed
        Failed, ///< the folder's lock could not be taken (no access, ...): nothing changed
    };

    Outcome outcome = Fixed;       ///< whether the repairs could run
    QString reason;                ///< Busy: who holds the folder; Failed: why it could not be taken
    QList<DoctorRepair> repairs;   ///< the changes made, in order
    QStringList failures;          ///< fixes that could not be made, each with its reason; their files are as they were
    QList<DoctorFinding> findings; ///< checkInstallation() again, after the repairs (before them unless Fixed)
};

/// Checks the installation folder `appDir` and the logged-in user's files
/// in it, without starting the plug-in: the folder (exists, writable, who
/// holds it), `sarvek.db` (opens, integrity, tables and columns, the legacy
/// table), rows and group changes waiting for the next start, files kept
/// aside and leftover temporary files, the user's data file and groups
/// file, the id sequence of fixed-strategy ids (idServiceName()), the
/// user's identity and the Python path. The user is the host's (CBusinessDataBase), the id sequence
/// the host's InterProcIdService. Findings come in about that order.
///
/// Reads only: it creates, changes and removes no file, and takes nothing
/// (the folder's lock and the database are only probed). While another
/// process holds the folder the files may change under the check; leftover
/// temporary files are not reported then, since they may be that process's
/// writes in progress. Thread-safe; blocks for the file reads and, while
/// another program holds the database, for the database's busy timeout.
STRATEGYLOGIC_EXPORT QList<DoctorFinding> checkInstallation(const QString &appDir);

/// Makes the safe repairs of checkInstallation()'s findings: raises the id
/// sequence above the highest stored id, puts the default group
/// (defaultGroupName()) back into the groups file and adds the groups the
/// records name,
/// removes temporary files left by a writer that was killed, and rebuilds a
/// table of `sarvek.db` that is missing or cannot take rows (a view or an
/// index in its place, columns no start adds): the object in its place is
/// kept in the database as "<table>_damaged_<yyyyMMdd_HHmmss>", the table
/// is created and the rows of the old table or view that fit are copied
/// in, all in one transaction. Nothing else is changed; in particular the
/// data file never is.
///
/// Takes the installation folder's lock (ZqFolderLock) for the repairs,
/// trying once: while another process holds it, or the plug-in of this
/// process is initialised, it answers Busy and changes nothing. Each file
/// it changes is copied to a dated backup first; a fix whose backup or
/// write fails leaves its file as it was and is listed in `failures`. The
/// checks run again after the folder is let go. A folder that does not
/// exist is not created (nothing is repaired; the findings say so).
/// Thread-safe.
STRATEGYLOGIC_EXPORT DoctorFixResult fixInstallation(const QString &appDir);

/// "info", "warning" or "error".
STRATEGYLOGIC_EXPORT QString doctorSeverityName(DoctorSeverity severity);

} // namespace StrategyLogic

#endif // STRATEGYDOCTOR_H
