// The health check of a data folder: strategyctl doctor as its own process
// in folders prepared to show one finding each, its repairs, and the same
// check called from the library. Every case has its own folder with its own
// id sequence (<folder>/ids, as strategyctl keeps it by default).

#include "testsupport.h"

#include <StrategyLogic/strategydoctor.h>

#include <interprocidservice.h>
#include <zqfolderlock.h>

#include <QtTest> // with QtCore: QJsonDocument, QProcess

namespace {
const QByteArray Record1 = "1,%&a,%&D:/s/a.py,%&默认分组,%&,%&0\n";
const QByteArray Record2 = "2,%&a_1,%&D:/s/a.py,%&默认分组,%&,%&1\n";

// strategyctl with the data folder `folder` and no $STRATEGYLOGIC_ID_DIR:
// the id sequences live in <folder>/ids.
ProcessResult ctl(const QString &folder, const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("STRATEGYLOGIC_ID_DIR"));
    return runProcess(QStringLiteral(STRATEGYCTL_PATH), QStringList{QStringLiteral("--home"), folder} + args, env,
                      QDir::tempPath());
}

QJsonObject report(const ProcessResult &result)
{
    return QJsonDocument::fromJson(result.out).object();
}

// The finding of `id` in a --json report; an empty object when there is none.
QJsonObject finding(const QJsonObject &report, const QString &id)
{
    for (const QJsonValue &value : report.value(QStringLiteral("findings")).toArray()) {
        if (value.toObject().value(QStringLiteral("id")).toString() == id)
            return value.toObject();
    }
    return QJsonObject();
}

QStringList ids(const QJsonArray &list)
{
    QStringList texts;
    for (const QJsonValue &value : list)
        texts.append(value.toObject().value(QStringLiteral("id")).toString());
    return texts;
}

QStringList idsOf(const QList<StrategyLogic::DoctorFinding> &findings)
{
    QStringList texts;
    for (const StrategyLogic::DoctorFinding &f : findings)
        texts.append(f.id);
    return texts;
}
} // namespace

class tst_Doctor : public QObject
{
    Q_OBJECT

    QString newFolder()
    {
        static int n = 0;
        return m_home.path() + QStringLiteral("/case-%1").arg(++n);
    }

    TestHome m_home;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
    }

    // A folder used once by strategyctl is healthy, and the check itself
    // leaves every file as it was.
    void freshFolderHasNoErrors()
    {
        const QString dir = newFolder();
        CHECK_EXIT(ctl(dir, {"status"}), 0);
        const QMap<QString, QByteArray> before = folderContents(dir);
        const ProcessResult text = ctl(dir, {"doctor"});
        CHECK_EXIT(text, 0);
        QVERIFY2(text.outText().endsWith("0 errors, 0 warnings, 0 notes\n"), qPrintable(text.describe()));
        const ProcessResult json = ctl(dir, {"--json", "doctor"});
        CHECK_EXIT(json, 0);
        QCOMPARE(report(json).value("errors").toInt(-1), 0);
        QCOMPARE(ids(report(json).value("findings").toArray()), QStringList());
        QCOMPARE(folderContents(dir), before);
    }

    void missingFolderIsNotCreated()
    {
        const QString dir = newFolder();
        for (const QStringList &args : {QStringList{"--json", "doctor"}, QStringList{"--json", "doctor", "--fix"}}) {
            const ProcessResult r = ctl(dir, args);
            CHECK_EXIT(r, 1);
            QCOMPARE(finding(report(r), "folder-missing").value("severity").toString(), QStringLiteral("error"));
            QVERIFY(!QFileInfo::exists(dir));
        }
    }

    // Each row: a folder with two strategies (ids 1 and 2), then files
    // written by hand (a null value removes the file, the text "folder"
    // puts a folder in its place) and SQL run on sarvek.db.
    void findings_data()
    {
        QTest::addColumn<QVariantMap>("files");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("severity");
        QTest::addColumn<int>("exitStatus");

        const QString data = QStringLiteral("work/demo01/SarvekFixStrategy.dat");
        const QString groups = QStringLiteral("work/demo01/SarvekFixedStrategyGroups.txt");
        auto file = [](const QString &path, const QVariant &content) { return QVariantMap{{path, content}}; };
        auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };

        row("not a database") << file("sarvek.db", QByteArray("plain text, not SQLite")) << QString()
                              << "db-not-a-database" << "error" << 1;
        row("folder in the database's place") << file("sarvek.db", QStringLiteral("folder")) << QString()
                                              << "db-not-a-database" << "error" << 1;
        row("damaged database") << QVariantMap()
                                << "PRAGMA writable_schema=ON; UPDATE sqlite_master SET rootpage=3 WHERE "
                                   "name='strategyfileinfo'"
                                << "db-integrity" << "error" << 1;
        row("no database yet") << file("sarvek.db", QVariant()) << QString() << "db-missing" << "info" << 0;
        row("missing table") << QVariantMap() << "drop table backtest_daycash" << "db-missing-table" << "warning" << 0;
        row("older instance table") << QVariantMap()
                                    << "drop table instance_info; create table instance_info(instance_id "
                                       "varchar(120) primary key, run_mode varchar(4))"
                                    << "db-missing-column" << "warning" << 0;
        row("column no start adds") << QVariantMap()
                                    << "drop table strategyfileinfo; create table strategyfileinfo(path varchar(120))"
                                    << "db-missing-column" << "error" << 1;
        row("legacy table") << QVariantMap()
                            << "create table fixedstrategyinfo(id, name, path, folder, grp, extra); insert into "
                               "fixedstrategyinfo values(1, 'old', 'D:/s/old.py', 'demo01', '', '')"
                            << "db-legacy-table" << "warning" << 0;
        row("journal waiting") << file("sarvek.pending.json",
                                       QByteArray(R"({"kind": "StrategyLogic pending rows", "version": 1, )"
                                                  R"("instance_info": [{"instance_id": "7", "run_mode": 1}]})"))
                               << QString() << "pending-journal" << "warning" << 0;
        row("damaged journal") << file("sarvek.pending.json", QByteArray("{\"kind\": ")) << QString()
                               << "pending-journal-unreadable" << "error" << 1;
        row("interrupted group change")
            << file("work/demo01/SarvekFixedStrategyGroups.redo",
                    QByteArray(R"({"operation":"delete","group":"趋势","withStrategies":true})" "\n"))
            << QString() << "group-change-pending" << "warning" << 0;
        row("file kept aside") << file(data + ".unreadable-20261201-093000", Record1) << QString()
                               << "set-aside-files" << "warning" << 0;
        row("leftover temporary file") << file(groups + ".a1B2c3", QByteArray("默认分组;-1")) << QString()
                                       << "stale-temporary-files" << "warning" << 0;
        row("line of too few fields") << file(data, QByteArray(Record1 + "not a record\n" + Record2)) << QString()
                                      << "data-file-skipped-lines" << "error" << 1;
        row("line not UTF-8") << file(data, QByteArray(Record1 + "2,%&a\xff,%&D:/s/a.py,%&默认分组,%&,%&1\n")) << QString()
                              << "data-file-skipped-lines" << "error" << 1;
        row("line with a NUL") << file(data, QByteArray(Record1 + "2,%&a" + '\0' + "b,%&D:/s/a.py,%&默认分组,%&,%&1\n"))
                               << QString() << "data-file-skipped-lines" << "error" << 1;
        row("duplicate id") << file(data, QByteArray(Record1 + "1,%&b,%&D:/s/b.py,%&默认分组,%&,%&0\n")) << QString()
                            << "data-file-duplicate-id" << "error" << 1;
        row("id not a number") << file(data, QByteArray(Record1 + "x2,%&b,%&D:/s/b.py,%&默认分组,%&,%&0\n")) << QString()
                               << "data-file-invalid-id" << "error" << 1;
        row("group missing") << file(data, QByteArray(Record1 + "2,%&t,%&D:/s/t.py,%&动量,%&,%&0\n")) << QString()
                             << "data-file-missing-group" << "warning" << 0;
        row("empty name") << file(data, QByteArray(Record1 + "2,%&,%&D:/s/b.py,%&默认分组,%&,%&0\n")) << QString()
                          << "data-file-empty-name" << "warning" << 0;
        row("name used twice for one path") << file(data, QByteArray(Record1 + "2,%&a,%&D:/s/a.py,%&默认分组,%&,%&1\n"))
                                            << QString() << "data-file-duplicate-name" << "warning" << 0;
        row("field beyond the sixth") << file(data, QByteArray(Record1 + "2,%&b,%&D:/s/b.py,%&默认分组,%&,%&0,%&more\n"))
                                      << QString() << "data-file-lossy-values" << "warning" << 0;
        row("carriage return") << file(data, QByteArray(Record1 + "2,%&b,%&D:/s/b.py,%&默认分组,%&,%&0\r\n")) << QString()
                               << "data-file-lossy-values" << "warning" << 0;
        row("groups file not UTF-8") << file(groups, QByteArray("\xff\xfe;1,默认分组;-1")) << QString()
                                     << "groups-file-unreadable" << "error" << 1;
        row("no default group") << file(groups, QByteArray("趋势;1000")) << QString()
                                << "groups-file-no-default-group" << "warning" << 0;
        row("group without time") << file(groups, QByteArray("默认分组;-1,趋势")) << QString()
                                  << "groups-file-bad-entries" << "warning" << 0;
        row("id sequence behind") << file("ids/FixStrategyIDSrv.seq", QByteArray("1\n")) << QString()
                                  << "id-sequence-behind" << "error" << 1;
        row("id sequence missing") << file("ids/FixStrategyIDSrv.seq", QVariant()) << QString()
                                   << "id-sequence-behind" << "error" << 1;
        row("id sequence damaged") << file("ids/FixStrategyIDSrv.seq", QByteArray("twelve\n")) << QString()
                                   << "id-sequence-unreadable" << "error" << 1;
        row("host profile not JSON") << file("StrategyHostProfile.json", QByteArray("{\"loginAccount\": ")) << QString()
                                     << "host-profile-unreadable" << "error" << 1;
        row("login and user id differ")
            << file("StrategyHostProfile.json", QByteArray(R"({"loginAccount": "Demo01", "userId": "Trader7"})"))
            << QString() << "host-profile-user-mismatch" << "error" << 1;
        row("user id names no folder")
            << file("StrategyHostProfile.json", QByteArray(R"({"loginAccount": "..", "userId": ".."})"))
            << QString() << "user-id-invalid" << "error" << 1;
        row("python path gone")
            << file("ZqProEngineConfig.ini",
                    QByteArray("[ZqProEngineConfig]\nSarvek_PythonInstallPath=/no/such/python3.11\n"))
            << QString() << "python-path-missing" << "warning" << 0;
    }

    void findings()
    {
        QFETCH(QVariantMap, files);
        QFETCH(QString, sql);
        QFETCH(QString, id);
        QFETCH(QString, severity);
        QFETCH(int, exitStatus);
        const QString dir = newFolder();
        CHECK_EXIT(ctl(dir, {"strategy", "add", "D:/s/a.py", "a", "--count", "2"}), 0);
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            const QString path = dir + QLatin1Char('/') + it.key();
            QFile::remove(path);
            if (it.value().userType() == QMetaType::QString)
                QVERIFY(QDir().mkpath(path));
            else if (it.value().isValid())
                QVERIFY(QDir().mkpath(QFileInfo(path).path()) && writeFile(path, it.value().toByteArray()));
        }
        if (!sql.isEmpty())
            QVERIFY(execSql(dir + QStringLiteral("/sarvek.db"), sql));
        const QMap<QString, QByteArray> before = folderContents(dir);

        const ProcessResult r = ctl(dir, {"--json", "doctor"});
        CHECK_EXIT(r, exitStatus);
        const QJsonObject found = finding(report(r), id);
        QVERIFY2(!found.isEmpty(), qPrintable(r.describe()));
        QCOMPARE(found.value("severity").toString(), severity);
        QVERIFY(!found.value("message").toString().isEmpty());
        QCOMPARE(report(r).value("errors").toInt() > 0, exitStatus == 1);
        QCOMPARE(folderContents(dir), before);
    }

    // The safe repairs: each changed file is copied first, leftovers go,
    // the data file stays as it is, and new strategies get new ids.
    void fixRepairsWithBackups()
    {
        const QString dir = newFolder();
        CHECK_EXIT(ctl(dir, {"strategy", "add", "D:/s/a.py", "a", "--count", "3"}), 0);
        const QString data = dir + QStringLiteral("/work/demo01/SarvekFixStrategy.dat");
        const QByteArray records = readFile(data) + "9,%&t,%&D:/s/t.py,%&动量,%&,%&0\n";
        QVERIFY(writeFile(data, records));
        QVERIFY(writeFile(dir + QStringLiteral("/work/demo01/SarvekFixedStrategyGroups.txt"), "趋势;1000"));
        QVERIFY(writeFile(dir + QStringLiteral("/ids/FixStrategyIDSrv.seq"), "2\n"));
        const QString leftover = QStringLiteral("work/demo01/SarvekFixStrategy.dat.Zz9y8X");
        QVERIFY(writeFile(dir + QLatin1Char('/') + leftover, "partial"));
        const QMap<QString, QByteArray> before = folderContents(dir);

        const ProcessResult checked = ctl(dir, {"--json", "doctor"});
        CHECK_EXIT(checked, 1);
        QCOMPARE(finding(report(checked), "id-sequence-behind").value("fix").toString(),
                 QStringLiteral("raise the id sequence to 9"));

        const ProcessResult fixed = ctl(dir, {"--json", "doctor", "--fix"});
        CHECK_EXIT(fixed, 0);
        const QJsonObject answer = report(fixed);
        QCOMPARE(answer.value("errors").toInt(-1), 0);
        QCOMPARE(ids(answer.value("fixed").toArray()),
                 (QStringList{"id-sequence-behind", "groups-file-no-default-group", "data-file-missing-group",
                              "stale-temporary-files"}));
        QCOMPARE(answer.value("notFixed").toArray(), QJsonArray());
        QCOMPARE(ids(answer.value("findings").toArray()), QStringList());

        // Every file that changed has a backup with its former content; the
        // leftover is gone; nothing else changed.
        const QMap<QString, QByteArray> after = folderContents(dir, {"sarvek.lock"});
        QStringList changed;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (it.key() == QLatin1String("sarvek.lock") || it.key() == leftover)
                continue;
            QVERIFY2(after.contains(it.key()), qPrintable(it.key()));
            if (after.value(it.key()) == it.value())
                continue;
            changed.append(it.key());
            const QStringList backups = after.keys().filter(QRegularExpression(
                "^" + QRegularExpression::escape(it.key()) + "\\.bak-\\d{8}-\\d{6}(-\\d+)?$"));
            QCOMPARE(backups.size(), 1);
            QCOMPARE(after.value(backups.first()), it.value());
        }
        QCOMPARE(changed, (QStringList{"ids/FixStrategyIDSrv.seq", "work/demo01/SarvekFixedStrategyGroups.txt"}));
        QVERIFY(!after.contains(leftover));
        QCOMPARE(after.size(), before.size() - 2 + changed.size()); // lock and leftover out, backups in
        QCOMPARE(after.value("work/demo01/SarvekFixStrategy.dat"), records);
        QCOMPARE(readFile(dir + QStringLiteral("/ids/FixStrategyIDSrv.seq")), QByteArray("9\n"));
        const QByteArray groups = readFile(dir + QStringLiteral("/work/demo01/SarvekFixedStrategyGroups.txt"));
        QVERIFY2(groups.startsWith("动量;") && groups.endsWith(",趋势;1000,默认分组;-1"), groups.constData());

        CHECK_EXIT(ctl(dir, {"strategy", "add", "D:/s/n.py", "n"}), 0);
        const QJsonArray list = QJsonDocument::fromJson(ctl(dir, {"--json", "strategy", "list"}).out).array();
        QCOMPARE(list.size(), 5);
        for (const QJsonValue &record : list) {
            if (record.toObject().value("name").toString() == QLatin1String("n"))
                QVERIFY(record.toObject().value("id").toInt() > 9);
        }
        CHECK_EXIT(ctl(dir, {"doctor"}), 0);
    }

    // Another process holds the folder: the check says by whom and leaves
    // its temporary files alone; --fix changes nothing and ends with 3.
    void folderHeldElsewhere()
    {
        const QString dir = newFolder();
        CHECK_EXIT(ctl(dir, {"strategy", "add", "D:/s/a.py", "a", "--count", "2"}), 0);
        QVERIFY(writeFile(dir + QStringLiteral("/ids/FixStrategyIDSrv.seq"), "1\n"));
        QVERIFY(writeFile(dir + QStringLiteral("/work/demo01/SarvekFixStrategy.dat.Ab12Cd"), "in progress"));
        QProcess holder;
        holder.start(helperPath("folderholder"), {dir});
        QVERIFY(holder.waitForReadyRead(20000) && holder.readLine() == "held\n");
        const QMap<QString, QByteArray> before = folderContents(dir);

        const ProcessResult checked = ctl(dir, {"--json", "doctor"});
        CHECK_EXIT(checked, 1);
        const QJsonObject inUse = finding(report(checked), "folder-in-use");
        QCOMPARE(inUse.value("severity").toString(), QStringLiteral("info"));
        QVERIFY2(inUse.value("message").toString().contains(QStringLiteral("pid %1").arg(holder.processId())),
                 qPrintable(checked.describe()));
        QVERIFY(finding(report(checked), "stale-temporary-files").isEmpty());

        const ProcessResult refused = ctl(dir, {"--json", "--wait", "0", "doctor", "--fix"});
        CHECK_EXIT(refused, 3);
        QCOMPARE(report(refused).value("error").toObject().value("kind").toString(), QStringLiteral("busy"));
        QVERIFY2(refused.errText().contains(QStringLiteral("in use by pid %1").arg(holder.processId())),
                 qPrintable(refused.describe()));
        QCOMPARE(folderContents(dir), before);
        // Given time, --fix waits for the folder as every command does.
        QProcess waiting;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("STRATEGYLOGIC_ID_DIR"));
        waiting.setProcessEnvironment(env);
        waiting.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", dir, "--wait", "60", "doctor", "--fix"});
        QVERIFY(waiting.waitForStarted() && !waiting.waitForFinished(300));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(20000));
        QVERIFY(waiting.waitForFinished(30000));
        QCOMPARE(waiting.exitCode(), 0);
        QVERIFY(readFile(dir + QStringLiteral("/ids/FixStrategyIDSrv.seq")).trimmed().toInt() >= 2);
    }

    // A database another program keeps locked is not taken for a damaged
    // one or for one without tables.
    void busyDatabaseIsNotDamage()
    {
        const QString dir = newFolder();
        CHECK_EXIT(ctl(dir, {"status"}), 0);
        QProcess locker;
        locker.start(helperPath("dblocker"), {dir + QStringLiteral("/sarvek.db")});
        QVERIFY(locker.waitForReadyRead(20000) && locker.readLine() == "locked\n");
        const ProcessResult r = ctl(dir, {"--json", "doctor"});
        CHECK_EXIT(r, 0);
        QCOMPARE(ids(report(r).value("findings").toArray()), QStringList{"db-busy"});
        locker.closeWriteChannel();
        QVERIFY(locker.waitForFinished(20000));
    }

    // A repair that cannot be written leaves its file as it was and ends
    // with 3, the findings still printed.
    void readOnlyFolderIsReportedAndNotRepaired()
    {
        const QString dir = newFolder();
        CHECK_EXIT(ctl(dir, {"strategy", "add", "D:/s/a.py", "a", "--count", "2"}), 0);
        QVERIFY(writeFile(dir + QStringLiteral("/ids/FixStrategyIDSrv.seq"), "1\n"));
        const QMap<QString, QByteArray> before = folderContents(dir);
        ReadOnlyFolder frozen(dir);
        if (!frozen.isValid())
            QSKIP("this process may not mount a read-only folder");
        const ProcessResult checked = ctl(dir, {"--json", "doctor"});
        CHECK_EXIT(checked, 1);
        QCOMPARE(finding(report(checked), "folder-not-writable").value("severity").toString(), QStringLiteral("error"));
        const ProcessResult fixed = ctl(dir, {"--json", "doctor", "--fix"});
        CHECK_EXIT(fixed, 3);
        QCOMPARE(report(fixed).value("fixed").toArray(), QJsonArray());
        QCOMPARE(report(fixed).value("notFixed").toArray().size(), 1);
        QVERIFY(!finding(report(fixed), "id-sequence-behind").isEmpty());
        QCOMPARE(folderContents(dir), before);
    }

    // The library's own entry points, as a client calls them.
    void libraryChecksAndFixes()
    {
        const QString dir = newFolder();
        CHECK_EXIT(ctl(dir, {"strategy", "add", "D:/s/a.py", "a", "--count", "2"}), 0);
        QVERIFY(writeFile(dir + QStringLiteral("/ids/FixStrategyIDSrv.seq"), "1\n"));
        InterProcIdService::instance().setStorageDirectory(dir + QStringLiteral("/ids"));
        const auto restore =
            qScopeGuard([this] { InterProcIdService::instance().setStorageDirectory(m_home.idDir()); });

        const QList<StrategyLogic::DoctorFinding> findings = StrategyLogic::checkInstallation(dir);
        QCOMPARE(idsOf(findings), QStringList{"id-sequence-behind"});
        QCOMPARE(findings.first().severity, StrategyLogic::DoctorSeverity::Error);
        QCOMPARE(StrategyLogic::doctorSeverityName(findings.first().severity), QStringLiteral("error"));
        QCOMPARE(findings.first().path, dir + QStringLiteral("/ids/FixStrategyIDSrv.seq"));

        // While this process holds the folder (its plug-in would), nothing
        // is repaired.
        const QMap<QString, QByteArray> before = folderContents(dir, {"sarvek.lock"});
        QCOMPARE(ZqFolderLock::acquire(dir), ZqFolderLock::Acquired);
        const StrategyLogic::DoctorFixResult refused = StrategyLogic::fixInstallation(dir);
        ZqFolderLock::release(dir);
        QCOMPARE(refused.outcome, StrategyLogic::DoctorFixResult::Busy);
        QVERIFY(refused.repairs.isEmpty());
        QCOMPARE(folderContents(dir, {"sarvek.lock"}), before);

        const StrategyLogic::DoctorFixResult fixed = StrategyLogic::fixInstallation(dir);
        QCOMPARE(fixed.outcome, StrategyLogic::DoctorFixResult::Fixed);
        QCOMPARE(fixed.failures, QStringList());
        QCOMPARE(fixed.repairs.size(), 1);
        QCOMPARE(fixed.repairs.first().id, QStringLiteral("id-sequence-behind"));
        QCOMPARE(readFile(fixed.repairs.first().backup), QByteArray("1\n"));
        QCOMPARE(idsOf(fixed.findings), QStringList());
        QVERIFY(!ZqFolderLock::isHeld(dir));
        QCOMPARE(InterProcIdService::instance().getId(QStringLiteral("FixStrategyIDSrv")), 3);
    }
};

QTEST_GUILESS_MAIN(tst_Doctor)
#include "tst_doctor.moc"
