// Strategy groups of the facade: the group operations, their messages, the
// groups file and the auto-start group.
//
// The facade lives once per process: it starts from an empty groups file
// and an empty data file, and each case works on groups and paths of its
// own. The case that renames the default group runs last.

#include <StrategyLogic/strategyfilelogichandler.h>
#include "registry/groupsfile.h"
#include "testsupport.h"

#include <cardelconstants.h>
#include <zcore.h>
#include <zqapplicationdir.h>

#include <QtTest>

#include <unistd.h>

static const QString DefaultGroup = QStringLiteral("默认分组"), AutoStartGroup = QStringLiteral("自动启动");
static const QString BuiltInMessage = QStringLiteral("默认分组/自动启动分组为内置分组名，不允许手工创建！");

class tst_Groups : public QObject
{
    Q_OBJECT
    TestHome home;
    StrategyFileLogicHandler &f = StrategyFileLogicHandler::instance();
    const QString m_dataFile = home.filePath("work/demo01/SarvekFixStrategy.dat");
    const QString m_groupsFile = home.filePath("work/demo01/SarvekFixedStrategyGroups.txt");

    // The groups in the groups file with their creation times (-99: none).
    QMap<QString, qint64> inFile() const
    {
        QMap<QString, qint64> groups;
        for (const QString &entry : QString::fromUtf8(readFile(m_groupsFile)).split(',', Qt::SkipEmptyParts))
            groups.insert(entry.section(';', 0, 0), entry.count(';') == 1 ? entry.section(';', 1).toLongLong() : -99);
        return groups;
    }

    // The groups of the records of `path`: the registry's, then the data file's.
    QStringList groupsOf(const QString &path) const
    {
        QStringList groups;
        for (const FixedStrategyInfo &info : f.getFixedStrategyList())
            groups.append(info.filePath == path ? info.group : QString());
        for (const QString &line : QString::fromUtf8(readFile(m_dataFile)).split('\n'))
            groups.append(line.section(",%&", 2, 2) == path ? line.section(",%&", 3, 3) : QString());
        groups.removeAll(QString());
        return groups;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(home.isValid(), qPrintable(home.errorString()));
        // The traces print whole maps at every lookup; warnings stay on.
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false"));
        QVERIFY(writeFile(m_dataFile, QByteArray()) && writeFile(m_groupsFile, QByteArray()));
        f.initialize();
        QCOMPARE(f.getAllStrategyGroups(), QList<SarvekGroupInfo>({{DefaultGroup, -1}}));
        QVERIFY(f.addGroup("existing").isEmpty() && f.addGroup("taken").isEmpty());
    }

    // The groups file is UTF-8: its first bytes never make it read as
    // another encoding, and what it held is written back unchanged.
    void groupsFileIsReadAsUtf8_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("text");
        QTest::newRow("plain") << QByteArray("a;1,组;2") << QStringList{"a", "组"} << true;
        QTest::newRow("starts with FE FF") << QByteArray("\xfe\xff;1,b;2") << QStringList{"b", "\ufffd\ufffd"} << false;
        QTest::newRow("starts with FF FE") << QByteArray("\xff\xfex;1,b;2") << QStringList{"b", "\ufffd\ufffdx"} << false;
        QTest::newRow("a byte order mark is a character") << QByteArray("\xef\xbb\xbf" "a;1") << QStringList{QChar(0xfeff) + QString("a")}
                                                           << true;
        QTest::newRow("sequence cut off at the end") << QByteArray("a;1,b;2\xce") << QStringList{"a", "b"} << false;
        QTest::newRow("NUL inside a name") << QByteArray("a\0b;1,c;2", 9) << QStringList{QString("a") + QChar(0) + "b", "c"}
                                           << true;
    }
    void groupsFileIsReadAsUtf8()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, names);
        const QMap<QString, SarvekGroupInfo> groups = GroupsFile::parse(content);
        QCOMPARE(QStringList(groups.keys()), names);
        QTEST(GroupsFile::isText(content), "text");
        QCOMPARE(GroupsFile::parse(GroupsFile::format(groups.values()).toUtf8()), groups);
    }

    void refusedWithMessage_data()
    {
        QTest::addColumn<QString>("from"); // empty: addGroup(to)
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        const QString invalidName = QStringLiteral("分组名称不能包含“,”或“;”！");
        QTest::newRow("add default group") << "" << DefaultGroup << BuiltInMessage;
        QTest::newRow("add auto-start group") << "" << AutoStartGroup << BuiltInMessage;
        QTest::newRow("add existing name") << "" << "existing" << QStringLiteral("新建分组失败：已存在相同名称分组！");
        QTest::newRow("add name with comma") << "" << "a,b" << invalidName;
        QTest::newRow("add name with semicolon") << "" << "a;b" << invalidName;
        QTest::newRow("rename to default group") << "existing" << DefaultGroup << BuiltInMessage;
        QTest::newRow("rename missing group") << "missing" << "fresh" << QStringLiteral("修改分组名称失败：不存在原分组！");
        QTest::newRow("rename onto existing name") << "existing" << "taken"
                                                   << QStringLiteral("修改分组名称失败：已存在该分组名！");
        QTest::newRow("rename to name with comma") << "existing" << "x,y" << invalidName;
        QTest::newRow("rename to name with semicolon") << "existing" << "x;y" << invalidName;
    }

    void refusedWithMessage()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        const QList<SarvekGroupInfo> before = f.getAllStrategyGroups();
        const QByteArray fileBefore = readFile(m_groupsFile);
        QTEST(from.isEmpty() ? f.addGroup(to) : f.renameGroup(from, to), "message");
        QCOMPARE(f.getAllStrategyGroups(), before);
        QCOMPARE(readFile(m_groupsFile), fileBefore);
    }

    void autoStartGroupIsAddedOnce()
    {
        const char *key = CardelConstants::SettingFieldName::SarvekSetting::SarvekStragyAutoStart;
        QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy);
        f.checkAutoStart(); // the setting is off
        QVERIFY(added.isEmpty());
        ZCore::instance()->saveSetting(key, true);
        f.checkAutoStart();
        f.checkAutoStart();
        QCOMPARE(added.count(), 1);
        QCOMPARE(f.addGroup(QStringLiteral("after auto start")), QString());
        QCOMPARE(inFile().value(AutoStartGroup, -99), qint64(-1));
    }

    void filesStayInTheInstallationFolder()
    {
        // The user's folder is gone: saving the groups creates it again.
        QVERIFY(QDir(home.filePath("work")).removeRecursively());
        QVERIFY(f.addGroup(QStringLiteral("folder gone")).isEmpty());
        QVERIFY(inFile().contains(QStringLiteral("folder gone")));
        QCOMPARE(inFile().size(), f.getAllStrategyGroups().size());
        // Another working folder, and another folder named as the
        // installation folder later: the groups file stays in the folder the
        // plug-in was started in (and holds), never below the working folder.
        QVERIFY(QDir().mkpath(home.filePath("elsewhere")) && QDir::setCurrent(home.filePath("elsewhere")));
        ZqApplicationDir::setPath(home.filePath("gone"));
        QVERIFY(f.addGroup(QStringLiteral("while away")).isEmpty());
        ZqApplicationDir::setPath(home.path());
        QVERIFY(QDir::setCurrent(home.path()));
        QVERIFY(!QFileInfo::exists(home.filePath("elsewhere/work")) && !QFileInfo::exists(home.filePath("gone")));
        QVERIFY(inFile().contains(QStringLiteral("while away")));
    }

    void deleteCleanupAndMerge()
    {
        for (const QString &g : QStringList{"gdel", "gkeep", "gclean", "gfrom", "gto"}) {
            QVERIFY(f.addGroup(g).isEmpty());
            QVERIFY(f.addFixedStrategy("D:/ops/" + g + ".py", g, g, QString(), 1));
        }
        // Deleting keeps or removes the strategies; cleaning up keeps the group.
        QVERIFY(f.deleteGroup("gdel", true) && f.deleteGroup("gkeep", false) && f.cleanupGroup("gclean"));
        QVERIFY(!f.deleteGroup("gdel", false) && !f.cleanupGroup("gdel"));
        QVERIFY(groupsOf("D:/ops/gdel.py").isEmpty() && groupsOf("D:/ops/gclean.py").isEmpty());
        QCOMPARE(groupsOf("D:/ops/gkeep.py"), QStringList({"gkeep", "gkeep"}));
        QVERIFY(!inFile().contains("gdel") && !inFile().contains("gkeep") && inFile().contains("gclean"));
        // Merging moves the strategies; the source leaves memory now and the file at the next save.
        QVERIFY(!f.regroupAllStrategy("gfrom", "nothere", true));
        QVERIFY(f.regroupAllStrategy("gfrom", "gto", true));
        QCOMPARE(groupsOf("D:/ops/gfrom.py"), QStringList({"gto", "gto"}));
        QVERIFY(inFile().contains("gfrom"));
        QVERIFY(f.addGroup("gnext").isEmpty() && !inFile().contains("gfrom"));
    }

    // A change whose file cannot be written (a full disk) is answered as
    // failed. A rename or a delete with strategies that cannot even be
    // recorded changes nothing; the others stay in memory, and the next
    // write of their file stores them.
    void failedWriteIsAnsweredAndRetried_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("keptInMemory");
        QTest::newRow("add") << "add" << true;
        QTest::newRow("rename") << "rename" << false;
        QTest::newRow("delete with strategies") << "delete with" << false;
        QTest::newRow("delete") << "delete" << true;
        QTest::newRow("cleanup") << "cleanup" << true;
        QTest::newRow("merge") << "merge" << true;
    }
    void failedWriteIsAnsweredAndRetried()
    {
        QFETCH(QString, operation);
        QFETCH(bool, keptInMemory);
        const QString group = "full-" + operation, path = "D:/full/" + operation + ".py";
        QVERIFY(f.addGroup(group).isEmpty() && f.addFixedStrategy(path, "s", group, QString(), 1));
        const QList<SarvekGroupInfo> groups = f.getAllStrategyGroups();
        const QStringList strategies = groupsOf(path);
        const QByteArray groupsFile = readFile(m_groupsFile), dataFile = readFile(m_dataFile);
        const QString failed = QStringLiteral("保存失败：文件无法写入，修改未保存！");
        {
            FileSizeLimit full(0);
            if (operation == "add")
                QCOMPARE(f.addGroup(group + "-new"), failed);
            else if (operation == "rename")
                QCOMPARE(f.renameGroup(group, group + "-new"), failed);
            else if (operation == "cleanup")
                QVERIFY(!f.cleanupGroup(group));
            else if (operation == "merge")
                QVERIFY(!f.regroupAllStrategy(group, DefaultGroup, false));
            else
                QVERIFY(!f.deleteGroup(group, operation == "delete with"));
        }
        QCOMPARE(readFile(m_groupsFile), groupsFile);
        QCOMPARE(readFile(m_dataFile), dataFile);
        QCOMPARE(f.getAllStrategyGroups() != groups || groupsOf(path) != strategies, keptInMemory);
        QVERIFY(!QFileInfo::exists(home.filePath("work/demo01/SarvekFixedStrategyGroups.redo")));
        // The next writes of both files store what memory holds.
        QVERIFY(f.addGroup(group + "-later").isEmpty() && f.addFixedStrategy(path, "later", DefaultGroup, QString(), 1));
        QCOMPARE(inFile().keys(), [this] {
            QStringList names;
            for (const SarvekGroupInfo &g : f.getAllStrategyGroups())
                names.append(g.name);
            return names;
        }());
        QCOMPARE(groupsOf(path).size(), 2 * f.getFixedStrateNameList(path).size());
    }

    // A process died between the two files of a rename or a delete with
    // strategies: the next start finishes the change from its record.
    void interruptedChangeIsFinishedAtStart_data()
    {
        QTest::addColumn<QByteArray>("data");   // the data file the process left
        QTest::addColumn<QByteArray>("groups"); // the groups file
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QStringList>("expected"); // groups "name;time" ("*": now), then "name@group" of the records
        const QByteArray before = "1,%&a,%&D:/a.py,%&old,%&,%&0\n2,%&b,%&D:/b.py,%&默认分组,%&,%&0\n";
        const QByteArray after = "1,%&a,%&D:/a.py,%&new,%&,%&0\n2,%&b,%&D:/b.py,%&默认分组,%&,%&0\n";
        const QByteArray rename = R"({"operation":"rename","group":"old","newName":"new","createTime":100})";
        const QStringList renamed{"new;100", "默认分组;-1", "a@new", "b@默认分组"};
        QTest::newRow("rename: neither file written") << before << QByteArray("old;100,默认分组;-1") << rename << renamed;
        QTest::newRow("rename: data file written") << after << QByteArray("old;100,默认分组;-1") << rename << renamed;
        QTest::newRow("rename: both written") << after << QByteArray("new;100,默认分组;-1") << rename << renamed;
        QTest::newRow("delete: data file written")
            << QByteArray("2,%&b,%&D:/b.py,%&默认分组,%&,%&0\n") << QByteArray("old;100,默认分组;-1")
            << QByteArray(R"({"operation":"delete","group":"old","withStrategies":true})")
            << QStringList{"默认分组;-1", "b@默认分组"};
        const QByteArray deleteG = R"({"operation":"delete","group":"G","withStrategies":true})";
        QTest::newRow("delete of the last group: the default group is back")
            << QByteArray() << QByteArray("G;100") << deleteG << QStringList{"默认分组;-1"};
        QTest::newRow("delete of the last group, records of a deleted group kept")
            << QByteArray("1,%&x,%&D:/s/x.py,%&keep,%&,%&0\n") << QByteArray("G;100") << deleteG
            << QStringList{"keep;*", "默认分组;-1", "x@keep"};
        QTest::newRow("damaged record: set aside, nothing guessed")
            << before << QByteArray("old;100,默认分组;-1") << QByteArray("{\"operation\":\"ren")
            << QStringList{"old;100", "默认分组;-1", "a@old", "b@默认分组"};
    }
    void interruptedChangeIsFinishedAtStart()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, groups);
        QFETCH(QByteArray, record);
        QFETCH(QStringList, expected);
        const QString folder = home.filePath(QStringLiteral("interrupted/%1").arg(QTest::currentDataTag()));
        const QString user = folder + "/work/demo01/";
        QVERIFY(writeFile(user + "SarvekFixStrategy.dat", data) && writeFile(user + "SarvekFixedStrategyGroups.txt", groups)
                && writeFile(user + "SarvekFixedStrategyGroups.redo", record));
        QStringList seen;
        for (const QJsonValue &g : QJsonDocument::fromJson(runStrategyctlIn(home, folder, {"--json", "group", "list"}).out).array())
            seen.append(g["name"].toString() + ';'
                        + QString::number(g["createTime"].isNull() ? -1
                                                                   : QDateTime::fromString(g["createTime"].toString(), Qt::ISODate)
                                                                         .toSecsSinceEpoch()));
        for (const QJsonValue &r : QJsonDocument::fromJson(runStrategyctlIn(home, folder, {"--json", "strategy", "list"}).out).array())
            seen.append(r["name"].toString() + '@' + r["group"].toString());
        for (int i = 0; i < seen.size(); ++i) {
            if (expected.value(i).endsWith(";*") && seen[i].section(';', 1).toLongLong() > 1000000000)
                seen[i] = seen[i].section(';', 0, 0) + ";*";
        }
        QCOMPARE(seen, expected);
        // The change is in both files now, and its record is gone (or set aside when it could not be read).
        QVERIFY(!QFileInfo::exists(user + "SarvekFixedStrategyGroups.redo"));
        QCOMPARE(QDir(user).entryList({"*.redo.unreadable-*"}).size(), int(record.endsWith("ren")));
        QCOMPARE(readFile(user + "SarvekFixedStrategyGroups.txt").count(';'), seen.filter(";").size());
    }

    // A client whose working directory is not its installation folder reads
    // and writes the groups file and the ini file in the installation folder.
    void filesOfTheInstallationFolderWhateverTheWorkingDirectory()
    {
        const QString folder = home.filePath("foreign/app"), elsewhere = home.filePath("foreign/cwd");
        QVERIFY(QDir().mkpath(folder));
        const ProcessResult first = runHelper(home, "foreigncwd", {folder, elsewhere, "first", "/opt/py1"});
        const ProcessResult second = runHelper(home, "foreigncwd", {folder, elsewhere, "second", "/opt/py2"});
        QCOMPARE(first.outText(), QStringLiteral("默认分组\n\n"));
        QCOMPARE(second.outText(), QStringLiteral("first,默认分组\n/opt/py1\n"));
        QCOMPARE(readFile(folder + "/work/demo01/SarvekFixedStrategyGroups.txt").count(','), 2);
        QVERIFY(QDir(elsewhere).isEmpty());
    }

    void renameKeepsCreateTimeAndMovesStrategies_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("user group") << "新组" << "改名组";
        QTest::newRow("default group") << DefaultGroup << "日常";
    }

    void renameKeepsCreateTimeAndMovesStrategies() // last: renames the default group away
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        if (from != DefaultGroup)
            QCOMPARE(f.addGroup(from), QString());
        const qint64 created = inFile().value(from, -99);
        QVERIFY(from == DefaultGroup ? created == -1 : created > 0);
        const QString path = "D:/rename/" + to + ".py";
        QVERIFY(f.addFixedStrategy(path, "s", from, QString(), 2));
        // Second names of the old files: a rewrite in place would change them too.
        const QByteArray groupsBefore = readFile(m_groupsFile), dataBefore = readFile(m_dataFile);
        for (const QString &file : {m_groupsFile, m_dataFile})
            QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(file + to).constData()), 0);
        QCOMPARE(f.renameGroup(from, to), QString());
        QCOMPARE(readFile(m_groupsFile + to), groupsBefore);
        QCOMPARE(readFile(m_dataFile + to), dataBefore);
        QVERIFY(!f.getAllStrategyGroupNameSorted().contains(from) && !inFile().contains(from));
        QCOMPARE(inFile().value(to, -99), created);
        QCOMPARE(groupsOf(path), QStringList({to, to, to, to}));
        QCOMPARE(f.addGroup(from), from == DefaultGroup ? BuiltInMessage : QString());
    }
};

QTEST_GUILESS_MAIN(tst_Groups)
#include "tst_groups.moc"
