// The fixed-strategy data file "work/<user>/SarvekFixStrategy.dat" and the
// store of StrategySqlite that it persists: the line format, loading,
// rewriting, the file the store cannot read, concurrent rewrites and a
// process killed in the middle of one.

#include "testsupport.h"

#include "facade/strategylogic_global.h"
#include "registry/fixedstrategyfile.h"
#include "storage/strategysqlite.h"

#include <interprocidservice.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {
QString describe(const FixedStrategyInfo &info)
{
    return QStringList{QString::number(info.id), info.name, info.filePath, info.group, info.extraInfo,
                       QString::number(info.copyIndex)}
        .join(QLatin1Char('|'));
}

// One "id|name|path|group|extra|copy" text per record, sorted by id when
// the order carries no meaning.
QStringList describe(QList<FixedStrategyInfo> records, bool sortById = false)
{
    if (sortById)
        std::sort(records.begin(), records.end(),
                  [](const FixedStrategyInfo &a, const FixedStrategyInfo &b) { return a.id < b.id; });
    QStringList list;
    for (const FixedStrategyInfo &info : qAsConst(records))
        list.append(describe(info));
    return list;
}

FixedStrategyInfo record(qint64 id, const QString &name, const QString &extra = QString())
{
    FixedStrategyInfo info;
    info.id = id;
    info.name = name;
    info.filePath = QStringLiteral("D:/s/a.py");
    info.group = QStringLiteral("默认分组");
    info.extraInfo = extra;
    return info;
}

QByteArray lines(const QList<FixedStrategyInfo> &records)
{
    QByteArray out;
    for (const FixedStrategyInfo &info : records)
        out += FixedStrategyFile::formatLine(info).toUtf8();
    return out;
}

QByteArray readLine(QProcess &process)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(20000))
            return QByteArray();
    }
    return process.readLine().trimmed();
}
} // namespace

class TestDataFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }
    void path_data();
    void path();
    void parse_data();
    void parse();
    void roundTrip_data();
    void roundTrip();
    void duplicateIdsAreWrittenOnce();
    void writeWithoutChangeLeavesFile();
    void failedWriteIsRetried();
    void queriesNeverReadFileAgain();
    void insertKeepsHeldRecords_data();
    void insertKeepsHeldRecords();
    void unreadableFileIsMovedAside();
    void concurrentRewrites();
    void killedRewriteLeavesWholeFile();

private:
    QString newFolder() { return home.switchToNewFolder(QStringLiteral("case-%1").arg(++m_folder)); }
    QString dataPath(const QString &user) const { return FixedStrategyFile::path(home.path(), user); }
    TestHome home;
    int m_folder = 0;
};

void TestDataFile::path_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("folder");
    QTest::newRow("lower case") << "demo01" << "demo01";
    QTest::newRow("login account in upper case") << "Demo01" << "demo01";
    QTest::newRow("non-ASCII") << "ÄBC用户" << "äbc用户";
}

void TestDataFile::path()
{
    QFETCH(QString, user);
    QFETCH(QString, folder);
    newFolder();
    StrategySqlite store;
    const QString expected = home.path() + "/work/" + folder + "/SarvekFixStrategy.dat";
    QCOMPARE(store.getFixedStrategyFilePath(user), expected);

    // The writer creates the folder; the loader of the other spelling finds it.
    store.insertStrategyInfo("a", "D:/s/a.py", "G", QString(), 0);
    store.writeFixedStrategyInfoToFile(user);
    QVERIFY(QFileInfo(expected).isFile());
    StrategySqlite reader;
    QCOMPARE(reader.LoadFixedStrategyInfo(folder).size(), 1);
}

void TestDataFile::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    const QStringList two{"1|a|p|g|e|2", "3|b|q|h|f|4"};
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("only line feeds") << QByteArray("\n\n\n") << QStringList();
    QTest::newRow("one record") << QByteArray("17,%&abc,%&D:/s/abc.py,%&默认分组,%&,%&0\n")
                                << QStringList{"17|abc|D:/s/abc.py|默认分组||0"};
    QTest::newRow("last line without line feed") << QByteArray("1,%&a,%&p,%&g,%&e,%&2\n3,%&b,%&q,%&h,%&f,%&4") << two;
    QTest::newRow("CRLF line ends") << QByteArray("1,%&a,%&p,%&g,%&e,%&2\r\n3,%&b,%&q,%&h,%&f,%&4\r\n") << two;
    QTest::newRow("blank lines between") << QByteArray("\n1,%&a,%&p,%&g,%&e,%&2\n\n\r\n3,%&b,%&q,%&h,%&f,%&4\n")
                                         << two;
    QTest::newRow("seven fields give the first six")
        << QByteArray("5,%&x,%&y,%&D:/p.py,%&G,%&E,%&1\n") << QStringList{"5|x|y|D:/p.py|G|0"};
    QTest::newRow("five fields are dropped") << QByteArray("5,%&a,%&b,%&c,%&d\n6,%&a,%&b,%&c,%&d,%&1\n")
                                             << QStringList{"6|a|b|c|d|1"};
    QTest::newRow("id not a number") << QByteArray("x7,%&a,%&p,%&g,%&,%&1\n") << QStringList{"0|a|p|g||1"};
    QTest::newRow("copy index not a number") << QByteArray("7,%&a,%&p,%&g,%&,%&one\n") << QStringList{"7|a|p|g||0"};
    QTest::newRow("id beyond 32 bits") << QByteArray("4294967297,%&a,%&p,%&g,%&,%&0\n") << QStringList{"0|a|p|g||0"};
    QTest::newRow("negative id") << QByteArray("-3,%&a,%&p,%&g,%&,%&0\n") << QStringList{"-3|a|p|g||0"};
    QTest::newRow("all text fields empty") << QByteArray("7,%&,%&,%&,%&,%&0\n") << QStringList{"7|||||0"};
}

void TestDataFile::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(FixedStrategyFile::parse(content)), expected);

    newFolder();
    QVERIFY(writeFile(dataPath("demo01"), content));
    LogCapture log;
    StrategySqlite store;
    QCOMPARE(describe(store.LoadFixedStrategyInfo("demo01")), expected);
    if (lcStrategyLogic().isDebugEnabled())
        QCOMPARE(log.count(QStringLiteral("FixedStrategyFile::parse")), expected.size());
}

void TestDataFile::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("extra");
    QTest::newRow("non-ASCII") << "策略 名称ü" << "D:\\策略\\甲.py" << "组🙂" << "说明";
    QTest::newRow("empty") << "" << "" << "" << "";
    QTest::newRow("percent and ampersand alone") << "%" << "&" << "%&" << "&%";
    QTest::newRow("pieces of the separator") << "a," << "%&b" << ",%" << ",% &";
    QTest::newRow("leading and trailing blanks") << "  a b  " << " D:/a.py" << "g " << "\t x \t";
    QTest::newRow("json text") << "n" << "p" << "g" << "{\"k\": \"v,%\", \"n\": 1}";
}

void TestDataFile::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(QString, path);
    QFETCH(QString, group);
    QFETCH(QString, extra);
    FixedStrategyInfo info{2147483647, name, path, group, extra, 12};
    QVERIFY(FixedStrategyFile::canHold(info));
    const QByteArray line = FixedStrategyFile::formatLine(info).toUtf8();
    QVERIFY(line.endsWith('\n'));
    QCOMPARE(describe(FixedStrategyFile::parse(line)), QStringList{describe(info)});

    newFolder();
    StrategySqlite writer;
    info.id = writer.insertStrategyInfo(name, path, group, extra, 12);
    writer.writeFixedStrategyInfoToFile("demo01");
    StrategySqlite reader;
    QCOMPARE(describe(reader.LoadFixedStrategyInfo("demo01")), QStringList{describe(info)});
}

void TestDataFile::duplicateIdsAreWrittenOnce()
{
    newFolder();
    QVERIFY(writeFile(dataPath("demo01"), lines({record(5, "first"), record(6, "six"), record(5, "second")})));
    StrategySqlite store;
    QCOMPARE(describe(store.LoadFixedStrategyInfo("demo01")),
             describe({record(5, "first"), record(6, "six"), record(5, "second")}));
    QCOMPARE(describe(store.queryFixedStrategyInfoList("demo01"), true),
             describe({record(5, "second"), record(6, "six")}));

    store.modifyFixedStrategyFilePath(6, "D:/s/b.py");
    store.writeFixedStrategyInfoToFile("demo01");
    FixedStrategyInfo six = record(6, "six");
    six.filePath = "D:/s/b.py";
    QCOMPARE(describe(FixedStrategyFile::parse(readFile(dataPath("demo01"))), true),
             describe({record(5, "second"), six}));
}

void TestDataFile::writeWithoutChangeLeavesFile()
{
    newFolder();
    StrategySqlite store;
    QVERIFY(store.queryFixedStrategyInfoList("demo01").isEmpty());
    const qint64 id = store.insertStrategyInfo("a", "D:/s/a.py", "默认分组", QString(), 0);
    store.writeFixedStrategyInfoToFile("demo01");
    QCOMPARE(describe(FixedStrategyFile::parse(readFile(dataPath("demo01")))), QStringList{describe(record(id, "a"))});

    // A second write without a change must not touch the file: a marker put
    // there in between survives it.
    QVERIFY(writeFile(dataPath("demo01"), "marker"));
    store.writeFixedStrategyInfoToFile("demo01");
    QCOMPARE(readFile(dataPath("demo01")), QByteArray("marker"));

    store.modifyFixedStrategyInfo(record(id, "b"));
    store.writeFixedStrategyInfoToFile("demo01");
    QCOMPARE(describe(FixedStrategyFile::parse(readFile(dataPath("demo01")))), QStringList{describe(record(id, "b"))});
}

void TestDataFile::failedWriteIsRetried()
{
    newFolder();
    StrategySqlite store;
    QVERIFY(store.queryFixedStrategyInfoList("demo01").isEmpty());
    const QString blocker = home.filePath("work/demo01");
    QVERIFY(writeFile(blocker, "not a folder"));
    const qint64 id = store.insertStrategyInfo("a", "D:/s/a.py", "默认分组", QString(), 0);
    {
        LogCapture log;
        store.writeFixedStrategyInfoToFile("demo01");
        QVERIFY(log.contains(QStringLiteral("open file failed:")));
    }
    QCOMPARE(readFile(blocker), QByteArray("not a folder"));

    QVERIFY(QFile::remove(blocker));
    store.writeFixedStrategyInfoToFile("demo01"); // no change since the failure
    QCOMPARE(describe(FixedStrategyFile::parse(readFile(dataPath("demo01")))), QStringList{describe(record(id, "a"))});
}

void TestDataFile::queriesNeverReadFileAgain()
{
    newFolder();
    const QList<FixedStrategyInfo> held{record(1, "one"), record(2, "two")};
    QVERIFY(writeFile(dataPath("demo01"), lines(held)));
    QVERIFY(writeFile(dataPath("other"), lines({record(9, "nine")})));
    StrategySqlite store;
    QCOMPARE(describe(store.queryFixedStrategyInfoList("demo01"), true), describe(held));

    QVERIFY(writeFile(dataPath("demo01"), lines({record(3, "three")})));
    const qint64 id = store.insertStrategyInfo("new", "D:/s/a.py", "默认分组", QString(), 0);
    const QStringList expected = describe(held + QList<FixedStrategyInfo>{record(id, "new")}, true);
    QCOMPARE(describe(store.queryFixedStrategyInfoList("demo01"), true), expected);
    QCOMPARE(describe(store.queryFixedStrategyInfoList("other"), true), expected);
    QCOMPARE(describe(store.queryFixedStrategyInfoList("nobody"), true), expected);
    QVERIFY(QFile::remove(dataPath("demo01")));
    QCOMPARE(describe(store.queryFixedStrategyInfoList("demo01"), true), expected);
}

void TestDataFile::insertKeepsHeldRecords_data()
{
    QTest::addColumn<bool>("serviceFails");
    QTest::newRow("the id service gives no id") << true;
    QTest::newRow("the id service repeats a held id") << false;
}

void TestDataFile::insertKeepsHeldRecords()
{
    QFETCH(bool, serviceFails);
    newFolder();
    InterProcIdService &ids = InterProcIdService::instance();
    // This process is the only user of its id folder: the next id is known.
    const qint64 next = ids.getId("FixStrategyIDSrv") + 1;
    const QByteArray content = lines({record(next, "held")});
    QVERIFY(writeFile(dataPath("demo01"), content));
    StrategySqlite store;
    QCOMPARE(store.queryFixedStrategyInfoList("demo01").size(), 1);

    if (serviceFails) {
        QVERIFY(writeFile(home.filePath("not-a-folder"), "x"));
        ids.setStorageDirectory(home.filePath("not-a-folder/ids"));
    }
    LogCapture log; // the store warns about the id
    const qint64 id = store.insertStrategyInfo("new", "D:/s/b.py", "G", QString(), 0);
    ids.setStorageDirectory(home.idDir());
    QCOMPARE(id, serviceFails ? qint64(0) : next);
    QCOMPARE(describe(store.queryFixedStrategyInfoList("demo01")), QStringList{describe(record(next, "held"))});
    store.writeFixedStrategyInfoToFile("demo01");
    QCOMPARE(readFile(dataPath("demo01")), content);
}

void TestDataFile::unreadableFileIsMovedAside()
{
    newFolder();
    // Root reads every file; a directory in the file's place cannot be read.
    const QString path = dataPath("demo01");
    QVERIFY(writeFile(path + "/keep.txt", "precious"));
    LogCapture log;
    StrategySqlite store;
    QVERIFY(store.LoadFixedStrategyInfo("demo01").isEmpty());
    QVERIFY(log.contains(QStringLiteral("open fix strategy file failed:"), QtCriticalMsg));

    const qint64 first = store.insertStrategyInfo("a", "D:/s/a.py", "默认分组", QString(), 0);
    store.writeFixedStrategyInfoToFile("demo01");
    const QStringList aside = QDir(home.filePath("work/demo01")).entryList({"SarvekFixStrategy.dat.*"});
    QCOMPARE(aside.size(), 1);
    QVERIFY2(QRegularExpression("^SarvekFixStrategy\\.dat\\.unreadable-\\d{8}-\\d{6}$").match(aside.first()).hasMatch(),
             qPrintable(aside.first()));
    const QString kept = home.filePath("work/demo01/") + aside.first();
    QCOMPARE(readFile(kept + "/keep.txt"), QByteArray("precious"));
    QVERIFY(log.contains(kept, QtCriticalMsg));
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(describe(FixedStrategyFile::parse(readFile(path))), QStringList{describe(record(first, "a"))});

    // Later rewrites replace the new file and leave the old one alone.
    const qint64 second = store.insertStrategyInfo("b", "D:/s/a.py", "默认分组", QString(), 0);
    store.writeFixedStrategyInfoToFile("demo01");
    QCOMPARE(QDir(home.filePath("work/demo01")).entryList({"SarvekFixStrategy.dat.*"}), aside);
    QCOMPARE(describe(FixedStrategyFile::parse(readFile(path)), true),
             describe({record(first, "a"), record(second, "b")}, true));
}

void TestDataFile::concurrentRewrites()
{
    newFolder();
    LogCapture log; // keeps the traces of hundreds of rewrites out of the output
    StrategySqlite store;
    QVERIFY(store.queryFixedStrategyInfoList("demo01").isEmpty());
    const QString path = dataPath("demo01");
    std::atomic<bool> done{false};
    std::atomic<int> partialReads{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < 3; ++w) {
        threads.emplace_back([&] {
            while (!done)
                store.writeFixedStrategyInfoToFile("demo01");
            store.writeFixedStrategyInfoToFile("demo01");
        });
    }
    threads.emplace_back([&] {
        while (!done) {
            const QByteArray content = readFile(path);
            if (!content.isEmpty()
                && (!content.endsWith('\n') || FixedStrategyFile::parse(content).size() != content.count('\n')))
                ++partialReads;
        }
    });
    QList<qint64> added;
    for (int i = 0; i < 200; ++i) {
        added.append(store.insertStrategyInfo(QStringLiteral("s%1").arg(i), "D:/s/a.py", "默认分组", "x", i % 3));
        if (i % 10 == 9) {
            store.delFixedStrategyInfo(added.takeFirst());
            store.modifyFixedStrategyFilePath(added.first(), QStringLiteral("D:/s/%1.py").arg(i));
        }
    }
    done = true;
    for (std::thread &t : threads)
        t.join();

    QCOMPARE(partialReads.load(), 0);
    const QList<FixedStrategyInfo> held = store.queryFixedStrategyInfoList("demo01");
    QCOMPARE(held.size(), 180);
    QCOMPARE(describe(FixedStrategyFile::parse(readFile(path)), true), describe(held, true));
}

void TestDataFile::killedRewriteLeavesWholeFile()
{
    newFolder();
    LogCapture log; // the loads trace every record
    const int count = 50;
    const QString path = dataPath("demo01");
    for (int run = 0; run < 20; ++run) {
        const int base = run * 100000;
        QProcess writer;
        writer.setProcessEnvironment(home.processEnvironment());
        writer.setStandardErrorFile(QProcess::nullDevice());
        writer.start(helperPath("datafilewriter"),
                     {home.path(), "Demo01", QString::number(count), QString::number(base)});
        QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
        QCOMPARE(readLine(writer), QByteArray("ready"));
        int last = -1;
        for (int seen = 0; seen < run % 6; ++seen) {
            const QByteArray line = readLine(writer);
            QVERIFY2(line.startsWith("rewrite "), line.constData());
            last = line.mid(8).toInt();
        }
        writer.kill();
        QVERIFY(writer.waitForFinished());

        const QByteArray content = readFile(path);
        QVERIFY(content.endsWith('\n'));
        QCOMPARE(content.count('\n'), count);
        QList<FixedStrategyInfo> records = FixedStrategyFile::parse(content);
        std::sort(records.begin(), records.end(),
                  [](const FixedStrategyInfo &a, const FixedStrategyInfo &b) { return a.name < b.name; });
        QSet<qint64> ids;
        for (int i = 0; i < records.size(); ++i) {
            QCOMPARE(records.at(i).name, QStringLiteral("rec-%1").arg(i, 3, 10, QLatin1Char('0')));
            ids.insert(records.at(i).id);
        }
        QCOMPARE(ids.size(), count);
        if (last >= 0) {
            // A reported rewrite is in the file (or a later one of that record).
            const QString extra = records.at((last - base) % count).extraInfo;
            QVERIFY2(extra.section('-', 1, 1).toInt() >= last, qPrintable(extra.left(20)));
        }
        // The next start reads the data file itself, whatever a killed
        // rewrite left beside it.
        StrategySqlite store;
        QCOMPARE(describe(store.LoadFixedStrategyInfo("demo01"), true), describe(records, true));
    }
}

QTEST_GUILESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
