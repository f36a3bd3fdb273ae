#include "databasecheck.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "storage/fixedstrategyfile.h"
#include "storage/installationlayout.h"
#include "storage/strategyschema.h"

#include <zqmemsqlitemgr.h>

#include <QFile>
#include <QFileInfo>

using StrategyLogic::DoctorSeverity;

namespace {
constexpr int SqliteCorrupt = 11;
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteNotADatabase = 26;

QString databaseName()
{
    return QLatin1String(InstallationLayout::DatabaseFile);
}

// What the next start does with a file that is not a database.
QString keptAside()
{
    return QStringLiteral("the next start keeps it aside as %1.unreadable-<time> and creates a new, empty database: "
                          "its locks, instances and day cash are no longer seen")
        .arg(databaseName());
}

// Whether the file at `path` may be a database: it exists, is a file, can
// be read and begins with SQLite's header (checked first, so that a file
// of another kind is named as such; an empty file is an empty database).
bool mayBeDatabase(DoctorSurvey &survey, const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        survey.add(QStringLiteral("db-missing"), DoctorSeverity::Info,
                   QStringLiteral("%1 does not exist yet; the next start creates it").arg(databaseName()), path);
        return false;
    }
    if (info.isDir()) {
        survey.add(QStringLiteral("db-not-a-database"), DoctorSeverity::Error,
                   QStringLiteral("a folder stands in the place of %1; %2").arg(databaseName(), keptAside()), path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        survey.add(QStringLiteral("db-unreadable"), DoctorSeverity::Error,
                   QStringLiteral("%1 cannot be read: %2").arg(databaseName(), file.errorString()), path);
        return false;
    }
    const QByteArray header = file.read(16);
    if (!header.isEmpty() && header != QByteArray("SQLite format 3\0", 16)) {
        survey.add(QStringLiteral("db-not-a-database"), DoctorSeverity::Error,
                   QStringLiteral("%1 is not an SQLite database; %2").arg(databaseName(), keptAside()), path);
        return false;
    }
    return true;
}

// Whether the open database's tables can be looked at: it opened, was not
// held by another program and answered its integrity check (a damaged one
// is reported, and its tables are still looked at).
bool openAndCheckIntegrity(DoctorSurvey &survey, ZqMemSqliteMgr &db, const QString &path)
{
    db.setDbFilePathReadOnly(path.toUtf8().constData());
    if (!db.getConn().isOpen()) {
        const int code = db.openError();
        if (code == SqliteNotADatabase || code == SqliteCorrupt)
            survey.add(QStringLiteral("db-not-a-database"), DoctorSeverity::Error,
                       QStringLiteral("%1 cannot be opened (%2); %3")
                           .arg(databaseName(), ZqMemSqliteMgr::errorText(code), keptAside()),
                       path);
        else
            survey.add(QStringLiteral("db-unreadable"), DoctorSeverity::Error,
                       QStringLiteral("%1 cannot be opened: %2").arg(databaseName(), ZqMemSqliteMgr::errorText(code)),
                       path);
        return false;
    }
    int err = 0;
    CppSQLite3Query integrity = db.execQuery("PRAGMA integrity_check", err);
    if (err == SqliteBusy || err == SqliteLocked) {
        survey.add(QStringLiteral("db-busy"), DoctorSeverity::Warning,
                   QStringLiteral("another program holds %1, which could not be checked; try again when it is done")
                       .arg(databaseName()),
                   path);
        return false;
    }
    if (err != 0) {
        survey.add(QStringLiteral("db-integrity"), DoctorSeverity::Error,
                   QStringLiteral("the integrity check of %1 failed: %2")
                       .arg(databaseName(), ZqMemSqliteMgr::errorText(err)),
                   path);
        return false;
    }
    QStringList problems;
    for (; !integrity.eof(); integrity.nextRow())
        problems.append(QString::fromUtf8(integrity.fieldValue(0)));
    if (problems != QStringList{QStringLiteral("ok")})
        survey.add(QStringLiteral("db-integrity"), DoctorSeverity::Error,
                   QStringLiteral("%1 is damaged: %2; copy the file away before the client changes it further")
                       .arg(databaseName(), DoctorText::someOf(problems)),
                   path);
    return true;
}

// What fixInstallation() does with a table it rebuilds.
QString rebuildFix(const QString &table, const QString &kept)
{
    return QStringLiteral("keep the %1 aside as %2_damaged_<yyyyMMdd_HHmmss>, create the table and copy into it the "
                          "rows that fit")
        .arg(kept, table);
}

void checkTable(DoctorSurvey &survey, ZqMemSqliteMgr &db, const StrategySchema::Table &table, const QString &path,
                bool repairable)
{
    const QString name = QLatin1String(table.name);
    const StrategySchema::TableState state = StrategySchema::stateOf(db, table);
    switch (state.kind) {
    case StrategySchema::TableState::Unknown:
    case StrategySchema::TableState::Sound:
        return;
    case StrategySchema::TableState::Missing:
        survey.add(QStringLiteral("db-missing-table"), DoctorSeverity::Warning,
                   QStringLiteral("%1 has no table %2; the next start creates it, empty").arg(databaseName(), name),
                   path, repairable ? QStringLiteral("create the table") : QString());
        break;
    case StrategySchema::TableState::NotATable:
        survey.add(QStringLiteral("db-table-replaced"), DoctorSeverity::Error,
                   QStringLiteral("%1 holds %2 named %3 where its table belongs: no row can be written there and no "
                                  "start creates the table; rows the plug-in could not write wait in %4")
                       .arg(databaseName(), QLatin1String(state.objectType == QLatin1String("index") ? "an " : "a ") + state.objectType, name,
                            QLatin1String(InstallationLayout::PendingJournalFile)),
                   path, repairable ? rebuildFix(name, state.objectType) : QString());
        break;
    case StrategySchema::TableState::LacksColumns:
        if (!state.lacking.isEmpty())
            survey.add(QStringLiteral("db-missing-column"), DoctorSeverity::Error,
                       QStringLiteral("the table %1 lacks the column(s) %2, which no start adds: its rows cannot be "
                                      "written or read")
                           .arg(name, state.lacking.join(QLatin1String(", "))),
                       path, repairable ? rebuildFix(name, QStringLiteral("old table")) : QString());
        if (!state.addedAtStart.isEmpty())
            survey.add(QStringLiteral("db-missing-column"), DoctorSeverity::Warning,
                       QStringLiteral("the table %1 of an older version lacks the column(s) %2; the next start adds them")
                           .arg(name, state.addedAtStart.join(QLatin1String(", "))),
                       path);
        if (state.lacking.isEmpty())
            return; // the start's own migration
        break;
    }
    if (repairable)
        survey.damagedTables.append(name);
}

void checkLegacyTable(DoctorSurvey &survey, ZqMemSqliteMgr &db, const QString &path)
{
    if (!db.tableExists(StrategySchema::LegacyTable))
        return;
    int err = 0;
    const QByteArray select = QByteArray("select * from ") + StrategySchema::LegacyTable;
    CppSQLite3Query rows = db.execQuery(select.constData(), err);
    if (err != 0)
        return;
    // A row the move cannot write into a data file stays in the table.
    int count = 0;
    int stuck = 0;
    for (; !rows.eof(); rows.nextRow()) {
        ++count;
        auto text = [&rows](int col) { return QString::fromUtf8(rows.fieldValue(col)); };
        FixedStrategyInfo info;
        info.name = text(StrategySchema::LegacyName);
        info.filePath = text(StrategySchema::LegacyFilePath);
        info.group = text(StrategySchema::LegacyGroup);
        info.extraInfo = text(StrategySchema::LegacyExtraInfo);
        if (!FixedStrategyFile::isValidUserFolder(text(StrategySchema::LegacyUserFolder).toLower())
            || !FixedStrategyFile::canHold(info))
            ++stuck;
    }
    const QString legacy = QLatin1String(StrategySchema::LegacyTable);
    if (count == 0) {
        survey.add(QStringLiteral("db-legacy-table"), DoctorSeverity::Info,
                   QStringLiteral("the empty table %1 of an older version is left; the next start drops it").arg(legacy),
                   path);
        return;
    }
    QString message = QStringLiteral("the table %1 of an older version holds %2; the next start moves them into the "
                                     "users' data files")
                          .arg(legacy, DoctorText::plural(count, "row", "rows"));
    if (stuck > 0)
        message += QStringLiteral(", except %1 whose user folder or texts cannot be stored, which stay in the table")
                       .arg(stuck);
    survey.add(QStringLiteral("db-legacy-table"), DoctorSeverity::Warning, message, path);
}
} // namespace

void DatabaseCheck::run(DoctorSurvey &survey)
{
    const QString path = survey.appDir + QLatin1Char('/') + databaseName();
    if (!mayBeDatabase(survey, path))
        return;
    ZqMemSqliteMgr db;
    const int before = survey.findings.size();
    if (!openAndCheckIntegrity(survey, db, path))
        return;
    // A database whose integrity check failed is not rebuilt from here.
    const bool repairable = survey.findings.size() == before;
    for (const StrategySchema::Table &table : StrategySchema::tables())
        checkTable(survey, db, table, path, repairable);
    checkLegacyTable(survey, db, path);
}
