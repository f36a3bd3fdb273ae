#include "installationrepair.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "registry/groupsfile.h"
#include "storage/atomicfile.h"
#include "storage/datedbackup.h"
#include "storage/installationlayout.h"

#include <interprocidservice.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

using StrategyLogic::DoctorFixResult;
using StrategyLogic::DoctorRepair;

namespace {
// A dated copy of `path`; the copy's name, or empty with the reason.
QString backUp(const QString &path, QString *error)
{
    QString backup;
    QString reason;
    if (!DatedBackup::copy(path, QDateTime::currentDateTime(), &backup, &reason)) {
        *error = QStringLiteral("cannot copy %1 to %2: %3").arg(path, backup, reason);
        return QString();
    }
    return backup;
}
} // namespace

void InstallationRepair::raiseIdSequence(const DoctorSurvey &survey, DoctorFixResult *result)
{
    const QString id = QStringLiteral("id-sequence-behind");
    QString backup;
    if (QFileInfo::exists(survey.idSequencePath)) {
        QString error;
        backup = backUp(survey.idSequencePath, &error);
        if (backup.isEmpty()) {
            result->failures.append(QStringLiteral("%1: %2").arg(id, error));
            return;
        }
    }
    // The next id handed out is then the one above the highest stored.
    if (!InterProcIdService::instance().raiseFloor(QLatin1String(InstallationLayout::IdService),
                                                   survey.highestStoredId)) {
        result->failures.append(
            QStringLiteral("%1: the id sequence %2 could not be raised (see the log of zq.idservice)")
                .arg(id, survey.idSequencePath));
        return;
    }
    result->repairs.append(DoctorRepair{id,
                                        QStringLiteral("raised the id sequence %1 to %2")
                                            .arg(QLatin1String(InstallationLayout::IdService))
                                            .arg(survey.highestStoredId),
                                        survey.idSequencePath, backup});
}

void InstallationRepair::completeGroups(const DoctorSurvey &survey, DoctorFixResult *result)
{
    using InstallationLayout::DefaultGroup;
    QMap<QString, SarvekGroupInfo> groups = survey.groups;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (survey.defaultGroupMissing)
        groups.insert(DefaultGroup, SarvekGroupInfo{DefaultGroup, -1});
    for (const QString &name : survey.missingGroups)
        groups.insert(name, SarvekGroupInfo{name, InstallationLayout::isBuiltInGroup(name) ? -1 : now});
    QString error;
    QString backup;
    if (survey.groupsFileExists) {
        backup = backUp(survey.groupsPath, &error);
        if (backup.isEmpty()) {
            result->failures.append(QStringLiteral("groups file: %1").arg(error));
            return;
        }
    }
    if (!AtomicFile::replace(survey.groupsPath, GroupsFile::format(groups.values()).toUtf8(), &error)) {
        result->failures.append(QStringLiteral("groups file: cannot write %1: %2").arg(survey.groupsPath, error));
        return;
    }
    if (survey.defaultGroupMissing)
        result->repairs.append(DoctorRepair{QStringLiteral("groups-file-no-default-group"),
                                            QStringLiteral("put the built-in group %1 back").arg(DefaultGroup),
                                            survey.groupsPath, backup});
    if (!survey.missingGroups.isEmpty()) {
        QStringList names;
        for (const QString &name : survey.missingGroups)
            names.append(DoctorText::quoted(name));
        result->repairs.append(DoctorRepair{QStringLiteral("data-file-missing-group"),
                                            QStringLiteral("added the %1 %2")
                                                .arg(QLatin1String(names.size() == 1 ? "group" : "groups"),
                                                     names.join(QLatin1String(", "))),
                                            survey.groupsPath, backup});
    }
}

void InstallationRepair::removeTemporaryFiles(const DoctorSurvey &survey, DoctorFixResult *result)
{
    for (const QString &path : survey.staleTemporaryFiles) {
        QFile file(path);
        if (file.remove())
            result->repairs.append(DoctorRepair{QStringLiteral("stale-temporary-files"),
                                                QStringLiteral("removed the temporary file"), path, QString()});
        else
            result->failures.append(
                QStringLiteral("stale-temporary-files: cannot remove %1: %2").arg(path, file.errorString()));
    }
}
