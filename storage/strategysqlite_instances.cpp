// Instance and backtest day-cash tables of StrategySqlite.

#include "strategysqlite.h"

#include "storage/repeatedtexts.h"
#include "storage/sqltext.h"
#include "storage/strategylogging.h"

#include <zqmemsqlitemgr.h>

#include <QLocale>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>

namespace {
constexpr int SqliteConstraint = 19;

// Codes that say the row itself cannot be stored, as opposed to the
// database being unable to store anything right now (busy, full, I/O).
bool rejectsRow(int code)
{
    return code == SqliteConstraint || code == 18 /* TOOBIG */ || code == 20 /* MISMATCH */
           || code == 25 /* RANGE */;
}

bool holdsNul(const QString &text)
{
    return text.contains(QChar(0));
}

const char *orEmpty(const char *value)
{
    return value ? value : "";
}

// The rows a reader hands over, as a list; a failed query reads as no rows
// and sets err, a query that succeeds leaves err as it was.
template<typename Info, typename Reader>
QList<Info> listOf(int &err, Reader read)
{
    QList<Info> list;
    int code = 0;
    read(code, [&](Info &info) { list.append(info); });
    if (code == 0)
        return list;
    err = code;
    return {};
}

QString msecsText(const QDateTime &time)
{
    return QString::number(double(time.toMSecsSinceEpoch()), 'f', 0);
}

// The shortest text that reads back as the same double, without an
// exponent: a whole amount as an integer literal, which SQLite stores digit
// for digit; any other as the shortest decimal, which SQLite stores as its
// REAL text of 15 significant digits, so every amount of up to 15
// significant digits reads back exactly with atof. (Six significant digits,
// QString::arg's default, turned 1012000.5 into 1012000.0.)
QString amountText(double amount)
{
    if (amount == std::trunc(amount) && std::fabs(amount) < 1e15)
        return QString::number(qint64(amount));
    return QString::number(amount, 'f', QLocale::FloatingPointShortest);
}

QString todayText()
{
    return QString::number(SqlText::todayNumber());
}

using Value = ZqMemSqliteMgr::Value;

// An amount bound as the value its literal amountText() gives: an integer
// literal that fits 64 bits is an INTEGER; any other (a decimal, or digits
// beyond 64 bits) is a REAL that SQLite itself reads from the same text, so
// that the stored value is the literal's to the last bit. The statement
// takes it as "coalesce(?n,CAST(?n+1 AS REAL))".
struct BoundAmount
{
    explicit BoundAmount(double amount) : text(amountText(amount).toLatin1()) { number = text.toLongLong(&whole); }
    Value integer() const { return whole ? Value::integer(number) : Value::null(); }
    Value real() const { return whole ? Value::null() : Value::text(text); }

    QByteArray text;
    qint64 number = 0;
    bool whole = false;
};

// Runs one statement of the instance and day-cash tables: prepared with
// `values`, or, with `asText`, as the text `text()` builds. The text is the
// debug log's line after `tag` (none without a tag); it is built only when
// it is logged or run, as a batch of thousands of rows would otherwise pay
// for texts nobody reads.
template<typename Text>
int runStatement(ZqMemSqliteMgr *db, bool asText, const char *tag, const char *prepared,
                 std::initializer_list<Value> values, Text text, int &err)
{
    const bool logged = tag && lcStrategyLogic().isDebugEnabled();
    if (!asText && !logged)
        return db->execPrepared(prepared, values.begin(), int(values.size()), err);
    const QString sql = text();
    if (logged)
        SL_DEBUG << tag << sql;
    if (asText)
        return db->execDML(sql.toUtf8().constData(), err);
    return db->execPrepared(prepared, values.begin(), int(values.size()), err);
}
} // namespace

int StrategySqlite::insertInstance(const QString &instanceId, int runMode, const QString &fundAccount,
                                   const QString &returnRegInfo, bool replacing)
{
    int err = 0;
    if (holdsNul(instanceId) || holdsNul(fundAccount) || holdsNul(returnRegInfo)) {
        // Refused as the statement text always was: a NUL ended it inside a
        // literal, which SQLite answered with 1 (SQLITE_ERROR).
        err = 1;
    } else {
        const QByteArray id = instanceId.toUtf8(), account = fundAccount.toUtf8(), reg = returnRegInfo.toUtf8();
        const int today = SqlText::todayNumber();
        runStatement(m_dbMgr, m_textStatements, "addInstanceRunMode",
                     "INSERT INTO instance_info (instance_id,run_mode,fund_account,return_reginfo,create_date) "
                     "VALUES (?1,?2,?3,?4,?5)",
                     {Value::text(id), Value::integer(runMode), Value::text(account), Value::text(reg),
                      Value::integer(today)},
                     [&] {
                         // One arg() call for all values: a value holding "%2" is not expanded.
                         return QStringLiteral("INSERT INTO instance_info (instance_id,run_mode,fund_account,"
                                               "return_reginfo,create_date) VALUES ('%1',%2,'%3','%4', %5 ) ;")
                             .arg(SqlText::quoted(instanceId), QString::number(runMode), SqlText::quoted(fundAccount),
                                  SqlText::quoted(returnRegInfo), QString::number(today));
                     },
                     err);
    }
    // A row that is there already is what a registration made again meets
    // first; the caller then updates it.
    if (err == SqliteConstraint && replacing)
        SL_DEBUG << "insert data to instance_info sarvek.db failure! reason:" << err;
    else if (err != 0)
        SL_INFO << "insert data to instance_info sarvek.db failure! reason:" << err;
    return err;
}

bool StrategySqlite::addInstanceRunMode(QString instanceId, int runMode, QString fundAccount, QString returnRegInfo)
{
    return insertInstance(instanceId, runMode, fundAccount, returnRegInfo, false) == 0;
}

StrategySqlite::RowOutcome StrategySqlite::writeInstanceRow(const InstanceInfo &info, int *code)
{
    if (holdsNul(info.instanceId) || holdsNul(info.fundAccount) || holdsNul(info.returnRegInfo)) {
        // It would end the statement early: the row's fault, not the database's.
        SL_WARNING << "StrategySqlite::writeInstanceRow" << "row rejected and dropped: a text holds a NUL:"
                   << info.instanceId;
        return RowOutcome::Rejected;
    }
    int err = insertInstance(info.instanceId, info.runMode, info.fundAccount, info.returnRegInfo, true);
    if (err == SqliteConstraint) {
        // The instance was registered again: the new registration replaces
        // the stored row, as it replaced the entry in memory.
        const QByteArray id = info.instanceId.toUtf8(), account = info.fundAccount.toUtf8(),
                         reg = info.returnRegInfo.toUtf8();
        const int today = SqlText::todayNumber();
        err = 0;
        const int changed = runStatement(
            m_dbMgr, m_textStatements, "StrategySqlite::writeInstanceRow",
            "update instance_info set run_mode=?2,fund_account=?3,return_reginfo=?4,create_date=?5,"
            "start_time=NULL,end_time=NULL where instance_id=?1",
            {Value::text(id), Value::integer(info.runMode), Value::text(account), Value::text(reg),
             Value::integer(today)},
            [&] {
                return QStringLiteral("update instance_info set run_mode=%2,fund_account='%3',return_reginfo='%4',"
                                      "create_date=%5,start_time=NULL,end_time=NULL where instance_id='%1';")
                    .arg(SqlText::quoted(info.instanceId), QString::number(info.runMode),
                         SqlText::quoted(info.fundAccount), SqlText::quoted(info.returnRegInfo),
                         QString::number(today));
            },
            err);
        // No row to replace: the insert met another constraint than the key.
        if (changed == 0 && err == 0)
            err = SqliteConstraint;
    }
    if (err == 0 && info.startTime.isValid() && info.endTime.isValid()) {
        // Times set while the row was still waiting for the database.
        const QString start = msecsText(info.startTime), end = msecsText(info.endTime);
        const QByteArray startUtf8 = start.toUtf8(), endUtf8 = end.toUtf8(), id = info.instanceId.toUtf8();
        runStatement(m_dbMgr, m_textStatements, nullptr,
                     "update instance_info set start_time=?1,end_time=?2 where instance_id=?3",
                     {Value::text(startUtf8), Value::text(endUtf8), Value::text(id)},
                     [&] {
                         return QStringLiteral("update instance_info set start_time='%1',end_time='%2' "
                                               "where instance_id='%3';")
                             .arg(start, end, SqlText::quoted(info.instanceId));
                     },
                     err);
    }
    if (err == 0)
        return RowOutcome::Written;
    if (rejectsRow(err)) {
        SL_WARNING << "StrategySqlite::writeInstanceRow" << "row rejected and dropped:" << info.instanceId
                   << "reason:" << err;
        return RowOutcome::Rejected;
    }
    *code = err;
    return RowOutcome::Failed;
}

template<typename Row, typename WriteRow>
int StrategySqlite::writeBatch(const QList<Row> &rows, WriteRow writeRow)
{
    if (rows.isEmpty())
        return 0;
    ensureSchema();
    const int begin = m_dbMgr->transaction();
    if (begin != 0) {
        SL_INFO << "StrategySqlite::writeBatch" << "cannot begin a transaction, reason:" << begin;
        return begin;
    }
    for (const Row &row : rows) {
        int code = 0;
        if (writeRow(row, &code) == RowOutcome::Failed) {
            m_dbMgr->rollback();
            return code;
        }
    }
    const int commit = m_dbMgr->commit();
    if (commit != 0)
        SL_INFO << "StrategySqlite::writeBatch" << "commit failed, reason:" << commit;
    return commit;
}

int StrategySqlite::writeInstanceRows(const QList<InstanceInfo> &instances)
{
    return writeBatch(instances, [this](const InstanceInfo &info, int *code) { return writeInstanceRow(info, code); });
}

bool StrategySqlite::addInstanceRunModeList(const QList<InstanceInfo> &instances)
{
    return writeInstanceRows(instances) == 0;
}

bool StrategySqlite::setInstanceStartEndTime(QString instanceId, QDateTime start, QDateTime end)
{
    ensureSchema();
    // The id stands in the statement without quotes: anything but a plain
    // number could change what the statement does, so it is not sent.
    if (!SqlText::isPlainDecimal(instanceId)) {
        SL_INFO << "StrategySqlite::setInstanceStartEndTime" << "error code"
                << "instance id is not a plain decimal number, not sent:" << instanceId;
        return false;
    }
    const QString startText = msecsText(start), endText = msecsText(end);
    const QByteArray startUtf8 = startText.toUtf8(), endUtf8 = endText.toUtf8();
    int err = 0;
    // The id goes in as the integer its unquoted literal was; compared with
    // the text column, it is its own digits again.
    runStatement(m_dbMgr, m_textStatements, nullptr,
                 "update instance_info set start_time=?1,end_time=?2 where instance_id=?3",
                 {Value::text(startUtf8), Value::text(endUtf8), Value::integer(instanceId.toLongLong())},
                 [&] {
                     return QStringLiteral("update instance_info set start_time='%1',end_time='%2' "
                                           "where instance_id=%3; ")
                         .arg(startText, endText, instanceId);
                 },
                 err);
    if (err != 0) {
        SL_INFO << "StrategySqlite::setInstanceStartEndTime" << "error code" << err;
        return false;
    }
    SL_INFO << "setInstanceStartEndTime success";
    return true;
}

QList<InstanceInfo> StrategySqlite::queryAllInstaceRunMode(int &err)
{
    return listOf<InstanceInfo>(err, [this](int &code, const std::function<void(InstanceInfo &)> &take) {
        readAllInstances(code, take);
    });
}

void StrategySqlite::readAllInstances(int &err, const std::function<void(InstanceInfo &)> &take)
{
    ensureSchema();
    const char *sql = " select instance_id ,run_mode,fund_account ,return_reginfo,start_time,end_time from instance_info ;";
    SL_DEBUG << sql;
    InstanceInfo info;
    const int count = m_dbMgr->forEachRow(
        sql,
        [&](const char *const *values, int) {
            info.instanceId = SqlText::textOf(values[0]);
            info.runMode = int(SqlText::integerOf(values[1]));
            info.fundAccount = SqlText::textOf(values[2]);
            info.returnRegInfo = SqlText::textOf(values[3]);
            const char *endTime = orEmpty(values[5]);
            if (std::strlen(endTime) > 4) {
                // UTC: a local time costs two looks at the system's time
                // zone (glibc examines /etc/localtime each time when TZ is
                // unset), most of a start with thousands of instances.
                info.startTime = QDateTime::fromMSecsSinceEpoch(SqlText::integerOf(values[4]), Qt::UTC);
                info.endTime = QDateTime::fromMSecsSinceEpoch(SqlText::integerOf(endTime), Qt::UTC);
            } else {
                info.startTime = QDateTime();
                info.endTime = QDateTime();
            }
            take(info);
        },
        err);
    SL_DEBUG << "execed  queryAllInstaceRunMode ret" << count;
}

int StrategySqlite::insertDayCash(const QString &instanceId, const QDate &date, double initialFunds, double endFunds)
{
    int err = 0;
    if (!std::isfinite(initialFunds) || !std::isfinite(endFunds) || holdsNul(instanceId)) {
        // Refused as the statement text always was: "nan" and "inf" are no
        // SQL and a NUL ended the text inside a literal, each answered with
        // 1 (SQLITE_ERROR).
        err = 1;
    } else {
        const QString dateText = date.toString(QStringLiteral("yyyyMMdd"));
        const QByteArray id = instanceId.toUtf8(), dateUtf8 = dateText.toUtf8();
        const QByteArray today = todayText().toLatin1();
        const BoundAmount initial(initialFunds), end(endFunds);
        runStatement(m_dbMgr, m_textStatements, "StrategySqlite::addBackTestDayCash",
                     "INSERT INTO backtest_daycash (instance_id,date,initial_funds,end_funds,create_date) "
                     "VALUES (?1,?2,coalesce(?3,CAST(?4 AS REAL)),coalesce(?5,CAST(?6 AS REAL)),?7)",
                     {Value::text(id), Value::text(dateUtf8), initial.integer(), initial.real(), end.integer(),
                      end.real(), Value::text(today)},
                     [&] {
                         return QStringLiteral("INSERT INTO %1 (instance_id, date,initial_funds,end_funds,"
                                               "create_date)values('%2','%3',%4,%5,'%6'); ")
                             .arg(QStringLiteral("backtest_daycash"), SqlText::quoted(instanceId), dateText,
                                  QString::fromLatin1(initial.text), QString::fromLatin1(end.text),
                                  QString::fromLatin1(today));
                     },
                     err);
    }
    if (err != 0)
        SL_INFO << "insert data to BacktestDaycashTable failure! reason:" << err;
    else
        SL_INFO << "insert data to BacktestDaycashTable sarvek.db success!";
    return err;
}

bool StrategySqlite::addBackTestDayCash(const QString &instanceId, const QDate &date, const double &initialFunds,
                                        const double &endFunds)
{
    return insertDayCash(instanceId, date, initialFunds, endFunds) == 0;
}

StrategySqlite::RowOutcome StrategySqlite::writeDayCashRow(const BackTestCashInfo &info, int *code)
{
    if (!std::isfinite(info.initialFunds) || !std::isfinite(info.endFunds) || holdsNul(info.instanceId)) {
        // "nan" or "inf" would not even parse as SQL, a NUL would end the
        // statement early: the row's fault, not the database's.
        SL_WARNING << "StrategySqlite::writeDayCashRow" << "row rejected and dropped: amounts not finite or a NUL in the id"
                   << info.instanceId << info.date.toString(QStringLiteral("yyyyMMdd"));
        return RowOutcome::Rejected;
    }
    int err = insertDayCash(info.instanceId, info.date, info.initialFunds, info.endFunds);
    if (err == SqliteConstraint) {
        // A day reported again: the new report replaces the stored row.
        const QString dateText = info.date.toString(QStringLiteral("yyyyMMdd"));
        const QByteArray id = info.instanceId.toUtf8(), dateUtf8 = dateText.toUtf8();
        const QByteArray today = todayText().toLatin1();
        const BoundAmount initial(info.initialFunds), end(info.endFunds);
        err = 0;
        const int changed = runStatement(
            m_dbMgr, m_textStatements, "StrategySqlite::writeDayCashRow",
            "update backtest_daycash set initial_funds=coalesce(?3,CAST(?4 AS REAL)),"
            "end_funds=coalesce(?5,CAST(?6 AS REAL)),create_date=?7 where instance_id=?1 and date=?2",
            {Value::text(id), Value::text(dateUtf8), initial.integer(), initial.real(), end.integer(), end.real(),
             Value::text(today)},
            [&] {
                return QStringLiteral("update backtest_daycash set initial_funds=%3,end_funds=%4,"
                                      "create_date='%5' where instance_id='%1' and date='%2';")
                    .arg(SqlText::quoted(info.instanceId), dateText, QString::fromLatin1(initial.text),
                         QString::fromLatin1(end.text), QString::fromLatin1(today));
            },
            err);
        if (changed == 0 && err == 0)
            err = SqliteConstraint;
    }
    if (err == 0)
        return RowOutcome::Written;
    if (rejectsRow(err)) {
        SL_WARNING << "StrategySqlite::writeDayCashRow" << "row rejected and dropped:" << info.instanceId
                   << info.date.toString(QStringLiteral("yyyyMMdd")) << "reason:" << err;
        return RowOutcome::Rejected;
    }
    *code = err;
    return RowOutcome::Failed;
}

int StrategySqlite::writeDayCashRows(const QList<BackTestCashInfo> &records)
{
    return writeBatch(records, [this](const BackTestCashInfo &info, int *code) { return writeDayCashRow(info, code); });
}

bool StrategySqlite::addBackTestDayCashList(const QList<BackTestCashInfo> &records)
{
    return writeDayCashRows(records) == 0;
}

QList<BackTestCashInfo> StrategySqlite::queryALLBackTestDateCash(int &err)
{
    return listOf<BackTestCashInfo>(err, [this](int &code, const std::function<void(BackTestCashInfo &)> &take) {
        readAllDayCash(code, take);
    });
}

void StrategySqlite::readAllDayCash(int &err, const std::function<void(BackTestCashInfo &)> &take)
{
    ensureSchema();
    const QString sql =
        QStringLiteral(" select instance_id ,date,initial_funds ,end_funds from %1 ;").arg(QStringLiteral("backtest_daycash"));
    SL_DEBUG << sql;
    BackTestCashInfo info;
    RepeatedTexts ids;
    const int count = m_dbMgr->forEachRow(
        sql.toUtf8().constData(),
        [&](const char *const *values, int) {
            const char *id = values[0];
            if (!id) {
                info.instanceId = QString();
            } else {
                ids.text(id, int(std::strlen(id)), &info.instanceId, [id](QString *made) {
                    *made = SqlText::textOf(id);
                    return true;
                });
            }
            info.date = SqlText::dateFromDigits(values[1]);
            info.initialFunds = SqlText::numberOf(values[2]);
            info.endFunds = SqlText::numberOf(values[3]);
            take(info);
        },
        err);
    SL_DEBUG << "execed  queryALLBackTestDateCash ret" << count;
}
