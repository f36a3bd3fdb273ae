// The health check of an installation folder, called as a client calls it:
// checkInstallation() on folders damaged one way each, fixInstallation()'s
// repairs with their backups and its refusals while the folder is held, and
// strategyctl doctor end to end where docs/cli.md (tst_clidoc) does not go:
// its text, a folder held by another process. Every case has its own folder
// with its own id sequence (<folder>/ids, as strategyctl keeps it by
// default) and reads its own host profile.

#include "testsupport.h"

#include <StrategyLogic/strategydoctor.h>

#include "storage/installationlayout.h"
#include "storage/strategysqlite.h"

#include <hostprofile.h>
#include <interprocidservice.h>
#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QtTest> // with QtCore: QJsonDocument, QProcess

#include <optional>

#include <unistd.h>

using namespace StrategyLogic;
namespace Layout = InstallationLayout;

namespace {
const QByteArray Record1 = "1,%&a,%&D:/s/a.py,%&默认分组,%&,%&0\n";
const QByteArray Record2 = "2,%&a_1,%&D:/s/a.py,%&默认分组,%&,%&1\n";

const QString User = QStringLiteral("work/demo01/");
const QString DataFile = User + QLatin1String(Layout::DataFile);
const QString GroupsFile = User + QLatin1String(Layout::GroupsFile);
const QString ChangeRecord = User + QLatin1String(Layout::GroupChangeFile);
const QString ImportRecord = User + QLatin1String(Layout::ImportRecordFile);
const QString IdSequenceFile = QStringLiteral("ids/") + QLatin1String(Layout::IdService) + QLatin1String(".seq");
const QString Database = QLatin1String(Layout::DatabaseFile);

// "id:severity" of each finding, in order.
QStringList summary(const QList<DoctorFinding> &findings)
{
    QStringList texts;
    for (const DoctorFinding &f : findings)
        texts.append(f.id + QLatin1Char(':') + doctorSeverityName(f.severity));
    return texts;
}

// Files by path relative to the folder: a null value removes the file, the
// text "folder" puts a folder in its place, bytes are written.
bool applyFiles(const QString &dir, const QVariantMap &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = dir + QLatin1Char('/') + it.key();
        QFile::remove(path);
        if (it.value().userType() == QMetaType::QString) {
            if (!QDir().mkpath(path))
                return false;
        } else if (it.value().isValid() && !writeFile(path, it.value().toByteArray())) {
            return false;
        }
    }
    return true;
}

QVariantMap put(const QString &path, const QByteArray &content)
{
    return QVariantMap{{path, content}};
}

// A row of findings(): the healthy folder, then `files` written by hand (see
// applyFiles()) and `sql` run on sarvek.db; the findings ("id:severity", in
// order) and the file the first one names: relative, "." the folder, empty
// none; by default the one file written, or the database.
void row(const char *name, const QStringList &expected, const QVariantMap &files, const QString &sql = QString(),
         const QString &path = QStringLiteral("*"))
{
    const QString named = path != QLatin1String("*") ? path : files.isEmpty() ? Database : files.firstKey();
    QTest::newRow(name) << files << sql << expected << named;
}

// strategyctl with the data folder `folder` and no $STRATEGYLOGIC_ID_DIR:
// the id sequences live in <folder>/ids.
QProcessEnvironment folderEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("STRATEGYLOGIC_ID_DIR"));
    return env;
}

ProcessResult ctl(const QString &folder, const QStringList &args)
{
    return runProcess(QStringLiteral(STRATEGYCTL_PATH), QStringList{QStringLiteral("--home"), folder} + args,
                      folderEnvironment(), QDir::tempPath());
}

QJsonObject report(const ProcessResult &result)
{
    return QJsonDocument::fromJson(result.out).object();
}

// A second process that holds something until its stdin closes: the
// folder (folderholder) or the database (dblocker).
class Holder
{
public:
    Holder(const QString &helper, const QString &path, const QByteArray &ready)
    {
        m_process.start(helperPath(helper), {path});
        m_ready = m_process.waitForReadyRead(20000) && m_process.readLine() == ready;
    }
    ~Holder() { release(); }
    bool isReady() const { return m_ready; }
    qint64 pid() const { return m_process.processId(); }
    bool release()
    {
        m_process.closeWriteChannel();
        return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(20000);
    }

private:
    QProcess m_process;
    bool m_ready = false;
};
} // namespace

class tst_Doctor : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QString m_dir; // this case's installation folder

    QString file(const QString &relative) const { return m_dir + QLatin1Char('/') + relative; }

    // The installation folder of two strategies (ids 1 and 2) as the
    // plug-in leaves it: the folder's lock file of a holder that let go,
    // the tables of a start, the data file, the groups file with the
    // default group, the id sequence at 2.
    bool makeHealthyFolder()
    {
        if (ZqFolderLock::acquire(m_dir) != ZqFolderLock::Acquired)
            return false;
        ZqFolderLock::release(m_dir);
        LogCapture quiet; // the start's routine lines
        { StrategySqlite start; }
        return writeFile(file(DataFile), Record1 + Record2) && writeFile(file(GroupsFile), "默认分组;-1")
               && InterProcIdService::instance().raiseFloor(QLatin1String(Layout::IdService), 2);
    }

private slots:
    void initTestCase() { QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString())); }

    // Each case in a folder of its own, whose host profile and id sequence
    // are read as strategyctl reads them there.
    void init()
    {
        static int n = 0;
        m_dir = m_home.path() + QStringLiteral("/case-%1").arg(++n);
        QVERIFY(QDir().mkpath(m_dir));
        ZqApplicationDir::setPath(m_dir);
        InterProcIdService::instance().setStorageDirectory(file(QStringLiteral("ids")));
        HostProfile::current().reset();
    }

    void cleanup()
    {
        ZqApplicationDir::setPath(m_home.path());
        InterProcIdService::instance().setStorageDirectory(m_home.idDir());
        HostProfile::current().loadDemo();
    }

    void healthyFolderHasNoFindings()
    {
        QVERIFY(makeHealthyFolder());
        const QMap<QString, QByteArray> before = folderContents(m_dir);
        QCOMPARE(summary(checkInstallation(m_dir)), QStringList());
        // A relative path names the same folder.
        QVERIFY(QDir::setCurrent(m_home.path()));
        QCOMPARE(summary(checkInstallation(QFileInfo(m_dir).fileName())), QStringList());
        QCOMPARE(folderContents(m_dir), before);
    }

    // Neither the check nor the fix makes a folder that is not there.
    void missingFolder_data()
    {
        QTest::addColumn<bool>("fileInItsPlace");
        QTest::newRow("nothing there") << false;
        QTest::newRow("a file in its place") << true;
    }
    void missingFolder()
    {
        QFETCH(bool, fileInItsPlace);
        const QString dir = m_dir + QStringLiteral("/installation");
        QVERIFY(!fileInItsPlace || writeFile(dir, "not a folder"));
        QCOMPARE(summary(checkInstallation(dir)), QStringList{"folder-missing:error"});
        const DoctorFixResult fixed = fixInstallation(dir);
        QCOMPARE(fixed.outcome, DoctorFixResult::Fixed);
        QVERIFY(fixed.repairs.isEmpty() && fixed.failures.isEmpty());
        QCOMPARE(summary(fixed.findings), QStringList{"folder-missing:error"});
        QCOMPARE(fixed.findings.first().path, dir);
        QCOMPARE(QFileInfo(dir).isFile(), fileInItsPlace);
        QVERIFY(fileInItsPlace || !QFileInfo::exists(dir));
    }

    // Each row damages the healthy folder one way (see row()); the check
    // names it and changes nothing.
    void findings_data()
    {
        QTest::addColumn<QVariantMap>("files");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("path");
        const QVariantMap none;
        const QString legacy = QStringLiteral("create table fixedstrategyinfo(id, name, path, folder, grp, extra)");
        const QString user = User.chopped(1);
        const QString profile = QStringLiteral("StrategyHostProfile.json");

        // sarvek.db: opens, integrity, tables and columns, the legacy table.
        row("no database yet", {"db-missing:info"}, QVariantMap{{Database, QVariant()}});
        row("not a database", {"db-not-a-database:error"}, put(Database, "plain text, not SQLite"));
        row("folder in the database's place", {"db-not-a-database:error"}, QVariantMap{{Database, "folder"}});
        row("database of SQLite's header, then garbage", {"db-not-a-database:error"},
            put(Database, QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\x5a')));
        row("damaged database", {"db-integrity:error"}, none,
            "PRAGMA writable_schema=ON; UPDATE sqlite_master SET rootpage=3 WHERE name='strategyfileinfo'");
        row("missing table", {"db-missing-table:warning"}, none, "drop table backtest_daycash");
        row("older instance table", {"db-missing-column:warning"}, none,
            "drop table instance_info; create table instance_info(instance_id varchar(120) primary key, run_mode varchar(4))");
        row("column no start adds", {"db-missing-column:error"}, none,
            "drop table strategyfileinfo; create table strategyfileinfo(path varchar(120))");
        row("view in a table's place", {"db-table-replaced:error"}, none,
            "drop table instance_info; create view instance_info as select 1 as instance_id");
        row("index in a table's place", {"db-table-replaced:error"}, none,
            "drop table backtest_daycash; create index BACKTEST_DAYCASH on strategyfileinfo(file_path)");
        row("columns in upper case", {}, none,
            "drop table strategyfileinfo; create table strategyfileinfo(FILE_PATH varchar(120) primary key)");
        row("legacy table", {"db-legacy-table:warning"}, none,
            legacy + "; insert into fixedstrategyinfo values(1, 'old', 'D:/s/old.py', 'demo01', '', '')");
        row("legacy rows that cannot be moved", {"db-legacy-table:warning"}, none,
            legacy + "; insert into fixedstrategyinfo values(1, 'old', 'D:/s/old.py', 'demo01', '', ''), "
                     "(2, 'a,%&b', 'D:/s/b.py', 'demo01', '', ''), (3, 'c', 'D:/s/c.py', '..', '', '')");
        row("empty legacy table", {"db-legacy-table:info"}, none, legacy);

        // Files waiting for the next start, kept aside, left over.
        row("journal waiting", {"pending-journal:warning"},
            put(Layout::PendingJournalFile, R"({"kind": "StrategyLogic pending rows", "version": 1, )"
                                            R"("instance_info": [{"instance_id": "7", "run_mode": 1}]})"));
        row("damaged journal", {"pending-journal-unreadable:error"}, put(Layout::PendingJournalFile, "{\"kind\": "));
        row("interrupted group change", {"group-change-pending:warning"},
            put(ChangeRecord, R"({"operation":"delete","group":"趋势","withStrategies":true})" "\n"));
        row("damaged group change record", {"group-change-unreadable:error"}, put(ChangeRecord, "{\"operation\":"));
        row("interrupted import", {"import-pending:warning"},
            put(ImportRecord, R"({"format":"strategylogic-import","version":1,"bundle":"/b.json","mode":"merge"})" "\n"));
        row("damaged import record", {"import-record-unreadable:error"}, put(ImportRecord, "{\"format\":"));
        row("leftover import record copy", {"stale-temporary-files:warning"}, put(ImportRecord + ".k9Lm2n", "{"), {},
            user);
        row("file kept aside", {"set-aside-files:warning"}, put(DataFile + ".unreadable-20261201-093000", Record1), {}, user);
        row("database kept aside", {"set-aside-files:warning"}, put(Database + ".unreadable-20261201-093000", "x"), {}, ".");
        row("leftover temporary file", {"stale-temporary-files:warning"}, put(GroupsFile + ".a1B2c3", "默认分组;-1"), {},
            user);
        row("leftover journal copy", {"stale-temporary-files:warning"},
            put(Layout::PendingJournalFile + QStringLiteral(".Zz9y8X"), "{"), {}, ".");
        row("backup is no temporary file", {}, put(DataFile + ".bak-20261201-093000", Record1));

        // The groups file, the Python path.
        row("groups file not UTF-8", {"groups-file-unreadable:error"}, put(GroupsFile, "\xff\xfe;1,默认分组;-1"));
        row("no default group", {"groups-file-no-default-group:warning", "data-file-missing-group:warning"},
            put(GroupsFile, "趋势;1000"));
        row("group without time", {"groups-file-bad-entries:warning"}, put(GroupsFile, "默认分组;-1,趋势"));
        row("python path gone", {"python-path-missing:warning"},
            put(Layout::PythonIniFile, "[ZqProEngineConfig]\nSarvek_PythonInstallPath=/no/such/python3.11\n"));
        row("python path there", {}, put(Layout::PythonIniFile, "[ZqProEngineConfig]\nSarvek_PythonInstallPath=/\n"));

        // The data file, line by line.
        const auto data = [](const QByteArray &lines) { return put(DataFile, Record1 + lines); };
        row("line of too few fields", {"data-file-skipped-lines:error"}, data("not a record\n" + Record2));
        row("line not UTF-8", {"data-file-skipped-lines:error"}, data("2,%&a\xff,%&D:/s/a.py,%&默认分组,%&,%&1\n"));
        row("line with a NUL", {"data-file-skipped-lines:error"},
            data(QByteArray("2,%&a\0b,%&D:/s/a.py,%&默认分组,%&,%&1\n", 39)));
        row("duplicate id", {"data-file-duplicate-id:error"}, data("1,%&b,%&D:/s/b.py,%&默认分组,%&,%&0\n"));
        row("id not a number", {"data-file-invalid-id:error"}, data("x2,%&b,%&D:/s/b.py,%&默认分组,%&,%&0\n"));
        row("group missing", {"data-file-missing-group:warning"}, data("2,%&t,%&D:/s/t.py,%&动量,%&,%&0\n"));
        row("empty name", {"data-file-empty-name:warning"}, data("2,%&,%&D:/s/b.py,%&默认分组,%&,%&0\n"));
        row("name used twice for one path", {"data-file-duplicate-name:warning"},
            data("2,%&a,%&D:/s/a.py,%&默认分组,%&,%&1\n"));
        row("field beyond the sixth", {"data-file-lossy-values:warning"},
            data("2,%&b,%&D:/s/b.py,%&默认分组,%&,%&0,%&more\n"));
        row("carriage return", {"data-file-lossy-values:warning"}, data("2,%&b,%&D:/s/b.py,%&默认分组,%&,%&0\r\n"));
        row("many of each: a few are named",
            {"data-file-skipped-lines:error", "data-file-invalid-id:error", "data-file-lossy-values:warning",
             "data-file-duplicate-id:error", "data-file-empty-name:warning", "data-file-duplicate-name:warning",
             "data-file-missing-group:warning", "id-sequence-behind:error"},
            put(DataFile, "\xEF\xBB\xBF" + Record1 + Record1 + Record2 + Record2 + "x\ny\nz\nw\n"
                          "3,%&,%&D:/s/c.py,%&g1,%&,%&0\n4,%&,%&D:/s/c.py,%&g2,%&,%&0\n"
                          "5,%&e,%&D:/s/e.py,%&g3,%&,%&0\n6,%&f,%&D:/s/f.py,%&g;4,%&,%&0\n"
                          "07,%&h,%&D:/s/h.py,%&默认分组,%&,%&0,%&x\n0,%&i,%&D:/s/i.py,%&默认分组,%&,%&0\n"));

        // The id sequence, the host profile and the user's identity.
        row("id sequence behind", {"id-sequence-behind:error"}, put(IdSequenceFile, "1\n"));
        row("id sequence missing", {"id-sequence-behind:error"}, QVariantMap{{IdSequenceFile, QVariant()}});
        row("id sequence damaged", {"id-sequence-unreadable:error"}, put(IdSequenceFile, "twelve\n"));
        row("id sequence exhausted", {"id-sequence-exhausted:error"}, put(IdSequenceFile, "2147483647\n"));
        row("host profile not JSON", {"host-profile-unreadable:error"}, put(profile, "{\"loginAccount\": "));
        row("login and user id differ", {"host-profile-user-mismatch:error"},
            put(profile, R"({"loginAccount": "Demo01", "userId": "Trader7"})"), {}, QString());
        row("user id names no folder", {"user-id-invalid:error"}, put(profile, R"({"loginAccount": "..", "userId": ".."})"),
            {}, QString());
    }
    void findings()
    {
        QFETCH(QVariantMap, files);
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        QFETCH(QString, path);
        QVERIFY(makeHealthyFolder());
        QVERIFY(applyFiles(m_dir, files));
        QVERIFY(sql.isEmpty() || execSql(file(Database), sql));
        const QMap<QString, QByteArray> before = folderContents(m_dir);

        const QList<DoctorFinding> found = checkInstallation(m_dir);
        QCOMPARE(summary(found), expected);
        for (const DoctorFinding &f : found)
            QVERIFY2(!f.message.isEmpty(), qPrintable(f.id));
        if (!found.isEmpty())
            QCOMPARE(found.first().path, path.isEmpty() ? QString() : QDir::cleanPath(file(path)));
        QCOMPARE(folderContents(m_dir), before);
    }

    // Files the system's own user may not read (root reads them all).
    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("database") << Database << QStringList{"db-unreadable:error"};
        QTest::newRow("data file") << DataFile << QStringList{"data-file-unreadable:error"};
        QTest::newRow("groups file") << GroupsFile << QStringList{"groups-file-unreadable:error"};
        QTest::newRow("id sequence") << IdSequenceFile << QStringList{"id-sequence-unreadable:error"};
    }
    void unreadableFiles()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, expected);
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        QVERIFY(makeHealthyFolder());
        QVERIFY(QFile::setPermissions(file(path), QFileDevice::WriteOwner));
        const QList<DoctorFinding> found = checkInstallation(m_dir);
        QFile::setPermissions(file(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(summary(found), expected);
    }

    // A database another program keeps locked is not taken for a damaged
    // one or for one without tables.
    void busyDatabaseIsNotDamage()
    {
        QVERIFY(makeHealthyFolder());
        Holder locker(QStringLiteral("dblocker"), file(Database), "locked\n");
        QVERIFY(locker.isReady());
        QCOMPARE(summary(checkInstallation(m_dir)), QStringList{"db-busy:warning"});
        QVERIFY(locker.release());
        QCOMPARE(summary(checkInstallation(m_dir)), QStringList());
    }

    // While the folder is held, by another process or by this process's
    // plug-in, the check says so and takes no temporary file for a
    // leftover (it may be a write in progress), and the fix changes nothing.
    void heldFolder_data()
    {
        QTest::addColumn<bool>("elsewhere");
        QTest::newRow("another process") << true;
        QTest::newRow("this process") << false;
    }
    void heldFolder()
    {
        QFETCH(bool, elsewhere);
        QVERIFY(makeHealthyFolder());
        QVERIFY(writeFile(file(IdSequenceFile), "1\n"));
        QVERIFY(writeFile(file(DataFile + ".Ab12Cd"), "in progress"));
        std::optional<Holder> holder;
        if (elsewhere)
            QVERIFY(holder.emplace(QStringLiteral("folderholder"), m_dir, "held\n").isReady());
        else
            QCOMPARE(ZqFolderLock::acquire(m_dir), ZqFolderLock::Acquired);
        const auto release = qScopeGuard([&] {
            if (!elsewhere)
                ZqFolderLock::release(m_dir);
        });
        const QMap<QString, QByteArray> before = folderContents(m_dir);

        const QList<DoctorFinding> found = checkInstallation(m_dir);
        QCOMPARE(summary(found), (QStringList{"folder-in-use:info", "id-sequence-behind:error"}));
        const DoctorFinding inUse = found.first();
        if (elsewhere) {
            QVERIFY2(inUse.message.contains(QStringLiteral("pid %1").arg(holder->pid())), qPrintable(inUse.message));
            QCOMPARE(inUse.path, file(ZqFolderLock::FileName));
        } else {
            QVERIFY2(inUse.message.startsWith("this process holds"), qPrintable(inUse.message));
            QCOMPARE(inUse.path, m_dir);
        }

        const DoctorFixResult refused = fixInstallation(m_dir);
        QCOMPARE(refused.outcome, DoctorFixResult::Busy);
        QVERIFY2(refused.reason.contains(elsewhere ? QStringLiteral("pid %1").arg(holder->pid())
                                                   : QStringLiteral("this process")),
                 qPrintable(refused.reason));
        QVERIFY(refused.repairs.isEmpty() && refused.failures.isEmpty());
        QCOMPARE(summary(refused.findings), (QStringList{"folder-in-use:info", "id-sequence-behind:error"}));
        QCOMPARE(folderContents(m_dir), before);
        QCOMPARE(ZqFolderLock::isHeld(m_dir), !elsewhere);
    }

    // Each row: the healthy folder, then files written by hand; the repairs
    // made, in order, the files they change (each with one backup of its
    // former content, unless it did not exist), the files they remove and
    // the findings after the repairs.
    void repairs_data()
    {
        QTest::addColumn<QVariantMap>("files");
        QTest::addColumn<QStringList>("repairs");
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("after"); // "id:severity"
        const QByteArray trend = "1,%&a,%&D:/s/a.py,%&趋势,%&,%&0\n2,%&a_1,%&D:/s/a.py,%&趋势,%&,%&1\n";
        const QByteArray momentum = Record1 + Record2 + "9,%&t,%&D:/s/t.py,%&动量,%&,%&0\n";
        const QByteArray pendingDelete = R"({"operation":"delete","group":"趋势","withStrategies":true})" "\n";
        const QString journalCopy = Layout::PendingJournalFile + QStringLiteral(".a1B2c3");
        const QStringList none;
        QTest::newRow("id sequence behind") << put(IdSequenceFile, "1\n") << QStringList{"id-sequence-behind"}
                                            << QStringList{IdSequenceFile} << none << none;
        QTest::newRow("id sequence missing") << QVariantMap{{IdSequenceFile, QVariant()}} << QStringList{"id-sequence-behind"}
                                             << QStringList{IdSequenceFile} << none << none;
        QTest::newRow("default group missing") << QVariantMap{{DataFile, trend}, {GroupsFile, QByteArray("趋势;1000")}}
                                               << QStringList{"groups-file-no-default-group"} << QStringList{GroupsFile}
                                               << none << none;
        QTest::newRow("group named by records missing")
            << QVariantMap{{DataFile, momentum}, {IdSequenceFile, QByteArray("9\n")}} << QStringList{"data-file-missing-group"}
            << QStringList{GroupsFile} << none << none;
        QTest::newRow("leftover temporary files")
            << QVariantMap{{DataFile + ".Zz9y8X", QByteArray("partial")}, {journalCopy, QByteArray("{")}}
            << QStringList{"stale-temporary-files", "stale-temporary-files"} << none
            << QStringList{journalCopy, DataFile + ".Zz9y8X"} << none;
        QTest::newRow("group change waiting: the groups file is left to the next start")
            << QVariantMap{{DataFile, trend}, {GroupsFile, QByteArray("趋势;1000")}, {ChangeRecord, pendingDelete}}
            << none << none << none << QStringList{"group-change-pending:warning", "groups-file-no-default-group:warning"};
        QTest::newRow("everything at once")
            << QVariantMap{{DataFile, momentum}, {GroupsFile, QByteArray("趋势;1000")}, {IdSequenceFile, QByteArray("2\n")},
                           {DataFile + ".Zz9y8X", QByteArray("partial")}}
            << QStringList{"id-sequence-behind", "groups-file-no-default-group", "data-file-missing-group",
                           "stale-temporary-files"}
            << QStringList{IdSequenceFile, GroupsFile} << QStringList{DataFile + ".Zz9y8X"} << none;
    }

    void repairs()
    {
        QFETCH(QVariantMap, files);
        QFETCH(QStringList, repairs);
        QFETCH(QStringList, changed);
        QFETCH(QStringList, removed);
        QFETCH(QStringList, after);
        QVERIFY(makeHealthyFolder());
        QVERIFY(applyFiles(m_dir, files));
        const QMap<QString, QByteArray> before = folderContents(m_dir);
        QStringList fixes;
        for (const DoctorFinding &f : checkInstallation(m_dir))
            fixes << (f.fix.isEmpty() ? QString() : f.id);

        const DoctorFixResult fixed = fixInstallation(m_dir);
        QCOMPARE(fixed.outcome, DoctorFixResult::Fixed);
        QCOMPARE(fixed.failures, QStringList());
        QStringList made;
        for (const DoctorRepair &repair : fixed.repairs) {
            made.append(repair.id);
            QVERIFY2(fixes.contains(repair.id), qPrintable(repair.id)); // a repair answers a finding's fix
            QVERIFY(!repair.action.isEmpty() && repair.path.startsWith(m_dir + QLatin1Char('/')));
        }
        QCOMPARE(made, repairs);
        QCOMPARE(summary(fixed.findings), after);
        QVERIFY(!ZqFolderLock::isHeld(m_dir));

        // Each changed file that existed has one backup of its former
        // content, named in its repair; nothing else changed.
        QMap<QString, QByteArray> now = folderContents(m_dir, {ZqFolderLock::FileName});
        for (const QString &path : changed) {
            QVERIFY2(now.value(path) != before.value(path), qPrintable(path));
            const QStringList backups = now.keys().filter(
                QRegularExpression("^" + QRegularExpression::escape(path) + "\\.bak-\\d{8}-\\d{6}(-\\d+)?$"));
            for (const DoctorRepair &repair : fixed.repairs) {
                if (repair.path == file(path))
                    QCOMPARE(repair.backup, before.contains(path) ? file(backups.value(0)) : QString());
            }
            QCOMPARE(backups.size(), before.contains(path) ? 1 : 0);
            if (before.contains(path))
                QCOMPARE(now.take(backups.first()), before.value(path));
            now.remove(path);
        }
        QMap<QString, QByteArray> kept = before;
        kept.remove(ZqFolderLock::FileName);
        for (const QString &path : changed + removed)
            kept.remove(path);
        QCOMPARE(now, kept);

        // What the repairs are for: new strategies get new ids, strategies
        // can go to the default group, and the records' groups exist.
        const QByteArray groups = readFile(file(GroupsFile));
        if (made.contains("groups-file-no-default-group"))
            QVERIFY2(groups.endsWith(",默认分组;-1"), groups.constData());
        if (made.contains("data-file-missing-group"))
            QVERIFY2(groups.startsWith("动量;"), groups.constData());
        if (made.contains("id-sequence-behind")) {
            const qint64 highest = files.value(DataFile).isValid() ? 9 : 2;
            QCOMPARE(InterProcIdService::instance().getId(QLatin1String(Layout::IdService)), highest + 1);
        }
    }

    // In a folder that cannot be written, a repair that cannot be written
    // leaves its file as it was and is listed with its reason; without the
    // lock file of an earlier holder, the folder cannot even be taken.
    void readOnlyFolder_data()
    {
        QTest::addColumn<bool>("lockFile");
        QTest::newRow("held before") << true;
        QTest::newRow("never held") << false;
    }
    void readOnlyFolder()
    {
        QFETCH(bool, lockFile);
        QVERIFY(makeHealthyFolder());
        QVERIFY(writeFile(file(IdSequenceFile), "1\n"));
        QVERIFY(lockFile || QFile::remove(file(ZqFolderLock::FileName)));
        const QMap<QString, QByteArray> before = folderContents(m_dir);
        ReadOnlyFolder frozen(m_dir);
        if (!frozen.isValid())
            QSKIP("this process may not mount a read-only folder");
        QCOMPARE(summary(checkInstallation(m_dir)),
                 (QStringList{"folder-not-writable:error", "folder-not-writable:error", "folder-not-writable:error",
                              "id-sequence-behind:error"}));
        const DoctorFixResult fixed = fixInstallation(m_dir);
        QCOMPARE(fixed.outcome, lockFile ? DoctorFixResult::Fixed : DoctorFixResult::Failed);
        QVERIFY(fixed.repairs.isEmpty());
        if (lockFile) {
            QCOMPARE(fixed.failures.size(), 1);
            QVERIFY2(fixed.failures.first().startsWith("id-sequence-behind: "), qPrintable(fixed.failures.first()));
        } else {
            QVERIFY(fixed.failures.isEmpty() && !fixed.reason.isEmpty());
        }
        QVERIFY(summary(fixed.findings).contains("id-sequence-behind:error"));
        QCOMPARE(folderContents(m_dir), before);
    }

    // strategyctl doctor on a folder strategyctl made: no finding, no file
    // changed. With --fix while another process holds the folder: 3,
    // nothing changed; waiting for it as every command does given time,
    // then 0 with the repairs; 3 when a repair cannot be written.
    void strategyctlDoctor()
    {
        CHECK_EXIT(ctl(m_dir, {"strategy", "add", "D:/s/a.py", "a", "--count", "2"}), 0);
        const QMap<QString, QByteArray> healthy = folderContents(m_dir);
        const ProcessResult text = ctl(m_dir, {"doctor"});
        CHECK_EXIT(text, 0);
        QCOMPARE(text.outText(), QStringLiteral("0 errors, 0 warnings, 0 notes\n"));
        QCOMPARE(folderContents(m_dir), healthy);

        QVERIFY(writeFile(file(IdSequenceFile), "1\n"));
        QVERIFY(writeFile(file(DataFile + ".Zz9y8X"), "partial"));
        Holder holder(QStringLiteral("folderholder"), m_dir, "held\n");
        QVERIFY(holder.isReady());
        const QMap<QString, QByteArray> before = folderContents(m_dir);
        const ProcessResult refused = ctl(m_dir, {"--json", "--wait", "0", "doctor", "--fix"});
        CHECK_EXIT(refused, 3);
        QCOMPARE(report(refused).value("error").toObject().value("kind").toString(), QStringLiteral("busy"));
        QVERIFY2(refused.errText().contains(QStringLiteral("in use by pid %1").arg(holder.pid())),
                 qPrintable(refused.describe()));
        QCOMPARE(folderContents(m_dir), before);

        QProcess waiting;
        waiting.setProcessEnvironment(folderEnvironment());
        waiting.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", m_dir, "--json", "--wait", "60", "doctor", "--fix"});
        // Still waiting while the folder is held; done once it is let go.
        QVERIFY(waiting.waitForStarted() && !waiting.waitForFinished(300));
        QVERIFY(holder.release());
        QVERIFY(waiting.waitForFinished(30000));
        QCOMPARE(waiting.exitCode(), 0);
        const QJsonObject answer = QJsonDocument::fromJson(waiting.readAllStandardOutput()).object();
        QCOMPARE(answer.value("errors").toInt(-1), 0);
        QStringList fixed;
        for (const QJsonValue &repair : answer.value("fixed").toArray())
            fixed << repair.toObject().value("id").toString();
        QCOMPARE(fixed, (QStringList{"id-sequence-behind", "stale-temporary-files"}));

        QVERIFY(writeFile(file(IdSequenceFile), "1\n"));
        ReadOnlyFolder frozen(m_dir);
        if (!frozen.isValid())
            QSKIP("this process may not mount a read-only folder");
        const ProcessResult unwritable = ctl(m_dir, {"--json", "doctor", "--fix"});
        CHECK_EXIT(unwritable, 3);
        QCOMPARE(report(unwritable).value("fixed").toArray(), QJsonArray());
        QCOMPARE(report(unwritable).value("notFixed").toArray().size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_Doctor)
#include "tst_doctor.moc"
