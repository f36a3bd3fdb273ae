// The fixed-strategy registry of the facade (loading, adding, changing and
// removing fixed strategies) and the strategy-file locks.
//
// The facade lives once per process: the data file, the groups file and the
// lock table are seeded before initialize(), every case works on paths of
// its own, and what was written is read back from the files directly.

#include <StrategyLogic/strategyfilelogichandler.h>
#include "testsupport.h"

#include <QtTest>

#include <atomic>
#include <thread>

static const QString DefaultGroup = QStringLiteral("默认分组");

class tst_Registry : public QObject
{
    Q_OBJECT
    TestHome home;
    StrategyFileLogicHandler &f = StrategyFileLogicHandler::instance();
    const QString m_dataFile = home.filePath("work/demo01/SarvekFixStrategy.dat");

    // The records whose path starts with `prefix`, by id: as the data file
    // holds them, or as the registry does.
    QMap<qint64, FixedStrategyInfo> inFile(const QString &prefix) const
    {
        QMap<qint64, FixedStrategyInfo> records;
        for (const QString &line : QString::fromUtf8(readFile(m_dataFile)).split('\n', Qt::SkipEmptyParts)) {
            const QStringList x = line.split(QStringLiteral(",%&"));
            if (x.value(2).startsWith(prefix))
                records.insert(x[0].toLongLong(),
                               {x[0].toLongLong(), x[1], x[2], x.value(3), x.value(4), x.value(5).toInt()});
        }
        return records;
    }

    QMap<qint64, FixedStrategyInfo> inRegistry(const QString &prefix) const
    {
        QMap<qint64, FixedStrategyInfo> records;
        for (const FixedStrategyInfo &info : f.getFixedStrategyList()) {
            if (info.filePath.startsWith(prefix))
                records.insert(info.id, info);
        }
        return records;
    }

    // The paths in the lock table, in order, joined by "|".
    QString lockRows() const
    {
        const char *sql = "select group_concat(file_path, '|') from (select * from strategyfileinfo order by 1)";
        return querySql(home.filePath("sarvek.db"), sql).value(0).value(0);
    }

private slots:
    void initTestCase() // and what loading made of an odd groups file
    {
        QVERIFY2(home.isValid(), qPrintable(home.errorString()));
        // The traces print whole maps at every lookup; warnings stay on.
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false"));
        const QString groupsFile = home.filePath("work/demo01/SarvekFixedStrategyGroups.txt");
        QVERIFY(writeFile(home.idDir() + "/FixStrategyIDSrv.seq", "1000\n")); // new ids after the seeded one
        QVERIFY(writeFile(m_dataFile, QStringLiteral("8,%&keep8,%&D:/seed/Case.py,%&SeedOnly,%&,%&0\n").toUtf8()));
        QVERIFY(writeFile(groupsFile,
                          QStringLiteral("abc;x,skipped,默认分组;-1,自动启动;-1,g100;100,abd;,g50;50,zz;7;extra").toUtf8()));
        QVERIFY(execSql(home.filePath("sarvek.db"), "create table strategyfileinfo(file_path varchar(120) primary key);"
                                                    "insert into strategyfileinfo values('D:/it''s/seeded.py');"));
        const qint64 start = QDateTime::currentSecsSinceEpoch();
        f.initialize();
        QVERIFY(f.getFileLockState("D:/it's/seeded.py"));
        // Record 8 named a missing group: created with the start time and saved
        // at once. A time that is no number reads as 0; "skipped" has no ";".
        const QString groups = QString::fromUtf8(readFile(groupsFile));
        const qint64 created = groups.section(',', 0, 0).section(';', 1).toLongLong();
        QVERIFY(created >= start && created <= QDateTime::currentSecsSinceEpoch());
        QCOMPARE(groups, QStringLiteral("SeedOnly;%1,abc;0,abd;0,g100;100,g50;50,zz;7,自动启动;-1,默认分组;-1").arg(created));
        QCOMPARE(f.getAllStrategyGroupNameSorted(),
                 QStringList({DefaultGroup, "自动启动", "abd", "abc", "zz", "g50", "g100", "SeedOnly"}));
    }

    void addSignalsAfterWriteAndModifyBeforeKeepingTheId()
    {
        const QString path = "D:/signal/abc.py", to = "D:/signal/to.py";
        QList<int> inFileAtSignal;
        QObject context; // ends the connections with the test
        const auto snapshot = [&] { inFileAtSignal.append(inFile(path).size()); };
        connect(&f, &StrategyFileLogicHandler::signalAddStrategy, &context, snapshot, Qt::DirectConnection);
        connect(&f, &StrategyFileLogicHandler::signalStrategyModifyed, &context, snapshot, Qt::DirectConnection);
        QVERIFY(f.addFixedStrategy(path, "abc", DefaultGroup, "extra", 3));
        // Only the path of the first copy changes, and the record handed in names the last copy's id.
        FixedStrategyInfo changed = inRegistry(path).first();
        const int id = int(changed.id);
        changed.id = f.getLastFixedStrategyInfo().id;
        changed.filePath = to;
        QVERIFY(f.modifyFixedStrategyInfo(id, changed));
        // One signal each: the add's after all copies were written, the modify's before the change was.
        QCOMPARE(inFileAtSignal, QList<int>({3, 3}));
        changed.id = id;
        QCOMPARE(f.getFixedStrateyInfoByID(id), changed);
        QCOMPARE(f.getFixedStrateNameList(path), QStringList({"abc_1", "abc_2"}));
        QCOMPARE(f.getFixedStrateNameList(to), QStringList{"abc"});
        QVERIFY(inFile("D:/signal/") == inRegistry("D:/signal/"));
    }

    void rejectedIdLeavesLaterCopiesListed()
    {
        const QString path = "D:/rejected/r.py";
        QVERIFY(f.addFixedStrategy(path, "held", DefaultGroup, QString(), 1));
        const FixedStrategyInfo held = f.getLastFixedStrategyInfo();
        // The id service hands out an id the registry holds, then a fresh one.
        QVERIFY(writeFile(home.idDir() + "/FixStrategyIDSrv.seq", QByteArray::number(held.id - 1) + '\n'));
        QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy);
        QVERIFY(!f.addFixedStrategy(path, "r", DefaultGroup, QString(), 2));
        QCOMPARE(added.count(), 1);
        QCOMPARE(f.getFixedStrateyInfoByID(int(held.id)), held);
        QCOMPARE(f.getFixedStrateNameList(path), QStringList({"held", "r_1"}));
        QVERIFY(inFile(path) == inRegistry(path));
    }

    void refusesTextsTheDataFileCannotHold_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("field"); // 0 name, 1 path, 2 group, 3 extra text
        QTest::addColumn<QString>("value");
        QTest::newRow("add: separator in name") << "add" << 0 << "a,%&b";
        QTest::newRow("add: carriage return in extra") << "add" << 3 << "x\ry";
        QTest::newRow("modify: carriage return in name") << "modify" << 0 << "a\rb";
        QTest::newRow("modify: separator in path") << "modify" << 1 << "D:/r/a,%&.py";
        QTest::newRow("modify: line feed in group") << "modify" << 2 << "默认分组\n";
        QTest::newRow("move: separator in path") << "move" << 1 << "D:/r/b,%&.py";
    }

    void refusesTextsTheDataFileCannotHold()
    {
        QFETCH(QString, operation);
        QFETCH(int, field);
        QFETCH(QString, value);
        const QString path = QStringLiteral("D:/refused/%1.py").arg(QTest::currentDataTag());
        QVERIFY(f.addFixedStrategy(path, "orig", DefaultGroup, "e", 1));
        const FixedStrategyInfo orig = f.getLastFixedStrategyInfo();
        FixedStrategyInfo changed = orig;
        QString *fields[] = {&changed.name, &changed.filePath, &changed.group, &changed.extraInfo};
        *fields[field] = value;
        const QByteArray before = readFile(m_dataFile);
        QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy),
            modified(&f, &StrategyFileLogicHandler::signalStrategyModifyed),
            moved(&f, &StrategyFileLogicHandler::signalFixedStrategyFileChanged);
        LogCapture log;
        QVERIFY(!(operation == "add"
                      ? f.addFixedStrategy(changed.filePath, changed.name, changed.group, changed.extraInfo, 1)
                  : operation == "modify" ? f.modifyFixedStrategyInfo(int(orig.id), changed)
                                          : f.modifyeStrategyFilePath(path, changed.filePath)));
        QVERIFY(log.contains("refused", QtWarningMsg));
        QCOMPARE(added.count() + modified.count() + moved.count(), 0);
        QCOMPARE(readFile(m_dataFile), before);
        QCOMPARE(f.getFixedStrateNameList(path), QStringList{"orig"});
        // Nor did the store change: the next rewrite still holds the old record.
        QVERIFY(f.addFixedStrategy(path, "later", DefaultGroup, QString(), 1));
        QCOMPARE(f.getFixedStrateyInfoByID(int(orig.id)), orig);
        QCOMPARE(inFile(path).value(orig.id), orig);
    }

    // A change whose data file cannot be written (a full disk) answers
    // false; memory keeps it and the next write stores it.
    void failedWriteAnswersFalseAndIsRetried_data()
    {
        QTest::addColumn<QString>("operation");
        for (const char *operation : {"add", "modify", "move", "remove by id", "remove by path"})
            QTest::newRow(operation) << operation;
    }
    void failedWriteAnswersFalseAndIsRetried()
    {
        QFETCH(QString, operation);
        const QString path = "D:/full/" + operation + ".py";
        QVERIFY(f.addFixedStrategy(path, "a", DefaultGroup, QString(), 1));
        FixedStrategyInfo record = f.getLastFixedStrategyInfo();
        const QByteArray before = readFile(m_dataFile);
        LogCapture log;
        bool answer = true;
        {
            FileSizeLimit full(64); // room for the id counter, not for the data file
            if (operation == "add") {
                answer = f.addFixedStrategy(path, "b", DefaultGroup, QString(), 2);
            } else if (operation == "modify") {
                record.name = "renamed";
                answer = f.modifyFixedStrategyInfo(int(record.id), record);
            } else if (operation == "move") {
                answer = f.modifyeStrategyFilePath(path, path + ".moved");
            } else {
                answer = operation == "remove by id" ? f.delFixedStrategyInfoByID(record.id)
                                                     : f.delFixedStrategyInfoByFilePath(path);
            }
        }
        QVERIFY(!answer);
        QCOMPARE(readFile(m_dataFile), before);
        QVERIFY(log.contains("open file failed:", QtWarningMsg));
        QVERIFY(inFile("D:/full/") != inRegistry("D:/full/"));
        QVERIFY(f.addFixedStrategy("D:/full/next.py", operation, DefaultGroup, QString(), 1));
        QVERIFY(inFile("D:/full/") == inRegistry("D:/full/"));
    }

    // A NUL would end a line of a file, a statement or a setting early:
    // refused wherever a value comes in, and nothing changes.
    void valuesHoldingNulAreRefused()
    {
        const QString nul = QStringLiteral("a%1b").arg(QChar(0));
        const QByteArray before = readFile(m_dataFile);
        const QString locks = lockRows(), product = f.getLastProduct();
        LogCapture log;
        QVERIFY(!f.addFixedStrategy("D:/nul/" + nul + ".py", "n", DefaultGroup, QString(), 1));
        QVERIFY(!f.addFixedStrategy("D:/nul/x.py", nul, DefaultGroup, QString(), 1));
        QCOMPARE(f.addGroup(nul), QStringLiteral("分组名称包含无法保存的字符！"));
        QVERIFY(!f.changeFileLockState(nul, true) && !f.addInstanceRunMode(nul, 1, "F", "r"));
        f.addBackTestInitCashInfo(nul, QDate(2026, 1, 2), 1);
        f.addBackTestInitCashInfo("nan", QDate(2026, 1, 2), qQNaN());
        f.setLastProduct(nul);
        QList<BackTestCashInfo> days;
        QVERIFY(!f.queryBackTestCashInfo(nul, days) && !f.queryBackTestCashInfo("nan", days));
        QCOMPARE(f.getInstanceRunMode(nul), OPERATE_UNKNOWN);
        QCOMPARE(f.getLastProduct(), product);
        QCOMPARE(readFile(m_dataFile), before);
        QCOMPARE(lockRows(), locks);
        QVERIFY(inRegistry("D:/nul/").isEmpty() && !f.getAllStrategyGroupNameSorted().contains(nul));
        QCOMPARE(log.count("refused"), 8); // one line per refusal, the group's too
    }

    void locks()
    {
        // A path with an apostrophe, and another spelling of it: two locks.
        const QString path = "D:\\it's\\a.py", other = "d:\\it's\\a.py", seeded = "D:/it's/seeded.py";
        QSignalSpy changed(&f, &StrategyFileLogicHandler::signalChangeFileLockState);
        QVERIFY(f.changeFileLockState(path, true) && f.changeFileLockState(path, true));
        QCOMPARE(changed.count(), 2);
        QVERIFY(f.getFileLockState(path) && !f.getFileLockState(other));
        QVERIFY(f.changeFileLockState(other, true));
        QCOMPARE(lockRows(), QStringList({seeded, path, other}).join('|'));
        QVERIFY(f.changeFileLockState(other, false) && f.changeFileLockState(path, false));
        // A row the facade does not know of: unlocking signals without a
        // delete statement; locking fails at the table's key. Of the two
        // spellings unlocked above no row is left.
        QVERIFY(execSql(home.filePath("sarvek.db"), "insert into strategyfileinfo values('D:/lk/ghost.py')"));
        QVERIFY(f.changeFileLockState("D:/lk/ghost.py", false) && !f.changeFileLockState("D:/lk/ghost.py", true));
        QCOMPARE(changed.count(), 6);
        QCOMPARE(lockRows(), QStringList({seeded, "D:/lk/ghost.py"}).join('|'));
        QVERIFY(!f.getFileLockState("D:/lk/ghost.py"));
    }

    void concurrentReadersAndWriters()
    {
        constexpr int Rounds = 60;
        std::atomic<int> failures{0}, writersLeft{2};
        auto pathOf = [](int writer, int round) { return QStringLiteral("D:/mt/w%1/%2/s.py").arg(writer).arg(round); };
        auto writer = [&](int w) {
            for (int i = 0; i < Rounds; ++i) {
                const QString path = pathOf(w, i), group = QStringLiteral("mt%1-%2").arg(w).arg(i);
                failures += !f.addGroup(group).isEmpty() || !f.renameGroup(group, group + "r").isEmpty();
                failures += !f.addFixedStrategy(path, "n", group + "r", QString(), 2);
                FixedStrategyInfo first = inRegistry(path).value(inRegistry(path).keys().value(0));
                first.name = QStringLiteral("r%1").arg(i);
                failures += !f.modifyFixedStrategyInfo(int(first.id), first);
                failures += !(i % 3 == 0   ? f.delFixedStrategyInfoByID(first.id)
                              : i % 3 == 1 ? f.modifyeStrategyFilePath(path, path + ".moved")
                                           : f.delFixedStrategyInfoByFilePath(path));
                failures += i % 2 == 0 && !f.deleteGroup(group + "r", false);
            }
            --writersLeft;
        };
        auto reader = [&] {
            for (int i = 0; writersLeft > 0; ++i) {
                f.GetDefaultFixedStrategyName(pathOf(i % 2, i % Rounds));
                f.getAllStrategyGroupNameSorted();
                inRegistry(pathOf(i % 2, i % Rounds));
            }
        };
        std::thread threads[] = {std::thread(writer, 0), std::thread(writer, 1), std::thread(reader),
                                 std::thread(reader), std::thread(reader)};
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(failures.load(), 0);

        // Registry, name lists, groups and data file agree: one copy is left
        // in a third of the rounds, two in another third.
        const QMap<qint64, FixedStrategyInfo> records = inFile("D:/mt/");
        QVERIFY(inRegistry("D:/mt/") == records);
        QCOMPARE(records.size(), 2 * Rounds);
        QMap<QString, QStringList> names;
        for (const FixedStrategyInfo &info : records)
            names[info.filePath].append(info.name);
        auto sorted = [](QStringList list) {
            list.sort();
            return list;
        };
        for (int k = 0; k < 2 * Rounds; ++k) {
            for (const QString &path : {pathOf(k % 2, k / 2), QString(pathOf(k % 2, k / 2) + ".moved")})
                QCOMPARE(sorted(f.getFixedStrateNameList(path)), sorted(names.value(path)));
        }
        QCOMPARE(f.getAllStrategyGroupNameSorted().filter(QRegularExpression("^mt\\d+-\\d+r$")).size(), Rounds);
    }

    void defaultNamesMovesAndRemovals()
    {
        // Default names look at the names of the same file only.
        const QString ma = "D:/rm/ma.cross.py", moved = "D:/rm/moved.py", other = "D:/rm/other.py";
        QCOMPARE(f.GetDefaultFixedStrategyName(ma), QString("ma"));
        QVERIFY(f.addFixedStrategy(ma, "ma", DefaultGroup, QString(), 1) && f.addFixedStrategy(other, "ma2", DefaultGroup, QString(), 1));
        QVERIFY(f.addFixedStrategy(ma, "ma1", DefaultGroup, QString(), 1));
        QCOMPARE(f.GetDefaultFixedStrategyName(ma) + f.GetDefaultFixedStrategyName(other), QString("ma2other"));
        QSignalSpy removed(&f, &StrategyFileLogicHandler::signalFixedStrategyFileRemoved),
            changed(&f, &StrategyFileLogicHandler::signalFixedStrategyFileChanged);
        // A move takes the names along; equal paths do nothing; a path without records still signals.
        QVERIFY(f.modifyeStrategyFilePath(ma, moved) && f.modifyeStrategyFilePath(moved, moved));
        QVERIFY(f.modifyeStrategyFilePath("D:/rm/none.py", "D:/rm/none2.py"));
        QCOMPARE(changed.size(), 2);
        QVERIFY(!f.isFixedStrategy(ma) && f.getFixedStrateNameList(moved) == QStringList({"ma", "ma1"}));
        // By path: one signal with the smallest id, or 0 for a path without records.
        const qint64 first = inRegistry(moved).firstKey();
        QVERIFY(f.delFixedStrategyInfoByFilePath(moved) && f.delFixedStrategyInfoByFilePath("D:/rm/none.py"));
        // By id: negative and unknown ids answer false without a signal.
        const qint64 id = inRegistry(other).firstKey();
        QVERIFY(!f.delFixedStrategyInfoByID(-1) && !f.delFixedStrategyInfoByID(0) && f.delFixedStrategyInfoByID(id));
        QCOMPARE(removed.size(), 3);
        QCOMPARE(QList<int>({removed[0][0].toInt(), removed[1][0].toInt(), removed[2][0].toInt()}),
                 QList<int>({int(first), 0, int(id)}));
        QVERIFY(inFile("D:/rm/").isEmpty() && inRegistry("D:/rm/").isEmpty() && !f.isFixedStrategy(moved));
    }

    void exitWritesCopiesLeftUnwritten() // last: the facade stays stopped
    {
        const QString path = "D:/exit/abc.py";
        QVERIFY(f.addFixedStrategy(path, "abc_1", DefaultGroup, QString(), 1));
        QVERIFY(!f.addFixedStrategy(path, "abc", DefaultGroup, QString(), 2));
        QCOMPARE(inFile(path).size(), 1);
        f.exit();
        QCOMPARE(inFile(path).size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_Registry)
#include "tst_registry.moc"
