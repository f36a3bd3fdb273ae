// The simulated-trades page of strategydesk: a simulated instance's orders
// and fills as the plug-in reads them from the simulated-trading database,
// the invest type and position effect in the plug-in's words, the switch
// from the compact columns to all of them, and a missing database named.

#include "app/pluginsession.h"
#include "models/simutrademodel.h"
#include "ui/accountspage.h"
#include "ui/settingsdialog.h"
#include "ui/simupage.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include "testsupport.h"

#include <sqlite3.h>
#include <tavrix_fields.h>

#include <QAbstractItemModelTester>
#include <QtTest>
#include <QtWidgets>

namespace {
bool exec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The simulated-trading engine's tables with an order and a fill for a
// stock, a futures and an option symbol of instance 42.
bool writeSimuDatabase(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    const bool ok = exec(db, "create table order_info (order_id text, symbol text, date_time text, batch_no text,"
                             " order_qty text, leave_qty text, cum_qty text, side text, status text, type text,"
                             " px text, avg_px text, style text, fund_account text, enturst_prop text, text text,"
                             " inst_id text);"
                             "create table deal_info (order_id text, symbol text, exchange_matchDate text,"
                             " exec_id text, last_qty text, side text, last_px text, fund_account text,"
                             " inst_id integer);"
                             "insert into order_info values ('O1','600000','20261208 09:30:01','B1','100','0',"
                             "'100','1','8','1','10.5','10.5','1','880001','0',null,'42');"
                             "insert into order_info values ('O2','IF2412','20261208 09:31:00','B2','2','1',"
                             "'1','2','7','1','3900','3900','1','990001','0','part','42');"
                             "insert into order_info values ('O3','10007890','20261208 09:32:00','B3','5','5',"
                             "'0','1','2','1','0.25','0','1','990002','0','','42');"
                             "insert into order_info values ('O9','600000','20261208 10:00:00','B9','1','1',"
                             "'0','1','2','1','10','0','1','880001','0','','7');"
                             "insert into deal_info values ('O1','600000','20261208 09:30:02','E1','100','1',"
                             "'10.5','880001',42);"
                             "insert into deal_info values ('O2','IF2412','20261208 09:31:05','E2','1','2',"
                             "'3900','990001',42);");
    sqlite3_close(db);
    return ok;
}

QStringList headers(const QAbstractItemModel *model)
{
    QStringList texts;
    for (int c = 0; c < model->columnCount(); ++c)
        texts.append(model->headerData(c, Qt::Horizontal).toString());
    return texts;
}

int columnOf(const SimuTradeModel *model, const QString &key)
{
    for (int c = 0; c < model->columnCount(); ++c) {
        if (model->columnKey(c) == key)
            return c;
    }
    return -1;
}
} // namespace

class tst_DeskSimu : public QObject
{
    Q_OBJECT

    TestHome m_home;
    std::unique_ptr<PluginSession> m_session;
    QString m_database;

    StrategyFileLogicHandler &plugin() { return m_session->plugin(); }
    QString symbolRow(const SimuTradeModel *model, const QString &symbol, const QString &key)
    {
        const int symbolColumn = columnOf(model, Tavrix_Fields::Security::symbol);
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, symbolColumn).data().toString() == symbol)
                return model->index(row, columnOf(model, key)).data().toString();
        }
        return QStringLiteral("(no row)");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        m_session = std::make_unique<PluginSession>(m_home.path());
        m_session->askRetry = [](const QString &) { return false; };
        QVERIFY(m_session->start());
        m_database = StrategyLogic::installationFiles(m_home.path(), plugin().getCurUserId()).simuDatabase;
    }
    void cleanupTestCase() { m_session->stop(); }

    void missingDatabaseIsNamed()
    {
        const QString path = m_home.filePath(QStringLiteral("nowhere/Sarvek_SimuTrade.db"));
        SimuPage page(plugin(), path);
        page.instanceEdit()->setText(QStringLiteral("42"));
        page.reload();
        QVERIFY2(page.notice().contains(path), qPrintable(page.notice()));
        QCOMPARE(page.orderModel()->rowCount(), 0);
    }

    void labelWords_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("investType");
        QTest::addColumn<QString>("side");
        QTest::newRow("stock") << "600000" << QStringLiteral("——") << "1";
        QTest::newRow("futures") << "IF2412" << QString() << "2";
        QTest::newRow("option") << "10007890" << QString() << "1";
    }
    void labelWords()
    {
        QFETCH(QString, symbol);
        QFETCH(QString, investType);
        QFETCH(QString, side);
        if (!QFileInfo::exists(m_database))
            QVERIFY(writeSimuDatabase(m_database));
        SimuPage page(plugin(), m_database);
        page.instanceEdit()->setText(QStringLiteral("42"));
        page.reload();
        QCOMPARE(page.notice(), QString());
        QCOMPARE(page.orderModel()->rowCount(), 3);
        QCOMPARE(symbolRow(page.orderModel(), symbol, Tavrix_Fields::UserAccount::investType), investType);
        QCOMPARE(symbolRow(page.orderModel(), symbol, Tavrix_Fields::Security::positionEffect), investType);
        QCOMPARE(symbolRow(page.orderModel(), symbol, Tavrix_Fields::Security::side), side);
    }

    void allColumnsSwitch()
    {
        if (!QFileInfo::exists(m_database))
            QVERIFY(writeSimuDatabase(m_database));
        SimuPage page(plugin(), m_database);
        QAbstractItemModelTester orders(page.orderModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester fills(page.fillModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        page.instanceEdit()->setText(QStringLiteral("42"));
        page.reload();
        QCOMPARE(page.fillModel()->rowCount(), 2);
        const QStringList compact = headers(page.orderModel());
        QVERIFY(!compact.contains(QStringLiteral("Fund account")));
        page.allColumnsBox()->setChecked(true);
        QVERIFY(headers(page.orderModel()).contains(QStringLiteral("Fund account")));
        QVERIFY(headers(page.fillModel()).contains(QStringLiteral("Fund account")));
        QVERIFY(headers(page.orderModel()).size() > compact.size());
        page.allColumnsBox()->setChecked(false);
        QCOMPARE(headers(page.orderModel()), compact);
        page.filterEdit()->setText(QStringLiteral("IF2412"));
        QCOMPARE(page.orderProxy()->rowCount(), 1);
        QCOMPARE(page.fillProxy()->rowCount(), 1);
    }

    void settingsWarnAndWrite_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing file") << false;
        QTest::newRow("existing file") << true;
    }
    void settingsWarnAndWrite()
    {
        QFETCH(bool, exists);
        const QString path = m_home.filePath(exists ? QStringLiteral("python3") : QStringLiteral("no/python3"));
        if (exists)
            writeFile(path, "#!/bin/sh\n");
        SettingsDialog dialog(plugin());
        dialog.choosePythonFile = [path](const QString &) { return path; };
        for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
            if (button->accessibleName() == QLatin1String("Browse for the Python installation"))
                button->click();
        }
        QCOMPARE(dialog.pythonEdit()->text(), path);
        QCOMPARE(dialog.pathWarning().contains(path), !exists);
        QVERIFY(dialog.apply());
        QCOMPARE(plugin().getPYInstallPath(), path);
        QCOMPARE(dialog.errorText(), QString());
        SettingsDialog again(plugin());
        QCOMPARE(again.pythonEdit()->text(), path);
    }

    void productNarrowsAccounts_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QStringList>("accounts");
        QTest::addColumn<QString>("pyType");
        QTest::newRow("P001") << "P001" << QStringList{"880001", "880002", "880003"} << "stock";
        QTest::newRow("P002") << "P002" << QStringList{"990001", "990002"} << "futures";
    }
    void productNarrowsAccounts()
    {
        QFETCH(QString, product);
        QFETCH(QStringList, accounts);
        QFETCH(QString, pyType);
        AccountsPage page(plugin());
        QAbstractItemModelTester tester(page.accountModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        page.productBox()->setCurrentIndex(page.productBox()->findData(product));
        QStringList shown;
        for (int i = 0; i < page.fundAccountBox()->count(); ++i)
            shown.append(page.fundAccountBox()->itemData(i).toString());
        QCOMPARE(shown, accounts);
        QCOMPARE(page.accountModel()->index(0, 2).data().toString(), pyType);
        QCOMPARE(plugin().getLastProduct(), product);
        QCOMPARE(plugin().getLastFundaccount(), accounts.first());
        // A later page shows the remembered choice again.
        page.fundAccountBox()->setCurrentIndex(1);
        AccountsPage next(plugin());
        QCOMPARE(next.productBox()->currentData().toString(), product);
        QCOMPARE(next.fundAccountBox()->currentData().toString(), accounts.at(1));
        // The pickers are built anew when the accounts change.
        page.productBox()->clear();
        plugin().refreshAccount();
        QTRY_COMPARE(page.productBox()->count(), next.productBox()->count());
    }
};

QTEST_MAIN(tst_DeskSimu)
#include "tst_desksimu.moc"
