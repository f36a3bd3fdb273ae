// A normal start is quiet: the plug-in's first initialize() and exit() in a
// new, empty installation folder log nothing that reads as a failure at
// the levels a client sees by default (info and above), so that a support
// log shows real failures only.

#include "testsupport.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include "storage/installationlayout.h"

#include <QtTest>

class tst_FreshStart : public QObject
{
    Q_OBJECT

    TestHome home;

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }

    void firstStartLogsNoFailure()
    {
        QVERIFY(QDir(home.path()).isEmpty());
        LogCapture log;
        StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
        plugin.initialize();
        QVERIFY(plugin.isInitialized());
        plugin.exit();
        QVERIFY(!plugin.isInitialized());
        QVERIFY(QFileInfo::exists(home.filePath(QLatin1String(InstallationLayout::DatabaseFile))));

        QStringList failures;
        for (const LogCapture::Entry &entry : log.entries()) {
            if (entry.type != QtDebugMsg && entry.text.contains(QLatin1String("failed"), Qt::CaseInsensitive))
                failures.append(entry.category + QLatin1String(": ") + entry.text);
        }
        QCOMPARE(failures, QStringList());
    }
};

QTEST_GUILESS_MAIN(tst_FreshStart)
#include "tst_freshstart.moc"
