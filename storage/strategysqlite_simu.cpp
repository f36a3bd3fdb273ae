// Read-only queries of the simulated-trading engine's database.

#include "strategysqlite.h"

#include "storage/strategylogging.h"
#include "storage/sqltext.h"

#include <tavrix_fields.h>
#include <zqmemsqlitemgr.h>

namespace {
// A column's text as the row value: NULL gives a null string.
QVariant columnText(const CppSQLite3Query &query, int col)
{
    const char *value = query.fieldValue(col);
    return QVariant(value ? QString::fromUtf8(value) : QString());
}
} // namespace

CppSQLite3Query StrategySqlite::runSimuQuery(const QString &sql)
{
    CppSQLite3Query query;
    int err = 0;
    QMutexLocker locker(&m_simuDbMutex);
    if (m_simuDbMgr)
        query = m_simuDbMgr->execQuery(sql.toUtf8().constData(), err);
    SL_DEBUG << "CppSQLite3Query query" << sql;
    return query;
}

bool StrategySqlite::openDBByInstanceId(const QString &instanceId)
{
    Q_UNUSED(instanceId)
    const QString path = simuDatabasePath();
    SL_DEBUG << "openDBByInstanceId" << path;
    QMutexLocker locker(&m_simuDbMutex);
    m_simuDbMgr = new ZqMemSqliteMgr;
    // The engine owns this file: never create it or change its journal mode.
    m_simuDbMgr->setDbFilePathReadOnly(path.toUtf8().constData());
    return true;
}

QList<QMap<QString, QVariant>> StrategySqlite::querySimuEntrust(const QString &instanceId)
{
    QList<QMap<QString, QVariant>> rows;
    if (instanceId.isEmpty())
        return rows;
    const QString sql = QStringLiteral(" select order_id , symbol , date_time ,batch_no ,order_qty ,leave_qty,cum_qty ,"
                                       "side , status , type , px , avg_px , style,fund_account, enturst_prop ,text  "
                                       "from %1 where inst_id= '%2' ;")
                            .arg(QStringLiteral("order_info"), SqlText::quoted(instanceId));
    CppSQLite3Query query = runSimuQuery(sql);
    using namespace Tavrix_Fields;
    while (!query.eof()) {
        QMap<QString, QVariant> row;
        row.insert(Security::orderID, columnText(query, 0));
        row.insert(Security::symbol, columnText(query, 1));
        row.insert(System::createTime, columnText(query, 2));
        row.insert(Security::algoOrderID, instanceId);
        row.insert(Security::orderQty, columnText(query, 4));
        row.insert(Security::leaveQty, columnText(query, 5));
        row.insert(Security::cumQty, columnText(query, 6));
        row.insert(Security::side, columnText(query, 7));
        row.insert(Security::orderStatus, columnText(query, 8));
        row.insert(Security::orderType, columnText(query, 9));
        row.insert(Security::price, columnText(query, 10));
        row.insert(Security::avgPx, columnText(query, 11));
        row.insert(CustomField::priceType, columnText(query, 12));
        row.insert(UserAccount::tradingAccount, columnText(query, 13));
        row.insert(UserAccount::entrustProp, columnText(query, 14));
        row.insert(System::textDescription, columnText(query, 15));
        rows.append(row);
        query.nextRow();
    }
    query.finalize();
    return rows;
}

QList<QMap<QString, QVariant>> StrategySqlite::querySimuDeal(const QString &instanceId)
{
    QList<QMap<QString, QVariant>> rows;
    const QString sql = QStringLiteral(" select order_id , symbol , exchange_matchDate ,exec_id ,last_qty ,side , "
                                       "last_px , fund_account  from %1 where inst_id=%2")
                            .arg(QStringLiteral("deal_info"), instanceId);
    // The id stands without quotes: only a plain number may reach the
    // statement. Any other id selects nothing, as a failing statement does.
    CppSQLite3Query query;
    if (SqlText::isPlainDecimal(instanceId))
        query = runSimuQuery(sql);
    using namespace Tavrix_Fields;
    while (!query.eof()) {
        QMap<QString, QVariant> row;
        row.insert(Security::orderID, columnText(query, 0));
        row.insert(Security::symbol, columnText(query, 1));
        row.insert(Security::exchangeMatchDate, columnText(query, 2));
        row.insert(Security::execID, columnText(query, 3));
        row.insert(CustomField::ExecutionID, columnText(query, 3));
        row.insert(Strategy::strategyID, instanceId);
        row.insert(Security::algoOrderID, instanceId);
        row.insert(Security::lastQty, columnText(query, 4));
        row.insert(Security::side, columnText(query, 5));
        row.insert(Security::lastPx, columnText(query, 6));
        row.insert(UserAccount::tradingAccount, columnText(query, 7));
        rows.append(row);
        query.nextRow();
    }
    query.finalize();
    SL_DEBUG << "StrategySqlite::querySimuDeal" << rows.size();
    return rows;
}
