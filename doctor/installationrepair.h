#ifndef INSTALLATIONREPAIR_H
#define INSTALLATIONREPAIR_H

#include <StrategyLogic/strategydoctor.h>

struct DoctorSurvey;

// The safe repairs of a survey's findings, each limited to what cannot
// lose anything. The caller holds the installation folder's lock, and the
// survey was taken under it. Every file changed is first copied to a dated
// backup (DatedBackup); a repair whose backup or write fails leaves its
// file as it was and appends its reason to `failures`; a repair made
// appends to `repairs`. The data file and the database are never changed.
class InstallationRepair
{
public:
    // Raises the id sequence above the highest stored id.
    static void raiseIdSequence(const DoctorSurvey &survey, StrategyLogic::DoctorFixResult *result);
    // Puts the default group back into the groups file and adds the groups
    // that records name, in one rewrite of the file.
    static void completeGroups(const DoctorSurvey &survey, StrategyLogic::DoctorFixResult *result);
    // Removes the temporary files a killed writer left.
    static void removeTemporaryFiles(const DoctorSurvey &survey, StrategyLogic::DoctorFixResult *result);
};

#endif // INSTALLATIONREPAIR_H
