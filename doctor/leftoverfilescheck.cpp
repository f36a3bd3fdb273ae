#include "leftoverfilescheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "registry/groupchangerecord.h"
#include "registry/groupsfile.h"
#include "services/pendingjournal.h"
#include "storage/fixedstrategyfile.h"
#include "storage/installationlayout.h"

#include <QDir>
#include <QPair>
#include <QRegularExpression>

using StrategyLogic::DoctorSeverity;

namespace {
// The names the writers give their temporary copies: "<file>.XXXXXX".
QRegularExpression temporaryNames(const QStringList &names)
{
    QStringList patterns;
    for (const QString &name : names)
        patterns.append(QRegularExpression::escape(name) + QLatin1String("\\.[A-Za-z0-9]{6}"));
    return QRegularExpression(QLatin1String("^(") + patterns.join(QLatin1Char('|')) + QLatin1String(")$"));
}
} // namespace

void LeftoverFilesCheck::checkKeptAside(DoctorSurvey &survey)
{
    QStringList folders{survey.appDir};
    if (!survey.userDir.isEmpty())
        folders.append(survey.userDir);
    for (const QString &folder : qAsConst(folders)) {
        const QStringList names = QDir(folder)
                                      .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)
                                      .filter(QStringLiteral(".unreadable-"));
        if (!names.isEmpty())
            survey.add(QStringLiteral("set-aside-files"), DoctorSeverity::Warning,
                       QStringLiteral("%1 in %2 %3 kept aside because the plug-in could not use %4: %5; look into "
                                      "them and remove them when done")
                           .arg(DoctorText::plural(names.size(), "file", "files"), folder,
                                QLatin1String(names.size() == 1 ? "was" : "were"),
                                QLatin1String(names.size() == 1 ? "it" : "them"), DoctorText::someOf(names)),
                       folder);
    }
}

void LeftoverFilesCheck::checkTemporaryFiles(DoctorSurvey &survey)
{
    if (survey.inUse)
        return;
    QList<QPair<QString, QStringList>> places = {
        {survey.appDir,
         {QLatin1String(PendingJournal::FileName), QLatin1String(InstallationLayout::PythonIniFile)}}};
    if (!survey.userDir.isEmpty())
        places.append({survey.userDir,
                       {QLatin1String(FixedStrategyFile::FileName), QLatin1String(GroupsFile::FileName),
                        QLatin1String(GroupChangeRecord::FileName),
                        QLatin1String(InstallationLayout::ImportRecordFile)}});
    for (const auto &[folder, names] : qAsConst(places)) {
        const QRegularExpression leftover = temporaryNames(names);
        QStringList found;
        const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        for (const QString &entry : entries) {
            if (leftover.match(entry).hasMatch()) {
                found.append(entry);
                survey.staleTemporaryFiles.append(folder + QLatin1Char('/') + entry);
            }
        }
        if (!found.isEmpty())
            survey.add(QStringLiteral("stale-temporary-files"), DoctorSeverity::Warning,
                       QStringLiteral("%1 in %2 %3 left by a writer that was killed: %4; the next start removes them")
                           .arg(DoctorText::plural(found.size(), "temporary file", "temporary files"), folder,
                                QLatin1String(found.size() == 1 ? "was" : "were"), DoctorText::someOf(found)),
                       folder, QStringLiteral("remove them"));
    }
}
