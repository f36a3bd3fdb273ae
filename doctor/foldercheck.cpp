#include "foldercheck.h"

#include "doctor/doctorsurvey.h"
#include "storage/installationlayout.h"

#include <zqfolderlock.h>

#include <QFileInfo>

using StrategyLogic::DoctorSeverity;

void FolderCheck::checkWritable(DoctorSurvey &survey, const QString &dir, const QString &what)
{
    const QFileInfo info(dir);
    if (info.isDir() && !info.isWritable())
        survey.add(QStringLiteral("folder-not-writable"), DoctorSeverity::Error,
                   QStringLiteral("%1 %2 is not writable: changes cannot be stored").arg(what, dir), dir);
}

bool FolderCheck::run(DoctorSurvey &survey)
{
    const QString &appDir = survey.appDir;
    const QFileInfo info(appDir);
    if (!info.isDir()) {
        survey.add(QStringLiteral("folder-missing"), DoctorSeverity::Error,
                   QStringLiteral("the installation folder %1 %2: the plug-in cannot start there")
                       .arg(appDir,
                            info.exists() ? QStringLiteral("is not a folder") : QStringLiteral("does not exist")),
                   appDir);
        return false;
    }
    checkWritable(survey, appDir, QStringLiteral("the installation folder"));
    checkWritable(survey, appDir + QLatin1Char('/') + QLatin1String(InstallationLayout::WorkFolder),
                  QStringLiteral("the folder"));
    if (survey.heldByDoctor)
        return true;
    if (ZqFolderLock::isHeld(appDir)) {
        survey.inUse = true;
        survey.add(QStringLiteral("folder-in-use"), DoctorSeverity::Info,
                   QStringLiteral("this process holds the installation folder (its plug-in is initialised): its "
                                  "files may change while they are checked"),
                   appDir);
    } else if (ZqFolderLock::isHeldElsewhere(appDir)) {
        survey.inUse = true;
        survey.add(QStringLiteral("folder-in-use"), DoctorSeverity::Info,
                   QStringLiteral("the installation folder is in use by %1: its files may change while they are "
                                  "checked")
                       .arg(ZqFolderLock::holder(appDir).describe()),
                   appDir + QLatin1Char('/') + QLatin1String(ZqFolderLock::FileName));
    }
    return true;
}
