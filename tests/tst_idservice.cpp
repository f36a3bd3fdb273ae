#include "testsupport.h"

#include <interprocidservice.h>

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {
QList<qint64> parseIds(const QByteArray &out)
{
    QList<qint64> ids;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty())
            ids.append(line.toLongLong()); // 0 for anything but a number
    }
    return ids;
}

InterProcIdService &service()
{
    return InterProcIdService::instance();
}
} // namespace

class TestIdService : public QObject
{
    Q_OBJECT

    TestHome m_home;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
    }

    void cleanup()
    {
        service().setStorageDirectory(m_home.idDir());
    }

    void processesDrawingAtOnceNeverShareAnId()
    {
        constexpr int Processes = 4;
        constexpr int Draws = 200;
        std::vector<std::unique_ptr<QProcess>> drawers;
        for (int i = 0; i < Processes; ++i) {
            drawers.emplace_back(new QProcess);
            drawers.back()->setProcessEnvironment(m_home.processEnvironment());
            drawers.back()->start(helperPath(QStringLiteral("iddrawer")),
                                  QStringList{QStringLiteral("Shared"), QString::number(Draws)});
        }
        // This process draws from the same sequence meanwhile.
        QList<qint64> ids;
        for (int i = 0; i < Draws; ++i)
            ids.append(service().getId(QStringLiteral("Shared")));
        for (const auto &drawer : drawers) {
            QVERIFY2(drawer->waitForFinished(60000), qPrintable(drawer->errorString()));
            QCOMPARE(drawer->exitStatus(), QProcess::NormalExit);
            QCOMPARE(drawer->exitCode(), 0);
            const QList<qint64> drawn = parseIds(drawer->readAllStandardOutput());
            QCOMPARE(drawn.size(), Draws);
            ids += drawn;
        }
        QSet<qint64> seen;
        for (qint64 id : qAsConst(ids)) {
            QVERIFY2(id >= 1 && id <= InterProcIdService::MaxId, qPrintable(QString::number(id)));
            QVERIFY2(!seen.contains(id), qPrintable(QStringLiteral("id %1 handed out twice").arg(id)));
            seen.insert(id);
        }
        QCOMPARE(seen.size(), (Processes + 1) * Draws);
    }

    void laterProcessContinuesAboveEarlierIds()
    {
        const QStringList args{QStringLiteral("Restart"), QStringLiteral("20")};
        const QList<qint64> before = parseIds(runHelper(m_home, QStringLiteral("iddrawer"), args).out);
        const QList<qint64> after = parseIds(runHelper(m_home, QStringLiteral("iddrawer"), args).out);
        QCOMPARE(before.size(), 20);
        QCOMPARE(after.size(), 20);
        QVERIFY(*std::min_element(before.begin(), before.end()) > 0);
        QVERIFY(*std::min_element(after.begin(), after.end()) > *std::max_element(before.begin(), before.end()));
        QVERIFY(service().getId(QStringLiteral("Restart")) > *std::max_element(after.begin(), after.end()));
    }

    void registerOnlyRaises_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("drawsBefore");
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("next");
        QTest::newRow("positive first on a new sequence") << "RaiseNew" << 0 << qint64(1000) << qint64(1000);
        QTest::newRow("positive first above the counter") << "RaiseUsed" << 3 << qint64(500) << qint64(500);
        QTest::newRow("positive first equal to the next id") << "RaiseEqual" << 3 << qint64(4) << qint64(4);
        QTest::newRow("positive first below the counter") << "RaiseBelow" << 3 << qint64(2) << qint64(4);
        QTest::newRow("-1 on a used sequence") << "KeepUsed" << 3 << qint64(-1) << qint64(4);
        QTest::newRow("-1 on a new sequence") << "KeepNew" << 0 << qint64(-1) << qint64(1);
    }

    void registerOnlyRaises()
    {
        QFETCH(QString, name);
        QFETCH(int, drawsBefore);
        QFETCH(qint64, first);
        QFETCH(qint64, next);
        for (int i = 1; i <= drawsBefore; ++i)
            QCOMPARE(service().getId(name), qint64(i));
        QVERIFY(service().registerIdService(name, first));
        QCOMPARE(service().getId(name), next);
        // Registering again at the next start never hands out an id twice.
        QVERIFY(service().registerIdService(name, first));
        QCOMPARE(service().getId(name), next + 1);
    }

    void failureAnswersZero_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("counter");      // written before drawing; null for none
        QTest::addColumn<QByteArray>("counterAfter"); // null when no counter file may exist
        QTest::addColumn<QList<qint64>>("draws");
        QTest::addColumn<bool>("folderBlocked");
        const QList<qint64> failed{0, 0};
        QTest::newRow("counter that is not a number") << "Damaged" << QByteArray("twelve\n") << QByteArray("twelve\n")
                                                      << failed << false;
        QTest::newRow("negative counter") << "Negative" << QByteArray("-5\n") << QByteArray("-5\n") << failed << false;
        QTest::newRow("counter at the largest id")
            << "Exhausted" << QByteArray("2147483647\n") << QByteArray("2147483647\n") << failed << false;
        QTest::newRow("counter above the largest id")
            << "Beyond" << QByteArray("9999999999\n") << QByteArray("9999999999\n") << failed << false;
        QTest::newRow("last id left") << "LastOne" << QByteArray("2147483646\n") << QByteArray("2147483647\n")
                                      << QList<qint64>{InterProcIdService::MaxId, 0, 0} << false;
        QTest::newRow("empty name") << "" << QByteArray() << QByteArray() << failed << false;
        QTest::newRow("name climbing out of the folder") << "../x" << QByteArray() << QByteArray() << failed << false;
        QTest::newRow("name with a folder") << "a/b" << QByteArray() << QByteArray() << failed << false;
        QTest::newRow("name of the parent folder") << ".." << QByteArray() << QByteArray() << failed << false;
        QTest::newRow("id folder blocked by a file") << "Blocked" << QByteArray() << QByteArray() << failed << true;
    }

    void failureAnswersZero()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, counter);
        QFETCH(QByteArray, counterAfter);
        QFETCH(QList<qint64>, draws);
        QFETCH(bool, folderBlocked);
        QString dir = m_home.idDir();
        if (folderBlocked) {
            QVERIFY(writeFile(dir + QStringLiteral("/blocker"), "a file, not a folder"));
            dir += QStringLiteral("/blocker/ids");
            service().setStorageDirectory(dir);
        }
        const QString counterPath = dir + QLatin1Char('/') + name + QStringLiteral(".seq");
        if (!counter.isNull())
            QVERIFY(writeFile(counterPath, counter));

        QList<qint64> drawn;
        for (int i = 0; i < draws.size(); ++i)
            drawn.append(service().getId(name));
        QCOMPARE(drawn, draws);
        if (counterAfter.isNull())
            QVERIFY(!QFileInfo::exists(counterPath));
        else
            QCOMPARE(readFile(counterPath), counterAfter);
    }
};

QTEST_GUILESS_MAIN(TestIdService)
#include "tst_idservice.moc"
