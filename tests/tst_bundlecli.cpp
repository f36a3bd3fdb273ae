// strategyctl export and import as a user runs them: what they print as
// text, the JSON docs/cli.md does not show (tst_clidoc runs its examples),
// and their exit statuses. What the bundle functions decide is in
// tst_bundle; here strategyctl runs as its own process in fresh folders.

#include "testsupport.h"

#include <QtTest> // with QtCore: QJsonDocument

namespace {
const QByteArray State = "group add 趋势\nstrategy add D:/s/abc.py abc --group 趋势 --count 2\nlock on D:/s/abc.py\n"
                         "instance add 1024 2 --account 880001\ncash day 1024 2026-12-01 100000 101000.5\n";

// A bundle with two problems.
const QByteArray Bad
    = R"({"format": "strategylogic-bundle", "version": 1, "exportedAt": "2026-12-07T09:30:00", "user": "demo01",
"fixedStrategies": [{"id": 1, "name": "a,%&b", "filePath": "D:/s/a.py", "group": "默认分组", "extraInfo": "", "copyIndex": 0}],
"groups": [{"name": "默认分组", "createTime": null}], "locks": [], "instances": [],
"backtestDays": [{"instanceId": "7", "date": "2026-02-30", "initialFunds": 1, "endFunds": 2}],
"lastProduct": "", "lastFundAccount": "", "runMode": 0, "pythonPath": ""})";
} // namespace

class tst_BundleCli : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QTemporaryDir m_files; // bundle files, and the folder strategyctl starts in

    QString newFolder()
    {
        static int n = 0;
        return m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++n));
    }
    // strategyctl started in the bundle folder, so that FILE may be relative.
    ProcessResult run(const QString &folder, const QStringList &args, const QByteArray &input = {})
    {
        return runProcess(QStringLiteral(STRATEGYCTL_PATH), QStringList{QStringLiteral("--home"), folder} + args,
                          m_home.processEnvironment(), m_files.path(), input);
    }
    QString folderWith(const QByteArray &script)
    {
        const QString folder = newFolder();
        return run(folder, {QStringLiteral("shell")}, script).exitCode == 0 ? folder : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY2(m_files.isValid(), qPrintable(m_files.errorString()));
    }

    // export FILE writes the document, one record per line, and says what it
    // holds; import --dry-run prints the plan and changes nothing. A
    // relative FILE is from the folder strategyctl was started in.
    void exportThenDryRun()
    {
        const QString from = folderWith(State);
        QVERIFY(!from.isEmpty());
        const QString file = m_files.filePath(QStringLiteral("bundle.json"));
        const ProcessResult exported = run(from, {"export", "bundle.json"});
        CHECK_EXIT(exported, 0);
        QCOMPARE(exported.outText(), QStringLiteral("file             %1\nfixedStrategies  2\ngroups           2\n"
                                                    "locks            1\ninstances        1\nbacktestDays     1\n")
                                         .arg(file));
        const QList<QByteArray> lines = readFile(file).split('\n');
        QCOMPARE(lines.size(), 28); // the last line feed ends the file
        QCOMPARE(lines.at(1), QByteArray("    \"format\": \"strategylogic-bundle\","));
        QVERIFY(lines.at(3).startsWith("    \"exportedAt\": \""));
        QCOMPARE(lines.at(7), QByteArray("        {\"id\": 2, \"name\": \"abc_1\", \"filePath\": \"D:/s/abc.py\", \"group\": "
                                         "\"趋势\", \"extraInfo\": \"\", \"copyIndex\": 1}"));
        QCOMPARE(lines.at(17), QByteArray("        {\"instanceId\": \"1024\", \"runMode\": 2, \"fundAccount\": \"880001\", "
                                          "\"returnRegInfo\": \"\", \"startTime\": null, \"endTime\": null}"));
        QCOMPARE(lines.at(26), QByteArray("}"));
        QCOMPARE(lines.at(27), QByteArray());

        const QString to = folderWith(QByteArray());
        QVERIFY(!to.isEmpty());
        const QMap<QString, QByteArray> before = folderContents(to, {"sarvek.lock"});
        const ProcessResult dry = run(to, {"import", "bundle.json", "--dry-run"});
        CHECK_EXIT(dry, 0);
        QCOMPARE(dry.outText(), QStringLiteral("pointer             action  detail\n"
                                               "/groups/0           add     group 趋势\n"
                                               "/groups/1           keep    group 默认分组 is there already\n"
                                               "/fixedStrategies/0  add     abc (D:/s/abc.py, group 趋势)\n"
                                               "/fixedStrategies/1  add     abc_1 (D:/s/abc.py, group 趋势)\n"
                                               "/locks/0            add     lock D:/s/abc.py\n"
                                               "/instances/0        add     instance 1024\n"
                                               "/backtestDays/0     add     the day 2026-12-01 of instance 1024\n"
                                               "dry run: nothing was changed\n"));
        QCOMPARE(dry.errText(), QString());
        QVERIFY(folderContents(to, {"sarvek.lock"}) == before);
    }

    // A bundle with problems is refused with status 1: every problem on
    // stderr at its pointer.
    void importRefused()
    {
        const QString folder = folderWith(QByteArray());
        QVERIFY(!folder.isEmpty());
        const QString file = m_files.filePath(QStringLiteral("bad.json"));
        QVERIFY(writeFile(file, Bad));
        const QString message = file + QStringLiteral(" cannot be imported (2 problems); nothing was changed");
        const QMap<QString, QByteArray> before = folderContents(folder, {"sarvek.lock"});

        const ProcessResult text = run(folder, {"import", file, "--replace"});
        CHECK_EXIT(text, 1);
        QCOMPARE(text.out, QByteArray());
        QCOMPARE(text.errText(),
                 message + ":\n  /fixedStrategies/0/name: a text holds \",%&\", which the data file cannot hold\n"
                           "  /backtestDays/0/date: 2026-02-30 is not a date written yyyy-MM-dd\n");

        QVERIFY(writeFile(file, "{} x"));
        const ProcessResult notJson = run(folder, {"import", file});
        CHECK_EXIT(notJson, 1);
        QCOMPARE(notJson.errText(), file + " cannot be imported (1 problem); nothing was changed:\n"
                                           "  (the document): not JSON: more text after the document at line 1, "
                                           "column 4\n");
        QVERIFY(folderContents(folder, {"sarvek.lock"}) == before);
    }

    void timesAtTheEdges_data()
    {
        QTest::addColumn<QByteArray>("tz");
        QTest::addColumn<QString>("end");     // the instance's start and end time
        QTest::addColumn<QString>("created"); // the group's creation time
        QTest::addColumn<QStringList>("problems"); // none: imported, and exported again as they were
        const QString ends = "/instances/0/endTime: %1 is an end time the local database cannot keep: less than 1 "
                             "second before to less than 10 seconds after 1970-01-01T00:00:00 UTC, it reads the times "
                             "back as none";
        const QString before = "/groups/0/createTime: %1 is before 1970-01-01T00:00:01 UTC, which the groups file "
                               "cannot keep: the group would be given the time of the import";
        const QString kept = "2026-12-01T15:00:00";
        QTest::newRow("UTC, the epoch") << QByteArray("UTC") << "1970-01-01T00:00:00" << "1970-01-01T00:00:00"
                                        << QStringList{before.arg("1970-01-01T00:00:00"), ends.arg("1970-01-01T00:00:00")};
        QTest::newRow("UTC, 9 seconds after") << QByteArray("UTC") << "1970-01-01T00:00:09" << "1900-01-01T00:00:00"
                                              << QStringList{before.arg("1900-01-01T00:00:00"), ends.arg("1970-01-01T00:00:09")};
        QTest::newRow("UTC, the last millisecond refused") << QByteArray("UTC") << "1970-01-01T00:00:09.999"
                                                           << "1970-01-01T00:00:00.999"
                                                           << QStringList{before.arg("1970-01-01T00:00:00.999"),
                                                                          ends.arg("1970-01-01T00:00:09.999")};
        QTest::newRow("UTC, a millisecond before") << QByteArray("UTC") << "1969-12-31T23:59:59.999" << kept
                                                   << QStringList{ends.arg("1969-12-31T23:59:59.999")};
        QTest::newRow("UTC, just under a second before") << QByteArray("UTC") << "1969-12-31T23:59:59.001" << kept
                                                         << QStringList{ends.arg("1969-12-31T23:59:59.001")};
        QTest::newRow("UTC, 10 seconds after, and a group 1 second after") << QByteArray("UTC") << "1970-01-01T00:00:10"
                                                                           << "1970-01-01T00:00:01" << QStringList();
        QTest::newRow("UTC, 1 second before") << QByteArray("UTC") << "1969-12-31T23:59:59" << kept << QStringList();
        QTest::newRow("UTC, long before") << QByteArray("UTC") << "1900-01-01T00:00:00.500" << kept << QStringList();
        QTest::newRow("Shanghai, the epoch is 08:00") << QByteArray("Asia/Shanghai") << "1970-01-01T08:00:09"
                                                      << "1970-01-01T08:00:00"
                                                      << QStringList{before.arg("1970-01-01T08:00:00"),
                                                                     ends.arg("1970-01-01T08:00:09")};
        QTest::newRow("Shanghai, kept around the epoch") << QByteArray("Asia/Shanghai") << "1970-01-01T08:00:10"
                                                         << "1970-01-01T08:00:01" << QStringList();
        QTest::newRow("Shanghai, local midnight") << QByteArray("Asia/Shanghai") << "1970-01-01T00:00:00" << kept
                                                  << QStringList();
        QTest::newRow("New York, the epoch is 19:00") << QByteArray("America/New_York") << "1969-12-31T19:00:05"
                                                      << "1969-12-31T19:00:01"
                                                      << QStringList{ends.arg("1969-12-31T19:00:05")};
        QTest::newRow("group time with milliseconds")
            << QByteArray("UTC") << kept << "2026-12-01T09:00:00.500"
            << QStringList{"/groups/0/createTime: 2026-12-01T09:00:00.500 has milliseconds, which the groups file "
                           "cannot keep: it keeps whole seconds"};
        // Britain kept summer time through 1970: the local time of an instant
        // and the instant of a local time disagree by an hour there.
        QTest::newRow("London in 1970")
            << QByteArray("Europe/London") << "1970-01-01T00:00:10" << "1970-01-01T00:00:01"
            << QStringList{"/groups/0/createTime: 1970-01-01T00:00:01 is a local time this machine's time zone does "
                           "not give back (it reads back as 1970-01-01T01:00:01), which the groups file cannot keep",
                           "/instances/0/startTime: 1970-01-01T00:00:10 is a local time this machine's time zone does "
                           "not give back (it reads back as 1970-01-01T01:00:10), which the local database cannot keep",
                           "/instances/0/endTime: 1970-01-01T00:00:10 is a local time this machine's time zone does "
                           "not give back (it reads back as 1970-01-01T01:00:10), which the local database cannot keep"};
    }

    // An instance's times and a group's creation time that the local
    // database or the groups file would not give back are refused, in the
    // time zone strategyctl runs in; those just inside come back from a new
    // process as they went in.
    void timesAtTheEdges()
    {
        QFETCH(QByteArray, tz);
        QFETCH(QString, end);
        QFETCH(QString, created);
        QFETCH(QStringList, problems);
        QProcessEnvironment env = m_home.processEnvironment();
        env.insert(QStringLiteral("TZ"), QString::fromLatin1(tz));
        const QString folder = newFolder();
        const auto ctl = [&](const QStringList &args) {
            return runProcess(QStringLiteral(STRATEGYCTL_PATH), QStringList{"--home", folder, "--json"} + args, env,
                              m_files.path());
        };
        const QJsonObject group{{"name", "g"}, {"createTime", created}};
        const QJsonObject instance{{"instanceId", "4096"}, {"runMode", 2},       {"fundAccount", ""},
                                   {"returnRegInfo", ""},  {"startTime", end}, {"endTime", end}};
        QJsonObject doc = QJsonDocument::fromJson(Bad).object();
        doc["fixedStrategies"] = QJsonArray();
        doc["backtestDays"] = QJsonArray();
        doc["groups"] = QJsonArray{group};
        doc["instances"] = QJsonArray{instance};
        const QString file = m_files.filePath(QStringLiteral("edges.json"));
        QVERIFY(writeFile(file, QJsonDocument(doc).toJson()));

        const ProcessResult imported = ctl({"import", file});
        if (!problems.isEmpty()) {
            CHECK_EXIT(imported, 1);
            QStringList found;
            for (const QJsonValue &p : QJsonDocument::fromJson(imported.out).object()["error"].toObject()["problems"].toArray())
                found << p["pointer"].toString() + ": " + p["message"].toString();
            QCOMPARE(found, problems);
            return;
        }
        CHECK_EXIT(imported, 0);
        const QString out = m_files.filePath(QStringLiteral("edges-out.json"));
        CHECK_EXIT(ctl({"export", out}), 0);
        const QJsonObject exported = QJsonDocument::fromJson(readFile(out)).object();
        QCOMPARE(exported["instances"].toArray(), QJsonArray{instance});
        QCOMPARE(exported["groups"].toArray().first().toObject(), group);
    }

    // A replace under --json lists its backups, which name no pointer; both
    // --merge and --replace is a usage error; a bundle that cannot be
    // written is an io failure.
    void replaceAndFailures()
    {
        const QString from = folderWith(State);
        QVERIFY(!from.isEmpty());
        const QString file = m_files.filePath(QStringLiteral("shapes.json"));
        CHECK_EXIT(run(from, {"export", file}), 0);
        const QString to = folderWith(QByteArray()); // with a groups file to back up
        QVERIFY(!to.isEmpty());
        const ProcessResult replaced = run(to, {"--json", "import", file, "--replace"});
        CHECK_EXIT(replaced, 0);
        const QJsonObject answer = QJsonDocument::fromJson(replaced.out).object();
        QCOMPARE(answer.keys(), (QStringList{"changes", "mode", "ok"}));
        QCOMPARE(answer.value("mode").toString(), QStringLiteral("replace"));
        const QJsonArray changes = answer.value("changes").toArray();
        QCOMPARE(changes.size(), 8);
        const QJsonObject backup = changes.at(0).toObject();
        QCOMPARE(backup.keys(), (QStringList{"action", "detail", "pointer"}));
        QCOMPARE(backup.value("pointer"), QJsonValue(QJsonValue::Null));
        QCOMPARE(backup.value("action").toString(), QStringLiteral("backup"));
        QCOMPARE(changes.at(3).toObject(), (QJsonObject{{"pointer", "/fixedStrategies/0"},
                                                        {"action", "add"},
                                                        {"detail", "abc (D:/s/abc.py, group 趋势)"}}));
        CHECK_EXIT(run(to, {"import", file, "--merge", "--replace"}), 2);

        const QString missing = m_files.filePath(QStringLiteral("none/shapes.json"));
        const ProcessResult unwritable = run(from, {"--json", "export", missing});
        CHECK_EXIT(unwritable, 3);
        QCOMPARE(QJsonDocument::fromJson(unwritable.out).object(),
                 (QJsonObject{{"error", QJsonObject{{"kind", "io"},
                                                    {"message", QString("cannot write " + missing
                                                                            + ": No such file or directory")}}}}));
    }
};

QTEST_GUILESS_MAIN(tst_BundleCli)
#include "tst_bundlecli.moc"
