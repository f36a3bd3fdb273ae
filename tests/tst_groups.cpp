// Strategy groups of the facade: the group operations, their messages, the
// groups file and the auto-start group.
//
// The facade lives once per process: it starts from an empty groups file
// and an empty data file, and each case works on groups and paths of its
// own. The case that renames the default group runs last.

#include "facade/strategyfilelogichandler.h"
#include "testsupport.h"

#include <cardelconstants.h>
#include <zcore.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

namespace {
const QString DefaultGroup = QStringLiteral("默认分组");
const QString AutoStartGroup = QStringLiteral("自动启动");
const QString BuiltInMessage = QStringLiteral("默认分组/自动启动分组为内置分组名，不允许手工创建！");
const QString ExistsMessage = QStringLiteral("新建分组失败：已存在相同名称分组！");
const QString NoSourceMessage = QStringLiteral("修改分组名称失败：不存在原分组！");
const QString TargetExistsMessage = QStringLiteral("修改分组名称失败：已存在该分组名！");
const QString InvalidNameMessage = QStringLiteral("分组名称不能包含“,”或“;”！");

StrategyFileLogicHandler &facade()
{
    return StrategyFileLogicHandler::instance();
}

QMap<QString, qint64> groupMap()
{
    QMap<QString, qint64> groups;
    for (const SarvekGroupInfo &group : facade().getAllStrategyGroups())
        groups.insert(group.name, group.createTime);
    return groups;
}

QList<FixedStrategyInfo> recordsOf(const QString &path)
{
    QList<FixedStrategyInfo> records;
    for (const FixedStrategyInfo &info : facade().getFixedStrategyList()) {
        if (info.filePath == path)
            records.append(info);
    }
    return records;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

void setAutoStart(bool on)
{
    ZCore::instance()->saveSetting(CardelConstants::SettingFieldName::SarvekSetting::SarvekStragyAutoStart, on);
}
} // namespace

class tst_Groups : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void emptyFilesGiveDefaultGroupOnly();
    void refusedWithMessage_data();
    void refusedWithMessage();
    void removeGroup_data();
    void removeGroup();
    void mergeGroups_data();
    void mergeGroups();
    void autoStartGroupIsAddedOnce();
    void sortedByAgeThenGreaterName();
    void filesAreReplacedWhole_data();
    void filesAreReplacedWhole();
    void groupsFolderIsCreated();
    void renameKeepsCreateTimeAndMovesStrategies_data();
    void renameKeepsCreateTimeAndMovesStrategies(); // last: renames the default group away

private:
    QMap<QString, qint64> groupsInFile() const;
    QStringList groupsOfPathInFile(const QString &path) const;

    TestHome home;
    QString m_dataFile;
    QString m_groupsFile;
};

QMap<QString, qint64> tst_Groups::groupsInFile() const
{
    QMap<QString, qint64> groups;
    const QString content = QString::fromUtf8(readFile(m_groupsFile));
    for (const QString &entry : content.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = entry.split(QLatin1Char(';'));
        groups.insert(parts.value(0), parts.size() == 2 ? parts.at(1).toLongLong() : -99);
    }
    return groups;
}

// The group field of every line of the data file that names `path`.
QStringList tst_Groups::groupsOfPathInFile(const QString &path) const
{
    QStringList groups;
    const QStringList lines = QString::fromUtf8(readFile(m_dataFile)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList parts = line.split(QStringLiteral(",%&"));
        if (parts.value(2) == path)
            groups.append(parts.value(3));
    }
    return groups;
}

void tst_Groups::initTestCase()
{
    QVERIFY2(home.isValid(), qPrintable(home.errorString()));
    // The traces print whole maps at every lookup; warnings stay on.
    QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false"));
    m_dataFile = home.filePath("work/demo01/SarvekFixStrategy.dat");
    m_groupsFile = home.filePath("work/demo01/SarvekFixedStrategyGroups.txt");
    QVERIFY(writeFile(m_dataFile, QByteArray()));
    QVERIFY(writeFile(m_groupsFile, QByteArray()));
    facade().initialize();
    QVERIFY(facade().isInitialized());
}

void tst_Groups::emptyFilesGiveDefaultGroupOnly()
{
    StrategyFileLogicHandler &f = facade();
    const QList<SarvekGroupInfo> defaultOnly{SarvekGroupInfo{DefaultGroup, -1}};
    QCOMPARE(f.getAllStrategyGroups(), defaultOnly);
    QCOMPARE(f.getAllStrategyGroupNameSorted(), QStringList{DefaultGroup});
    QVERIFY(f.getFixedStrategyList().isEmpty());
    QCOMPARE(f.getLastFixedStrategyInfo(), FixedStrategyInfo());
}

void tst_Groups::refusedWithMessage_data()
{
    QTest::addColumn<bool>("rename"); // else addGroup(to)
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::newRow("add default group") << false << "" << DefaultGroup << BuiltInMessage;
    QTest::newRow("add auto-start group") << false << "" << AutoStartGroup << BuiltInMessage;
    QTest::newRow("add existing name") << false << "" << "existing" << ExistsMessage;
    QTest::newRow("add name with comma") << false << "" << "a,b" << InvalidNameMessage;
    QTest::newRow("add name with semicolon") << false << "" << "a;b" << InvalidNameMessage;
    QTest::newRow("rename missing group to auto-start") << true << "missing" << AutoStartGroup << BuiltInMessage;
    QTest::newRow("rename to default group") << true << "existing" << DefaultGroup << BuiltInMessage;
    QTest::newRow("rename missing group") << true << "missing" << "fresh" << NoSourceMessage;
    QTest::newRow("rename onto existing name") << true << "existing" << "taken" << TargetExistsMessage;
    QTest::newRow("rename to name with comma") << true << "existing" << "a,b" << InvalidNameMessage;
    QTest::newRow("rename to name with semicolon") << true << "existing" << "x;y" << InvalidNameMessage;
}

void tst_Groups::refusedWithMessage()
{
    QFETCH(bool, rename);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    StrategyFileLogicHandler &f = facade();
    for (const QString &name : {QStringLiteral("existing"), QStringLiteral("taken")}) {
        if (!groupMap().contains(name))
            QCOMPARE(f.addGroup(name), QString());
    }
    const QList<SarvekGroupInfo> before = f.getAllStrategyGroups();
    const QByteArray fileBefore = readFile(m_groupsFile);
    QCOMPARE(rename ? f.renameGroup(from, to) : f.addGroup(to), message);
    QCOMPARE(f.getAllStrategyGroups(), before);
    QCOMPARE(readFile(m_groupsFile), fileBefore);
}

void tst_Groups::removeGroup_data()
{
    QTest::addColumn<bool>("cleanup"); // else deleteGroup
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("deleteStrategies");
    QTest::newRow("delete with its strategies") << false << true << true;
    QTest::newRow("delete keeping its strategies") << false << true << false;
    QTest::newRow("delete unknown group") << false << false << true;
    QTest::newRow("cleanup") << true << true << true;
    QTest::newRow("cleanup unknown group") << true << false << true;
}

void tst_Groups::removeGroup()
{
    QFETCH(bool, cleanup);
    QFETCH(bool, exists);
    QFETCH(bool, deleteStrategies);
    StrategyFileLogicHandler &f = facade();
    const QString group = QString::fromUtf8(QTest::currentDataTag());
    const QString path = QStringLiteral("D:/removegroup/%1.py").arg(group);
    if (exists) {
        QCOMPARE(f.addGroup(group), QString());
        QVERIFY(f.addFixedStrategy(path, "keep", DefaultGroup, QString(), 1));
        QVERIFY(f.addFixedStrategy(path, "s", group, QString(), 2));
    }
    const QList<FixedStrategyInfo> records = recordsOf(path);
    const QByteArray groupsBefore = readFile(m_groupsFile);
    QCOMPARE(cleanup ? f.cleanupGroup(group) : f.deleteGroup(group, deleteStrategies), exists);
    QCOMPARE(groupMap().contains(group), cleanup && exists);
    QCOMPARE(groupsInFile().contains(group), cleanup && exists);
    if (cleanup)
        QCOMPARE(readFile(m_groupsFile), groupsBefore);
    if (!exists)
        return;
    if (!cleanup && !deleteStrategies) {
        // The records keep the name of the deleted group.
        QCOMPARE(recordsOf(path), records);
        QCOMPARE(f.getFixedStrateNameList(path), QStringList({"keep", "s", "s_1"}));
        QCOMPARE(sorted(groupsOfPathInFile(path)), QStringList({group, group, DefaultGroup}));
    } else {
        QCOMPARE(f.getFixedStrateNameList(path), QStringList{"keep"});
        QCOMPARE(groupsOfPathInFile(path), QStringList{DefaultGroup});
    }
}

void tst_Groups::mergeGroups_data()
{
    QTest::addColumn<bool>("removeFrom");
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("removing the source") << true << true;
    QTest::newRow("keeping the source") << false << true;
    QTest::newRow("unknown target") << true << false;
}

void tst_Groups::mergeGroups()
{
    QFETCH(bool, removeFrom);
    QFETCH(bool, targetExists);
    StrategyFileLogicHandler &f = facade();
    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    const QString from = "from " + tag, to = targetExists ? QStringLiteral("merged") : QStringLiteral("no target");
    const QString path = QStringLiteral("D:/merge/%1.py").arg(tag);
    QCOMPARE(f.addGroup(from), QString());
    if (targetExists && !groupMap().contains(to))
        QCOMPARE(f.addGroup(to), QString());
    QVERIFY(f.addFixedStrategy(path, "s", from, QString(), 2));

    QCOMPARE(f.regroupAllStrategy(from, to, removeFrom), targetExists);
    const QString group = targetExists ? to : from;
    for (const FixedStrategyInfo &info : recordsOf(path))
        QCOMPARE(info.group, group);
    QCOMPARE(groupsOfPathInFile(path), QStringList({group, group}));
    QCOMPARE(groupMap().contains(from), !(targetExists && removeFrom));
    // The groups file keeps the source until the next save of the groups.
    QVERIFY(groupsInFile().contains(from));
    QCOMPARE(f.addGroup("after " + tag), QString());
    QCOMPARE(groupsInFile().contains(from), !(targetExists && removeFrom));
}

void tst_Groups::autoStartGroupIsAddedOnce()
{
    StrategyFileLogicHandler &f = facade();
    QVERIFY(!groupMap().contains(AutoStartGroup));
    setAutoStart(true);
    QSignalSpy added(&f, &StrategyFileLogicHandler::signalAddStrategy);
    f.checkAutoStart();
    QCOMPARE(added.count(), 1);
    QCOMPARE(groupMap().value(AutoStartGroup, -99), qint64(-1));
    f.checkAutoStart();
    QCOMPARE(added.count(), 1);
    QVERIFY(!groupsInFile().contains(AutoStartGroup));
    QCOMPARE(f.addGroup(QStringLiteral("after auto start")), QString());
    QCOMPARE(groupsInFile().value(AutoStartGroup, -99), qint64(-1));

    // Switching the setting off leaves the group in place.
    setAutoStart(false);
    f.checkAutoStart();
    QCOMPARE(added.count(), 1);
    QVERIFY(groupMap().contains(AutoStartGroup));
}

void tst_Groups::sortedByAgeThenGreaterName()
{
    StrategyFileLogicHandler &f = facade();
    QCOMPARE(f.addGroup(QStringLiteral("sorted a")), QString());
    QCOMPARE(f.addGroup(QStringLiteral("sorted b")), QString());
    const QStringList names = f.getAllStrategyGroupNameSorted();
    const QMap<QString, qint64> groups = groupMap();
    QCOMPARE(sorted(names), groups.keys());
    QCOMPARE(names.mid(0, 2), QStringList({DefaultGroup, AutoStartGroup}));
    for (int i = 1; i < names.size(); ++i) {
        const qint64 earlier = groups.value(names.at(i - 1)), later = groups.value(names.at(i));
        QVERIFY2(earlier < later || (earlier == later && names.at(i - 1) > names.at(i)),
                 qPrintable(names.at(i - 1) + " before " + names.at(i)));
    }
}

void tst_Groups::filesAreReplacedWhole_data()
{
    QTest::addColumn<bool>("groupsFile");
    QTest::newRow("groups file") << true;
    QTest::newRow("data file") << false;
}

void tst_Groups::filesAreReplacedWhole()
{
    QFETCH(bool, groupsFile);
    StrategyFileLogicHandler &f = facade();
    const QString file = groupsFile ? m_groupsFile : m_dataFile;
    const QByteArray before = readFile(file);
    QVERIFY(!before.isEmpty());
    // A second name of the old file: a rewrite in place would change it too.
    const QString secondName = file + ".link";
    QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(secondName).constData()), 0);
    if (groupsFile)
        QCOMPARE(f.addGroup(QStringLiteral("replaced")), QString());
    else
        QVERIFY(f.addFixedStrategy(QStringLiteral("D:/replaced/s.py"), "s", DefaultGroup, QString(), 1));
    QCOMPARE(readFile(secondName), before);
    QVERIFY(readFile(file) != before);
    QVERIFY(QFile::remove(secondName));
}

void tst_Groups::groupsFolderIsCreated()
{
    StrategyFileLogicHandler &f = facade();
    const QString folder = home.filePath("work/demo01"), aside = home.filePath("work/demo01-aside");
    QVERIFY(QDir().rename(folder, aside));
    QCOMPARE(f.addGroup(QStringLiteral("after removal")), QString());
    QCOMPARE(groupsInFile(), groupMap());
    QVERIFY(!readFile(m_groupsFile).endsWith('\n'));
    QVERIFY(QFile::rename(aside + "/SarvekFixStrategy.dat", m_dataFile));
}

void tst_Groups::renameKeepsCreateTimeAndMovesStrategies_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("user group") << "新组" << "改名组";
    QTest::newRow("default group") << DefaultGroup << "日常";
}

void tst_Groups::renameKeepsCreateTimeAndMovesStrategies()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    StrategyFileLogicHandler &f = facade();
    const qint64 start = QDateTime::currentSecsSinceEpoch();
    if (from != DefaultGroup)
        QCOMPARE(f.addGroup(from), QString());
    const qint64 created = groupMap().value(from, -99);
    QVERIFY(from == DefaultGroup ? created == -1
                                 : created >= start && created <= QDateTime::currentSecsSinceEpoch());
    const QString path = QStringLiteral("D:/rename/%1.py").arg(to);
    QVERIFY(f.addFixedStrategy(path, "s", from, QString(), 2));

    QCOMPARE(f.renameGroup(from, to), QString());
    QVERIFY(!groupMap().contains(from));
    QCOMPARE(groupMap().value(to, -99), created);
    QVERIFY(!groupsInFile().contains(from));
    QCOMPARE(groupsInFile().value(to, -99), created);
    for (const FixedStrategyInfo &info : recordsOf(path))
        QCOMPARE(info.group, to);
    QCOMPARE(groupsOfPathInFile(path), QStringList({to, to}));
    QCOMPARE(f.addGroup(from), from == DefaultGroup ? BuiltInMessage : QString());
}

QTEST_GUILESS_MAIN(tst_Groups)
#include "tst_groups.moc"
