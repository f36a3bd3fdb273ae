#include "journalcheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "services/pendingjournal.h"

using StrategyLogic::DoctorSeverity;

void JournalCheck::run(DoctorSurvey &survey)
{
    const QString path = PendingJournal::path(survey.appDir);
    PendingJournal::Rows rows;
    QString error;
    switch (PendingJournal::read(path, &rows, &error)) {
    case PendingJournal::Missing:
        break;
    case PendingJournal::Read:
        survey.add(QStringLiteral("pending-journal"), DoctorSeverity::Warning,
                   QStringLiteral("%1 (%2 instances, %3 backtest days) wait in %4 for the database; the next start "
                                  "writes them")
                       .arg(DoctorText::plural(rows.size(), "row", "rows"))
                       .arg(rows.instances.size())
                       .arg(rows.dayCash.size())
                       .arg(QLatin1String(PendingJournal::FileName)),
                   path);
        break;
    case PendingJournal::Damaged:
        survey.add(QStringLiteral("pending-journal-unreadable"), DoctorSeverity::Error,
                   QStringLiteral("%1 cannot be read (%2): the next start keeps it aside and its rows do not reach "
                                  "the database")
                       .arg(QLatin1String(PendingJournal::FileName), error),
                   path);
        break;
    }
}
