// The simulated-trades page of strategydesk: a simulated instance's orders
// and fills as the plug-in reads them from the simulated-trading database,
// the invest type and position effect in the plug-in's words, the switch
// from the compact columns to all of them, and a missing database named.
// The settings dialog writes the Python path or shows the plug-in's
// refusal; the accounts page narrows the fund accounts to the product and
// its choice is shown again after a restart.

#include "app/pluginsession.h"
#include "models/simutrademodel.h"
#include "ui/accountspage.h"
#include "ui/settingsdialog.h"
#include "ui/simupage.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include "testsupport.h"

#include <tavrix_fields.h>

#include <QAbstractItemModelTester>
#include <QtTest>
#include <QtWidgets>

namespace {
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
        m_session->report = [](const QString &message) { qWarning("%s", qPrintable(message)); };
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
            QVERIFY(writeSimuTradeDatabase(m_database));
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
            QVERIFY(writeSimuTradeDatabase(m_database));
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

    // A path whose ini file cannot be written is not called saved: apply()
    // is false, the dialog says the plug-in's message and OK leaves it
    // open; once the file can be written, OK writes the path (which the
    // plug-in held in memory meanwhile), clears the message and closes.
    void settingsShowTheRefusal()
    {
        const QString ini = StrategyLogic::installationFiles(m_home.path(), plugin().getCurUserId()).pythonIni;
        const QString path = m_home.filePath(QStringLiteral("python-read-only"));
        SettingsDialog dialog(plugin());
        dialog.show();
        QAbstractButton *ok = dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        dialog.pythonEdit()->setText(path);
        {
            ReadOnlyFolder mount(m_home.path());
            if (!mount.isValid())
                QSKIP("the data folder could not be mounted read-only (this test needs root)");
            QVERIFY(!dialog.apply());
            const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
            QCOMPARE(refusal.code, StrategyLogic::RefusalCode::NotWritable);
            QVERIFY(!refusal.message.isEmpty());
            QVERIFY2(dialog.errorText().contains(refusal.message), qPrintable(dialog.errorText()));
            ok->click();
            QVERIFY(dialog.isVisible());
            QVERIFY2(dialog.errorText().contains(refusal.message), qPrintable(dialog.errorText()));
            QVERIFY(!readFile(ini).contains(path.toUtf8()));
        }
        ok->click();
        QCOMPARE(dialog.errorText(), QString());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(plugin().getPYInstallPath(), path);
        QVERIFY2(readFile(ini).contains(path.toUtf8()), readFile(ini).constData());
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

    // The last case: it stops the plug-in, which starts once per process.
    // The product and fund account chosen on the page narrow the picker and
    // are in the data folder when the session ends: the next process reads
    // them. A stopped plug-in refuses the Python path, and the settings
    // dialog stays open with its message.
    void accountsChoiceSurvivesARestart()
    {
        const QString product = QStringLiteral("P002");
        const QString account = QStringLiteral("990002");
        {
            AccountsPage page(plugin());
            page.productBox()->setCurrentIndex(page.productBox()->findData(product));
            QStringList items;
            for (int i = 0; i < page.fundAccountBox()->count(); ++i)
                items.append(page.fundAccountBox()->itemData(i).toString());
            QCOMPARE(items, (QStringList{QStringLiteral("990001"), account}));
            QCOMPARE(page.accountModel()->rowCount(), 2);
            page.fundAccountBox()->setCurrentIndex(page.fundAccountBox()->findData(account));
            QCOMPARE(plugin().getLastProduct(), product);
            QCOMPARE(plugin().getLastFundaccount(), account);
        }
        SettingsDialog dialog(plugin());
        dialog.show();
        dialog.pythonEdit()->setText(m_home.filePath(QStringLiteral("python-stopped")));
        m_session->stop();

        const ProcessResult remembered = runStrategyctl(m_home, {QStringLiteral("product")});
        CHECK_EXIT(remembered, 0);
        QVERIFY2(remembered.outText().contains(product), qPrintable(remembered.describe()));
        const ProcessResult rememberedAccount = runStrategyctl(m_home, {QStringLiteral("fundaccount")});
        CHECK_EXIT(rememberedAccount, 0);
        QVERIFY2(rememberedAccount.outText().contains(account), qPrintable(rememberedAccount.describe()));

        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QVERIFY(dialog.isVisible());
        const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
        QCOMPARE(refusal.code, StrategyLogic::RefusalCode::NotInitialised);
        QVERIFY2(dialog.errorText().contains(refusal.message), qPrintable(dialog.errorText()));
    }
};

QTEST_MAIN(tst_DeskSimu)
#include "tst_desksimu.moc"
