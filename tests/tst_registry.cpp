// The fixed-strategy registry of the facade (loading, adding, changing and
// removing fixed strategies) and the strategy-file locks.
//
// The facade lives once per process: the data file, the groups file and the
// lock table are seeded before initialize(), every case works on paths of
// its own, and what was written is read back from the files directly.

#include "facade/strategyfilelogichandler.h"
#include "testsupport.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {
const QString DefaultGroup = QStringLiteral("默认分组");
QString s_dataFile;

StrategyFileLogicHandler &facade()
{
    return StrategyFileLogicHandler::instance();
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

QStringList fields(const FixedStrategyInfo &info)
{
    return {QString::number(info.id), info.name, info.filePath, info.group, info.extraInfo,
            QString::number(info.copyIndex)};
}

QList<QStringList> fileRecords()
{
    QList<QStringList> records;
    for (const QString &line : QString::fromUtf8(readFile(s_dataFile)).split('\n', Qt::SkipEmptyParts))
        records.append(line.split(QStringLiteral(",%&")));
    return records;
}

// The fields of the data file's line of `id`; empty when absent.
QStringList fileLine(qint64 id)
{
    for (const QStringList &record : fileRecords()) {
        if (record.value(0) == QString::number(id))
            return record;
    }
    return {};
}

QStringList fileNames(const QString &path)
{
    QStringList names;
    for (const QStringList &record : fileRecords()) {
        if (record.value(2) == path)
            names.append(record.value(1));
    }
    return sorted(names);
}

// The registered records of one file, in ascending id.
QList<FixedStrategyInfo> recordsOf(const QString &path)
{
    QList<FixedStrategyInfo> records;
    for (const FixedStrategyInfo &info : facade().getFixedStrategyList()) {
        if (info.filePath == path)
            records.append(info);
    }
    return records;
}
} // namespace

class tst_Registry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loadingKeepsFirstLineOfAnIdAndCreatesMissingGroups();
    void addWritesAllCopiesBeforeSignal();
    void addStoppedHalfWayReachesFileAtNextWrite();
    void addWithoutEffect();
    void rejectedIdLeavesLaterCopiesListed();
    void defaultName_data();
    void defaultName();
    void modifySignalsBeforeFileIsWritten();
    void modifyKeepsIdAndFollowsPath();
    void refusesTextsTheDataFileCannotHold_data();
    void refusesTextsTheDataFileCannotHold();
    void moveFile();
    void remove_data();
    void remove();
    void lockRoundTrip_data();
    void lockRoundTrip();
    void locksOutsideTheList();
    void concurrentReadersAndWriters();
    void exitWritesCopiesLeftUnwritten(); // last: the facade stays stopped

private:
    QStringList lockRows() const;

    TestHome home;
    qint64 m_initStart = 0;
    qint64 m_initEnd = 0;
};

QStringList tst_Registry::lockRows() const
{
    QStringList rows;
    for (const QStringList &row : querySql(home.filePath("sarvek.db"), "select file_path from strategyfileinfo"))
        rows.append(row.value(0));
    return sorted(rows);
}

void tst_Registry::initTestCase()
{
    QVERIFY2(home.isValid(), qPrintable(home.errorString()));
    // The traces print whole maps at every lookup; warnings stay on.
    QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false"));
    s_dataFile = home.filePath("work/demo01/SarvekFixStrategy.dat");
    QVERIFY(writeFile(home.idDir() + "/FixStrategyIDSrv.seq", "1000\n")); // new ids after the seeded ones
    QVERIFY(writeFile(s_dataFile, QStringLiteral("5,%&first,%&D:/seed/dup.py,%&默认分组,%&x,%&0\n"
                                                 "5,%&second,%&D:/seed/dup.py,%&默认分组,%&y,%&1\n"
                                                 "6,%&,%&D:/seed/noname.py,%&默认分组,%&,%&0\n"
                                                 "7,%&del7,%&D:/seed/del.py,%&默认分组,%&,%&0\n"
                                                 "8,%&keep8,%&D:/seed/Case.py,%&SeedOnly,%&,%&0\n"
                                                 "9,%&del9,%&D:/seed/del.py,%&默认分组,%&,%&1\n")
                                      .toUtf8()));
    QVERIFY(writeFile(home.filePath("work/demo01/SarvekFixedStrategyGroups.txt"),
                      QStringLiteral("abc;x,skipped,默认分组;-1,自动启动;-1,g100;100,abd;,g50;50,zz;7;extra").toUtf8()));
    QVERIFY(execSql(home.filePath("sarvek.db"), "create table strategyfileinfo(file_path varchar(120) primary key);"
                                                "insert into strategyfileinfo values('D:/seed/locked.py');"
                                                "insert into strategyfileinfo values('D:/it''s/seeded.py');"));

    StrategyFileLogicHandler &f = facade();
    QCOMPARE(f.getLastFixedStrategyInfo(), FixedStrategyInfo());
    QVERIFY(!f.getFileLockState("D:/seed/locked.py"));
    m_initStart = QDateTime::currentSecsSinceEpoch();
    f.initialize();
    m_initEnd = QDateTime::currentSecsSinceEpoch();
    QVERIFY(f.isInitialized());
}

void tst_Registry::loadingKeepsFirstLineOfAnIdAndCreatesMissingGroups()
{
    StrategyFileLogicHandler &f = facade();
    QCOMPARE(f.getFixedStrateyInfoByID(5).name, QStringLiteral("first"));
    QCOMPARE(f.getFixedStrateNameList("D:/seed/dup.py"), QStringList{"first"});
    QCOMPARE(f.getFixedStrateyInfoByID(6).filePath, QStringLiteral("D:/seed/noname.py"));
    for (const FixedStrategyInfo &info : f.getFixedStrategyList())
        QVERIFY(info.id != 6);
    QCOMPARE(f.getFixedStrateNameList("D:/seed/noname.py"), QStringList{QString()});
    QVERIFY(f.isFixedStrategy("D:/seed/Case.py"));
    QVERIFY(!f.isFixedStrategy("d:/seed/case.py"));
    QVERIFY(!f.isContainsFixedStrategy("D:/seed/Case.py", "KEEP8"));
    QCOMPARE(f.getLastFixedStrategyInfo().name, QStringLiteral("del9"));
    QVERIFY(f.getFileLockState("D:/seed/locked.py"));
    QVERIFY(f.getFileLockState("D:/it's/seeded.py"));

    // Record 8 named a missing group: created with the start time and saved
    // at once. A time that is no number reads as 0; "skipped" has no ";".
    qint64 created = -99;
    for (const SarvekGroupInfo &group : f.getAllStrategyGroups()) {
        if (group.name == "SeedOnly")
            created = group.createTime;
    }
    QVERIFY(created >= m_initStart && created <= m_initEnd);
    QCOMPARE(f.getAllStrategyGroupNameSorted(),
             QStringList({DefaultGroup, "自动启动", "abd", "abc", "zz", "g50", "g100", "SeedOnly"}));
    QCOMPARE(QString::fromUtf8(readFile(home.filePath("work/demo01/SarvekFixedStrategyGroups.txt"))),
             QStringLiteral("SeedOnly;%1,abc;0,abd;0,g100;100,g50;50,zz;7,自动启动;-1,默认分组;-1").arg(created));

    // The store kept the last line of id 5: the next rewrite holds only it.
    QVERIFY(f.addFixedStrategy("D:/seed/other.py", "other", DefaultGroup, QString(), 1));
    QCOMPARE(fileLine(5), QStringList({"5", "second", "D:/seed/dup.py", DefaultGroup, "y", "1"}));
    QCOMPARE(fileNames("D:/seed/dup.py"), QStringList{"second"});
    QCOMPARE(fileLine(6), QStringList({"6", "", "D:/seed/noname.py", DefaultGroup, "", "0"}));
}

void tst_Registry::addWritesAllCopiesBeforeSignal()
{
    StrategyFileLogicHandler &f = facade();
    const QString path = "D:/add/abc.py";
    QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy);
    QStringList namesAtSignal;
    const auto connection = connect(
        &f, &StrategyFileLogicHandler::signalAddStrategy, this, [&] { namesAtSignal = fileNames(path); },
        Qt::DirectConnection);
    const bool ok = f.addFixedStrategy(path, "abc", DefaultGroup, "extra", 3);
    disconnect(connection);
    QVERIFY(ok);
    QCOMPARE(added.count(), 1);
    QCOMPARE(namesAtSignal, QStringList({"abc", "abc_1", "abc_2"}));
    QCOMPARE(f.getFixedStrateNameList(path), QStringList({"abc", "abc_1", "abc_2"}));
    const QList<FixedStrategyInfo> records = recordsOf(path);
    QCOMPARE(records.size(), 3);
    for (int i = 0; i < records.size(); ++i) {
        QCOMPARE(records.at(i).copyIndex, i);
        QCOMPARE(records.at(i).name, i == 0 ? QStringLiteral("abc") : QStringLiteral("abc_%1").arg(i));
        QCOMPARE(fileLine(records.at(i).id), fields(records.at(i)));
    }
    QCOMPARE(f.getLastFixedStrategyInfo(), records.last());
    QVERIFY(!QFileInfo::exists(home.filePath("work/Demo01"))); // the login account lower-cased
}

void tst_Registry::addStoppedHalfWayReachesFileAtNextWrite()
{
    StrategyFileLogicHandler &f = facade();
    const QString path = "D:/half/abc.py";
    QVERIFY(f.addFixedStrategy(path, "abc_2", DefaultGroup, QString(), 1));
    QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy);
    QVERIFY(!f.addFixedStrategy(path, "abc", DefaultGroup, QString(), 3));
    QCOMPARE(added.count(), 0);
    QCOMPARE(f.getFixedStrateNameList(path), QStringList({"abc_2", "abc", "abc_1"}));
    QCOMPARE(fileNames(path), QStringList{"abc_2"});
    QVERIFY(!f.delFixedStrategyInfoByID(987654321)); // any operation that writes
    QCOMPARE(fileNames(path), QStringList({"abc", "abc_1", "abc_2"}));
}

void tst_Registry::addWithoutEffect()
{
    StrategyFileLogicHandler &f = facade();
    const QString path = "D:/none/s.py";
    const QByteArray before = readFile(s_dataFile);
    QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy);
    QVERIFY(f.addFixedStrategy(path, "s", DefaultGroup, QString(), 0));
    QCOMPARE(added.count(), 1);
    QVERIFY(!f.addFixedStrategy(path, "s", "no such group", QString(), 1));
    QCOMPARE(added.count(), 1);
    QVERIFY(!f.isFixedStrategy(path));
    QCOMPARE(readFile(s_dataFile), before);
}

void tst_Registry::rejectedIdLeavesLaterCopiesListed()
{
    StrategyFileLogicHandler &f = facade();
    const QString path = "D:/rejected/r.py";
    QVERIFY(f.addFixedStrategy(path, "held", DefaultGroup, QString(), 1));
    const FixedStrategyInfo held = f.getLastFixedStrategyInfo();
    // The id service hands out an id the registry holds, then a fresh one.
    QVERIFY(writeFile(home.idDir() + "/FixStrategyIDSrv.seq", QByteArray::number(held.id - 1) + '\n'));
    QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy);
    QVERIFY(!f.addFixedStrategy(path, "r", DefaultGroup, QString(), 2));
    QCOMPARE(added.count(), 1);
    QCOMPARE(f.getFixedStrateyInfoByID(int(held.id)), held);
    QCOMPARE(f.getLastFixedStrategyInfo().id, held.id + 1);
    QCOMPARE(f.getFixedStrateNameList(path), QStringList({"held", "r_1"}));
    QCOMPARE(fileNames(path), QStringList({"held", "r_1"}));
    QCOMPARE(fileLine(held.id), fields(held));
}

void tst_Registry::defaultName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("registered");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing registered") << "D:/dn/free/ma.py" << QStringList() << "ma";
    QTest::newRow("ma and ma1 taken") << "D:/dn/taken/ma.py" << QStringList{"ma", "ma1"} << "ma2";
    QTest::newRow("only ma2 taken") << "D:/dn/gap/ma.py" << QStringList{"ma2"} << "ma";
    QTest::newRow("base ends at the first dot") << "D:/s/ma.cross.py" << QStringList() << "ma";
    QTest::newRow("letter case counts") << "D:/dn/case/ma.py" << QStringList{"MA"} << "ma";
}

void tst_Registry::defaultName()
{
    QFETCH(QString, path);
    QFETCH(QStringList, registered);
    for (const QString &name : qAsConst(registered))
        QVERIFY(facade().addFixedStrategy(path, name, DefaultGroup, QString(), 1));
    QTEST(facade().GetDefaultFixedStrategyName(path), "expected");
}

void tst_Registry::modifySignalsBeforeFileIsWritten()
{
    StrategyFileLogicHandler &f = facade();
    const QString path = "D:/mod/rename.py";
    QVERIFY(f.addFixedStrategy(path, "m", DefaultGroup, "e", 3));
    const FixedStrategyInfo first = recordsOf(path).first();
    FixedStrategyInfo changed = first;
    changed.name = "renamed";
    changed.extraInfo = "e2";
    QSignalSpy modified(&f, &StrategyFileLogicHandler::signalStrategyModifyed);
    QString nameAtSignal;
    const auto connection = connect(
        &f, &StrategyFileLogicHandler::signalStrategyModifyed, this,
        [&] { nameAtSignal = fileLine(first.id).value(1); }, Qt::DirectConnection);
    const bool ok = f.modifyFixedStrategyInfo(int(first.id), changed);
    disconnect(connection);
    QVERIFY(ok);
    QCOMPARE(modified.count(), 1);
    QCOMPARE(modified.first().first().toLongLong(), first.id);
    QCOMPARE(nameAtSignal, QStringLiteral("m"));
    QCOMPARE(f.getFixedStrateNameList(path), QStringList({"m_1", "m_2", "renamed"}));
    QCOMPARE(f.getFixedStrateyInfoByID(int(first.id)), changed);
    QCOMPARE(fileLine(first.id), fields(changed));
    QVERIFY(!f.modifyFixedStrategyInfo(987654321, changed));
    QCOMPARE(modified.count(), 1);
}

void tst_Registry::modifyKeepsIdAndFollowsPath()
{
    StrategyFileLogicHandler &f = facade();
    const QString from = "D:/mod/from.py", to = "D:/mod/to.py", other = "D:/mod/other.py";
    QVERIFY(f.addFixedStrategy(to, "z", DefaultGroup, QString(), 1));
    QVERIFY(f.addFixedStrategy(other, "o", DefaultGroup, QString(), 1));
    QVERIFY(f.addFixedStrategy(from, "a", DefaultGroup, QString(), 1));
    const FixedStrategyInfo a = recordsOf(from).first(), o = recordsOf(other).first();
    // Only the path changes, and the record handed in names another id.
    FixedStrategyInfo changed = a;
    changed.id = o.id;
    changed.filePath = to;
    QVERIFY(f.modifyFixedStrategyInfo(int(a.id), changed));
    changed.id = a.id;
    QCOMPARE(f.getFixedStrateyInfoByID(int(a.id)), changed);
    QCOMPARE(f.getFixedStrateyInfoByID(int(o.id)), o);
    QCOMPARE(fileLine(a.id), fields(changed));
    QCOMPARE(fileLine(o.id), fields(o));
    QVERIFY(!f.isFixedStrategy(from));
    QCOMPARE(f.getFixedStrateNameList(to), QStringList({"z", "a"}));
}

void tst_Registry::refusesTextsTheDataFileCannotHold_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("field"); // 0 name, 1 path, 2 group, 3 extra text
    QTest::addColumn<QString>("value");
    QTest::newRow("add: separator in name") << "add" << 0 << "a,%&b";
    QTest::newRow("add: separator in path") << "add" << 1 << "D:/r/a,%&b.py";
    QTest::newRow("add: line feed in group") << "add" << 2 << "默认分组\n";
    QTest::newRow("add: carriage return in extra") << "add" << 3 << "x\ry";
    QTest::newRow("modify: line feed in name") << "modify" << 0 << "a\nb";
    QTest::newRow("modify: carriage return in path") << "modify" << 1 << "D:/r/a\r.py";
    QTest::newRow("modify: separator in group") << "modify" << 2 << ",%&";
    QTest::newRow("modify: separator in extra") << "modify" << 3 << "x,%&";
    QTest::newRow("move: separator in path") << "move" << 1 << "D:/r/b,%&.py";
    QTest::newRow("move: line feed in path") << "move" << 1 << "D:/r/b\n.py";
}

void tst_Registry::refusesTextsTheDataFileCannotHold()
{
    QFETCH(QString, operation);
    QFETCH(int, field);
    QFETCH(QString, value);
    StrategyFileLogicHandler &f = facade();
    const QString path = QStringLiteral("D:/refused/%1.py").arg(QTest::currentDataTag());
    QVERIFY(f.addFixedStrategy(path, "orig", DefaultGroup, "e", 1));
    const FixedStrategyInfo orig = recordsOf(path).first();
    FixedStrategyInfo changed = orig;
    QString *targets[] = {&changed.name, &changed.filePath, &changed.group, &changed.extraInfo};
    *targets[field] = value;
    const QByteArray before = readFile(s_dataFile);
    const int registered = f.getFixedStrategyList().size();
    QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy);
    QSignalSpy modified(&f, &StrategyFileLogicHandler::signalStrategyModifyed);
    QSignalSpy moved(&f, &StrategyFileLogicHandler::signalFixedStrategyFileChanged);
    LogCapture log;
    const bool ok = operation == "add"
                        ? f.addFixedStrategy(changed.filePath, changed.name, changed.group, changed.extraInfo, 1)
                    : operation == "modify" ? f.modifyFixedStrategyInfo(int(orig.id), changed)
                                            : f.modifyeStrategyFilePath(path, changed.filePath);
    QVERIFY(!ok);
    QVERIFY(log.contains("refused", QtWarningMsg));
    QCOMPARE(added.count() + modified.count() + moved.count(), 0);
    QCOMPARE(readFile(s_dataFile), before);
    QCOMPARE(f.getFixedStrategyList().size(), registered);
    QCOMPARE(f.getFixedStrateyInfoByID(int(orig.id)), orig);
    QCOMPARE(f.getFixedStrateNameList(path), QStringList{"orig"});
    // Nor did the store change: the next rewrite still holds the old record.
    QVERIFY(f.addFixedStrategy(path, "later", DefaultGroup, QString(), 1));
    QCOMPARE(fileLine(orig.id), fields(orig));
}

void tst_Registry::moveFile()
{
    StrategyFileLogicHandler &f = facade();
    const QString a = "D:/mv/a.py", b = "D:/mv/b.py";
    QVERIFY(f.addFixedStrategy(a, "x", DefaultGroup, QString(), 2));
    QVERIFY(f.addFixedStrategy(b, "z", DefaultGroup, QString(), 1));
    QSignalSpy changed(&f, &StrategyFileLogicHandler::signalFixedStrategyFileChanged);
    QVERIFY(f.modifyeStrategyFilePath(a, b));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.takeFirst(), QVariantList({a, b}));
    QVERIFY(!f.isFixedStrategy(a));
    QCOMPARE(f.getFixedStrateNameList(b), QStringList({"z", "x", "x_1"}));
    QCOMPARE(recordsOf(b).size(), 3);
    QCOMPARE(fileNames(b), QStringList({"x", "x_1", "z"}));

    QVERIFY(f.modifyeStrategyFilePath(b, b));
    QVERIFY(!f.modifyeStrategyFilePath(QString(), b));
    QVERIFY(!f.modifyeStrategyFilePath(b, QString()));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(f.getFixedStrateNameList(b), QStringList({"z", "x", "x_1"}));
    QVERIFY(f.modifyeStrategyFilePath("D:/mv/none.py", "D:/mv/none2.py"));
    QCOMPARE(changed.takeFirst(), QVariantList({"D:/mv/none.py", "D:/mv/none2.py"}));
}

void tst_Registry::remove_data()
{
    QTest::addColumn<QString>("path"); // empty: remove by id
    QTest::addColumn<qint64>("id");    // 0: a record added for the row
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("signalled"); // -1: no signal; 0 with an added record: its id
    QTest::newRow("path of records 7 and 9") << "D:/seed/del.py" << qint64(0) << true << 7;
    QTest::newRow("path without records") << "D:/del/none.py" << qint64(0) << true << 0;
    QTest::newRow("negative id") << "" << qint64(-1) << false << -1;
    QTest::newRow("unknown id") << "" << qint64(987654321) << false << -1;
    QTest::newRow("registered id") << "" << qint64(0) << true << 0;
}

void tst_Registry::remove()
{
    QFETCH(QString, path);
    QFETCH(qint64, id);
    QFETCH(bool, result);
    QFETCH(int, signalled);
    StrategyFileLogicHandler &f = facade();
    const bool byId = path.isEmpty();
    if (byId && id == 0) {
        path = "D:/delid/s.py";
        QVERIFY(f.addFixedStrategy(path, "s", DefaultGroup, QString(), 1));
        signalled = int(id = recordsOf(path).first().id);
    }
    const QByteArray before = readFile(s_dataFile);
    QSignalSpy removed(&f, &StrategyFileLogicHandler::signalFixedStrategyFileRemoved);
    QCOMPARE(byId ? f.delFixedStrategyInfoByID(id) : f.delFixedStrategyInfoByFilePath(path), result);
    QCOMPARE(removed.count(), signalled < 0 ? 0 : 1);
    if (!result) {
        QCOMPARE(readFile(s_dataFile), before);
        return;
    }
    QCOMPARE(removed.first().first().toInt(), signalled);
    QVERIFY(!f.isFixedStrategy(path));
    QVERIFY(recordsOf(path).isEmpty());
    QVERIFY(fileNames(path).isEmpty());
    QCOMPARE(f.getFixedStrateyInfoByID(8).name, QStringLiteral("keep8"));
}

void tst_Registry::lockRoundTrip_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("otherSpelling");
    QTest::newRow("plain") << "D:/lk/a.py" << "d:/lk/a.py";
    QTest::newRow("apostrophe") << "D:/it's/a.py" << "D:\\it's\\a.py";
    QTest::newRow("backslashes") << "D:\\lk\\b.py" << "D:/lk/b.py";
    QTest::newRow("chinese") << "D:/策略/c.py" << "D:\\策略\\c.py";
}

void tst_Registry::lockRoundTrip()
{
    QFETCH(QString, path);
    QFETCH(QString, otherSpelling);
    StrategyFileLogicHandler &f = facade();
    const QStringList rowsBefore = lockRows();
    QSignalSpy changed(&f, &StrategyFileLogicHandler::signalChangeFileLockState);
    QVERIFY(f.changeFileLockState(path, true));
    QVERIFY(f.changeFileLockState(path, true));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().first().toString(), path);
    QVERIFY(f.getFileLockState(path));
    QVERIFY(!f.getFileLockState(otherSpelling));
    QCOMPARE(lockRows(), sorted(rowsBefore + QStringList{path}));
    QVERIFY(f.changeFileLockState(otherSpelling, true));
    QCOMPARE(lockRows(), sorted(rowsBefore + QStringList{path, otherSpelling}));
    QVERIFY(f.changeFileLockState(otherSpelling, false));
    QVERIFY(f.changeFileLockState(path, false));
    QCOMPARE(changed.count(), 5);
    QVERIFY(!f.getFileLockState(path));
    QCOMPARE(lockRows(), rowsBefore);
}

void tst_Registry::locksOutsideTheList()
{
    StrategyFileLogicHandler &f = facade();
    // A row the facade does not know of: only a delete statement removes it.
    QVERIFY(execSql(home.filePath("sarvek.db"), "insert into strategyfileinfo values('D:/lk/ghost.py')"));
    QSignalSpy changed(&f, &StrategyFileLogicHandler::signalChangeFileLockState);
    QVERIFY(f.changeFileLockState("D:/lk/ghost.py", false));
    QCOMPARE(changed.count(), 1);
    QVERIFY(lockRows().contains("D:/lk/ghost.py"));
    // Locking it fails at the table's key and changes nothing.
    QVERIFY(!f.changeFileLockState("D:/lk/ghost.py", true));
    QCOMPARE(changed.count(), 1);
    QVERIFY(!f.getFileLockState("D:/lk/ghost.py"));
}

void tst_Registry::concurrentReadersAndWriters()
{
    StrategyFileLogicHandler &f = facade();
    constexpr int Writers = 2, Readers = 3, Rounds = 60;
    std::atomic<bool> writing{true};
    std::atomic<int> failures{0};
    auto pathOf = [](int writer, int round) { return QStringLiteral("D:/mt/w%1/s%2.py").arg(writer).arg(round); };
    std::vector<std::thread> writers, readers;
    for (int w = 0; w < Writers; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < Rounds; ++i) {
                const QString path = pathOf(w, i);
                failures += !f.addFixedStrategy(path, "n", DefaultGroup, QString(), 2);
                FixedStrategyInfo first = recordsOf(path).value(0);
                first.name = QStringLiteral("r%1").arg(i);
                failures += !f.modifyFixedStrategyInfo(int(first.id), first);
                failures += !(i % 3 == 0   ? f.delFixedStrategyInfoByID(first.id)
                              : i % 3 == 1 ? f.modifyeStrategyFilePath(path, path + ".moved")
                                           : f.delFixedStrategyInfoByFilePath(path));
            }
        });
    }
    writers.emplace_back([&] {
        for (int i = 0; i < Rounds; ++i) {
            const QString name = QStringLiteral("mt%1").arg(i);
            failures += !f.addGroup(name).isEmpty() || !f.renameGroup(name, name + "r").isEmpty();
            failures += i % 2 == 0 && !f.deleteGroup(name + "r", false);
        }
    });
    for (int r = 0; r < Readers; ++r) {
        readers.emplace_back([&, r] {
            for (int i = 0; writing; ++i) {
                const QString path = pathOf(r % Writers, i % Rounds);
                f.getFixedStrategyList();
                f.getFixedStrateNameList(path);
                f.isFixedStrategy(path);
                f.isContainsFixedStrategy(path, "n_1");
                f.GetDefaultFixedStrategyName(path);
                f.getFixedStrateyInfoByID(int(f.getLastFixedStrategyInfo().id));
                f.getAllStrategyGroups();
                f.getAllStrategyGroupNameSorted();
            }
        });
    }
    for (std::thread &t : writers)
        t.join();
    writing = false;
    for (std::thread &t : readers)
        t.join();
    QCOMPARE(failures.load(), 0);

    // Registry, name lists and data file agree; one copy is left in a third
    // of the rounds, two in another third.
    QMap<qint64, QStringList> inFile, inRegistry;
    QMap<QString, QStringList> namesByPath;
    for (const QStringList &record : fileRecords()) {
        if (record.value(2).startsWith("D:/mt/")) {
            inFile.insert(record.value(0).toLongLong(), record);
            namesByPath[record.value(2)].append(record.value(1));
        }
    }
    for (const FixedStrategyInfo &info : f.getFixedStrategyList()) {
        if (info.filePath.startsWith("D:/mt/"))
            inRegistry.insert(info.id, fields(info));
    }
    QCOMPARE(inRegistry, inFile);
    QCOMPARE(inFile.size(), Writers * Rounds);
    for (int w = 0; w < Writers; ++w) {
        for (int i = 0; i < Rounds; ++i) {
            for (const QString &path : {pathOf(w, i), QString(pathOf(w, i) + ".moved")})
                QCOMPARE(sorted(f.getFixedStrateNameList(path)), sorted(namesByPath.value(path)));
        }
    }
    QStringList groups, expected;
    for (const SarvekGroupInfo &group : f.getAllStrategyGroups()) {
        if (group.name.startsWith("mt"))
            groups.append(group.name);
    }
    for (int i = 1; i < Rounds; i += 2)
        expected.append(QStringLiteral("mt%1r").arg(i));
    QCOMPARE(sorted(groups), sorted(expected));
}

void tst_Registry::exitWritesCopiesLeftUnwritten()
{
    StrategyFileLogicHandler &f = facade();
    const QString path = "D:/exit/abc.py";
    QVERIFY(f.addFixedStrategy(path, "abc_1", DefaultGroup, QString(), 1));
    QVERIFY(!f.addFixedStrategy(path, "abc", DefaultGroup, QString(), 2));
    QCOMPARE(fileNames(path), QStringList{"abc_1"});
    f.exit();
    QVERIFY(!f.isInitialized());
    QCOMPARE(fileNames(path), QStringList({"abc", "abc_1"}));
}

QTEST_GUILESS_MAIN(tst_Registry)
#include "tst_registry.moc"
