// The history of changes, work/<user>/history.jsonl, end to end: every case
// runs strategyctl in an installation folder of its own and reads the file
// it left and what `strategyctl history` answers.

#include "testsupport.h"

#include <QtTest> // with QtCore: QJsonDocument, QProcess

namespace {
const QString DefaultGroup = QStringLiteral("默认分组");
constexpr qint64 SizeLimit = 4 * 1024 * 1024;

QString sortedKeys(const QByteArray &json)
{
    return QString::fromUtf8(QJsonDocument::fromJson(json).toJson(QJsonDocument::Compact));
}

// "operation|before|after" for each entry, the records as compact JSON.
QStringList summary(const QJsonArray &entries)
{
    QStringList lines;
    for (const QJsonValue &value : entries) {
        const QJsonObject entry = value.toObject();
        auto text = [&](const char *key) {
            const QJsonValue record = entry.value(QLatin1String(key));
            return record.isNull() ? QStringLiteral("null")
                                   : QString::fromUtf8(QJsonDocument(record.toObject()).toJson(QJsonDocument::Compact));
        };
        lines.append(entry.value("operation").toString() + "|" + text("before") + "|" + text("after"));
    }
    return lines;
}

// The ids of a strategy's records in the entries, or the group or path.
QStringList subjects(const QJsonArray &entries)
{
    QStringList list;
    for (const QJsonValue &value : entries) {
        const QJsonObject entry = value.toObject();
        const QJsonObject record = entry.value("after").isNull() ? entry.value("before").toObject()
                                                                 : entry.value("after").toObject();
        list.append(record.contains("id") ? QString::number(record.value("id").toInt())
                                          : record.value(record.contains("name") ? "name" : "filePath").toString());
    }
    return list;
}

// A local time as the plug-in writes it, with its offset from UTC.
QString localTime(int day, int hour)
{
    const QDateTime time(QDate(2026, 3, day), QTime(hour, 0));
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// A line as the plug-in writes it, at a given time.
QByteArray entryLine(const QString &time, const QString &operation, const QByteArray &before, const QByteArray &after)
{
    return QStringLiteral("{\"time\":\"%1\",\"pid\":1,\"operation\":\"%2\",\"before\":%3,\"after\":%4}")
               .arg(time, operation, QString::fromUtf8(before), QString::fromUtf8(after))
               .toUtf8()
           + '\n';
}

// A fixed strategy of D:/s/a.py as the plug-in writes it, keys in its order.
QByteArray strategy(int id, const QString &name, const QString &group = DefaultGroup)
{
    return QStringLiteral("{\"id\":%1,\"name\":\"%2\",\"filePath\":\"D:/s/a.py\",\"group\":\"%3\","
                          "\"extraInfo\":\"\",\"copyIndex\":0}")
        .arg(id)
        .arg(name, group)
        .toUtf8();
}
} // namespace

class tst_History : public QObject
{
    Q_OBJECT

    ProcessResult run(const QStringList &args, const QByteArray &in = {}) { return runStrategyctl(m_home, args, in); }
    QJsonArray history(const QStringList &options = {})
    {
        const ProcessResult r = run(QStringList{"--json", "history"} + options);
        if (r.exitCode != 0)
            qWarning("%s", qPrintable(r.describe()));
        return QJsonDocument::fromJson(r.out).array();
    }
    QString newFolder()
    {
        static int n = 0;
        return m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++n));
    }
    QString file(const QString &name) const { return m_home.filePath(QStringLiteral("work/demo01/") + name); }

    TestHome m_home;

private slots:
    void initTestCase() { QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString())); }

    // Changes of one session, in the order they were made, each line whole
    // and each entry with the record before and after.
    void sessionChangesInOrder()
    {
        newFolder();
        const ProcessResult r = run({"--json", "shell"}, "strategy add D:/s/a.py a\ngroup rename 默认分组 主\n"
                                                         "lock on D:/s/a.py\nhistory\n");
        CHECK_EXIT(r, 0);
        const QByteArray a = strategy(1, "a");
        const QString before = sortedKeys(a);
        const QString after = sortedKeys(strategy(1, "a", "主"));
        const QStringList expected{"strategy.add|null|" + before,
                                   "group.rename|{\"createTime\":-1,\"name\":\"默认分组\"}|"
                                   "{\"createTime\":-1,\"name\":\"主\"}",
                                   "group.rename|" + before + "|" + after, "lock.on|null|{\"filePath\":\"D:/s/a.py\"}"};
        // Written by the time the session asks, and there for the next process.
        QCOMPARE(summary(QJsonDocument::fromJson(r.out.trimmed().split('\n').last()).array()), expected);
        QCOMPARE(summary(history()), expected);

        // Keys in the documented order in the file.
        const QList<QByteArray> lines = readFile(file("history.jsonl")).split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.last().isEmpty());
        QVERIFY2(lines.first().startsWith("{\"time\":\"") && lines.first().endsWith("\"after\":" + a + "}"),
                 lines.first().constData());
        const QJsonObject first = QJsonDocument::fromJson(lines.first()).object();
        QCOMPARE(first.value("pid").toInt(), QJsonDocument::fromJson(lines.at(3)).object().value("pid").toInt());
        const QDateTime time = QDateTime::fromString(first.value("time").toString(), Qt::ISODateWithMs);
        QVERIFY(time.isValid() && qAbs(time.secsTo(QDateTime::currentDateTime())) < 600);
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")
                    .match(first.value("time").toString())
                    .hasMatch());
    }

    // A change refused, or one that changes nothing, leaves no line.
    void refusedChangesWriteNothing_data()
    {
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("group that exists") << QStringList{"group", "add", "G"};
        QTest::newRow("built-in group") << QStringList{"group", "add", DefaultGroup};
        QTest::newRow("rename of a missing group") << QStringList{"group", "rename", "none", "X"};
        QTest::newRow("unlock of an unlocked file") << QStringList{"lock", "off", "D:/s/other.py"};
        QTest::newRow("lock of a locked file") << QStringList{"lock", "on", "D:/s/a.py"};
        QTest::newRow("name taken") << QStringList{"strategy", "add", "D:/s/a.py", "a"};
        QTest::newRow("missing group") << QStringList{"strategy", "add", "D:/s/b.py", "b", "--group", "none"};
        QTest::newRow("missing strategy") << QStringList{"strategy", "remove", "99"};
        QTest::newRow("unstorable name") << QStringList{"strategy", "add", "D:/s/b.py", "b,%&c"};
    }

    void refusedChangesWriteNothing()
    {
        QFETCH(QStringList, refused);
        newFolder();
        CHECK_EXIT(run({"shell"}, "group add G\nlock on D:/s/a.py\nstrategy add D:/s/a.py a\n"), 0);
        const QByteArray before = readFile(file("history.jsonl"));
        QCOMPARE(before.count('\n'), 3);
        CHECK_EXIT(run(refused), 1);
        QCOMPARE(readFile(file("history.jsonl")), before);
    }

    // A change whose file could not be written is not in the history; once
    // a later write stores it, its line comes, in its place.
    void changeRecordedOnceStored()
    {
        newFolder();
        QVERIFY(QDir().mkpath(file("SarvekFixedStrategyGroups.txt"))); // a folder where the groups file goes
        QProcess shell;
        shell.setProcessEnvironment(m_home.processEnvironment());
        shell.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", m_home.path(), "shell"});
        shell.write("group add G\n");
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += shell.readAllStandardError()).contains("SarvekFixedStrategyGroup"), 20000);
        QVERIFY(!QFileInfo::exists(file("history.jsonl")));
        QVERIFY(QDir().rmdir(file("SarvekFixedStrategyGroups.txt")));
        shell.write("group add H\n");
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += shell.readAllStandardOutput()).contains("ok\n"), 20000);
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished(20000));
        QCOMPARE(subjects(history()), (QStringList{"G", "H"}));
    }

    void filters_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("subjects");
        QTest::newRow("all") << QStringList() << QStringList{"5", "6", "G", "5", "D:/s/a.py", "5"};
        QTest::newRow("since") << QStringList{"--since", "2026-03-02"} << QStringList{"G", "5", "D:/s/a.py", "5"};
        QTest::newRow("since a day without changes") << QStringList{"--since", "2026-04-01"} << QStringList();
        QTest::newRow("id, before or after") << QStringList{"--id", "5"} << QStringList{"5", "5", "5"};
        QTest::newRow("id and since") << QStringList{"--id", "5", "--since", "2026-03-05"} << QStringList{"5"};
        QTest::newRow("unknown id") << QStringList{"--id", "7"} << QStringList();
    }

    // Both parts of the history, a line that is not an entry among them.
    void filters()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, subjects);
        newFolder();
        QVERIFY(writeFile(file("history.1.jsonl"),
                          entryLine(localTime(1, 0), "strategy.add", "null", strategy(5, "a"))
                              + entryLine(localTime(1, 1), "strategy.add", "null", strategy(6, "b"))));
        QVERIFY(writeFile(file("history.jsonl"),
                          entryLine(localTime(2, 0), "group.add", "null", "{\"name\":\"G\",\"createTime\":1}")
                              + "not json\n"
                              + entryLine(localTime(4, 23), "strategy.modify", strategy(5, "a"), strategy(5, "z"))
                              + entryLine(localTime(10, 11), "lock.on", "null", "{\"filePath\":\"D:/s/a.py\"}")
                              + entryLine(localTime(10, 12), "strategy.remove", strategy(5, "z"), "null")));
        const ProcessResult r = run(QStringList{"--json", "history"} + options);
        CHECK_EXIT(r, 0);
        QCOMPARE(::subjects(QJsonDocument::fromJson(r.out).array()), subjects);
        QVERIFY2(r.errText().contains("1 line(s)"), qPrintable(r.describe()));
        // The same entries for people, one line each below the heading.
        const ProcessResult table = run(QStringList{"history"} + options);
        CHECK_EXIT(table, 0);
        QCOMPARE(table.outText().split('\n').mid(1, subjects.size()).filter("2026-03-").size(), subjects.size());
        QCOMPARE(table.out.count('\n'), 1 + qMax(1, subjects.size())); // "(none)" for no entry
    }

    void emptyHistory()
    {
        newFolder();
        const ProcessResult json = run({"--json", "history"});
        CHECK_EXIT(json, 0);
        const QJsonDocument document = QJsonDocument::fromJson(json.out);
        QVERIFY2(document.isArray() && document.array().isEmpty(), qPrintable(json.describe()));
        const ProcessResult table = run({"history"});
        CHECK_EXIT(table, 0);
        QCOMPARE(table.outText(), QStringLiteral("time  operation  what\n(none)\n"));
    }

    // A process that died in the middle of a line left it unfinished: the
    // next process cuts it off before it appends.
    void tornLastLineIsCut_data()
    {
        QTest::addColumn<QByteArray>("whole");
        QTest::addColumn<QByteArray>("torn");
        const QByteArray line = entryLine("2026-03-01T10:00:00.000+00:00", "lock.on", "null", "{\"filePath\":\"x\"}");
        QTest::newRow("after whole lines") << line + line << QByteArray("{\"time\":\"2026-03-01T1");
        QTest::newRow("the only line") << QByteArray() << QByteArray("{\"time\":\"2026-03-01T10:00:00.000+00:00\",\"p");
        QTest::newRow("a line feed missing") << line << line.chopped(1);
    }

    void tornLastLineIsCut()
    {
        QFETCH(QByteArray, whole);
        QFETCH(QByteArray, torn);
        newFolder();
        QVERIFY(writeFile(file("history.jsonl"), whole + torn));
        CHECK_EXIT(run({"group", "add", "G"}), 0);
        const QByteArray content = readFile(file("history.jsonl"));
        QVERIFY2(content.startsWith(whole) && content.endsWith('\n'), content.constData());
        const QList<QByteArray> added = content.mid(whole.size()).split('\n');
        QCOMPARE(added.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(added.first()).object().value("operation").toString(), "group.add");
        const ProcessResult r = run({"--json", "history"});
        CHECK_EXIT(r, 0);
        QVERIFY2(!r.errText().contains("skipped"), qPrintable(r.describe()));
    }

    void rotation_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("rotated");
        QTest::newRow("just under the limit") << SizeLimit - 10 << true;
        QTest::newRow("far under the limit") << SizeLimit / 2 << false;
    }

    void rotation()
    {
        QFETCH(qint64, size);
        QFETCH(bool, rotated);
        newFolder();
        QByteArray old(int(size), 'x');
        for (int i = 99; i < old.size(); i += 100)
            old[i] = '\n';
        old[old.size() - 1] = '\n';
        QVERIFY(writeFile(file("history.jsonl"), old));
        QVERIFY(writeFile(file("history.1.jsonl"), "older\n"));
        CHECK_EXIT(run({"group", "add", "G"}), 0);
        const QByteArray current = readFile(file("history.jsonl"));
        QCOMPARE(readFile(file("history.1.jsonl")), rotated ? old : QByteArray("older\n"));
        QVERIFY(current.startsWith(rotated ? QByteArray("{\"time\":\"") : old));
        QCOMPARE(current.count('\n'), rotated ? 1 : old.count('\n') + 1);
        QCOMPARE(subjects(history()), QStringList{"G"});
    }

    // A history that cannot be written costs the change nothing: it is made
    // and stored, with one warning per process.
    void unwritableHistory()
    {
        newFolder();
        QVERIFY(QDir().mkpath(file("history.jsonl")));
        const ProcessResult r = run({"shell"}, "strategy add D:/s/a.py a\ngroup add G\nlock on D:/s/a.py\n");
        CHECK_EXIT(r, 0);
        QCOMPARE(r.out.count("ok\n"), 3);
        QCOMPARE(r.errText().count("cannot write the history"), 1);
        QVERIFY(readFile(file("SarvekFixStrategy.dat")).contains(",%&a,%&D:/s/a.py,%&"));
        QVERIFY(readFile(file("SarvekFixedStrategyGroups.txt")).contains("G;"));
        const ProcessResult locked = run({"--json", "lock", "status", "D:/s/a.py"});
        QVERIFY2(locked.out.contains("true"), qPrintable(locked.describe()));
        QVERIFY(QFileInfo(file("history.jsonl")).isDir());
    }
};

QTEST_GUILESS_MAIN(tst_History)
#include "tst_history.moc"
