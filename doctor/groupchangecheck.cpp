#include "groupchangecheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "bundle/importrecord.h"
#include "registry/groupchangerecord.h"

using StrategyLogic::DoctorSeverity;

void GroupChangeCheck::run(DoctorSurvey &survey)
{
    const QString path = survey.userDir + QLatin1Char('/') + QLatin1String(GroupChangeRecord::FileName);
    GroupChangeRecord record;
    QString error;
    switch (GroupChangeRecord::read(path, &record, &error)) {
    case GroupChangeRecord::Missing:
        break;
    case GroupChangeRecord::Read:
        survey.groupsFileChangeable = false;
        survey.add(QStringLiteral("group-change-pending"), DoctorSeverity::Warning,
                   QStringLiteral("the %1 of the group %2 was interrupted; the next start finishes it in the data "
                                  "file and the groups file")
                       .arg(record.kind == GroupChangeRecord::Rename ? QStringLiteral("rename")
                                                                      : QStringLiteral("delete"),
                            DoctorText::quoted(record.group)),
                   path);
        break;
    case GroupChangeRecord::Damaged:
        survey.groupsFileChangeable = false;
        survey.add(QStringLiteral("group-change-unreadable"), DoctorSeverity::Error,
                   QStringLiteral("the record of an interrupted group change cannot be read (%1): the next start "
                                  "keeps it aside without finishing the change")
                       .arg(error),
                   path);
        break;
    }
    checkImport(survey);
}

void GroupChangeCheck::checkImport(DoctorSurvey &survey)
{
    const QString path = survey.userDir + QLatin1Char('/') + QLatin1String(ImportRecord::FileName);
    ImportRecord record;
    QString error;
    switch (ImportRecord::read(path, &record, &error)) {
    case ImportRecord::Missing:
        break;
    case ImportRecord::Read:
        survey.groupsFileChangeable = false;
        survey.add(QStringLiteral("import-pending"), DoctorSeverity::Warning,
                   QStringLiteral("the import of %1 was interrupted; the next start finishes it")
                       .arg(DoctorText::quoted(record.bundle)),
                   path);
        break;
    case ImportRecord::Damaged:
        survey.groupsFileChangeable = false;
        survey.add(QStringLiteral("import-record-unreadable"), DoctorSeverity::Error,
                   QStringLiteral("the record of an interrupted import cannot be read (%1): the next start keeps "
                                  "it aside without finishing the import")
                       .arg(error),
                   path);
        break;
    }
}
