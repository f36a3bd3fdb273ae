// The names of an installation folder's files, as hosts get them from
// <StrategyLogic/installation.h>.

#include <StrategyLogic/installation.h>

#include <QtTest>

class tst_Installation : public QObject
{
    Q_OBJECT

private slots:
    // Each path was built from text builders that referred to temporaries
    // gone by the time they were read: garbage, or a crash.
    void pathsOutliveTheirParts()
    {
        const StrategyLogic::InstallationFiles files
            = StrategyLogic::installationFiles(QStringLiteral("/opt/app"), QStringLiteral("demo01"));
        QCOMPARE(files.database, QStringLiteral("/opt/app/sarvek.db"));
        QCOMPARE(files.pendingJournal, QStringLiteral("/opt/app/sarvek.pending.json"));
        QCOMPARE(files.pythonIni, QStringLiteral("/opt/app/ZqProEngineConfig.ini"));
        QCOMPARE(files.simuDatabase, QStringLiteral("/opt/app/Sarvek_SimuTrade.db"));
        QCOMPARE(files.userFolder, QStringLiteral("/opt/app/work/demo01"));
        QVERIFY(files.userFolderValid);
        QCOMPARE(files.dataFile, QStringLiteral("/opt/app/work/demo01/SarvekFixStrategy.dat"));
        QCOMPARE(files.groupsFile, QStringLiteral("/opt/app/work/demo01/SarvekFixedStrategyGroups.txt"));
        QCOMPARE(files.history, QStringLiteral("/opt/app/work/demo01/history.jsonl"));
        QCOMPARE(files.olderHistory, QStringLiteral("/opt/app/work/demo01/history.1.jsonl"));
    }
};

QTEST_GUILESS_MAIN(tst_Installation)
#include "tst_installation.moc"
