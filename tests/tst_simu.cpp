// Orders and fills of simulated strategy instances, read from the
// simulated-trading engine's own database.

#include "testsupport.h"

#include "facade/strategyfilelogichandler.h"
#include "storage/strategysqlite.h"

#include <tavrix_fields.h>

#include <QFileInfo>
#include <QtTest>

using Rows = QList<QMap<QString, QVariant>>;

namespace {
// The engine's tables as far as the plug-in reads them; numbers are stored
// as numbers, the deal table keeps inst_id as an integer.
const char *const EngineSchema =
    "create table order_info(order_id text, symbol text, date_time text, batch_no text, order_qty integer,"
    " leave_qty integer, cum_qty integer, side text, status text, type text, px real, avg_px real, style text,"
    " fund_account text, enturst_prop text, text text, inst_id text);"
    "create table deal_info(order_id text, symbol text, exchange_matchDate text, exec_id text, last_qty integer,"
    " side text, last_px real, fund_account text, inst_id integer);";

const char *const EngineRows =
    "insert into order_info values('O1','600000','20241202 09:30:01','B1',100,0,100,'1','2','1',10.5,10.5,"
    "'limit','880001','0',NULL,'1001');"
    "insert into order_info values('O2','IF2412','20241202 09:31:00','B2',2,1,1,'2','1','1',3890.2,3890.2,"
    "'market','990001','0','partly filled','1001');"
    "insert into order_info values('O3','600000','20241202 10:00:00','B3',300,300,0,'1','0','1',9.87,0,"
    "'limit','880002','0','new','1002');"
    "insert into order_info values('O9','600000','20241202 11:00:00','B9',5,5,0,'1','0','1',1,0,"
    "'limit','880001','0','quoted id','1''2');"
    "insert into deal_info values('O1','600000','20241202','E1',100,'1',10.5,'880001',1001);"
    "insert into deal_info values('O2','IF2412','20241202','E2',1,'2',3890.2,'990001',1001);"
    "insert into deal_info values('O3','600000','20241202','E3',300,'1',9.87,'880002',1002);";

bool createEngineDatabase(const QString &path)
{
    return execSql(path, QString::fromLatin1(EngineSchema)) && execSql(path, QString::fromLatin1(EngineRows));
}

QMap<QString, QMap<QString, QVariant>> byOrderId(const Rows &rows)
{
    QMap<QString, QMap<QString, QVariant>> map;
    for (const auto &row : rows)
        map.insert(row.value(Tavrix_Fields::Security::orderID).toString(), row);
    return map;
}

bool allValuesAreStrings(const Rows &rows)
{
    for (const auto &row : rows) {
        for (const QVariant &value : row) {
            if (value.userType() != QMetaType::QString)
                return false;
        }
    }
    return true;
}
} // namespace

class tst_Simu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void entrustRows();
    void dealRows();
    void instanceWithoutRows();
    void idsOutsideTheInstance_data();
    void idsOutsideTheInstance();
    void apostropheSelectsOnlyItsInstance();
    void missingFileIsNotCreatedAndFoundLater();

private:
    TestHome m_home;
    QString m_enginePath;
};

void tst_Simu::initTestCase()
{
    QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
    m_enginePath = m_home.filePath(QStringLiteral("Sarvek_SimuTrade.db"));
    QVERIFY(createEngineDatabase(m_enginePath));
    QVERIFY(execSql(m_enginePath, QStringLiteral("pragma journal_mode=wal")));
    QCOMPARE(StrategySqlite::instance().simuDatabasePath(), m_enginePath);
}

void tst_Simu::entrustRows()
{
    using namespace Tavrix_Fields;
    const Rows rows = StrategyFileLogicHandler::instance().querySimuEntrust(QStringLiteral("1001"));
    QCOMPARE(rows.size(), 2);
    QVERIFY(allValuesAreStrings(rows));
    const auto orders = byOrderId(rows);
    QCOMPARE(orders.keys(), QStringList({QStringLiteral("O1"), QStringLiteral("O2")}));

    const QMap<QString, QVariant> o1 = orders.value(QStringLiteral("O1"));
    QCOMPARE(o1.size(), 16);
    QCOMPARE(o1.value(Security::symbol).toString(), QStringLiteral("600000"));
    QCOMPARE(o1.value(System::createTime).toString(), QStringLiteral("20241202 09:30:01"));
    QCOMPARE(o1.value(Security::algoOrderID).toString(), QStringLiteral("1001"));
    QCOMPARE(o1.value(Security::orderQty).toString(), QStringLiteral("100"));
    QCOMPARE(o1.value(Security::leaveQty).toString(), QStringLiteral("0"));
    QCOMPARE(o1.value(Security::price).toString(), QStringLiteral("10.5"));
    QCOMPARE(o1.value(CustomField::priceType).toString(), QStringLiteral("limit"));
    QCOMPARE(o1.value(UserAccount::tradingAccount).toString(), QStringLiteral("880001"));
    QVERIFY(o1.contains(System::textDescription));
    QVERIFY(o1.value(System::textDescription).toString().isNull());

    const QMap<QString, QVariant> o2 = orders.value(QStringLiteral("O2"));
    QCOMPARE(o2.value(Security::price).toString(), QStringLiteral("3890.2"));
    QCOMPARE(o2.value(System::textDescription).toString(), QStringLiteral("partly filled"));
}

void tst_Simu::dealRows()
{
    using namespace Tavrix_Fields;
    const Rows rows = StrategyFileLogicHandler::instance().querySimuDeal(QStringLiteral("1001"));
    QCOMPARE(rows.size(), 2);
    QVERIFY(allValuesAreStrings(rows));
    const auto deals = byOrderId(rows);
    QCOMPARE(deals.keys(), QStringList({QStringLiteral("O1"), QStringLiteral("O2")}));

    const QMap<QString, QVariant> d1 = deals.value(QStringLiteral("O1"));
    QCOMPARE(d1.size(), 11);
    QCOMPARE(d1.value(Security::execID).toString(), QStringLiteral("E1"));
    QCOMPARE(d1.value(CustomField::ExecutionID).toString(), QStringLiteral("E1"));
    QCOMPARE(d1.value(Strategy::strategyID).toString(), QStringLiteral("1001"));
    QCOMPARE(d1.value(Security::algoOrderID).toString(), QStringLiteral("1001"));
    QCOMPARE(d1.value(Security::lastQty).toString(), QStringLiteral("100"));
    QCOMPARE(d1.value(Security::lastPx).toString(), QStringLiteral("10.5"));
    QCOMPARE(d1.value(Security::exchangeMatchDate).toString(), QStringLiteral("20241202"));
    QCOMPARE(deals.value(QStringLiteral("O2")).value(Security::lastPx).toString(), QStringLiteral("3890.2"));
}

void tst_Simu::instanceWithoutRows()
{
    StrategyFileLogicHandler &facade = StrategyFileLogicHandler::instance();
    QVERIFY(facade.querySimuEntrust(QStringLiteral("1003")).isEmpty());
    QVERIFY(facade.querySimuDeal(QStringLiteral("1003")).isEmpty());
    QCOMPARE(facade.querySimuEntrust(QStringLiteral("1002")).size(), 1);
    QCOMPARE(facade.querySimuDeal(QStringLiteral("1002")).size(), 1);
}

void tst_Simu::idsOutsideTheInstance_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("empty") << QString();
    QTest::newRow("always-true condition") << QStringLiteral("1 or 1=1");
    QTest::newRow("number and always-true condition") << QStringLiteral("1001 or 1=1");
    QTest::newRow("quote breaking out of the literal") << QStringLiteral("1001' or '1'='1");
    QTest::newRow("second statement") << QStringLiteral("1001; drop table deal_info");
    QTest::newRow("letters") << QStringLiteral("abc");
    QTest::newRow("leading blank") << QStringLiteral(" 1001");
    QTest::newRow("Arabic-Indic digits") << QStringLiteral("\u0661\u0660\u0660\u0661");
}

void tst_Simu::idsOutsideTheInstance()
{
    QFETCH(QString, id);
    StrategyFileLogicHandler &facade = StrategyFileLogicHandler::instance();
    QVERIFY(facade.querySimuEntrust(id).isEmpty());
    QVERIFY(facade.querySimuDeal(id).isEmpty());
    // The engine's tables are untouched.
    QCOMPARE(querySql(m_enginePath, QStringLiteral("select count(*) from deal_info")),
             QList<QStringList>({QStringList({QStringLiteral("3")})}));
}

void tst_Simu::apostropheSelectsOnlyItsInstance()
{
    StrategyFileLogicHandler &facade = StrategyFileLogicHandler::instance();
    const Rows orders = facade.querySimuEntrust(QStringLiteral("1'2"));
    QCOMPARE(orders.size(), 1);
    QCOMPARE(orders.first().value(Tavrix_Fields::Security::orderID).toString(), QStringLiteral("O9"));
    QCOMPARE(orders.first().value(Tavrix_Fields::Security::algoOrderID).toString(), QStringLiteral("1'2"));
    QVERIFY(facade.querySimuDeal(QStringLiteral("1'2")).isEmpty());
    // The engine's file keeps its journal mode after all the queries.
    QCOMPARE(querySql(m_enginePath, QStringLiteral("pragma journal_mode")),
             QList<QStringList>({QStringList({QStringLiteral("wal")})}));
}

void tst_Simu::missingFileIsNotCreatedAndFoundLater()
{
    const QString folder = m_home.switchToNewFolder(QStringLiteral("without-engine"));
    const QString path = folder + QStringLiteral("/Sarvek_SimuTrade.db");
    {
        StrategySqlite store;
        QCOMPARE(store.simuDatabasePath(), path);
        QVERIFY(store.querySimuEntrust(QStringLiteral("1001")).isEmpty());
        QVERIFY(store.querySimuDeal(QStringLiteral("1001")).isEmpty());
        QVERIFY(!QFileInfo::exists(path));

        QVERIFY(createEngineDatabase(path));
        QCOMPARE(store.querySimuEntrust(QStringLiteral("1001")).size(), 2);
        QCOMPARE(store.querySimuDeal(QStringLiteral("1001")).size(), 2);
    }
    QCOMPARE(querySql(path, QStringLiteral("pragma journal_mode")),
             QList<QStringList>({QStringList({QStringLiteral("delete")})}));
    m_home.switchToNewFolder(QStringLiteral("app"));
}

QTEST_GUILESS_MAIN(tst_Simu)
#include "tst_simu.moc"
