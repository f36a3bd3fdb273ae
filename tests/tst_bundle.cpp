// Bundles on the plug-in: the plans and outcomes of imports into a seeded
// state (refusals, dry runs, merges, replaces, stops part way), export ->
// import -> export, and the files an import or an export leaves. The check
// of a document's text on its own is tst_bundledocument's.
// One plug-in object serves every case: each case empties its strategies,
// groups, locks and remembered values first, and uses instance ids of its
// own (the plug-in removes no instance).

#include "bundlesample.h"
#include "testsupport.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategybundle.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>

#include <QtTest> // with QtCore: QJsonDocument

#include <thread>

using StrategyLogic::BundleAction;
using StrategyLogic::BundleExportResult;
using StrategyLogic::BundleImportMode;
using StrategyLogic::BundleImportResult;

Q_DECLARE_METATYPE(BundleImportMode)

namespace {
// "pointer|action|detail" of each change, with the times of backups and the
// installation folder written as <time> and <home>.
QStringList rows(const QList<StrategyLogic::BundleChange> &changes)
{
    static const QRegularExpression backupTime(QStringLiteral("\\.bak-\\d{8}-\\d{6}(-\\d+)?"));
    QStringList list;
    for (const StrategyLogic::BundleChange &change : changes) {
        QString detail = change.detail;
        detail.replace(ZqApplicationDir::path(), QStringLiteral("<home>")).replace(backupTime, ".bak-<time>");
        list << QStringList{change.pointer, StrategyLogic::bundleActionName(change.action), detail}.join('|');
    }
    return list;
}

QJsonObject parsed(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(text, &error).object();
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << error.errorString() << text;
    return object;
}

// The instances and days of a bundle whose ids are in `ids`: those of one
// case among what earlier cases left.
QJsonObject withInstances(QJsonObject doc, const QStringList &ids)
{
    for (const char *key : {"instances", "backtestDays"}) {
        QJsonArray kept;
        for (const QJsonValue &value : doc.value(QLatin1String(key)).toArray()) {
            if (ids.contains(value.toObject().value(QStringLiteral("instanceId")).toString()))
                kept.append(value);
        }
        doc.insert(QLatin1String(key), kept);
    }
    return doc;
}

// A bundle without what an import does not carry over: the ids of the fixed
// strategies and the time of the export.
QJsonObject comparable(QJsonObject doc)
{
    doc.remove(QStringLiteral("exportedAt"));
    QJsonArray strategies;
    for (const QJsonValue &value : doc.value(QStringLiteral("fixedStrategies")).toArray()) {
        QJsonObject strategy = value.toObject();
        strategy.remove(QStringLiteral("id"));
        strategies.append(strategy);
    }
    doc.insert(QStringLiteral("fixedStrategies"), strategies);
    return doc;
}
} // namespace

class tst_Bundle : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QTemporaryDir m_files; // bundle files, outside the installation folder
    StrategyFileLogicHandler &f = StrategyFileLogicHandler::instance();
    int m_cases = 0;

    StrategyLogic::InstallationFiles files() const
    {
        return StrategyLogic::installationFiles(ZqApplicationDir::path(), f.getCurUserId());
    }

    // An instance id no earlier case used.
    QString newInstanceId() { return QString::number(20000 + 100 * ++m_cases); }

    // No fixed strategies, no user groups, no locks, no remembered values.
    bool reset()
    {
        for (const FixedStrategyInfo &info : f.getFixedStrategyList())
            f.delFixedStrategyInfoByFilePath(info.filePath);
        for (const SarvekGroupInfo &group : f.getAllStrategyGroups()) {
            if (group.name != StrategyLogic::defaultGroupName())
                f.deleteGroup(group.name, true);
        }
        for (const QString &lock : f.getLockedFileList())
            f.changeFileLockState(lock, false);
        f.setLastProduct(QString());
        f.setLastFundaccount(QString());
        f.setPYInstallPath(QString());
        return f.getFixedStrategyList().isEmpty() && f.getAllStrategyGroups().size() == 1
            && f.getLockedFileList().isEmpty() && f.getLastProduct().isEmpty() && f.getPYInstallPath().isEmpty();
    }

    // Applies the steps of a seed, one per text: "group NAME", "strategy
    // PATH|NAME|GROUP|EXTRA|COUNT", "lock PATH", "instance
    // ID|MODE|ACCOUNT[|REG[|START|END]]", "day ID|DATE|INITIAL|END",
    // "product P", "python P".
    bool seed(const QStringList &steps)
    {
        bool ok = true;
        for (const QString &step : steps) {
            const int space = step.indexOf(QLatin1Char(' '));
            const QString what = step.left(space);
            const QStringList v = step.mid(space + 1).split(QLatin1Char('|'));
            if (what == QLatin1String("group"))
                ok = f.addGroup(v.at(0)).isEmpty() && ok;
            else if (what == QLatin1String("strategy"))
                ok = f.addFixedStrategy(v.at(0), v.at(1), v.at(2), v.at(3), v.at(4).toInt()) && ok;
            else if (what == QLatin1String("lock"))
                ok = f.changeFileLockState(v.at(0), true) && ok;
            else if (what == QLatin1String("instance")) {
                ok = f.addInstanceRunMode(v.at(0), v.at(1).toInt(), v.at(2), v.value(3)) && ok;
                if (v.size() > 4)
                    ok = f.setInstanceStartEndTime(v.at(0), QDateTime::fromString(v.at(4), Qt::ISODateWithMs),
                                                   QDateTime::fromString(v.at(5), Qt::ISODateWithMs)) && ok;
            } else if (what == QLatin1String("day")) {
                f.addBackTestInitCashInfo(v.at(0), QDate::fromString(v.at(1), Qt::ISODate), v.at(2).toDouble());
                f.addBackTestInitCashEndInfo(v.at(0), QDate::fromString(v.at(1), Qt::ISODate), v.at(3).toDouble());
            } else if (what == QLatin1String("product"))
                f.setLastProduct(v.at(0));
            else if (what == QLatin1String("python"))
                f.setPYInstallPath(v.at(0));
            else
                ok = false;
        }
        return ok;
    }

    // "#1", "#2", ... in `text` become the ids of the fixed strategies there
    // now, in ascending id.
    QString withIds(QString text) const
    {
        const QList<FixedStrategyInfo> list = f.getFixedStrategyList();
        for (int i = list.size(); i >= 1; --i)
            text.replace(QStringLiteral("#%1").arg(i), QString::number(list.at(i - 1).id));
        return text;
    }

    // What an import can change, one line each; `instanceIds` are the case's.
    QStringList state(const QStringList &instanceIds)
    {
        QStringList lines;
        for (const FixedStrategyInfo &info : f.getFixedStrategyList())
            lines << QStringList{"strategy " + info.name, info.filePath, info.group, info.extraInfo,
                                 QString::number(info.copyIndex)}
                         .join('|');
        for (const SarvekGroupInfo &group : f.getAllStrategyGroups()) {
            const QDateTime created = QDateTime::fromSecsSinceEpoch(group.createTime);
            // Times of the bundle are of 2020; a group made by the case has its own.
            const QString time = group.createTime == -1 ? QStringLiteral("none")
                : created.date().year() == 2020         ? created.toString(Qt::ISODate)
                                                        : QStringLiteral("its own");
            lines << QStringLiteral("group %1 %2").arg(group.name, time);
        }
        for (const QString &lock : f.getLockedFileList())
            lines << QStringLiteral("lock ") + lock;
        for (const QString &id : instanceIds) {
            const InstanceInfo instance = f.getInstanceInfo(id);
            if (!instance.instanceId.isEmpty())
                lines << QStringList{QStringLiteral("instance"), QString::number(instance.runMode), instance.fundAccount,
                                     instance.returnRegInfo, instance.startTime.toString(Qt::ISODate),
                                     instance.endTime.toString(Qt::ISODate)}
                             .join('|');
            QList<BackTestCashInfo> days;
            f.queryBackTestCashInfo(id, days);
            for (const BackTestCashInfo &day : qAsConst(days))
                lines << QStringLiteral("day %1|%2|%3")
                             .arg(day.date.toString(Qt::ISODate), QString::number(day.initialFunds, 'g', 17),
                                  QString::number(day.endFunds, 'g', 17));
        }
        lines << QStringLiteral("product ") + f.getLastProduct() << QStringLiteral("fund account ") + f.getLastFundaccount()
              << QStringLiteral("python ") + f.getPYInstallPath();
        return lines;
    }

    // Everything an import could change, as bytes: the export without its
    // time, and the user's two files.
    QByteArray snapshot()
    {
        QJsonObject doc = parsed(StrategyLogic::bundleText());
        doc.remove(QStringLiteral("exportedAt"));
        return QJsonDocument(doc).toJson() + readFile(files().dataFile) + readFile(files().groupsFile);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY2(m_files.isValid(), qPrintable(m_files.errorString()));
        // Before the plug-in starts, nothing is read or written.
        const QString target = m_files.filePath(QStringLiteral("early.json"));
        const BundleExportResult early = StrategyLogic::exportBundle(target);
        QCOMPARE(early.outcome, BundleExportResult::NotInitialised);
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(StrategyLogic::bundleText().isEmpty());
        QCOMPARE(StrategyLogic::importBundleText(BaseBundle).outcome, BundleImportResult::NotInitialised);

        f.initialize();
        QVERIFY(f.isInitialized());
    }
    void cleanupTestCase() { f.exit(); }

    void plans_data()
    {
        QTest::addColumn<QStringList>("seed");
        QTest::addColumn<QByteArray>("bundle");
        QTest::addColumn<BundleImportMode>("mode");
        QTest::addColumn<QStringList>("plan");   // "pointer|action|detail"
        QTest::addColumn<QStringList>("after");  // state() after the import
        QTest::addColumn<bool>("twiceAddsNothing");

        const QStringList baseAdded{"/instances/0|add|instance 1024 with its times",
                                    "/backtestDays/0|add|the day 2026-12-01 of instance 1024",
                                    "/lastProduct|set|the product P001", "/lastFundAccount|set|the fund account 880001",
                                    "/pythonPath|set|the Python path C:/Python311"};
        const QStringList baseState{"instance|2|880001|ok|2026-12-01T09:30:00|2026-12-01T15:00:00",
                                    "day 2026-12-01|100000|101000.5", "product P001", "fund account 880001",
                                    "python C:/Python311"};

        QTest::newRow("into an empty folder")
            << QStringList() << BaseBundle << BundleImportMode::Merge
            << QStringList{"/groups/0|add|group 趋势", "/groups/1|keep|group 默认分组 is there already",
                           "/fixedStrategies/0|add|abc (D:/s/abc.py, group 趋势)",
                           "/fixedStrategies/1|add|abc_1 (D:/s/abc.py, group 默认分组)", "/locks/0|add|lock D:/s/abc.py"}
                   + baseAdded
            << QStringList{"strategy abc|D:/s/abc.py|趋势||0", "strategy abc_1|D:/s/abc.py|默认分组|note|1",
                           "group 趋势 2020-12-01T09:00:00", "group 默认分组 none", "lock D:/s/abc.py"}
                   + baseState
            << true;

        QTest::newRow("merge keeps what is there")
            << QStringList{"group 趋势", "strategy D:/s/abc.py|abc|趋势||1", "instance 1024|1|990001",
                           "day 1024|2026-12-01|5|6", "product P002"}
            << BaseBundle << BundleImportMode::Merge
            << QStringList{"/groups/0|keep|group 趋势 is there already", "/groups/1|keep|group 默认分组 is there already",
                           "/fixedStrategies/0|keep|abc (D:/s/abc.py) is there already as fixed strategy #1",
                           "/fixedStrategies/1|add|abc_1 (D:/s/abc.py, group 默认分组)", "/locks/0|add|lock D:/s/abc.py",
                           "/instances/0|keep|instance 1024 is there already; kept as it is",
                           "/backtestDays/0|keep|the day 2026-12-01 of instance 1024 is there already; kept as it is",
                           "/lastProduct|keep|the product stays P002", "/lastFundAccount|set|the fund account 880001",
                           "/pythonPath|set|the Python path C:/Python311"}
            << QStringList{"strategy abc|D:/s/abc.py|趋势||0", "strategy abc_1|D:/s/abc.py|默认分组|note|1",
                           "group 趋势 its own", "group 默认分组 none", "lock D:/s/abc.py", "instance|1|990001|||",
                           "day 2026-12-01|5|6", "product P002", "fund account 880001", "python C:/Python311"}
            << true;

        // A name the file has takes the plug-in's default name, also against
        // names given earlier in the same bundle.
        QByteArray clashes = BaseBundle;
        const int start = clashes.indexOf("{\"id\": 17");
        clashes.replace(start, clashes.indexOf("\n    ],", start) - start, QByteArray(R"(
{"id": 1, "name": "abc", "filePath": "D:/s/abc.py", "group": "默认分组", "extraInfo": "", "copyIndex": 0},
{"id": 2, "name": "abc", "filePath": "D:/s/abc.py", "group": "默认分组", "extraInfo": "x", "copyIndex": 0},
{"id": 3, "name": "abc2", "filePath": "D:/s/abc.py", "group": "默认分组", "extraInfo": "", "copyIndex": 0},
{"id": 4, "name": "abc", "filePath": "D:/t/abc.py", "group": "默认分组", "extraInfo": "", "copyIndex": 0},
{"id": 5, "name": "abc1", "filePath": "D:/s/abc.py", "group": "默认分组", "extraInfo": "", "copyIndex": 1})"));
        QTest::newRow("merge renames what clashes")
            << QStringList{"strategy D:/s/abc.py|abc|默认分组||1", "strategy D:/s/abc.py|abc1|默认分组||1"} << clashes
            << BundleImportMode::Merge
            << QStringList{"/groups/0|add|group 趋势", "/groups/1|keep|group 默认分组 is there already",
                           "/fixedStrategies/0|keep|abc (D:/s/abc.py) is there already as fixed strategy #1",
                           "/fixedStrategies/1|rename|abc as abc2 (D:/s/abc.py, group 默认分组): the file has a fixed "
                           "strategy named abc",
                           "/fixedStrategies/2|rename|abc2 as abc3 (D:/s/abc.py, group 默认分组): the file has a fixed "
                           "strategy named abc2",
                           "/fixedStrategies/3|add|abc (D:/t/abc.py, group 默认分组)",
                           "/fixedStrategies/4|rename|abc1 as abc4 (D:/s/abc.py, group 默认分组): the file has a fixed "
                           "strategy named abc1",
                           "/locks/0|add|lock D:/s/abc.py"}
                   + baseAdded
            << QStringList{"strategy abc|D:/s/abc.py|默认分组||0",   "strategy abc1|D:/s/abc.py|默认分组||0",
                           "strategy abc2|D:/s/abc.py|默认分组|x|0", "strategy abc3|D:/s/abc.py|默认分组||0",
                           "strategy abc|D:/t/abc.py|默认分组||0",   "strategy abc4|D:/s/abc.py|默认分组||1",
                           "group 趋势 2020-12-01T09:00:00",         "group 默认分组 none",
                           "lock D:/s/abc.py"}
                   + baseState
            << false;
        // The user groups the bundle lists stay, with their creation times.
        QTest::newRow("replace leaves the groups not listed out")
            << QStringList{"group 旧组", "group 趋势", "strategy D:/old.py|old|旧组||1", "lock D:/s/abc.py"} << BaseBundle
            << BundleImportMode::Replace
            << QStringList{"|backup|<home>/work/demo01/SarvekFixStrategy.dat copied to "
                           "<home>/work/demo01/SarvekFixStrategy.dat.bak-<time>",
                           "|backup|<home>/work/demo01/SarvekFixedStrategyGroups.txt copied to "
                           "<home>/work/demo01/SarvekFixedStrategyGroups.txt.bak-<time>",
                           "|remove|fixed strategy #1 old (D:/old.py)", "|remove|group 旧组",
                           "/groups/0|keep|group 趋势 is there already", "/groups/1|keep|group 默认分组 is there already",
                           "/fixedStrategies/0|add|abc (D:/s/abc.py, group 趋势)",
                           "/fixedStrategies/1|add|abc_1 (D:/s/abc.py, group 默认分组)",
                           "/locks/0|keep|D:/s/abc.py is locked already"}
                   + baseAdded
            << QStringList{"strategy abc|D:/s/abc.py|趋势||0", "strategy abc_1|D:/s/abc.py|默认分组|note|1",
                           "group 趋势 its own", "group 默认分组 none", "lock D:/s/abc.py"}
                   + baseState
            << false;
    }

    // The dry run shows what the import then does, and changes nothing; the
    // import does it; importing once more adds nothing.
    void plans()
    {
        QFETCH(QStringList, seed);
        QFETCH(QByteArray, bundle);
        QFETCH(BundleImportMode, mode);
        QFETCH(QStringList, plan);
        QFETCH(QStringList, after);
        QFETCH(bool, twiceAddsNothing);
        const QString id = newInstanceId();
        const auto withId = [&id](QStringList list) { return list.replaceInStrings("1024", id); };
        bundle.replace("1024", id.toUtf8());
        QVERIFY(reset());
        QVERIFY(this->seed(withId(seed)));
        QStringList expectedPlan;
        for (const QString &row : withId(plan))
            expectedPlan << withIds(row);

        const QByteArray before = snapshot();
        const BundleImportResult dry = StrategyLogic::importBundleText(bundle, mode, true);
        QCOMPARE(dry.outcome, BundleImportResult::DryRun);
        QCOMPARE(rows(dry.changes), expectedPlan);
        QCOMPARE(dry.mode, mode);
        QVERIFY(dry.backups.isEmpty());
        QCOMPARE(snapshot(), before);

        const BundleImportResult done = StrategyLogic::importBundleText(bundle, mode);
        QCOMPARE(done.outcome, BundleImportResult::Applied);
        QCOMPARE(rows(done.changes), expectedPlan);
        QCOMPARE(done.message, QString());
        QCOMPARE(state({id}), withId(after));
        QCOMPARE(done.backups.size(), mode == BundleImportMode::Replace ? 2 : 0);

        if (twiceAddsNothing) {
            const QByteArray imported = snapshot();
            const BundleImportResult again = StrategyLogic::importBundleText(bundle, mode, false, "b.json");
            QCOMPARE(again.outcome, BundleImportResult::NothingToChange);
            QCOMPARE(again.message, QStringLiteral("the data folder holds everything of b.json already"));
            QCOMPARE(snapshot(), imported);
        }
    }

    void refusedImportsChangeNothing_data()
    {
        QTest::addColumn<QStringList>("seed");
        QTest::addColumn<QByteArray>("from"); // as changed() takes them
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QStringList>("problems");
        QTest::addColumn<bool>("replaceToo"); // --replace removes the user's strategies first

        // The document's own problems (tst_bundledocument has them all).
        QTest::newRow("not JSON") << QStringList{"strategy D:/s/abc.py|abc|默认分组||1"}
                                  << QByteArray("\"version\": 1,") << QByteArray("\"version\": 1,,")
                                  << QStringList{": not JSON: a member name expected at line 3, column 18"} << true;
        // What only the data folder shows.
        QTest::newRow("a built-in group it lacks")
            << QStringList() << QByteArray("\"createTime\": null}")
            << QByteArray("\"createTime\": null}, {\"name\": \"自动启动\", \"createTime\": null}")
            << QStringList{"/groups/2/name: 自动启动 is a built-in group, which an import cannot create, and this data "
                           "folder does not have it (it comes with the client's auto-start setting)"}
            << true;
        QTest::newRow("a name taken where the file gives no other")
            << QStringList{"strategy D:/s/.py|abc_1|默认分组||1"}
            << QByteArray("\"filePath\": \"D:/s/abc.py\", \"group\": \"默认分组\"")
            << QByteArray("\"filePath\": \"D:/s/.py\", \"group\": \"默认分组\"")
            << QStringList{"/fixedStrategies/1/name: the name abc_1 is taken for D:/s/.py, whose file name gives no "
                           "other"}
            << false;
    }

    // A bundle that cannot be applied whole is refused, with or without a
    // dry run, with every problem; nothing changes and nothing is backed up.
    void refusedImportsChangeNothing()
    {
        QFETCH(QStringList, seed);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QStringList, problems);
        QFETCH(bool, replaceToo);
        QVERIFY(reset());
        QVERIFY(this->seed(seed));
        const QByteArray document = changed(from, to);
        const QByteArray before = snapshot();
        const QStringList backups = QDir(files().userFolder).entryList({QStringLiteral("*.bak-*")}, QDir::Files);
        for (const bool dryRun : {true, false}) {
            for (const BundleImportMode mode : {BundleImportMode::Merge, BundleImportMode::Replace}) {
                if (mode == BundleImportMode::Replace && !replaceToo) {
                    if (dryRun)
                        QCOMPARE(StrategyLogic::importBundleText(document, mode, true).outcome,
                                 BundleImportResult::DryRun);
                    continue;
                }
                const BundleImportResult result = StrategyLogic::importBundleText(document, mode, dryRun, "bad.json");
                QCOMPARE(result.outcome, BundleImportResult::Refused);
                QCOMPARE(described(result.problems), problems);
                QCOMPARE(result.message, QStringLiteral("bad.json cannot be imported (1 problem); nothing was changed"));
                QVERIFY(result.changes.isEmpty() && result.backups.isEmpty());
            }
        }
        QCOMPARE(snapshot(), before);
        QCOMPARE(QDir(files().userFolder).entryList({QStringLiteral("*.bak-*")}, QDir::Files), backups);
    }

    // Export to a file, import it into an emptied folder, export again: the
    // same state, and the same document but for what an import does not
    // carry over; importing it once more adds nothing. The state holds what
    // is awkward to carry: quotes and blanks, Chinese, several copies of one
    // file, times with milliseconds, an id that is no number, fractional and
    // negative amounts, days of an instance never registered. The import
    // takes the instances under ids of its own (the plug-in removes none).
    void roundTrip()
    {
        QVERIFY(reset());
        const QString id = newInstanceId();
        const QString moved = newInstanceId();
        const QStringList ids{id, "bt-" + id, "7" + id};
        QVERIFY(seed({"group 趋势", "group it's %&", "strategy D:/策略/均线.py|均线策略|趋势|备注 it's|3",
                      "strategy C:\\q\\x.py|a b|it's %&|%&|1", "lock D:/it's/a.b.py", "lock D:/策略/均线.py",
                      "instance " + id + "|2|880001|注册 it's ok|2026-11-10T09:30:00|2026-11-10T15:00:00.250",
                      "instance bt-" + id + "|1||", "day " + id + "|2026-11-02|-12345.67|5000000",
                      "day 7" + id + "|2026-11-03|0.1|0.3", "product P003", "python C:/Python 3.11"}));
        const QStringList before = state(ids);
        const QString path = m_files.filePath(QStringLiteral("round.json"));
        const BundleExportResult written = StrategyLogic::exportBundle(path);
        QCOMPARE(written.outcome, BundleExportResult::Written);
        QCOMPARE(written.file, path);
        QCOMPARE(written.message, QString());
        QCOMPARE(described(StrategyLogic::checkBundle(readFile(path))), QStringList());
        // The file is the export's text, and says how much it holds.
        const QJsonObject exported = parsed(readFile(path));
        QCOMPARE(comparable(exported), comparable(parsed(StrategyLogic::bundleText())));
        QCOMPARE((QList<int>{written.fixedStrategies, written.groups, written.locks, written.instances,
                             written.backtestDays}),
                 (QList<int>{4, 3, 2, exported.value("instances").toArray().size(),
                             exported.value("backtestDays").toArray().size()}));

        const QByteArray text = QJsonDocument(withInstances(exported, ids)).toJson().replace(id.toUtf8(), moved.toUtf8());
        const QString movedFile = m_files.filePath(QStringLiteral("moved.json"));
        QVERIFY(writeFile(movedFile, text));
        QVERIFY(reset());
        const BundleImportResult imported = StrategyLogic::importBundle(movedFile);
        QCOMPARE(imported.outcome, BundleImportResult::Applied);
        QCOMPARE(imported.file, movedFile);
        QVERIFY2(!rows(imported.changes).join('\n').contains("|rename|"), qPrintable(rows(imported.changes).join('\n')));
        const QStringList movedIds = QStringList(ids).replaceInStrings(id, moved);
        QCOMPARE(state(movedIds), before);
        QCOMPARE(comparable(withInstances(parsed(StrategyLogic::bundleText()), movedIds)), comparable(parsed(text)));

        const QByteArray again = snapshot();
        QCOMPARE(StrategyLogic::importBundle(movedFile).outcome, BundleImportResult::NothingToChange);
        QCOMPARE(snapshot(), again);
    }

    // Instances in the plug-in's listing order: ids that are numbers first,
    // in numeric order, then the others; the days by instance, also of an
    // instance never registered, and by date.
    void exportListsInstancesInOrder()
    {
        QVERIFY(reset());
        QVERIFY(seed({"instance x-31|1|", "instance 200|0|", "instance 31|2|", "day 200|2026-12-02|1|2",
                      "day 45|2026-12-01|3|4", "day 31|2026-12-03|5|6", "day 31|2026-12-01|7|8"}));
        const QJsonObject doc = withInstances(parsed(StrategyLogic::bundleText()), {"x-31", "200", "31", "45"});
        QStringList instances;
        for (const QJsonValue &value : doc.value("instances").toArray())
            instances << value.toObject().value("instanceId").toString();
        QCOMPARE(instances, (QStringList{"31", "200", "x-31"}));
        QStringList days;
        for (const QJsonValue &value : doc.value("backtestDays").toArray())
            days << value.toObject().value("instanceId").toString() + ' ' + value.toObject().value("date").toString();
        QCOMPARE(days, (QStringList{"31 2026-12-01", "31 2026-12-03", "45 2026-12-01", "200 2026-12-02"}));
    }

    void exportFailures_data()
    {
        QTest::addColumn<QString>("target"); // in the bundle folder
        QTest::addColumn<qint64>("sizeLimit"); // of the files this process writes; 0: none
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder") << "." << qint64(0) << "Filename refers to a directory";
        QTest::newRow("missing folder") << "none/bundle.json" << qint64(0) << "No such file or directory";
        QTest::newRow("full disk") << "full.json" << qint64(200) << "File too large";
    }

    // A bundle that cannot be written leaves a file that was there as it
    // was, no temporary file beside it, and no folder made.
    void exportFailures()
    {
        QFETCH(QString, target);
        QFETCH(qint64, sizeLimit);
        QFETCH(QString, reason);
        QVERIFY(reset());
        QVERIFY(seed({"strategy D:/s/a-long-name-for-a-strategy.py|s|默认分组||3"}));
        const QString path = QDir::cleanPath(m_files.filePath(target));
        if (sizeLimit)
            QVERIFY(writeFile(path, "old\n"));
        BundleExportResult result;
        {
            std::unique_ptr<FileSizeLimit> limit(sizeLimit ? new FileSizeLimit(sizeLimit) : nullptr);
            result = StrategyLogic::exportBundle(path);
        }
        QCOMPARE(result.outcome, BundleExportResult::NotWritten);
        QCOMPARE(result.message, QStringLiteral("cannot write %1: %2").arg(path, reason));
        QVERIFY(!QFileInfo::exists(m_files.filePath(QStringLiteral("none"))));
        if (sizeLimit) {
            QCOMPARE(readFile(path), QByteArray("old\n"));
            QCOMPARE(QDir(m_files.path()).entryList({QFileInfo(path).fileName() + ".*"}), QStringList());
        }
    }

    // --replace copies the data file and the groups file whole to dated
    // backups of one time before it changes anything. Another replace keeps
    // backups of its own.
    void replaceKeepsWholeDatedBackups()
    {
        QVERIFY(reset());
        QVERIFY(seed({"group 旧组", "strategy D:/old.py|old|旧组||2"}));
        const QDir work(files().userFolder);
        const QStringList earlier = work.entryList({QStringLiteral("*.bak-*")}, QDir::Files);
        static const QRegularExpression dated(QStringLiteral("^\\.bak-\\d{8}-\\d{6}(-\\d+)?$"));
        QStringList times;
        for (int round = 1; round <= 2; ++round) {
            const QByteArray data = readFile(files().dataFile);
            const QByteArray groups = readFile(files().groupsFile);
            QVERIFY(!data.isEmpty() && !groups.isEmpty());
            const BundleImportResult result = StrategyLogic::importBundleText(
                QByteArray(BaseBundle).replace("1024", newInstanceId().toUtf8()), BundleImportMode::Replace);
            QCOMPARE(result.outcome, BundleImportResult::Applied);
            QCOMPARE(result.backups.size(), 2);
            QCOMPARE(readFile(result.backups.at(0)), data);
            QCOMPARE(readFile(result.backups.at(1)), groups);
            const QString time = result.backups.at(0).mid(files().dataFile.size());
            QVERIFY2(dated.match(time).hasMatch(), qPrintable(result.backups.at(0)));
            QCOMPARE(result.backups.at(1), files().groupsFile + time);
            QVERIFY(!times.contains(time));
            times << time;
            QCOMPARE(work.entryList({QStringLiteral("*.bak-*")}, QDir::Files).size(), earlier.size() + 2 * round);
        }
    }

    void nothingChangesWhenNotWritable_data()
    {
        QTest::addColumn<bool>("readOnly"); // the user's folder; else no room for a backup
        QTest::addColumn<QString>("message"); // <data> for the data file, <work> for the user's folder
        QTest::newRow("no room for the backups") << false << "cannot back up <data>: File too large; nothing was changed";
        QTest::newRow("read-only user folder") << true << "cannot write in <work>; nothing was changed";
    }

    // A folder or a backup that cannot be written is found before anything
    // changes.
    void nothingChangesWhenNotWritable()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, message);
        QVERIFY(reset());
        QVERIFY(seed({"group 旧组", "strategy D:/old.py|old|旧组||1"}));
        const QByteArray before = snapshot();
        const QStringList backups = QDir(files().userFolder).entryList({QStringLiteral("*.bak-*")}, QDir::Files);
        BundleImportResult result;
        {
            std::unique_ptr<FileSizeLimit> limit(readOnly ? nullptr : new FileSizeLimit(8));
            std::unique_ptr<ReadOnlyFolder> folder(readOnly ? new ReadOnlyFolder(files().userFolder) : nullptr);
            if (folder && !folder->isValid())
                QSKIP("mounting a folder read-only needs root");
            result = StrategyLogic::importBundleText(BaseBundle, BundleImportMode::Replace);
        }
        QCOMPARE(result.outcome, BundleImportResult::NotWritable);
        QCOMPARE(result.message,
                 QString(message).replace("<data>", files().dataFile).replace("<work>", files().userFolder));
        QCOMPARE(snapshot(), before);
        QCOMPARE(QDir(files().userFolder).entryList({QStringLiteral("*.bak-*")}, QDir::Files), backups);
    }

    void stopsPartWay_data()
    {
        QTest::addColumn<QStringList>("seed");
        QTest::addColumn<bool>("groupsFile"); // else the data file is blocked
        QTest::addColumn<QString>("stoppedAt");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("changesBefore");
        QTest::newRow("a group not written") << QStringList() << true << "/groups/0"
                                             << QString::fromUtf8("保存失败：文件无法写入，修改未保存！") << 0;
        QTest::newRow("a strategy not written")
            << QStringList{"group 趋势"} << false << "/fixedStrategies/0"
            << "the fixed strategies from /fixedStrategies/0 on were not stored: the data file could not be written; "
               "the change stays in memory"
            << 2;
    }

    // A file that refuses a change part way stops the import there; what
    // came before stays, the plug-in's reason comes along, and the import's
    // record stays for the next start to finish it.
    void stopsPartWay()
    {
        QFETCH(QStringList, seed);
        QFETCH(bool, groupsFile);
        QFETCH(QString, stoppedAt);
        QFETCH(QString, message);
        QFETCH(int, changesBefore);
        QVERIFY(reset());
        QVERIFY(this->seed(seed));
        const QString blocked = groupsFile ? files().groupsFile : files().dataFile;
        const QString record = files().userFolder + QStringLiteral("/SarvekStrategyImport.redo");
        // A folder in the file's place: every other file can be written.
        QVERIFY((!QFile::exists(blocked) || QFile::remove(blocked)) && QDir().mkdir(blocked));
        const BundleImportResult result
            = StrategyLogic::importBundleText(QByteArray(BaseBundle).replace("1024", newInstanceId().toUtf8()));
        const bool recorded = QFile::exists(record);
        QVERIFY(QDir(blocked).removeRecursively() && QFile::remove(record));
        QCOMPARE(result.outcome, BundleImportResult::Stopped);
        QCOMPARE(result.stoppedAt, stoppedAt);
        QCOMPARE(result.message, message);
        QCOMPARE(result.changes.size(), changesBefore);
        QCOMPARE(result.refusal.code, StrategyLogic::RefusalCode::NotWritable);
        QVERIFY(!result.storageFailed);
        QVERIFY(result.backups.isEmpty());
        QVERIFY(recorded);
    }

    // Only so much is read: a device without end is refused; a file that
    // cannot be read says why.
    void readingTheFile()
    {
        const BundleImportResult endless = StrategyLogic::importBundle(QStringLiteral("/dev/zero"));
        QCOMPARE(endless.outcome, BundleImportResult::Refused);
        QCOMPARE(described(endless.problems), QStringList{": larger than a bundle can be (67108864 bytes)"});
        QCOMPARE(endless.file, QStringLiteral("/dev/zero"));

        const QString missing = m_files.filePath(QStringLiteral("missing.json"));
        const BundleImportResult unreadable = StrategyLogic::importBundle(missing);
        QCOMPARE(unreadable.outcome, BundleImportResult::Unreadable);
        QCOMPARE(unreadable.message, QStringLiteral("cannot read %1: No such file or directory").arg(missing));
    }

    // Imports of one process run one at a time: two at once add the
    // bundle once.
    void importsAtOnceAddOnce()
    {
        QVERIFY(reset());
        const QByteArray bundle = QByteArray(BaseBundle).replace("1024", newInstanceId().toUtf8());
        BundleImportResult results[2];
        std::thread other([&] { results[1] = StrategyLogic::importBundleText(bundle); });
        results[0] = StrategyLogic::importBundleText(bundle);
        other.join();
        QCOMPARE(results[0].outcome == BundleImportResult::Applied ? 1 : 0,
                 results[1].outcome == BundleImportResult::NothingToChange ? 1 : 0);
        QVERIFY(results[0].outcome != results[1].outcome);
        QCOMPARE(f.getFixedStrategyList().size(), 2);
    }

};

QTEST_GUILESS_MAIN(tst_Bundle)
#include "tst_bundle.moc"
