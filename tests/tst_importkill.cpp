// An import is whole or not at all: a process killed at any step of its
// application leaves a data folder that the next start shows as it was
// before the import or as it is after all of it, and a merge run again
// afterwards gives the state of one merge.

#include "testsupport.h"

#include <QtTest>

namespace {
const QByteArray Seed = "group add 趋势\ngroup add 旧组\n"
                        "strategy add D:/s/abc.py abc --group 趋势 --count 2\n"
                        "strategy add D:/s/old.py old --group 旧组\nlock on D:/s/abc.py\n"
                        "instance add 1024 2 --account 880001\ncash day 1024 2026-12-01 100000 101000.5\n";

// Keeps abc (equal to the seed's), adds copies with copy indexes, a group,
// a lock, an instance with its times, a day and two remembered values.
const QByteArray Bundle = R"({"format": "strategylogic-bundle", "version": 1, "exportedAt": "2026-12-07T09:30:00",
"user": "demo01", "fixedStrategies": [
 {"id": 1, "name": "abc", "filePath": "D:/s/abc.py", "group": "趋势", "extraInfo": "", "copyIndex": 0},
 {"id": 2, "name": "n", "filePath": "D:/s/new.py", "group": "新组", "extraInfo": "x", "copyIndex": 0},
 {"id": 3, "name": "n_1", "filePath": "D:/s/new.py", "group": "新组", "extraInfo": "x", "copyIndex": 1},
 {"id": 4, "name": "t", "filePath": "D:/s/t.py", "group": "默认分组", "extraInfo": "", "copyIndex": 3}],
"groups": [{"name": "新组", "createTime": "2026-01-02T03:04:05"}, {"name": "趋势", "createTime": "2026-01-01T00:00:00"},
 {"name": "默认分组", "createTime": null}],
"locks": ["D:/s/new.py"],
"instances": [{"instanceId": "2048", "runMode": 2, "fundAccount": "880002", "returnRegInfo": "ok",
 "startTime": "2026-12-01T09:30:00", "endTime": "2026-12-01T15:00:00"}],
"backtestDays": [{"instanceId": "2048", "date": "2026-12-01", "initialFunds": 100000, "endFunds": 100500.25}],
"lastProduct": "P001", "lastFundAccount": "", "runMode": 0, "pythonPath": "/opt/py"})";

bool copyFolder(const QString &from, const QString &to)
{
    const QMap<QString, QByteArray> files = folderContents(from);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = to + QLatin1Char('/') + it.key();
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !writeFile(path, it.value()))
            return false;
    }
    return true;
}
} // namespace

class tst_ImportKill : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QTemporaryDir m_files;
    int m_folders = 0;

    QString newFolder()
    {
        const QString folder = m_files.filePath(QStringLiteral("f%1").arg(++m_folders));
        return QDir().mkpath(folder) ? folder : QString();
    }
    QString copyOf(const QString &folder)
    {
        const QString copy = newFolder();
        return copyFolder(folder, copy) ? copy : QString();
    }
    // What a start shows of the folder: its export without the time of the
    // export, the fixed strategies' ids as their ranks (ids come from a
    // sequence that every run draws from).
    QString state(const QString &folder)
    {
        const QString file = m_files.filePath(QStringLiteral("state.json"));
        const ProcessResult r = runStrategyctlIn(m_home, folder, {QStringLiteral("export"), file});
        if (r.crashed || r.exitCode != 0)
            return r.describe();
        QJsonObject o = QJsonDocument::fromJson(readFile(file)).object();
        o.remove(QStringLiteral("exportedAt"));
        QJsonArray strategies = o.value(QStringLiteral("fixedStrategies")).toArray();
        for (int i = 0; i < strategies.size(); ++i) {
            QJsonObject s = strategies.at(i).toObject();
            s.insert(QStringLiteral("id"), i + 1);
            strategies.replace(i, s);
        }
        o.insert(QStringLiteral("fixedStrategies"), strategies);
        return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    ProcessResult import(const QString &folder, const QString &mode, int stopAt)
    {
        return runHelper(m_home, QStringLiteral("importstop"),
                         {folder, m_files.filePath(QStringLiteral("bundle.json")), mode, QString::number(stopAt)});
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY(m_files.isValid());
        QVERIFY(writeFile(m_files.filePath(QStringLiteral("bundle.json")), Bundle));
    }

    void killedAtEachStep_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("merge") << "merge";
        QTest::newRow("replace") << "replace";
    }

    void killedAtEachStep()
    {
        QFETCH(QString, mode);
        const QString seeded = newFolder();
        CHECK_EXIT(runStrategyctlIn(m_home, seeded, {QStringLiteral("shell")}, Seed), 0);
        const QString before = state(copyOf(seeded));

        const QString whole = copyOf(seeded);
        const ProcessResult done = import(whole, mode, -1);
        CHECK_EXIT(done, 0);
        const int steps = done.outText().section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(' '), 1).toInt();
        QVERIFY2(steps > 10, qPrintable(done.describe()));
        const QString after = state(whole);
        QVERIFY(after != before);

        int befores = 0;
        int afters = 0;
        for (int k = 0; k < steps; ++k) {
            const QString folder = copyOf(seeded);
            const ProcessResult killed = import(folder, mode, k);
            QVERIFY2(killed.crashed, qPrintable(QStringLiteral("step %1: %2").arg(k).arg(killed.describe())));
            const QString seen = state(folder);
            QVERIFY2(seen == before || seen == after,
                     qPrintable(QStringLiteral("killed at step %1 of %2:\n%3\nbefore:\n%4\nafter:\n%5")
                                    .arg(k).arg(steps).arg(seen, before, after)));
            (seen == before ? befores : afters) += 1;
            QVERIFY(!QFile::exists(folder + QStringLiteral("/work/demo01/SarvekStrategyImport.redo")));
            if (mode == QLatin1String("merge")) {
                // The same merge again: the state of one merge.
                import(folder, mode, -1);
                QCOMPARE(state(folder), after);
            }
        }
        // The record is written after the backups and before any change.
        QCOMPARE(befores, 1);
        QCOMPARE(afters, steps - 1);
    }
};

QTEST_GUILESS_MAIN(tst_ImportKill)
#include "tst_importkill.moc"
