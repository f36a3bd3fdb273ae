#include "datafilecheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "registry/groupsfile.h"
#include "storage/fixedstrategyfile.h"
#include "storage/utf8text.h"

#include <QFile>
#include <QHash>
#include <QMap>

using StrategyLogic::DoctorSeverity;

namespace {
// A record and the number (from 1) of its line.
struct Line
{
    int number;
    FixedStrategyInfo info;
};

// What the lines of the file held.
struct Lines
{
    QList<Line> records;
    QStringList skipped; // "line N <why>"
    QStringList badIds;  // "line N"
    QStringList lossy;   // "line N (<why>)"
};

QLatin1String verb(int n, const char *one, const char *many)
{
    return QLatin1String(n == 1 ? one : many);
}

// Why a line of the data file is skipped.
QString skipReason(const QByteArray &line)
{
    if (line.contains('\0'))
        return QStringLiteral("holds a NUL byte");
    if (!GroupsFile::isText(line))
        return QStringLiteral("is not UTF-8 text");
    return QStringLiteral("has fewer than six fields");
}

// Why a record would be written back otherwise than its line reads; empty
// when it would not.
QString rewriteDifference(const QByteArray &line, const FixedStrategyInfo &info)
{
    if (FixedStrategyFile::formatLine(info).toUtf8() == line + '\n')
        return QString();
    const QStringList fields =
        Utf8Text::decode(line.constData(), line.size()).split(QLatin1String(FixedStrategyFile::Separator));
    QStringList why;
    if (fields.size() > 6)
        why.append(QStringLiteral("the fields after the sixth are dropped"));
    if (fields.value(0) != QString::number(info.id))
        why.append(QStringLiteral("the id %1 reads as %2").arg(DoctorText::quoted(fields.value(0))).arg(info.id));
    if (fields.value(5) != QString::number(info.copyIndex))
        why.append(QStringLiteral("the copy index %1 reads as %2")
                       .arg(DoctorText::quoted(fields.value(5)))
                       .arg(info.copyIndex));
    return why.join(QLatin1String(", "));
}

Lines readLines(const QByteArray &content)
{
    Lines read;
    const QList<QByteArray> lines = content.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray &bytes = lines.at(i);
        if (bytes.isEmpty())
            continue;
        const int number = i + 1;
        const QList<FixedStrategyInfo> parsed = FixedStrategyFile::parse(bytes);
        if (parsed.isEmpty()) {
            read.skipped.append(QStringLiteral("line %1 %2").arg(number).arg(skipReason(bytes)));
            continue;
        }
        const FixedStrategyInfo &info = parsed.first();
        read.records.append(Line{number, info});
        if (info.id < 1) {
            read.badIds.append(QStringLiteral("line %1").arg(number));
            continue;
        }
        const QString difference = rewriteDifference(bytes, info);
        if (!difference.isEmpty())
            read.lossy.append(QStringLiteral("line %1 (%2)").arg(number).arg(difference));
    }
    return read;
}

void reportLines(DoctorSurvey &survey, const Lines &read, const QString &path)
{
    if (!read.skipped.isEmpty())
        survey.add(QStringLiteral("data-file-skipped-lines"), DoctorSeverity::Error,
                   QStringLiteral("%1 of the data file cannot be read and %2 not shown: %3; the plug-in keeps the "
                                  "file aside before its first rewrite, and the lines are lost to it unless mended "
                                  "by hand")
                       .arg(DoctorText::plural(read.skipped.size(), "line", "lines"),
                            verb(read.skipped.size(), "is", "are"), DoctorText::someOf(read.skipped)),
                   path);
    if (!read.badIds.isEmpty())
        survey.add(QStringLiteral("data-file-invalid-id"), DoctorSeverity::Error,
                   QStringLiteral("%1 of the data file %2 no id from 1 to 2147483647 (%3): such a record cannot be "
                                  "changed or removed by its id")
                       .arg(DoctorText::plural(read.badIds.size(), "line", "lines"),
                            verb(read.badIds.size(), "has", "have"), DoctorText::someOf(read.badIds)),
                   path);
    if (!read.lossy.isEmpty())
        survey.add(QStringLiteral("data-file-lossy-values"), DoctorSeverity::Warning,
                   QStringLiteral("%1 of the data file would not be written back as %2: %3")
                       .arg(DoctorText::plural(read.lossy.size(), "line", "lines"),
                            verb(read.lossy.size(), "it is", "they are"), DoctorText::someOf(read.lossy)),
                   path);
}

// Ids of more than one record, records without a name, names used twice
// for one strategy file; the highest stored id.
void reportRecords(DoctorSurvey &survey, const QList<Line> &records, const QString &path)
{
    QMap<qint64, QList<int>> linesById;
    QMap<QPair<QString, QString>, QList<int>> linesByName;
    QStringList emptyNames;
    for (const Line &line : records) {
        const FixedStrategyInfo &info = line.info;
        if (info.id > 0)
            linesById[info.id].append(line.number);
        if (info.name.isEmpty())
            emptyNames.append(QStringLiteral("line %1").arg(line.number));
        else
            linesByName[qMakePair(info.filePath, info.name)].append(line.number);
        survey.highestStoredId = qMax(survey.highestStoredId, info.id);
    }
    QStringList duplicateIds;
    for (auto it = linesById.cbegin(); it != linesById.cend(); ++it) {
        if (it.value().size() > 1)
            duplicateIds.append(
                QStringLiteral("id %1 on lines %2").arg(it.key()).arg(DoctorText::numbers(it.value())));
    }
    if (!duplicateIds.isEmpty())
        survey.add(QStringLiteral("data-file-duplicate-id"), DoctorSeverity::Error,
                   QStringLiteral("%1 of the data file %2 more than one record: %3; the plug-in shows the first of "
                                  "each, and its next rewrite keeps only the last")
                       .arg(DoctorText::plural(duplicateIds.size(), "id", "ids"),
                            verb(duplicateIds.size(), "names", "name"), DoctorText::someOf(duplicateIds)),
                   path);
    if (!emptyNames.isEmpty())
        survey.add(QStringLiteral("data-file-empty-name"), DoctorSeverity::Warning,
                   QStringLiteral("%1 of the data file %2 an empty name (%3): the screens show nothing to pick it by")
                       .arg(DoctorText::plural(emptyNames.size(), "record", "records"),
                            verb(emptyNames.size(), "has", "have"), DoctorText::someOf(emptyNames)),
                   path);
    QStringList duplicateNames;
    for (auto it = linesByName.cbegin(); it != linesByName.cend(); ++it) {
        if (it.value().size() > 1)
            duplicateNames.append(QStringLiteral("%1 for %2 on lines %3")
                                      .arg(DoctorText::quoted(it.key().second), DoctorText::quoted(it.key().first),
                                           DoctorText::numbers(it.value())));
    }
    if (!duplicateNames.isEmpty())
        survey.add(QStringLiteral("data-file-duplicate-name"), DoctorSeverity::Warning,
                   QStringLiteral("%1 of the data file %2 used twice for one strategy file: %3")
                       .arg(DoctorText::plural(duplicateNames.size(), "name", "names"),
                            verb(duplicateNames.size(), "is", "are"), DoctorText::someOf(duplicateNames)),
                   path);
}

// Groups the records name that the groups file lacks, in the order the
// records first name them; those storable as names go to the survey.
void reportMissingGroups(DoctorSurvey &survey, const QList<Line> &records, const QString &path)
{
    QStringList groupOrder;
    QHash<QString, int> recordsByGroup;
    for (const Line &line : records) {
        const QString &group = line.info.group;
        if (survey.groups.contains(group))
            continue;
        if (!recordsByGroup.contains(group))
            groupOrder.append(group);
        ++recordsByGroup[group];
    }
    if (groupOrder.isEmpty())
        return;
    QStringList named;
    QStringList unstorable;
    for (const QString &group : qAsConst(groupOrder)) {
        named.append(QStringLiteral("%1 (%2)").arg(DoctorText::quoted(group),
                                                    DoctorText::plural(recordsByGroup.value(group), "record",
                                                                       "records")));
        if (GroupsFile::canHold(group))
            survey.missingGroups.append(group);
        else
            unstorable.append(DoctorText::quoted(group));
    }
    QString message = QStringLiteral("%1 that records name %2 missing from the groups file: %3; the next start adds "
                                     "them")
                          .arg(DoctorText::plural(groupOrder.size(), "group", "groups"),
                               verb(groupOrder.size(), "is", "are"), DoctorText::someOf(named));
    if (!unstorable.isEmpty())
        message += QStringLiteral(", but %1 cannot be stored there (a name holding ',' or ';')")
                       .arg(unstorable.join(QLatin1String(", ")));
    const QString fix = survey.missingGroups.isEmpty()
                            ? QString()
                            : survey.groupsFileFix(QStringLiteral("add %1 to the groups file")
                                                       .arg(DoctorText::plural(survey.missingGroups.size(), "group",
                                                                               "groups")));
    survey.add(QStringLiteral("data-file-missing-group"), DoctorSeverity::Warning, message, path, fix);
}
} // namespace

void DataFileCheck::run(DoctorSurvey &survey)
{
    const QString path = survey.userDir + QLatin1Char('/') + QLatin1String(FixedStrategyFile::FileName);
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        survey.add(QStringLiteral("data-file-unreadable"), DoctorSeverity::Error,
                   QStringLiteral("the data file cannot be read (%1): the user's fixed strategies are not shown")
                       .arg(file.errorString()),
                   path);
        return;
    }
    QByteArray content = file.readAll();
    file.close();
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3); // tolerated before the first line, dropped at the next rewrite
    const Lines read = readLines(content);
    reportLines(survey, read, path);
    reportRecords(survey, read.records, path);
    reportMissingGroups(survey, read.records, path);
}
