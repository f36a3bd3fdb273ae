#include "installationrepair.h"

#include "doctor/doctorsurvey.h"
#include "doctor/doctortext.h"
#include "registry/groupsfile.h"
#include "storage/atomicfile.h"
#include "storage/datedbackup.h"
#include "storage/installationlayout.h"
#include "storage/strategyschema.h"

#include <interprocidservice.h>
#include <zqmemsqlitemgr.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

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

QString quotedName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Whether any table, view, index or trigger has that name (regardless of case).
bool nameTaken(ZqMemSqliteMgr &db, const QString &name)
{
    int err = 0;
    const QString sql = QStringLiteral("select count(*) from sqlite_master where lower(name)=lower('%1')").arg(name);
    CppSQLite3Query query = db.execQuery(sql.toUtf8().constData(), err);
    return err != 0 || query.eof() || QByteArray(query.fieldValue(0)) != "0";
}

QString asideName(ZqMemSqliteMgr &db, const QString &table, const QString &stamp)
{
    const QString base = QStringLiteral("%1_damaged_%2").arg(table, stamp);
    QString name = base;
    for (int n = 2; nameTaken(db, name); ++n)
        name = QStringLiteral("%1_%2").arg(base).arg(n);
    return name;
}

// The definition of a view or an index ("CREATE VIEW name ...", "CREATE
// [UNIQUE] INDEX name ...", as SQLite keeps it) under another name; empty
// when its name cannot be told apart.
QString renamedDefinition(const QString &sql, const QString &name)
{
    static const QRegularExpression head(
        QStringLiteral("^\\s*CREATE\\s+(UNIQUE\\s+)?(VIEW|INDEX)\\s+(IF\\s+NOT\\s+EXISTS\\s+)?"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = head.match(sql);
    if (!match.hasMatch())
        return QString();
    int at = match.capturedEnd();
    if (at >= sql.size())
        return QString();
    const QChar open = sql.at(at);
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    int end = at;
    if (open == QLatin1Char('"') || open == QLatin1Char('`') || open == QLatin1Char('\'') || open == QLatin1Char('[')) {
        for (end = at + 1; end < sql.size(); ++end) {
            if (sql.at(end) != close)
                continue;
            if (close != QLatin1Char(']') && end + 1 < sql.size() && sql.at(end + 1) == close) {
                ++end; // a doubled quote stands for itself
                continue;
            }
            break;
        }
        if (end >= sql.size())
            return QString();
        ++end;
    } else {
        while (end < sql.size() && (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')
                                    || sql.at(end) == QLatin1Char('$') || sql.at(end).unicode() > 127))
            ++end;
        if (end == at)
            return QString();
    }
    return sql.left(at) + quotedName(name) + sql.mid(end);
}

int execute(ZqMemSqliteMgr &db, const QString &sql, QString *error)
{
    int err = 0;
    const int changes = db.execDML(sql.toUtf8().constData(), err);
    if (err != 0) {
        *error = db.lastErrorMessage();
        return -1;
    }
    return changes;
}

// The rows of `from` that fit copied into the new `table`; their number,
// -1 with the reason on failure.
int copyRows(ZqMemSqliteMgr &db, const StrategySchema::Table &table, const QString &from, int *held, QString *error)
{
    QStringList present;
    if (!StrategySchema::columnsOf(db, from.toUtf8().constData(), &present)) {
        *error = db.lastErrorMessage();
        return -1;
    }
    int err = 0;
    CppSQLite3Query count = db.execQuery(QStringLiteral("select count(*) from %1").arg(quotedName(from)).toUtf8().constData(), err);
    // A view that cannot be read (it names a table that is gone) shows no rows.
    *held = err == 0 && !count.eof() ? QByteArray(count.fieldValue(0)).toInt() : 0;
    if (err != 0 || *held == 0)
        return 0;
    QStringList common;
    for (const StrategySchema::Column &column : table.columns) {
        if (present.contains(QLatin1String(column.name)))
            common.append(QLatin1String(column.name));
    }
    QStringList keyed;
    for (const char *key : table.key) {
        if (!common.contains(QLatin1String(key)))
            return 0; // no row of it has a key
        keyed.append(QStringLiteral("%1 is not null").arg(QLatin1String(key)));
    }
    const QString columns = common.join(QLatin1Char(','));
    return execute(db,
                   QStringLiteral("insert or ignore into %1 (%2) select %2 from %3 where %4")
                       .arg(QLatin1String(table.name), columns, quotedName(from), keyed.join(QLatin1String(" and "))),
                   error);
}

// Rebuilds one table inside the caller's transaction; false with the reason.
bool rebuildTable(ZqMemSqliteMgr &db, const StrategySchema::Table &table, const QString &stamp, QString *id,
                  QString *action, QString *error)
{
    using State = StrategySchema::TableState;
    const QString name = QLatin1String(table.name);
    const State state = StrategySchema::stateOf(db, table);
    QString aside;
    QString kept;
    switch (state.kind) {
    case State::Unknown:
        *error = db.lastErrorMessage();
        return false;
    case State::Sound:
        return true; // nothing to do any more
    case State::Missing:
        *id = QStringLiteral("db-missing-table");
        break;
    case State::LacksColumns:
        *id = QStringLiteral("db-missing-column");
        aside = asideName(db, name, stamp);
        kept = QStringLiteral("the old table");
        if (execute(db, QStringLiteral("alter table %1 rename to %2").arg(quotedName(name), quotedName(aside)), error) < 0)
            return false;
        break;
    case State::NotATable: {
        *id = QStringLiteral("db-table-replaced");
        aside = asideName(db, name, stamp);
        kept = QStringLiteral("the %1").arg(state.objectType);
        int err = 0;
        const QString select = QStringLiteral("select sql from sqlite_master where lower(name)='%1' and type='%2'")
                                   .arg(name, state.objectType);
        CppSQLite3Query definition = db.execQuery(select.toUtf8().constData(), err);
        const QString sql = err == 0 && !definition.eof() ? QString::fromUtf8(definition.fieldValue(0)) : QString();
        const QString renamed = renamedDefinition(sql, aside);
        if (renamed.isEmpty()) {
            *error = QStringLiteral("the definition of the %1 %2 cannot be read: %3").arg(state.objectType, name, sql);
            return false;
        }
        if (execute(db, QStringLiteral("drop %1 %2").arg(state.objectType, quotedName(name)), error) < 0
            || execute(db, renamed, error) < 0)
            return false;
        break;
    }
    }
    if (execute(db, QLatin1String(table.createStatement), error) < 0)
        return false;
    if (aside.isEmpty()) {
        *action = QStringLiteral("created the table %1").arg(name);
        return true;
    }
    int held = 0;
    const int copied = state.objectType == QLatin1String("index") ? 0 : copyRows(db, table, aside, &held, error);
    if (copied < 0)
        return false;
    *action = QStringLiteral("kept %1 %2 aside as %3 and created the table %2 anew").arg(kept, name, aside);
    if (state.objectType == QLatin1String("index"))
        return true;
    if (held == 0)
        *action += QStringLiteral("; it held no rows");
    else if (copied == held)
        *action += QStringLiteral(", copying its %1").arg(DoctorText::plural(held, "row", "rows"));
    else
        *action += QStringLiteral(", copying %1 of its %2 (the others lack their key or repeat one)")
                       .arg(copied)
                       .arg(DoctorText::plural(held, "row", "rows"));
    return true;
}
} // namespace

void InstallationRepair::rebuildTables(const DoctorSurvey &survey, DoctorFixResult *result)
{
    if (survey.damagedTables.isEmpty())
        return;
    const QString path = survey.appDir + QLatin1Char('/') + QLatin1String(InstallationLayout::DatabaseFile);
    const QString id = QStringLiteral("sarvek.db");
    ZqMemSqliteMgr db;
    db.setDbFilePath(path.toUtf8().constData());
    if (!db.getConn().isOpen()) {
        result->failures.append(QStringLiteral("%1: cannot open %2: %3").arg(id, path, ZqMemSqliteMgr::errorText(db.openError())));
        return;
    }
    // The first read rolls back what a killed writer left in a rollback
    // journal, so that the copy is of the database as it stands.
    int err = 0;
    db.execQuery("select count(*) from sqlite_master", err);
    QString error;
    const QString backup = backUp(path, &error);
    if (backup.isEmpty()) {
        result->failures.append(QStringLiteral("%1: %2").arg(id, error));
        return;
    }
    // The views and triggers that name a table keep naming the table, not
    // the old one kept aside.
    db.execDML("PRAGMA legacy_alter_table=ON", err);
    err = 0;
    db.execDML("BEGIN IMMEDIATE", err);
    if (err != 0) {
        result->failures.append(QStringLiteral("%1: cannot change %2: %3").arg(id, path, db.lastErrorMessage()));
        return;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QList<DoctorRepair> made;
    for (const QString &name : survey.damagedTables) {
        const StrategySchema::Table *table = StrategySchema::table(name.toLatin1().constData());
        QString findingId, action;
        if (!table || !rebuildTable(db, *table, stamp, &findingId, &action, &error)) {
            db.execDML("ROLLBACK", err);
            result->failures.append(QStringLiteral("%1: the table %2 cannot be rebuilt: %3; the database is as it was")
                                        .arg(id, name, error));
            return;
        }
        if (!action.isEmpty())
            made.append(DoctorRepair{findingId, action, path, backup});
    }
    err = 0;
    db.execDML("COMMIT", err);
    if (err != 0) {
        const QString reason = db.lastErrorMessage();
        db.execDML("ROLLBACK", err);
        result->failures.append(QStringLiteral("%1: cannot write %2: %3; the database is as it was").arg(id, path, reason));
        return;
    }
    result->repairs += made;
}

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
