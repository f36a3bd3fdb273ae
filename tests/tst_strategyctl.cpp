// strategyctl end to end: every case runs the command-line host as its own
// process (one start, one command or one shell session, one shutdown of the
// plug-in) in a fresh installation folder, and looks at what it printed, its
// exit status and the files it left behind. A second process is a restart of
// the client.

#include "testsupport.h"

#include <QtTest> // with QtCore: QJsonDocument, QProcess, QRegularExpression

#include <csignal>

namespace {
// The fields of a fixed strategy, in the order of the data file.
const QStringList RecordKeys{"id", "name", "filePath", "group", "extraInfo", "copyIndex"};

QStringList sorted(QStringList list) { list.sort(); return list; }

// The values of `keys` in a record as texts; "null" for a JSON null.
QStringList values(const QJsonObject &record, const QStringList &keys)
{
    QStringList texts;
    for (const QString &key : keys)
        texts.append(record.value(key).isNull() ? QStringLiteral("null") : record.value(key).toVariant().toString());
    return texts;
}

// One text per record, its values of `keys` joined by "|", so that whole lists compare at once.
QStringList fields(const QJsonArray &records, const QStringList &keys)
{
    QStringList rows;
    for (const QJsonValue &record : records)
        rows.append(values(record.toObject(), keys).join(QLatin1Char('|')));
    return rows;
}
} // namespace

class tst_Strategyctl : public QObject
{
    Q_OBJECT

    ProcessResult run(const QStringList &args, const QByteArray &in = {}) { return runStrategyctl(m_home, args, in); }
    QJsonDocument json(QStringList args) { return QJsonDocument::fromJson(run(args << QStringLiteral("--json")).out); }
    QString newFolder() { static int n = 0; return m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++n)); }
    QString file(const QString &relative) const { return m_home.filePath(relative); }

    TestHome m_home;
    QProcess m_flushShell; // waits 3.5 s in a folder of its own while the other cases run

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        m_flushShell.setProcessEnvironment(m_home.processEnvironment());
        m_flushShell.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", newFolder(), "--json", "shell"});
        m_flushShell.write("strategy add D:/s/x.py x\ninstance add 7 1\nwait 3500\ndb instance_info\n");
        QVERIFY2(m_flushShell.waitForBytesWritten(), qPrintable(m_flushShell.errorString()));
        m_flushShell.closeWriteChannel();
    }

    void hostProfile_data()
    {
        QTest::addColumn<QByteArray>("profile"); // StrategyHostProfile.json; empty: the built-in demo profile
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QStringList>("products");
        QTest::newRow("demo profile") << QByteArray() << "demo01" << "Demo01" << QStringList{"P001", "P002", "P003"};
        QTest::newRow("profile file replaces the demo")
            << QByteArray(R"({"loginAccount": "Trader7", "userId": "Trader7", "fundAccounts": [{"productId": "Q9"}]})")
            << "trader7" << "Trader7" << QStringList{"Q9"};
    }

    void hostProfile()
    {
        QFETCH(QByteArray, profile);
        QFETCH(QString, user);
        QFETCH(QString, login);
        QFETCH(QStringList, products);
        const QString dir = newFolder();
        QVERIFY(profile.isEmpty() || writeFile(file("StrategyHostProfile.json"), profile));
        const QStringList status = values(json({"status"}).object(), {"initialized", "userId", "loginAccount",
                                          "applicationDir", "database", "dataFile", "groupsFile"});
        const QString work = dir + "/work/" + user;
        QCOMPARE(status, (QStringList{"true", user, login, dir, dir + "/sarvek.db", work + "/SarvekFixStrategy.dat",
                                      work + "/SarvekFixedStrategyGroups.txt"}));
        QCOMPARE(fields(json({"account", "products"}).array(), {"productId"}), products);
    }

    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // a JSON object or a pattern for stdout, trimmed; empty: stdout stays empty
        QTest::addColumn<QString>("err"); // a part of stderr; empty: stderr stays empty
        QTest::newRow("tool help") << QStringList{"--help"} << 0 << "^Usage: strategyctl " << "";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "" << "unknown command 'frobnicate'";
        QTest::newRow("id not a number") << QStringList{"strategy", "show", "abc"} << 2 << "" << "'abc'";
        QTest::newRow("refusal") << QStringList{"strategy", "show", "99"} << 1 << "" << "no fixed strategy with id 99";
        QTest::newRow("refusal as json") << QStringList{"--json", "strategy", "show", "99"} << 1
                                         << R"({"error": {"kind": "notFound", "message": "no fixed strategy with id 99"}})"
                                         << "id 99";
        QTest::newRow("default group by hand") << QStringList{"group", "add", "默认分组"} << 1 << ""
                                               << "默认分组/自动启动分组为内置分组名，不允许手工创建！";
        QTest::newRow("comma in name") << QStringList{"group", "add", "a,b"} << 1 << "" << "分组名称不能包含“,”或“;”！";
        QTest::newRow("blank in file name") << QStringList{"name", "file", "te st.py"} << 0 << "^false$" << "";
        QTest::newRow("strict name") << QStringList{"name", "strict", "D:/s/my_strategy.py"} << 0 << "^true$" << "";
        // Only the trading engine creates its database: without one, no rows.
        QTest::newRow("orders, no database") << QStringList{"simu", "orders", "1001"} << 0 << R"(\(none\)$)" << "";
        QTest::newRow("fills, no database") << QStringList{"simu", "fills", "1002"} << 0 << R"(\(none\)$)" << "";
    }

    void exitStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        m_home.switchToNewFolder(QStringLiteral("single")); // no row changes anything in it
        const ProcessResult r = run(args);
        CHECK_EXIT(r, exitCode);
        const QRegularExpression pattern(out.isEmpty() ? QStringLiteral("^$") : out);
        QVERIFY2(out.startsWith('{') ? QJsonDocument::fromJson(r.out) == QJsonDocument::fromJson(out.toUtf8())
                                     : pattern.match(r.outText().trimmed()).hasMatch(),
                 qPrintable(r.describe()));
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.errText().contains(err), qPrintable(r.describe()));
        QVERIFY(!QFileInfo::exists(file("Sarvek_SimuTrade.db"))); // left to the trading engine alone
    }

    void addedCopiesReachDataFile()
    {
        newFolder();
        CHECK_EXIT(run({"strategy", "add", "D:/s/abc.py", "abc", "--count", "3"}), 0);
        const QJsonArray list = json({"strategy", "list"}).array();
        QCOMPARE(list.at(0).toObject().keys(), sorted(RecordKeys));
        QCOMPARE(sorted(fields(list, RecordKeys.mid(1))),
                 (QStringList{"abc_1|D:/s/abc.py|默认分组||1", "abc_2|D:/s/abc.py|默认分组||2",
                              "abc|D:/s/abc.py|默认分组||0"}));
        // The data file as another program reads it: lines at LF, fields at ",%&".
        QString dataFile = QString::fromUtf8(readFile(file("work/demo01/SarvekFixStrategy.dat")));
        QCOMPARE(sorted(fields(list, RecordKeys)),
                 sorted(dataFile.replace(QStringLiteral(",%&"), QStringLiteral("|")).split('\n', Qt::SkipEmptyParts)));
    }

    void earlierDataIsTakenOver()
    {
        newFolder();
        QVERIFY(writeFile(file("work/demo01/SarvekFixStrategy.dat"),
                          QStringLiteral("41,%&pre,%&D:/pre.py,%&默认分组,%&note,%&2\n").toUtf8()));
        QVERIFY(execSql(file("sarvek.db"), QStringLiteral(
            "create table fixedstrategyinfo(id, name, file_path, user_name, group_name, extra_info);"
            "insert into fixedstrategyinfo values('5', 'old1', 'D:/a.py', 'Demo01', '', 'x1'),"
            " ('6', 'old2', 'D:/b.py', 'Demo01', '趋势', '');")));
        // The legacy rows are appended to the data file found there; an empty group becomes the default group.
        QCOMPARE(sorted(fields(json({"strategy", "list"}).array(), RecordKeys.mid(1))),
                 (QStringList{"old1|D:/a.py|默认分组|x1|0", "old2|D:/b.py|趋势||0", "pre|D:/pre.py|默认分组|note|2"}));
        QVERIFY(querySql(file("sarvek.db"), "select 1 from sqlite_master where name = 'fixedstrategyinfo'").isEmpty());
    }

    void settingsSurviveRestart()
    {
        newFolder();
        const QList<QStringList> commands{
            {"group", "add", "趋势"}, {"strategy", "add", "D:/g.py", "g", "--group", "趋势"}, {"group", "add", "套利"},
            {"group", "rename", "趋势", "动量"}, {"lock", "on", "D:/it's/a.py"}, {"product", "set", "P002"}};
        for (const QStringList &args : commands)
            CHECK_EXIT(run(args), 0);
        QCOMPARE(fields(json({"group", "list"}).array(), {"name"}), (QStringList{"动量", "套利", "默认分组"}));
        QCOMPARE(fields(json({"strategy", "list"}).array(), {"group"}), QStringList{"动量"});
        QCOMPARE(run({"lock", "status", "D:/it's/a.py"}).outText().trimmed(), QStringLiteral("true"));
        QCOMPARE(values(json({"product"}).object(), {"product"}), QStringList{"P002"});
    }

    void shellSessionIsKept(); // below the class: moc misreads the quotes of its raw string

    void simulatedTradesAreRead()
    {
        newFolder();
        QVERIFY(execSql(file("Sarvek_SimuTrade.db"), QStringLiteral(
            "create table order_info(order_id, symbol, date_time, batch_no, order_qty, leave_qty, cum_qty, side,"
            " status, type, px, avg_px, style, fund_account, enturst_prop, text, inst_id); create table deal_info("
            "order_id, symbol, exchange_matchDate, exec_id, last_qty, side, last_px, fund_account, inst_id);"
            "insert into order_info(order_id, px, fund_account, inst_id) values('O1', 10.5, '880001', '1001'), ('O3',"
            " 9.87, '880002', '1002'); insert into deal_info(exec_id, inst_id) values('E1', 1001), ('E3', 1002);")));
        const QStringList orderKeys{"orderID", "algoOrderID", "price", "tradingAccount", "textDescription"};
        QCOMPARE(fields(json({"simu", "orders", "1001"}).array(), orderKeys), QStringList{"O1|1001|10.5|880001|null"});
        QCOMPARE(fields(json({"simu", "fills", "1002"}).array(), {"execID", "strategyID"}), QStringList{"E3|1002"});
    }

    // While another process holds the folder, a command waits for it up to
    // --wait seconds, and otherwise ends with status 3 having done nothing.
    void folderInUseWaitsThenRefuses()
    {
        const QString dir = newFolder();
        QProcess holder, waiting;
        holder.start(helperPath("folderholder"), {dir});
        QVERIFY(holder.waitForReadyRead(20000) && holder.readLine() == "held\n");
        const ProcessResult refused = run({"--wait", "0", "group", "add", "g1"});
        CHECK_EXIT(refused, 3);
        QVERIFY2(refused.errText().contains(QStringLiteral("in use by pid %1").arg(holder.processId())),
                 qPrintable(refused.describe()));
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"sarvek.lock"});
        waiting.setProcessEnvironment(m_home.processEnvironment());
        waiting.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", dir, "--wait", "60", "group", "add", "g2"});
        QVERIFY(waiting.waitForStarted() && !waiting.waitForFinished(300)); // still waiting
        holder.closeWriteChannel();
        QVERIFY(waiting.waitForFinished(30000) && waiting.exitCode() == 0);
        QCOMPARE(fields(json({"group", "list"}).array(), {"name"}), (QStringList{"g2", "默认分组"}));
    }

    // Concurrent one-shot commands run one after another: every change
    // they answered ok is stored.
    void concurrentWritersAreAllStored()
    {
        newFolder();
        QList<QProcess *> writers;
        for (int k = 1; k <= 6; ++k) {
            auto *writer = new QProcess(this);
            writer->setProcessEnvironment(m_home.processEnvironment());
            writer->start(QStringLiteral(STRATEGYCTL_PATH),
                          {"--home", m_home.path(), "--wait", "60", "strategy", "add",
                           QStringLiteral("D:/s/p%1.py").arg(k), QStringLiteral("n%1").arg(k), "--count", "20"});
            writers.append(writer);
        }
        for (QProcess *writer : writers) {
            QVERIFY(writer->waitForFinished(60000));
            QCOMPARE(writer->exitCode(), 0);
            delete writer;
        }
        QCOMPARE(json({"strategy", "list"}).array().size(), 120);
    }

    // A signal ends a shell the normal way: what it answered ok is stored.
    void signalEndsShellKeepingItsRows_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalEndsShellKeepingItsRows()
    {
        QFETCH(int, signal);
        newFolder();
        QProcess shell;
        shell.setProcessEnvironment(m_home.processEnvironment());
        shell.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", m_home.path(), "shell"});
        shell.write("instance add 31 1\ninstance add 32 2\ncash init 31 2026-12-01 10\ncash end 31 2026-12-01 11\n"
                    "group add kept\n");
        QByteArray out;
        QTRY_COMPARE_WITH_TIMEOUT((out += shell.readAllStandardOutput()).count("ok\n"), 5, 20000);
        ::kill(pid_t(shell.processId()), signal); // stdin stays open
        QVERIFY(shell.waitForFinished(20000));
        QCOMPARE(shell.exitCode(), 128 + signal);
        QCOMPARE(fields(json({"db", "instance_info"}).array(), {"instance_id", "run_mode"}), (QStringList{"31|1", "32|2"}));
        QCOMPARE(fields(json({"db", "backtest_daycash"}).array(), {"end_funds"}), QStringList{"11"});
        QVERIFY(fields(json({"group", "list"}).array(), {"name"}).contains("kept"));
    }

    // A folder that cannot be written (read only, or a full disk): every
    // change exits 3 and the folder stays as it was.
    void unwritableFolderChangesNothing_data()
    {
        QTest::addColumn<bool>("readOnly"); // else: no byte may be written, as on a full disk
        QTest::addColumn<QStringList>("args");
        const QList<QStringList> changes{{"strategy", "add", "D:/s/b.py", "b"}, {"strategy", "modify", "1", "--name", "z"},
                                         {"strategy", "remove", "1"},           {"group", "add", "G"},
                                         {"group", "rename", "默认分组", "X"},  {"group", "delete", "默认分组", "--with-strategies"},
                                         {"python", "set", "/x"},               {"instance", "add", "5", "1"},
                                         {"lock", "on", "D:/a.py"}};
        for (bool readOnly : {false, true}) {
            for (const QStringList &args : changes)
                QTest::newRow(qPrintable(QString(readOnly ? "read only: " : "full: ") + args.mid(0, 2).join(' ')))
                    << readOnly << args;
        }
    }
    void unwritableFolderChangesNothing()
    {
        QFETCH(bool, readOnly);
        QFETCH(QStringList, args);
        const QString dir = newFolder();
        QVERIFY(writeFile(file("work/demo01/SarvekFixStrategy.dat"),
                          "1,%&a,%&D:/s/a.py,%&默认分组,%&,%&0\n2,%&b,%&D:/s/a.py,%&默认分组,%&,%&0\n"));
        CHECK_EXIT(run({"python", "set", "/usr/bin"}), 0);
        const QMap<QString, QByteArray> before = folderContents(dir);
        ProcessResult r;
        if (readOnly) {
            ReadOnlyFolder frozen(dir);
            if (!frozen.isValid())
                QSKIP("this process may not mount a read-only folder");
            r = run(args);
            CHECK_EXIT(run({"strategy", "list"}), 0); // reading still works
        } else {
            QStringList quoted;
            for (const QString &arg : QStringList{STRATEGYCTL_PATH, "--home", dir} + args)
                quoted.append("'" + arg + "'");
            r = runShell(m_home, "ulimit -f 0; trap '' XFSZ; exec " + quoted.join(' '));
        }
        // 3: the data could not be reached (written), not a refusal.
        QVERIFY2(!r.crashed && r.exitCode == 3 && !r.out.contains("ok"), qPrintable(r.describe()));
        QCOMPARE(folderContents(dir), before);
    }

    // The database is held by another program until after the shell ended:
    // its rows wait in the journal and reach the tables at the next start,
    // a re-registration replacing the older row.
    void heldDatabaseRowsReachTheTablesAtNextStart()
    {
        const QString dir = newFolder();
        CHECK_EXIT(run({"instance", "add", "5", "1", "--account", "OLD"}), 0);
        QProcess locker;
        locker.start(helperPath("dblocker"), {file("sarvek.db")});
        QVERIFY(locker.waitForReadyRead(20000) && locker.readLine() == "locked\n");
        const ProcessResult held = run({"shell"}, "instance add 5 2 --account NEW\ninstance add 6 1\n"
                                                  "cash init 6 2026-12-01 100\ncash end 6 2026-12-01 105.5\n");
        CHECK_EXIT(held, 0);
        QVERIFY2(held.errText().contains("database is locked"), qPrintable(held.describe()));
        QVERIFY(QFileInfo::exists(file("sarvek.pending.json")));
        locker.closeWriteChannel();
        QVERIFY(locker.waitForFinished(20000));
        CHECK_EXIT(run({"status"}), 0);
        QVERIFY(!QFileInfo::exists(file("sarvek.pending.json")));
        QCOMPARE(fields(json({"db", "instance_info"}).array(), {"instance_id", "run_mode", "fund_account"}),
                 (QStringList{"5|2|NEW", "6|1|"}));
        QCOMPARE(fields(json({"db", "backtest_daycash"}).array(), {"instance_id", "initial_funds", "end_funds"}),
                 QStringList{"6|100|105.5"});
        Q_UNUSED(dir)
    }

    // What a killed process may leave behind is cleared at the next start;
    // what is not of its naming, and damaged files set aside, stay.
    void leftoversOfAKilledProcess()
    {
        const QString dir = newFolder();
        const QStringList leftovers{"work/demo01/SarvekFixStrategy.dat.Ab12Cd", "work/demo01/SarvekFixedStrategyGroups.txt.x1Y2z3",
                                    "sarvek.pending.json.QWERTY", "ZqProEngineConfig.ini.abcdef"};
        const QStringList kept{"work/demo01/SarvekFixStrategy.dat.unreadable-20261201-101010",
                               "work/demo01/SarvekFixStrategy.dat.bak", "work/demo01/notes.txt.Ab12Cd"};
        for (const QString &name : leftovers + kept)
            QVERIFY(writeFile(file(name), "x"));
        QVERIFY(writeFile(file("sarvek.pending.json"), "{ not a journal"));
        CHECK_EXIT(run({"status"}), 0);
        for (const QString &name : leftovers)
            QVERIFY2(!QFileInfo::exists(file(name)), qPrintable(name));
        for (const QString &name : kept)
            QVERIFY2(QFileInfo::exists(file(name)), qPrintable(name));
        // The damaged journal is kept aside for someone to look at.
        QCOMPARE(QDir(dir).entryList({"sarvek.pending.json*"}).size(), 1);
        QVERIFY(QDir(dir).entryList({"sarvek.pending.json*"}).value(0).startsWith("sarvek.pending.json.unreadable-"));
    }

    // A value that cannot be stored is refused, and what was stored stays.
    void nulIsRefusedAndEarlierRecordsSurvive()
    {
        newFolder();
        for (int i = 1; i <= 5; ++i)
            CHECK_EXIT(run({"strategy", "add", QStringLiteral("D:/s/n%1.py").arg(i), QStringLiteral("n%1").arg(i)}), 0);
        const ProcessResult r = run({"shell"}, QByteArray("strategy add D:/s/n.py bad\0name\ncash init 1 2026-12-01 5\n", 53));
        QVERIFY2(r.errText().contains("a NUL") && !r.out.startsWith("ok"), qPrintable(r.describe()));
        CHECK_EXIT(run({"strategy", "add", "D:/s/n6.py", "n6"}), 0);
        QCOMPARE(json({"strategy", "list"}).array().size(), 6);
    }

    // The user's files are named by the user id alone: a login account of
    // another user is reported, and an id that is not a folder name writes
    // nothing anywhere.
    void userFolderComesFromTheUserId_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QString>("folder"); // where the data file lands; empty: nowhere
        QTest::newRow("login account of another user") << QByteArray(R"({"loginAccount": "alice", "userId": "Bob"})")
                                                       << "work/bob";
        QTest::newRow("user id climbing out") << QByteArray(R"({"loginAccount": "../../x", "userId": "../../x"})") << "";
        QTest::newRow("empty user id") << QByteArray(R"({"loginAccount": "", "userId": ""})") << "";
    }
    void userFolderComesFromTheUserId()
    {
        QFETCH(QByteArray, profile);
        QFETCH(QString, folder);
        const QString dir = newFolder();
        QVERIFY(writeFile(file("StrategyHostProfile.json"), profile));
        const ProcessResult added = run({"strategy", "add", "D:/s/a.py", "a"});
        CHECK_EXIT(added, folder.isEmpty() ? 1 : 0);
        QVERIFY2(added.errText().contains(folder.isEmpty() ? "cannot name a folder" : "name different users"),
                 qPrintable(added.describe()));
        QCOMPARE(json({"strategy", "list"}).array().size(), folder.isEmpty() ? 0 : 1);
        QCOMPARE(folderContents(dir).keys().filter("SarvekFixStrategy.dat"),
                 folder.isEmpty() ? QStringList() : QStringList{folder + "/SarvekFixStrategy.dat"});
        QVERIFY(!QFileInfo::exists(dir + "/../x"));
    }

    // Amounts come back as they were given.
    void cashAmountsReadBackExactly()
    {
        newFolder();
        CHECK_EXIT(run({"shell"}, "cash init 9 2026-12-01 12345.678\ncash end 9 2026-12-01 1012000.5\n"), 0);
        QCOMPARE(fields(json({"cash", "show", "9"}).array(), {"initialFunds", "endFunds"}), QStringList{"12345.678|1012000.5"});
    }

    // A groups file that starts with the bytes of a UTF-16 mark is still
    // read as UTF-8 (only those two bytes are not text), and the bytes it
    // came with are kept when it is written.
    void groupsFileIsNotGuessedToBeUtf16()
    {
        const QString dir = newFolder();
        const QByteArray content = "\xff\xfe\xe7\xbb\x84;100,\xe9\xbb\x98\xe8\xae\xa4\xe5\x88\x86\xe7\xbb\x84;-1";
        QVERIFY(writeFile(file("work/demo01/SarvekFixedStrategyGroups.txt"), content));
        QCOMPARE(fields(json({"group", "list"}).array(), {"name"}), (QStringList{"默认分组", "\ufffd\ufffd组"}));
        const QStringList aside = QDir(dir + "/work/demo01").entryList({"SarvekFixedStrategyGroups.txt.unreadable-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(dir + "/work/demo01/" + aside.value(0)), content);
    }

    void shellJsonEventsAndTimedFlush()
    {
        QVERIFY2(m_flushShell.state() == QProcess::NotRunning || m_flushShell.waitForFinished(60000),
                 qPrintable(m_flushShell.errorString()));
        const ProcessResult r{m_flushShell.exitCode(), m_flushShell.exitStatus() == QProcess::CrashExit,
                              m_flushShell.readAllStandardOutput(), m_flushShell.readAllStandardError()};
        CHECK_EXIT(r, 0);
        // Answers and events each a compact JSON document on a line of its own.
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QVERIFY2(lines.contains(R"({"event":"signalAddStrategy"})"), qPrintable(r.describe()));
        // The timed flush wrote the instance row while the shell was waiting.
        QCOMPARE(fields(QJsonDocument::fromJson(lines.last()).array(), {"instance_id", "run_mode", "create_date"}),
                 QStringList{QStringLiteral("7|1|") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))});
    }
};

void tst_Strategyctl::shellSessionIsKept()
{
    newFolder();
    const ProcessResult r = run({"shell"}, R"(strategy add 'D:\a b\x.py' "y z"
strategy add "C:\s\q.py" 'q r' --extra "say \"hi\""
strategy add D:\u\v.py v
strategy add 'unclosed x
instance add 1024 2 --account 880001 --reg ok
cash init 1024 2026-12-01 100000
cash end 1024 2026-12-01 101000
)");
    CHECK_EXIT(r, 2); // the line with an unclosed quote; the shell goes on after it
    const QList<QByteArray> lines = r.out.split('\n');
    QVERIFY2(lines.contains("event signalAddStrategy") && lines.contains("event sigInstanceRunModeChange 1024 2"),
             qPrintable(r.describe()));
    // New processes find what the session left (the line with an unclosed quote refused), the instance row
    // written when the input ended.
    QCOMPARE(sorted(fields(json({"strategy", "list"}).array(), {"name", "filePath", "extraInfo"})),
             (QStringList{R"(q r|C:\s\q.py|say "hi")", R"(v|D:\u\v.py|)", R"(y z|D:\a b\x.py|)"}));
    QCOMPARE(values(json({"instance", "show", "1024"}).object(), {"runMode", "fundAccount", "returnRegInfo"}),
             (QStringList{"2", "880001", "ok"}));
    QCOMPARE(fields(json({"cash", "show", "1024"}).array(), {"date", "initialFunds", "endFunds"}),
             QStringList{"2026-12-01|100000|101000"});
}

QTEST_GUILESS_MAIN(tst_Strategyctl)
#include "tst_strategyctl.moc"
