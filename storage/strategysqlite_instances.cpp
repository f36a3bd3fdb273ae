// Instance and backtest day-cash tables of StrategySqlite.

#include "strategysqlite.h"

#include "storage/strategylogging.h"
#include "storage/sqltext.h"

#include <zqmemsqlitemgr.h>

#include <QLocale>

#include <cmath>
#include <cstdlib>
#include <cstring>

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
} // namespace

int StrategySqlite::insertInstance(const QString &instanceId, int runMode, const QString &fundAccount,
                                   const QString &returnRegInfo)
{
    // One arg() call for all values: a value holding "%2" is not expanded.
    const QString sql = QStringLiteral("INSERT INTO instance_info (instance_id,run_mode,fund_account,return_reginfo,"
                                       "create_date) VALUES ('%1',%2,'%3','%4', %5 ) ;")
                            .arg(SqlText::quoted(instanceId), QString::number(runMode), SqlText::quoted(fundAccount),
                                 SqlText::quoted(returnRegInfo), todayText());
    SL_DEBUG << "addInstanceRunMode" << sql;
    int err = 0;
    m_dbMgr->execDML(sql.toUtf8().constData(), err);
    if (err != 0)
        SL_INFO << "insert data to instance_info sarvek.db failure! reason:" << err;
    return err;
}

bool StrategySqlite::addInstanceRunMode(QString instanceId, int runMode, QString fundAccount, QString returnRegInfo)
{
    return insertInstance(instanceId, runMode, fundAccount, returnRegInfo) == 0;
}

StrategySqlite::RowOutcome StrategySqlite::writeInstanceRow(const InstanceInfo &info, int *code)
{
    if (holdsNul(info.instanceId) || holdsNul(info.fundAccount) || holdsNul(info.returnRegInfo)) {
        // It would end the statement early: the row's fault, not the database's.
        SL_WARNING << "StrategySqlite::writeInstanceRow" << "row rejected and dropped: a text holds a NUL:"
                   << info.instanceId;
        return RowOutcome::Rejected;
    }
    int err = insertInstance(info.instanceId, info.runMode, info.fundAccount, info.returnRegInfo);
    if (err == SqliteConstraint) {
        // The instance was registered again: the new registration replaces
        // the stored row, as it replaced the entry in memory.
        const QString sql =
            QStringLiteral("update instance_info set run_mode=%2,fund_account='%3',return_reginfo='%4',"
                           "create_date=%5,start_time=NULL,end_time=NULL where instance_id='%1';")
                .arg(SqlText::quoted(info.instanceId), QString::number(info.runMode),
                     SqlText::quoted(info.fundAccount), SqlText::quoted(info.returnRegInfo), todayText());
        SL_DEBUG << "StrategySqlite::writeInstanceRow" << sql;
        err = 0;
        // No row to replace: the insert met another constraint than the key.
        if (m_dbMgr->execDML(sql.toUtf8().constData(), err) == 0 && err == 0)
            err = SqliteConstraint;
    }
    if (err == 0 && info.startTime.isValid() && info.endTime.isValid()) {
        // Times set while the row was still waiting for the database.
        const QString sql = QStringLiteral("update instance_info set start_time='%1',end_time='%2' "
                                           "where instance_id='%3';")
                                .arg(msecsText(info.startTime), msecsText(info.endTime),
                                     SqlText::quoted(info.instanceId));
        m_dbMgr->execDML(sql.toUtf8().constData(), err);
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
    const QString sql = QStringLiteral("update instance_info set start_time='%1',end_time='%2' where instance_id=%3; ")
                            .arg(msecsText(start), msecsText(end), instanceId);
    int err = 0;
    m_dbMgr->execDML(sql.toUtf8().constData(), err);
    if (err != 0) {
        SL_INFO << "StrategySqlite::setInstanceStartEndTime" << "error code" << err;
        return false;
    }
    SL_INFO << "setInstanceStartEndTime success";
    return true;
}

QList<InstanceInfo> StrategySqlite::queryAllInstaceRunMode(int &err)
{
    ensureSchema();
    const char *sql = " select instance_id ,run_mode,fund_account ,return_reginfo,start_time,end_time from instance_info ;";
    SL_DEBUG << sql;
    QList<InstanceInfo> list;
    CppSQLite3Query query = m_dbMgr->execQuery(sql, err);
    while (!query.eof()) {
        InstanceInfo info;
        info.instanceId = QString::fromUtf8(query.fieldValue(0));
        info.runMode = std::atoi(orEmpty(query.fieldValue(1)));
        info.fundAccount = QString::fromUtf8(query.fieldValue(2));
        info.returnRegInfo = QString::fromUtf8(query.fieldValue(3));
        const char *endTime = orEmpty(query.fieldValue(5));
        if (std::strlen(endTime) > 4) {
            info.startTime = QDateTime::fromMSecsSinceEpoch(std::atoll(orEmpty(query.fieldValue(4))));
            info.endTime = QDateTime::fromMSecsSinceEpoch(std::atoll(endTime));
        }
        list.append(info);
        query.nextRow();
    }
    SL_DEBUG << "execed  queryAllInstaceRunMode ret" << list.size();
    query.finalize();
    return list;
}

int StrategySqlite::insertDayCash(const QString &instanceId, const QDate &date, double initialFunds, double endFunds)
{
    const QString sql = QStringLiteral("INSERT INTO %1 (instance_id, date,initial_funds,end_funds,create_date)"
                                       "values('%2','%3',%4,%5,'%6'); ")
                            .arg(QStringLiteral("backtest_daycash"), SqlText::quoted(instanceId),
                                 date.toString(QStringLiteral("yyyyMMdd")), amountText(initialFunds),
                                 amountText(endFunds), todayText());
    SL_DEBUG << "StrategySqlite::addBackTestDayCash" << sql;
    int err = 0;
    m_dbMgr->execDML(sql.toUtf8().constData(), err);
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
        const QString sql = QStringLiteral("update backtest_daycash set initial_funds=%3,end_funds=%4,"
                                           "create_date='%5' where instance_id='%1' and date='%2';")
                                .arg(SqlText::quoted(info.instanceId), info.date.toString(QStringLiteral("yyyyMMdd")),
                                     amountText(info.initialFunds), amountText(info.endFunds), todayText());
        SL_DEBUG << "StrategySqlite::writeDayCashRow" << sql;
        err = 0;
        if (m_dbMgr->execDML(sql.toUtf8().constData(), err) == 0 && err == 0)
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
    ensureSchema();
    const QString sql =
        QStringLiteral(" select instance_id ,date,initial_funds ,end_funds from %1 ;").arg(QStringLiteral("backtest_daycash"));
    SL_DEBUG << sql;
    QList<BackTestCashInfo> list;
    CppSQLite3Query query = m_dbMgr->execQuery(sql.toUtf8().constData(), err);
    while (!query.eof()) {
        BackTestCashInfo info;
        info.instanceId = QString::fromUtf8(query.fieldValue(0));
        info.date = SqlText::dateFromDigits(query.fieldValue(1));
        info.initialFunds = std::atof(orEmpty(query.fieldValue(2)));
        info.endFunds = std::atof(orEmpty(query.fieldValue(3)));
        list.append(info);
        query.nextRow();
    }
    SL_DEBUG << "execed  queryALLBackTestDateCash ret" << list.size();
    query.finalize();
    return list;
}
