#include "groupsfilecheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "registry/groupsfile.h"
#include "storage/installationlayout.h"
#include "storage/utf8text.h"

#include <QFile>
#include <QSet>

using InstallationLayout::DefaultGroup;
using StrategyLogic::DoctorSeverity;

void GroupsFileCheck::run(DoctorSurvey &survey)
{
    const QString path = survey.userDir + QLatin1Char('/') + QLatin1String(GroupsFile::FileName);
    survey.groupsPath = path;
    QFile file(path);
    if (file.exists()) {
        survey.groupsFileExists = true;
        if (!file.open(QIODevice::ReadOnly)) {
            survey.groupsFileChangeable = false;
            survey.add(QStringLiteral("groups-file-unreadable"), DoctorSeverity::Error,
                       QStringLiteral("the groups file cannot be read (%1): the plug-in starts with the default "
                                      "group alone")
                           .arg(file.errorString()),
                       path);
        } else {
            const QByteArray content = file.readAll();
            if (!GroupsFile::isText(content)) {
                survey.groupsFileChangeable = false;
                survey.add(QStringLiteral("groups-file-unreadable"), DoctorSeverity::Error,
                           QStringLiteral("the groups file is not UTF-8 text: names holding the bad bytes read as "
                                          "U+FFFD, and the plug-in keeps the file aside at its first rewrite"),
                           path);
            }
            survey.groups = GroupsFile::parse(content);
            checkEntries(survey, content, path);
        }
    }
    // An empty or missing file means the default group alone.
    if (survey.groups.isEmpty()) {
        survey.groups.insert(DefaultGroup, SarvekGroupInfo{DefaultGroup, -1});
    } else if (!survey.groups.contains(DefaultGroup)) {
        survey.defaultGroupMissing = true;
        survey.add(QStringLiteral("groups-file-no-default-group"), DoctorSeverity::Warning,
                   QStringLiteral("the groups file lacks the built-in group %1: unless a record names it, the start "
                                  "does not add it and strategies cannot be added to it")
                       .arg(DefaultGroup),
                   path, survey.groupsFileFix(QStringLiteral("put %1 back into the groups file").arg(DefaultGroup)));
    }
}

// Entries the reader skips or reads otherwise than they are written.
void GroupsFileCheck::checkEntries(DoctorSurvey &survey, const QByteArray &content, const QString &path)
{
    QStringList odd;
    QSet<QString> seen;
    const QStringList entries = Utf8Text::decode(content.constData(), content.size()).split(QLatin1Char(','));
    for (const QString &entry : entries) {
        if (entry.isEmpty())
            continue;
        const QStringList parts = entry.split(QLatin1Char(';'));
        if (parts.size() < 2) {
            odd.append(QStringLiteral("%1 has no time and is skipped").arg(DoctorText::quoted(entry)));
            continue;
        }
        bool number = false;
        parts.at(1).toLongLong(&number);
        if (!number)
            odd.append(QStringLiteral("%1: the time is not a number and reads as 0").arg(DoctorText::quoted(entry)));
        else if (parts.size() > 2)
            odd.append(QStringLiteral("%1: the parts after the time are dropped").arg(DoctorText::quoted(entry)));
        if (seen.contains(parts.at(0)))
            odd.append(
                QStringLiteral("%1 is listed again and replaces the first").arg(DoctorText::quoted(parts.at(0))));
        seen.insert(parts.at(0));
    }
    if (!odd.isEmpty())
        survey.add(QStringLiteral("groups-file-bad-entries"), DoctorSeverity::Warning,
                   QStringLiteral("%1 of the groups file %2 not read as written: %3")
                       .arg(DoctorText::plural(odd.size(), "entry", "entries"),
                            QLatin1String(odd.size() == 1 ? "is" : "are"), DoctorText::someOf(odd)),
                   path);
}
