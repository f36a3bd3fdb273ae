// Orders and fills of simulated strategy instances, read from the simulated-trading engine's own database.

#include "testsupport.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <tavrix_fields.h>

#include <QtTest>

namespace {
// The engine's tables as far as the plug-in reads them, numbers stored as numbers. Instance 1001 has orders and fills,
// instance 1'2 an order only, instances 123 and 9223372036854775808 (beyond 64 bits) a fill only.
const char *const Engine =
    "create table order_info(order_id, symbol, date_time, batch_no, order_qty, leave_qty, cum_qty, side, status, type,"
    " px, avg_px, style, fund_account, enturst_prop, text, inst_id); create table deal_info(order_id, symbol,"
    " exchange_matchDate, exec_id, last_qty, side, last_px, fund_account, inst_id); insert into order_info values("
    "'O1','IF2412','20241202 09:30:01','B1',2,0,2,'1','2','1',3890.2,0.0,'limit','990001','0',NULL,'1001'),"
    " ('O2','','','',0,0,0,'','','',0,0,'','','','','1001'), ('O9','','','',0,0,0,'','','',0,0,'','','','','1''2');"
    " insert into deal_info values('O1','IF2412','20241202','E1',2,'1',3890.2,'990001',1001),"
    " ('O2','','','',0,'',0,'',1001), ('O4','','','',0,'',0,'',123), ('O5','','','',0,'',0,'',9223372036854775808);";

// A row as "key=type:value" in key order, NULL for a null value.
QString text(const QMap<QString, QVariant> &row)
{
    QStringList fields;
    for (auto it = row.begin(); it != row.end(); ++it)
        fields << it.key() + QLatin1Char('=') + QLatin1String(it->typeName()) + QLatin1Char(':')
                      + (it->isNull() ? QStringLiteral("NULL") : it->toString());
    return fields.join(QLatin1Char(' '));
}
} // namespace

class tst_Simu : public QObject
{
    Q_OBJECT

    TestHome m_home;
    StrategyFileLogicHandler &m_facade = StrategyFileLogicHandler::instance();
    QString engine() const { return m_home.filePath(QStringLiteral("Sarvek_SimuTrade.db")); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        // Until the engine has created its file the lists are empty, and the plug-in does not create it.
        QVERIFY(m_facade.querySimuEntrust("1001").isEmpty() && m_facade.querySimuDeal("1001").isEmpty());
        QVERIFY(!QFileInfo::exists(engine()));
        QVERIFY(execSql(engine(), QLatin1String(Engine) + QLatin1String("pragma journal_mode=wal;")));
    }

    // Every value is a QString under the host's keys, numbers as SQLite renders them, NULL as a null string.
    void rowValues()
    {
        using namespace Tavrix_Fields;
        QCOMPARE(text(m_facade.querySimuEntrust("1001").value(0)),
                 text({{Security::orderID, "O1"}, {Security::symbol, "IF2412"}, {Security::algoOrderID, "1001"},
                       {System::createTime, "20241202 09:30:01"}, {Security::orderQty, "2"}, {Security::leaveQty, "0"},
                       {Security::cumQty, "2"}, {Security::side, "1"}, {Security::orderStatus, "2"},
                       {Security::orderType, "1"}, {Security::price, "3890.2"}, {Security::avgPx, "0.0"},
                       {CustomField::priceType, "limit"}, {UserAccount::tradingAccount, "990001"},
                       {UserAccount::entrustProp, "0"}, {System::textDescription, QString()}}));
        QCOMPARE(text(m_facade.querySimuDeal("1001").value(0)),
                 text({{Security::orderID, "O1"}, {Security::symbol, "IF2412"}, {Security::algoOrderID, "1001"},
                       {Strategy::strategyID, "1001"}, {Security::execID, "E1"}, {CustomField::ExecutionID, "E1"},
                       {Security::exchangeMatchDate, "20241202"}, {Security::lastQty, "2"}, {Security::side, "1"},
                       {Security::lastPx, "3890.2"}, {UserAccount::tradingAccount, "990001"}}));
    }

    // The order query quotes the id; the fill query takes only plain decimal numbers, which SQLite reads unchanged.
    void rowsOfAnId_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("rows");
        QTest::newRow("instance with orders and fills") << "1001" << "orders 2, fills 2";
        QTest::newRow("apostrophe reads its own order") << "1'2" << "orders 1, fills 0";
        QTest::newRow("leading zero") << "0123" << "orders 0, fills 0";
        QTest::newRow("beyond 64 bits") << "9223372036854775809" << "orders 0, fills 0";
        QTest::newRow("empty") << "" << "orders 0, fills 0";
        QTest::newRow("always-true condition") << "1 or 1=1" << "orders 0, fills 0";
        QTest::newRow("letters") << "abc" << "orders 0, fills 0";
    }

    void rowsOfAnId()
    {
        QFETCH(QString, id);
        QFETCH(QString, rows);
        const QString counts = QStringLiteral("orders %1, fills %2").arg(m_facade.querySimuEntrust(id).size());
        QCOMPARE(counts.arg(m_facade.querySimuDeal(id).size()), rows);
        QCOMPARE(querySql(engine(), QStringLiteral("pragma journal_mode")), QList<QStringList>{{"wal"}});
    }
};

QTEST_GUILESS_MAIN(tst_Simu)
#include "tst_simu.moc"
