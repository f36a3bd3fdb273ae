#ifndef INSTALLATIONREPAIR_H
#define INSTALLATIONREPAIR_H

#include <StrategyLogic/strategydoctor.h>

struct DoctorSurvey;

// The safe repairs of a survey's findings, each limited to what cannot
// lose anything. The caller holds the installation folder's lock, and the
// survey was taken under it. Every file changed is first copied to a dated
// backup (DatedBackup); a repair whose backup or write fails leaves its
// file as it was and appends its reason to `failures`; a repair made
// appends to `repairs`. The data file is never changed; of the database,
// only a table that is missing or cannot take rows is rebuilt.
class InstallationRepair
{
public:
    // Raises the id sequence above the highest stored id.
    static void raiseIdSequence(const DoctorSurvey &survey, StrategyLogic::DoctorFixResult *result);
    // Puts the default group back into the groups file and adds the groups
    // that records name, in one rewrite of the file.
    static void completeGroups(const DoctorSurvey &survey, StrategyLogic::DoctorFixResult *result);
    // Rebuilds the survey's damaged tables of sarvek.db in one transaction,
    // after a dated backup of the file: the object in a table's place (a
    // table lacking columns, a view, an index) is kept aside as
    // "<table>_damaged_<yyyyMMdd_HHmmss>", the table is created from
    // StrategySchema, and the rows of the old table or view that fit (their
    // key not NULL and not taken) are copied in by the columns of the same
    // names. A missing table is only created.
    static void rebuildTables(const DoctorSurvey &survey, StrategyLogic::DoctorFixResult *result);
    // Removes the temporary files a killed writer left.
    static void removeTemporaryFiles(const DoctorSurvey &survey, StrategyLogic::DoctorFixResult *result);
};

#endif // INSTALLATIONREPAIR_H
