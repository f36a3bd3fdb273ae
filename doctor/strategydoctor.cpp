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

// The outcome of taking the folder for the repairs; Fixed when it was
// taken, else the answer of fixInstallation() without its findings.
DoctorFixResult takeFolder(const QString &folder)
{
    DoctorFixResult result;
    // Holds nest within a process: taking the folder would succeed while
    // this process's plug-in writes there.
    if (ZqFolderLock::isHeld(folder)) {
        result.outcome = DoctorFixResult::Busy;
        result.reason = QStringLiteral("this process (its plug-in is initialised)");
        return result;
    }
    ZqFolderLock::Holder holder;
    QString error;
    switch (ZqFolderLock::acquire(folder, &holder, &error)) {
    case ZqFolderLock::Acquired:
        break;
    case ZqFolderLock::Busy:
        result.outcome = DoctorFixResult::Busy;
        result.reason = holder.describe();
        break;
    case ZqFolderLock::Failed:
        result.outcome = DoctorFixResult::Failed;
        result.reason = error;
        break;
    }
    return result;
}
} // namespace

QList<DoctorFinding> StrategyLogic::checkInstallation(const QString &appDir)
{
    return InstallationCheck::survey(absoluteFolder(appDir), false).findings;
}

DoctorFixResult StrategyLogic::fixInstallation(const QString &appDir)
{
    const QString folder = absoluteFolder(appDir);
    // A folder that is not there is not made: nothing in it needs a repair.
    if (!QFileInfo(folder).isDir()) {
        DoctorFixResult result;
        result.findings = checkInstallation(folder);
        return result;
    }
    DoctorFixResult result = takeFolder(folder);
    if (result.outcome != DoctorFixResult::Fixed) {
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
