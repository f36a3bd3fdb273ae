// The inter-process id service: sequences shared by processes drawing at the
// same time, continued by later processes, and failures that answer 0.

#include "testsupport.h"

#include <interprocidservice.h>

#include <QtTest>

using Ids = QList<qint64>;

// The ids an iddrawer helper printed, one a line (0 for a failed draw).
static Ids drawnIds(const QByteArray &out)
{
    Ids ids;
    for (const QByteArray &line : out.trimmed().split('\n'))
        ids.append(line.toLongLong());
    return ids;
}

class TestIdService : public QObject
{
    Q_OBJECT

    TestHome m_home;

private slots:
    void initTestCase() { QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString())); }

    void processesNeverShareAnId()
    {
        // Four processes drawing at once, then a later one (a restart of the client) that continues above them.
        Ids ids = drawnIds(runHelper(m_home, QStringLiteral("iddrawer"), {"Shared", "200", "4"}).out);
        std::sort(ids.begin(), ids.end());
        QVERIFY(ids.size() == 800 && ids.first() > 0 && ids.last() <= InterProcIdService::MaxId);
        QVERIFY2(std::adjacent_find(ids.begin(), ids.end()) == ids.end(), "an id handed out twice");
        const Ids later = drawnIds(runHelper(m_home, QStringLiteral("iddrawer"), {"Shared", "20"}).out);
        QVERIFY(later.size() == 20 && *std::min_element(later.begin(), later.end()) > ids.last());
    }

    void sequence_data()
    {
        QTest::addColumn<QString>("folder"); // the id folder, below the test's own; "/blocker" is a file
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("counter"); // the counter file (the last id handed out) before; empty: none
        QTest::addColumn<qint64>("first");    // registered before each draw, as every start does; 0: never
        QTest::addColumn<qint64>("floor");    // raised to before each draw, as a store holding that id does; 0: never
        QTest::addColumn<Ids>("draws");
        QTest::newRow("register a new sequence") << "" << "New" << "" << 1000ll << 0ll << Ids{1000, 1001};
        QTest::newRow("register above the counter") << "" << "Up" << "3\n" << 500ll << 0ll << Ids{500, 501};
        QTest::newRow("register below the counter") << "" << "Down" << "3\n" << 2ll << 0ll << Ids{4, 5};
        QTest::newRow("ids stored elsewhere, above the counter") << "" << "Moved" << "3\n" << 0ll << 100000ll
                                                                  << Ids{100001, 100002};
        QTest::newRow("floor below the counter never lowers it") << "" << "Low" << "50\n" << 0ll << 10ll << Ids{51, 52};
        QTest::newRow("floor beyond the last id") << "" << "Top" << "" << 0ll << (InterProcIdService::MaxId + 9)
                                                  << Ids{0, 0};
        QTest::newRow("counter that is not a number") << "" << "Bad" << "twelve\n" << 0ll << 0ll << Ids{0, 0};
        QTest::newRow("last id left") << "" << "End" << "2147483646\n" << 0ll << 0ll
                                      << Ids{InterProcIdService::MaxId, 0, 0};
        QTest::newRow("empty name") << "" << "" << "" << 0ll << 0ll << Ids{0, 0};
        QTest::newRow("name climbing out of the folder") << "" << "../x" << "" << 0ll << 0ll << Ids{0, 0};
        QTest::newRow("id folder blocked by a file") << "/blocker/ids" << "Blocked" << "" << 0ll << 0ll << Ids{0, 0};
    }

    void sequence()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, counter);
        QFETCH(qint64, first);
        QFETCH(qint64, floor);
        QFETCH(Ids, draws);
        QVERIFY(writeFile(m_home.idDir() + QStringLiteral("/blocker"), "a file, not a folder"));
        InterProcIdService &service = InterProcIdService::instance();
        service.setStorageDirectory(m_home.idDir() + folder);
        const QString path = m_home.idDir() + folder + QLatin1Char('/') + name + QStringLiteral(".seq");
        QVERIFY(counter.isEmpty() || writeFile(path, counter.toUtf8()));
        Ids drawn = draws;
        for (qint64 &id : drawn)
            id = (first == 0 || service.registerIdService(name, first)) && (floor == 0 || service.raiseFloor(name, floor))
                     ? service.getId(name)
                     : -1;
        QCOMPARE(drawn, draws);
        // The counter holds the last id handed out; a damaged one is left as it is, for someone to look at.
        const qint64 last = *std::max_element(draws.begin(), draws.end());
        const QByteArray left = last > 0 ? QByteArray::number(last) + '\n'
                                : floor > 0 ? QByteArray::number(InterProcIdService::MaxId) + '\n' : counter.toUtf8();
        QCOMPARE(readFile(path), left);
    }
};

QTEST_GUILESS_MAIN(TestIdService)
#include "tst_idservice.moc"
