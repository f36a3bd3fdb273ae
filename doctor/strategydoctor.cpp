// The exported health check: checkInstallation() surveys the folder,
// fixInstallation() takes the folder and makes the safe repairs of a
// survey taken under its lock.

#include <StrategyLogic/strategydoctor.h>

#include "doctor/installationcheck.h"
#include "doctor/installationrepair.h"
#include "storage/strategylogging.h"

#include <zqfolderlock.h>

#include <QDir>
#include <QFileInfo>

using namespace StrategyLogic;

namespace {
QString absoluteFolder(const QString &appDir)
{
    return QDir::cleanPath(QFileInfo(appDir).absoluteFilePath());
}

// Takes the folder's lock for the repairs, trying once; false, with the
// outcome and its reason in `result`, when it is not taken.
bool takeFolder(const QString &folder, DoctorFixResult *result)
{
    // Holds nest within a process: taking the folder would succeed while
    // this process's plug-in writes there.
    if (ZqFolderLock::isHeld(folder)) {
        result->outcome = DoctorFixResult::Busy;
        result->reason = QStringLiteral("this process (its plug-in is initialised)");
        return false;
    }
    ZqFolderLock::Holder holder;
    QString error;
    switch (ZqFolderLock::acquire(folder, &holder, &error)) {
    case ZqFolderLock::Acquired:
        return true;
    case ZqFolderLock::Busy:
        result->outcome = DoctorFixResult::Busy;
        result->reason = holder.describe();
        return false;
    case ZqFolderLock::Failed:
        break;
    }
    result->outcome = DoctorFixResult::Failed;
    result->reason = error;
    return false;
}
} // namespace

QList<DoctorFinding> StrategyLogic::checkInstallation(const QString &appDir)
{
    return InstallationCheck::survey(absoluteFolder(appDir), false).findings;
}

DoctorFixResult StrategyLogic::fixInstallation(const QString &appDir)
{
    const QString folder = absoluteFolder(appDir);
    DoctorFixResult result;
    // A folder that is not there is not made: nothing in it needs a repair.
    if (!QFileInfo(folder).isDir() || !takeFolder(folder, &result)) {
        result.findings = checkInstallation(folder);
        return result;
    }
    // Checked again under the lock: what a process left before it let go
    // counts, and nobody writes while the repairs run.
    const DoctorSurvey survey = InstallationCheck::survey(folder, true);
    if (survey.idSequenceBehind)
        InstallationRepair::raiseIdSequence(survey, &result);
    if ((survey.defaultGroupMissing || !survey.missingGroups.isEmpty()) && survey.groupsFileChangeable)
        InstallationRepair::completeGroups(survey, &result);
    InstallationRepair::rebuildTables(survey, &result);
    InstallationRepair::removeTemporaryFiles(survey, &result);
    ZqFolderLock::release(folder);
    for (const DoctorRepair &repair : qAsConst(result.repairs))
        SL_INFO << "fixInstallation" << repair.id << repair.action << repair.path << repair.backup;
    for (const QString &failure : qAsConst(result.failures))
        SL_WARNING << "fixInstallation" << failure;
    result.findings = checkInstallation(folder);
    return result;
}

QString StrategyLogic::doctorSeverityName(DoctorSeverity severity)
{
    switch (severity) {
    case DoctorSeverity::Info:
        break;
    case DoctorSeverity::Warning:
        return QStringLiteral("warning");
    case DoctorSeverity::Error:
        return QStringLiteral("error");
    }
    return QStringLiteral("info");
}
