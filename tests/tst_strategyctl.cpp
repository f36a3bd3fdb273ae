// strategyctl end to end: every case runs the command-line host as its own
// process (one start, one command, one shutdown of the plug-in) in a fresh
// installation folder, and looks at what it printed, its exit status and the
// files it left behind. A second process is a restart of the client.

#include "testsupport.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

using Rows = QList<QStringList>;

namespace {
QString describe(const ProcessResult &r)
{
    return QStringLiteral("exit %1%2\nstdout: %3\nstderr: %4")
        .arg(r.exitCode)
        .arg(r.crashed ? QStringLiteral(" (crashed or timed out)") : QString())
        .arg(r.outText(), r.errText());
}

QJsonArray toArray(const ProcessResult &r) { return QJsonDocument::fromJson(r.out).array(); }
QJsonObject toObject(const ProcessResult &r) { return QJsonDocument::fromJson(r.out).object(); }
QString str(const QJsonObject &o, const char *key) { return o.value(QLatin1String(key)).toVariant().toString(); }

// A shell run with --json prints one compact document per line.
QList<QJsonDocument> jsonLines(const ProcessResult &r)
{
    QList<QJsonDocument> docs;
    for (const QByteArray &line : r.out.split('\n')) {
        if (!line.isEmpty())
            docs.append(QJsonDocument::fromJson(line));
    }
    return docs;
}

QJsonArray lastArray(const ProcessResult &r)
{
    QJsonArray last;
    for (const QJsonDocument &doc : jsonLines(r)) {
        if (doc.isArray())
            last = doc.array();
    }
    return last;
}

QJsonObject findRecord(const QJsonArray &records, const char *key, const QString &value)
{
    for (const QJsonValue &v : records) {
        if (str(v.toObject(), key) == value)
            return v.toObject();
    }
    return QJsonObject();
}

QStringList column(const QJsonArray &records, const char *key)
{
    QStringList values;
    for (const QJsonValue &v : records)
        values.append(str(v.toObject(), key));
    return values;
}

// The data file as another program reads it: lines at LF, fields at ",%&".
Rows dataFileRecords(const QString &path)
{
    Rows records;
    for (const QString &line : QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QStringLiteral(",%&"));
        if (fields.size() >= 6)
            records.append(fields);
    }
    return records;
}
} // namespace

// Runs `result` (a process, or a call that starts one) once.
#define CHECK_EXIT(result, code) \
    do { \
        const ProcessResult checked_ = (result); \
        QVERIFY2(!checked_.crashed && checked_.exitCode == (code), qPrintable(describe(checked_))); \
    } while (false)

class tst_Strategyctl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void statusInEmptyFolder();
    void rememberedValueSurvivesRestart_data();
    void rememberedValueSurvivesRestart();
    void singleCommand_data();
    void singleCommand();
    void refusalAsJson();
    void addedCopiesReachDataFile();
    void dataFileOfEarlierRunIsListed();
    void legacyTableIsMigrated();
    void strategyEditsSurviveRestart();
    void groupsSurviveRestart();
    void groupsSortedByAge();
    void lockSurvivesRestart();
    void shellPrintsSignals_data();
    void shellPrintsSignals();
    void shellFlushesWhileRunning();
    void shellWritesPendingRowsAtEnd();
    void shellKeepsQuotedWordsAndBackslashes();
    void instanceSurvivesRestart();
    void finishedCashDayIsStored();
    void serverListGivesUserParameters();
    void demoAccounts();
    void profileFileReplacesDemo();
    void simulatedTradesAreRead();
    void missingSimuDatabaseIsNotCreated();

private:
    ProcessResult run(const QStringList &args, const QByteArray &input = QByteArray())
    {
        return runStrategyctl(m_home, args, input);
    }
    QString newFolder() { return m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++m_folders)); }
    QString file(const QString &relative) const { return m_home.filePath(relative); }

    TestHome m_home;
    int m_folders = 0;
};

void tst_Strategyctl::initTestCase()
{
    QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
    QVERIFY2(QFileInfo(QStringLiteral(STRATEGYCTL_PATH)).isExecutable(), STRATEGYCTL_PATH);
}

void tst_Strategyctl::statusInEmptyFolder()
{
    const QString dir = newFolder();
    const ProcessResult r = run({"status", "--json"});
    CHECK_EXIT(r, 0);
    const QJsonObject status = toObject(r);
    QCOMPARE(status.value(QStringLiteral("initialized")), QJsonValue(true));
    QCOMPARE(str(status, "userId"), QStringLiteral("demo01"));
    QCOMPARE(str(status, "loginAccount"), QStringLiteral("Demo01"));
    QCOMPARE(str(status, "applicationDir"), dir);
    QCOMPARE(str(status, "database"), dir + QStringLiteral("/sarvek.db"));
    QCOMPARE(str(status, "dataFile"), dir + QStringLiteral("/work/demo01/SarvekFixStrategy.dat"));
    QCOMPARE(str(status, "groupsFile"), dir + QStringLiteral("/work/demo01/SarvekFixedStrategyGroups.txt"));
}

void tst_Strategyctl::rememberedValueSurvivesRestart_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("product") << "product" << "product" << "P001";
    QTest::newRow("fund account") << "fundaccount" << "fundAccount" << "880002";
}

void tst_Strategyctl::rememberedValueSurvivesRestart()
{
    QFETCH(QString, command);
    QFETCH(QString, key);
    QFETCH(QString, value);
    newFolder();
    CHECK_EXIT(run({command, "set", value}), 0);
    const ProcessResult r = run({command, "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(toObject(r).value(key).toString(), value);
}

void tst_Strategyctl::singleCommand_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a pattern for the whole of stdout, trimmed
    QTest::addColumn<QString>("err"); // a part of stderr; empty: stderr stays empty

    const QString none = QStringLiteral("^$");
    const QString toolHelp = QStringLiteral("^Usage: strategyctl .*Commands:.*strategy add PATH NAME");
    const QString builtIn = QStringLiteral("默认分组/自动启动分组为内置分组名，不允许手工创建！");
    const QString separator = QStringLiteral("分组名称不能包含“,”或“;”！");
    QTest::newRow("tool help") << QStringList{"--help"} << 0 << toolHelp << "";
    QTest::newRow("help command") << QStringList{"help"} << 0 << toolHelp << "";
    QTest::newRow("command help") << QStringList{"strategy", "add", "--help"} << 0
                                  << "^Usage: strategyctl .*strategy add PATH NAME.*--count N" << "";
    QTest::newRow("no command") << QStringList{} << 2 << none << "Usage: strategyctl";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << none << "unknown command 'frobnicate'";
    QTest::newRow("unknown option") << QStringList{"strategy", "list", "--frob"} << 2 << none << "strategy list --help";
    QTest::newRow("argument missing") << QStringList{"strategy", "show"} << 2 << none << "expects ID";
    QTest::newRow("argument too many") << QStringList{"strategy", "show", "1", "2"} << 2 << none << "expects ID";
    QTest::newRow("id not a number") << QStringList{"strategy", "show", "abc"} << 2 << none << "'abc'";
    QTest::newRow("home without folder") << QStringList{"status", "--home"} << 2 << none << "--home needs a folder";
    QTest::newRow("shell with arguments") << QStringList{"shell", "x"} << 2 << none << "takes no arguments";
    QTest::newRow("bad date") << QStringList{"cash", "init", "1024", "2026-13-01", "9"} << 2 << none << "yyyy-MM-dd";
    QTest::newRow("amount not a number") << QStringList{"cash", "init", "1024", "2026-12-01", "lots"} << 2 << none
                                         << "'lots'";
    QTest::newRow("bad time") << QStringList{"instance", "times", "1024", "09:30", "15:00"} << 2 << none << "ISO 8601";
    QTest::newRow("no such strategy") << QStringList{"strategy", "show", "99"} << 1 << none << "no fixed strategy";
    QTest::newRow("no strategies at all") << QStringList{"strategy", "last"} << 1 << none << "no fixed strategies";
    QTest::newRow("no such instance") << QStringList{"instance", "show", "4711"} << 1 << none << "no instance 4711";
    QTest::newRow("end funds without initial funds") << QStringList{"cash", "end", "1024", "2026-12-01", "101000"} << 1
                                                     << none << "no initial funds";
    QTest::newRow("no such fund account") << QStringList{"account", "info", "123"} << 1 << none << "123";
    QTest::newRow("default group by hand") << QStringList{"group", "add", "默认分组"} << 1 << none << builtIn;
    QTest::newRow("auto-start group by hand") << QStringList{"group", "add", "自动启动"} << 1 << none << builtIn;
    QTest::newRow("comma in group name") << QStringList{"group", "add", "a,b"} << 1 << none << separator;
    QTest::newRow("semicolon in group name") << QStringList{"group", "add", "a;b"} << 1 << none << separator;
    QTest::newRow("rename of a missing group") << QStringList{"group", "rename", "nope", "x"} << 1 << none << "不存在原分组";
    QTest::newRow("blank in file name") << QStringList{"name", "file", "te st.py"} << 0 << "^false$" << "";
    QTest::newRow("strict file name") << QStringList{"name", "strict", "D:/s/my_strategy.py"} << 0 << "^true$" << "";
    QTest::newRow("covered option label") << QStringList{"label", "cover", "10007890", "1"} << 0 << "^label +是$" << "";
    QTest::newRow("credit account word") << QStringList{"account", "pytype", "2"} << 0
                                         << "^pyAccountType +stock_margin$" << "";
    QTest::newRow("unknown strategy file") << QStringList{"strategy", "is-fixed", "D:/s/x.py"} << 0 << "^false$" << "";
}

void tst_Strategyctl::singleCommand()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    m_home.switchToNewFolder(QStringLiteral("single")); // no row changes anything in it
    const ProcessResult r = run(args);
    CHECK_EXIT(r, exitCode);
    const QRegularExpression pattern(out, QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(pattern.match(r.outText().trimmed()).hasMatch(), qPrintable(describe(r)));
    QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.errText().contains(err), qPrintable(describe(r)));
}

void tst_Strategyctl::refusalAsJson()
{
    newFolder();
    const ProcessResult r = run({"--json", "strategy", "show", "99"});
    CHECK_EXIT(r, 1);
    QCOMPARE(toObject(r).value(QStringLiteral("ok")), QJsonValue(false));
    QCOMPARE(str(toObject(r), "message"), QStringLiteral("no fixed strategy with id 99"));
    QVERIFY(r.errText().contains(QStringLiteral("no fixed strategy with id 99")));
}

void tst_Strategyctl::addedCopiesReachDataFile()
{
    newFolder();
    CHECK_EXIT(run({"strategy", "add", "D:/s/abc.py", "abc", "--count", "3"}), 0);
    const QByteArray content = readFile(file("work/demo01/SarvekFixStrategy.dat"));
    QVERIFY(content.endsWith('\n') && !content.contains('\r'));
    QMap<QString, QStringList> byName;
    for (const QStringList &fields : dataFileRecords(file("work/demo01/SarvekFixStrategy.dat"))) {
        QCOMPARE(fields.size(), 6);
        byName.insert(fields.at(1), fields);
    }
    QCOMPARE(byName.keys(), (QStringList{"abc", "abc_1", "abc_2"}));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(byName.values().at(i).mid(2), (QStringList{"D:/s/abc.py", "默认分组", "", QString::number(i)}));

    const ProcessResult list = run({"strategy", "list", "--json"});
    CHECK_EXIT(list, 0);
    QCOMPARE(toArray(list).size(), 3);
    for (const QJsonValue &v : toArray(list)) {
        const QJsonObject record = v.toObject();
        QCOMPARE(record.keys(), (QStringList{"copyIndex", "extraInfo", "filePath", "group", "id", "name"}));
        const QStringList fields = byName.value(str(record, "name"));
        QCOMPARE(str(record, "id"), fields.value(0));
        QCOMPARE(str(record, "copyIndex"), fields.value(5));
    }
}

void tst_Strategyctl::dataFileOfEarlierRunIsListed()
{
    newFolder();
    QVERIFY(writeFile(file("work/demo01/SarvekFixStrategy.dat"),
                      QStringLiteral("41,%&pre,%&D:/p/pre.py,%&默认分组,%&note,%&2\n").toUtf8()));
    const ProcessResult r = run({"strategy", "list", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(toArray(r).size(), 1);
    const QJsonObject record = toArray(r).at(0).toObject();
    QCOMPARE((QStringList{str(record, "id"), str(record, "name"), str(record, "filePath"), str(record, "extraInfo"),
                          str(record, "copyIndex")}),
             (QStringList{"41", "pre", "D:/p/pre.py", "note", "2"}));
}

void tst_Strategyctl::legacyTableIsMigrated()
{
    newFolder();
    QVERIFY(execSql(file("sarvek.db"), QStringLiteral(
        "create table fixedstrategyinfo(id varchar, name varchar, file_path varchar, user_name varchar,"
        " group_name varchar, extra_info varchar);"
        "insert into fixedstrategyinfo values('5', 'old1', 'D:/o/a.py', 'Demo01', '', 'x1');"
        "insert into fixedstrategyinfo values('6', 'old2', 'D:/o/b.py', 'Demo01', '趋势', '');")));
    const ProcessResult r = run({"strategy", "list", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(toArray(r).size(), 2);
    const QJsonObject first = findRecord(toArray(r), "name", "old1");
    QCOMPARE((QStringList{str(first, "filePath"), str(first, "group"), str(first, "extraInfo")}),
             (QStringList{"D:/o/a.py", "默认分组", "x1"}));
    QCOMPARE(str(findRecord(toArray(r), "name", "old2"), "group"), QStringLiteral("趋势"));
    QCOMPARE(dataFileRecords(file("work/demo01/SarvekFixStrategy.dat")).size(), 2);
    QCOMPARE(querySql(file("sarvek.db"), "select name from sqlite_master where name = 'fixedstrategyinfo'"), Rows());
}

void tst_Strategyctl::strategyEditsSurviveRestart()
{
    newFolder();
    CHECK_EXIT(run({"strategy", "add", "D:/s/m.py", "m", "--count", "2"}), 0);
    const QString id = str(findRecord(toArray(run({"strategy", "list", "--json"})), "name", "m"), "id");
    QVERIFY(!id.isEmpty());

    CHECK_EXIT(run({"strategy", "modify", id, "--name", "x"}), 0);
    CHECK_EXIT(run({"strategy", "move", "D:/s/m.py", "D:/t/m.py"}), 0);
    const ProcessResult r = run({"strategy", "names", "D:/t/m.py", "--json"});
    QStringList names = QVariant(toArray(r).toVariantList()).toStringList();
    names.sort(); // the data file, read at start, keeps no order
    QCOMPARE(names, (QStringList{"m_1", "x"}));
    // "m" is free again, so it is what a new strategy of the file is offered.
    QCOMPARE(str(toObject(run({"strategy", "default-name", "D:/t/m.py", "--json"})), "name"), QStringLiteral("m"));
    const QList<QStringList> checks{{"D:/t/m.py", "true"}, {"D:/s/m.py", "false"},
                                    {"D:/t/m.py", "m_1", "true"}, {"D:/t/m.py", "m", "false"}};
    for (const QStringList &check : checks) {
        const ProcessResult answer = run(QStringList{"strategy", "is-fixed"} + check.mid(0, check.size() - 1));
        CHECK_EXIT(answer, 0);
        QCOMPARE(answer.outText().trimmed(), check.last());
    }

    CHECK_EXIT(run({"strategy", "remove", id}), 0);
    QCOMPARE(column(toArray(run({"strategy", "list", "--json"})), "name"), QStringList{"m_1"});
    CHECK_EXIT(run({"strategy", "remove", id}), 1);
    CHECK_EXIT(run({"strategy", "remove", "--path", "D:/t/m.py"}), 0);
    QCOMPARE(toArray(run({"strategy", "list", "--json"})).size(), 0);
    QCOMPARE(dataFileRecords(file("work/demo01/SarvekFixStrategy.dat")), Rows());
}

void tst_Strategyctl::groupsSurviveRestart()
{
    newFolder();
    CHECK_EXIT(run({"group", "add", "趋势"}), 0);
    CHECK_EXIT(run({"group", "add", "套利"}), 0);
    CHECK_EXIT(run({"strategy", "add", "D:/s/g.py", "g", "--group", "趋势"}), 0);
    CHECK_EXIT(run({"group", "rename", "趋势", "动量"}), 0);
    QCOMPARE(column(toArray(run({"group", "list", "--json"})), "name"), (QStringList{"动量", "套利", "默认分组"}));
    QCOMPARE(column(toArray(run({"strategy", "list", "--json"})), "group"), QStringList{"动量"});
    CHECK_EXIT(run({"group", "add", "动量"}), 1);
}

void tst_Strategyctl::groupsSortedByAge()
{
    newFolder();
    QVERIFY(writeFile(file("work/demo01/SarvekFixedStrategyGroups.txt"),
                      QStringLiteral("a;2000,b;1000,c;1000,默认分组;-1").toUtf8()));
    CHECK_EXIT(run({"group", "add", "new"}), 0);
    const ProcessResult r = run({"group", "sorted", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(QVariant(toArray(r).toVariantList()).toStringList(), (QStringList{"默认分组", "c", "b", "a", "new"}));
}

void tst_Strategyctl::lockSurvivesRestart()
{
    newFolder();
    const QString path = QStringLiteral("D:/it's/a.py");
    CHECK_EXIT(run({"lock", "on", path}), 0);
    QCOMPARE(querySql(file("sarvek.db"), "select file_path from strategyfileinfo"), Rows{{path}});
    QCOMPARE(run({"lock", "status", path}).outText().trimmed(), QStringLiteral("true"));
    CHECK_EXIT(run({"lock", "off", path}), 0);
    const ProcessResult r = run({"lock", "status", path, "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(toObject(r).value(QStringLiteral("ok")), QJsonValue(false));
}

void tst_Strategyctl::shellPrintsSignals_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QString>("event");
    QTest::newRow("strategy added") << "strategy add D:/s/x.py x" << false << "event signalAddStrategy";
    QTest::newRow("strategy added, json") << "strategy add D:/s/x.py x" << true << R"({"event":"signalAddStrategy"})";
    QTest::newRow("lock changed") << "lock on P" << false << "event signalChangeFileLockState P";
    QTest::newRow("lock changed, json")
        << "lock on P" << true << R"({"event":"signalChangeFileLockState","filepath":"P"})";
    QTest::newRow("run mode relayed") << "instance add 1 2" << false << "event sigInstanceRunModeChange 1 2";
    QTest::newRow("run mode relayed, json")
        << "instance add 1 2" << true << R"({"event":"sigInstanceRunModeChange","instanceid":"1","mode":2})";
}

void tst_Strategyctl::shellPrintsSignals()
{
    QFETCH(QString, line);
    QFETCH(bool, json);
    QFETCH(QString, event);
    newFolder();
    const ProcessResult r = run(json ? QStringList{"--json", "shell"} : QStringList{"shell"}, line.toUtf8() + '\n');
    CHECK_EXIT(r, 0);
    if (!json) {
        QVERIFY2(r.out.split('\n').contains(event.toUtf8()), qPrintable(describe(r)));
        return;
    }
    const QList<QJsonDocument> docs = jsonLines(r);
    QCOMPARE(docs.size(), 2); // the answer and the event, each an object on a line of its own
    QVERIFY2(docs.at(0).isObject() && docs.at(1).isObject(), qPrintable(describe(r)));
    QVERIFY2(docs.contains(QJsonDocument::fromJson(event.toUtf8())), qPrintable(describe(r)));
}

void tst_Strategyctl::shellFlushesWhileRunning()
{
    newFolder();
    const ProcessResult r = run({"--json", "shell"}, "instance add 7 1\nwait 3500\ndb instance_info\n");
    CHECK_EXIT(r, 0);
    const QJsonObject row = findRecord(lastArray(r), "instance_id", "7");
    QVERIFY2(!row.isEmpty(), qPrintable(describe(r)));
    QCOMPARE(str(row, "run_mode"), QStringLiteral("1"));
    QCOMPARE(str(row, "create_date"), QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
}

void tst_Strategyctl::shellWritesPendingRowsAtEnd()
{
    newFolder();
    CHECK_EXIT(run({"shell"}, "instance add 8 2\n"), 0);
    QCOMPARE(querySql(file("sarvek.db"), "select run_mode from instance_info where instance_id = '8'"), Rows{{"2"}});
}

void tst_Strategyctl::shellKeepsQuotedWordsAndBackslashes()
{
    newFolder();
    const ProcessResult r = run({"shell"}, R"(strategy add 'D:\a b\x.py' "y z"
strategy add "C:\s\q.py" 'q r' --extra "say \"hi\""
strategy add D:\u\v.py v
strategy add 'unclosed x
)");
    CHECK_EXIT(r, 0);
    QVERIFY2(r.errText().contains(QStringLiteral("missing closing")), qPrintable(describe(r)));
    const QJsonArray listed = toArray(run({"strategy", "list", "--json"}));
    QCOMPARE(listed.size(), 3);
    QCOMPARE(str(findRecord(listed, "name", "y z"), "filePath"), QStringLiteral(R"(D:\a b\x.py)"));
    QCOMPARE(str(findRecord(listed, "name", "q r"), "filePath"), QStringLiteral(R"(C:\s\q.py)"));
    QCOMPARE(str(findRecord(listed, "name", "q r"), "extraInfo"), QStringLiteral(R"(say "hi")"));
    QCOMPARE(str(findRecord(listed, "name", "v"), "filePath"), QStringLiteral(R"(D:\u\v.py)"));
}

void tst_Strategyctl::instanceSurvivesRestart()
{
    newFolder();
    CHECK_EXIT(run({"instance", "add", "1024", "2", "--account", "880001", "--reg", "ok"}), 0);
    ProcessResult r = run({"instance", "show", "1024", "--json"});
    CHECK_EXIT(r, 0);
    QJsonObject shown = toObject(r);
    QCOMPARE((QStringList{str(shown, "runMode"), str(shown, "fundAccount"), str(shown, "returnRegInfo")}),
             (QStringList{"2", "880001", "ok"}));
    QVERIFY(shown.value(QStringLiteral("startTime")).isNull());

    CHECK_EXIT(run({"instance", "times", "1024", "2026-12-03T09:30:00", "2026-12-03T15:00:00"}), 0);
    shown = toObject(run({"instance", "show", "1024", "--json"}));
    QCOMPARE(str(shown, "startTime"), QStringLiteral("2026-12-03T09:30:00"));
    QCOMPARE(str(shown, "endTime"), QStringLiteral("2026-12-03T15:00:00"));
    const qint64 start = QDateTime::fromString(QStringLiteral("2026-12-03T09:30:00"), Qt::ISODate).toMSecsSinceEpoch();
    QCOMPARE(querySql(file("sarvek.db"), "select start_time from instance_info where instance_id = '1024'"),
             Rows{{QString::number(start)}});
}

void tst_Strategyctl::finishedCashDayIsStored()
{
    newFolder();
    ProcessResult r = run({"shell"}, "cash init 1024 2026-12-01 100000\ncash end 1024 2026-12-01 101000\n");
    CHECK_EXIT(r, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(describe(r)));
    QCOMPARE(querySql(file("sarvek.db"), "select date, initial_funds, end_funds from backtest_daycash"
                                         " where instance_id = '1024'"),
             (Rows{{"20261201", "100000", "101000"}}));

    r = run({"cash", "show", "1024", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(toArray(r).size(), 1);
    const QJsonObject day = toArray(r).at(0).toObject();
    QCOMPARE((QStringList{str(day, "date"), str(day, "initialFunds"), str(day, "endFunds")}),
             (QStringList{"2026-12-01", "100000", "101000"}));
    CHECK_EXIT(run({"cash", "show", "1024", "2026-12-02"}), 1);
}

void tst_Strategyctl::serverListGivesUserParameters()
{
    newFolder();
    QVERIFY(writeFile(file("list.json"), R"({"77": {"strategyName": "s", "strategyInstanceName": "i",
        "strategyBasicParam": {"operate_mode": "1", "time_unit": "1m", "instance_name": "i", "python_home": "C:/Py",
                               "alpha": "0.5", "beta": 3, "gamma": "g"}}})"));
    const ProcessResult r = run({"--json", "shell"}, "instance server-list list.json\ninstance params 77\n");
    CHECK_EXIT(r, 0);
    QCOMPARE(column(lastArray(r), "paramName"), (QStringList{"alpha", "beta", "gamma"}));
    QCOMPARE(column(lastArray(r), "paramValue"), (QStringList{"0.5", "", "g"}));
}

void tst_Strategyctl::demoAccounts()
{
    newFolder();
    ProcessResult r = run({"account", "products", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(column(toArray(r), "productId"), (QStringList{"P001", "P002", "P003"}));
    r = run({"account", "list", "P001", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(column(toArray(r), "fundAccount"), (QStringList{"880001", "880002", "880003"}));
    QCOMPARE(column(toArray(r), "pyAccountType"), (QStringList{"stock", "stock_margin", "metal"}));
    r = run({"account", "info", "990001", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(str(toObject(r), "productId"), QStringLiteral("P002"));
    QCOMPARE(str(toObject(r), "pyAccountType"), QStringLiteral("futures"));
}

void tst_Strategyctl::profileFileReplacesDemo()
{
    const QString dir = newFolder();
    QVERIFY(writeFile(file("StrategyHostProfile.json"), QStringLiteral(R"({"loginAccount": "Trader7",
        "userId": "Trader7", "fundAccounts": [{"productId": "Q9", "productName": "九号", "fundAccount": "770001",
        "accountType": "4", "extInfo": "x"}]})").toUtf8()));
    const QJsonObject status = toObject(run({"status", "--json"}));
    QCOMPARE(str(status, "userId"), QStringLiteral("trader7"));
    QCOMPARE(str(status, "loginAccount"), QStringLiteral("Trader7"));
    QCOMPARE(str(status, "dataFile"), dir + QStringLiteral("/work/trader7/SarvekFixStrategy.dat"));
    QCOMPARE(column(toArray(run({"account", "products", "--json"})), "productId"), QStringList{"Q9"});
    CHECK_EXIT(run({"strategy", "add", "D:/s/t.py", "t"}), 0);
    QCOMPARE(dataFileRecords(file("work/trader7/SarvekFixStrategy.dat")).size(), 1);
    QVERIFY(!QFileInfo::exists(file("work/demo01")));
}

void tst_Strategyctl::simulatedTradesAreRead()
{
    newFolder();
    QVERIFY(execSql(file("Sarvek_SimuTrade.db"), QStringLiteral(
        "create table order_info(order_id text, symbol text, date_time text, batch_no text, order_qty integer,"
        " leave_qty integer, cum_qty integer, side text, status text, type text, px real, avg_px real, style text,"
        " fund_account text, enturst_prop text, text text, inst_id text);"
        "create table deal_info(order_id text, symbol text, exchange_matchDate text, exec_id text, last_qty integer,"
        " side text, last_px real, fund_account text, inst_id integer);"
        "insert into order_info values('O1','600000','20241202 09:30:01','B1',100,0,100,'1','2','1',10.5,10.5,"
        "'limit','880001','0',NULL,'1001');"
        "insert into order_info values('O3','600000','20241202 10:00:00','B3',300,300,0,'1','0','1',9.87,0,"
        "'limit','880002','0','new','1002');"
        "insert into deal_info values('O1','600000','20241202','E1',100,'1',10.5,'880001',1001);"
        "insert into deal_info values('O3','600000','20241202','E3',300,'1',9.87,'880002',1002);")));

    ProcessResult r = run({"simu", "orders", "1001", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(toArray(r).size(), 1);
    const QJsonObject order = toArray(r).at(0).toObject();
    QCOMPARE((QStringList{str(order, "orderID"), str(order, "algoOrderID"), str(order, "price"),
                          str(order, "tradingAccount")}),
             (QStringList{"O1", "1001", "10.5", "880001"}));
    QVERIFY(order.value(QStringLiteral("textDescription")).isNull());

    r = run({"simu", "fills", "1002", "--json"});
    CHECK_EXIT(r, 0);
    QCOMPARE(toArray(r).size(), 1);
    QCOMPARE(str(toArray(r).at(0).toObject(), "execID"), QStringLiteral("E3"));
    QCOMPARE(str(toArray(r).at(0).toObject(), "strategyID"), QStringLiteral("1002"));
}

void tst_Strategyctl::missingSimuDatabaseIsNotCreated()
{
    newFolder();
    for (const QString what : {"orders", "fills"}) {
        const ProcessResult r = run({"simu", what, "1001", "--json"});
        CHECK_EXIT(r, 0);
        QCOMPARE(toArray(r).size(), 0);
    }
    QVERIFY(!QFileInfo::exists(file("Sarvek_SimuTrade.db")));
}

QTEST_GUILESS_MAIN(tst_Strategyctl)
#include "tst_strategyctl.moc"
