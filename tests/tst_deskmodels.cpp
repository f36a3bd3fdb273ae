// The desktop client's models on the plug-in: the strategy table, the group
// list and the filter follow every change of the plug-in (made here or on
// another thread, signalled or followed by a reload of the screens) with
// the rows that stayed kept, and pass QAbstractItemModelTester throughout;
// the filter finds by name, file and text; ids and copies sort as numbers;
// drops onto groups ask for a move.
// One plug-in object serves every case: each case empties its strategies,
// groups and locks first.

#include "testsupport.h"

#include "models/backtestfiguresmodel.h"
#include "models/grouplistmodel.h"
#include "models/strategyfilterproxy.h"
#include "models/strategytablemodel.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QFont>
#include <QMimeData>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <thread>

namespace {
using Tester = QAbstractItemModelTester;

QString rowText(const FixedStrategyInfo &info, bool locked)
{
    return QStringList{QString::number(info.id), info.name, info.filePath, info.group, info.extraInfo,
                       QString::number(info.copyIndex), locked ? "locked" : ""}
        .join('|');
}

// The rows of the table, each as rowText() from its roles.
QStringList tableRows(const QAbstractItemModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row, 0);
        rows << rowText(index.data(StrategyTableModel::InfoRole).value<FixedStrategyInfo>(),
                        index.data(StrategyTableModel::LockedRole).toBool());
    }
    return rows;
}

// "name|count|built-in" of each row of the group list.
QStringList groupRows(const GroupListModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row);
        rows << QStringList{index.data(GroupListModel::NameRole).toString(),
                            QString::number(index.data(GroupListModel::CountRole).toInt()),
                            index.data(GroupListModel::BuiltInRole).toBool() ? "built-in" : ""}
                    .join('|');
    }
    return rows;
}

// The column range [first, last] of a dataChanged() at `row`, or nothing.
struct Range
{
    int top, left, bottom, right;
    bool covers(int row, int column) const { return top <= row && row <= bottom && left <= column && column <= right; }
};
} // namespace

class tst_DeskModels : public QObject
{
    Q_OBJECT

    TestHome m_home;
    StrategyFileLogicHandler &f = StrategyFileLogicHandler::instance();

    // The plug-in's strategies and locks, as tableRows() shows them.
    QStringList pluginRows()
    {
        const QStringList locks = f.getLockedFileList();
        QStringList rows;
        for (const FixedStrategyInfo &info : f.getFixedStrategyList())
            rows << rowText(info, locks.contains(info.filePath));
        return rows;
    }

    // The group list the plug-in's state calls for.
    QStringList expectedGroups()
    {
        const QList<FixedStrategyInfo> list = f.getFixedStrategyList();
        QStringList rows{QStringLiteral("|%1|").arg(list.size())};
        for (const QString &name : f.getAllStrategyGroupNameSorted()) {
            const int count = int(std::count_if(list.cbegin(), list.cend(),
                                                [&](const FixedStrategyInfo &info) { return info.group == name; }));
            const bool builtIn = name == StrategyLogic::defaultGroupName() || name == StrategyLogic::autoStartGroupName();
            rows << QStringList{name, QString::number(count), builtIn ? "built-in" : ""}.join('|');
        }
        return rows;
    }

    qint64 idOf(const QString &name)
    {
        for (const FixedStrategyInfo &info : f.getFixedStrategyList()) {
            if (info.name == name)
                return info.id;
        }
        return -1;
    }

    // No fixed strategies, no user groups, no locks.
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
        return f.getFixedStrategyList().isEmpty() && f.getAllStrategyGroups().size() == 1
            && f.getLockedFileList().isEmpty();
    }

    // Applies steps through the plug-in, one per text, strategies named by
    // their (unique) names: "group NAME", "strategy PATH|NAME|GROUP|TEXT|COUNT",
    // "modify NAME|NEWNAME|GROUP|TEXT", "path OLD|NEW", "remove NAME",
    // "removefile PATH", "lock PATH", "unlock PATH", "renamegroup OLD|NEW",
    // "deletegroup NAME|WITHSTRATEGIES", "regroup FROM|TO|REMOVEFROM",
    // "cleanup NAME". Thread-safe as the plug-in is.
    bool apply(const QStringList &steps)
    {
        bool ok = true;
        for (const QString &step : steps) {
            const int space = step.indexOf(QLatin1Char(' '));
            const QString what = step.left(space);
            const QStringList v = step.mid(space + 1).split(QLatin1Char('|'));
            bool done = false;
            if (what == "group")
                done = f.addGroup(v.at(0)).isEmpty();
            else if (what == "strategy")
                done = f.addFixedStrategy(v.at(0), v.at(1), v.at(2), v.at(3), v.at(4).toInt());
            else if (what == "modify") {
                FixedStrategyInfo info = f.getFixedStrateyInfoByID(int(idOf(v.at(0))));
                info.name = v.at(1);
                info.group = v.at(2);
                info.extraInfo = v.at(3);
                done = f.modifyFixedStrategyInfo(int(info.id), info);
            } else if (what == "path")
                done = f.modifyeStrategyFilePath(v.at(0), v.at(1));
            else if (what == "remove")
                done = f.delFixedStrategyInfoByID(idOf(v.at(0)));
            else if (what == "removefile")
                done = f.delFixedStrategyInfoByFilePath(v.at(0));
            else if (what == "lock" || what == "unlock")
                done = f.changeFileLockState(v.at(0), what == "lock");
            else if (what == "renamegroup")
                done = f.renameGroup(v.at(0), v.at(1)).isEmpty();
            else if (what == "deletegroup")
                done = f.deleteGroup(v.at(0), v.at(1) == "1");
            else if (what == "regroup")
                done = f.regroupAllStrategy(v.at(0), v.at(1), v.at(2) == "1");
            else if (what == "cleanup")
                done = f.cleanupGroup(v.at(0));
            if (!done)
                qWarning() << "step refused:" << step;
            ok = done && ok;
        }
        return ok;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false"));
        qRegisterMetaType<QList<qint64>>();
        f.initialize();
        QVERIFY(f.isInitialized());
    }
    void cleanupTestCase() { f.exit(); }
    // Each case starts empty, but for the rows of sortsNumbers, which share
    // one seed: its ids must be the first ones.
    void init()
    {
        if (qstrcmp(QTest::currentTestFunction(), "sortsNumbers") != 0)
            QVERIFY(reset());
    }

    // Runs first, while the ids are still small: they pass from one digit
    // to two, where a sort by text would put 10 before 9. The rows share
    // the seed of the first.
    void sortsNumbers_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::newRow("id ascending") << int(StrategyTableModel::Id) << Qt::AscendingOrder;
        QTest::newRow("id descending") << int(StrategyTableModel::Id) << Qt::DescendingOrder;
        QTest::newRow("copy ascending") << int(StrategyTableModel::Copy) << Qt::AscendingOrder;
        QTest::newRow("copy descending") << int(StrategyTableModel::Copy) << Qt::DescendingOrder;
        QTest::newRow("locked ascending") << int(StrategyTableModel::Locked) << Qt::AscendingOrder;
        QTest::newRow("locked descending") << int(StrategyTableModel::Locked) << Qt::DescendingOrder;
    }
    void sortsNumbers()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        if (f.getFixedStrategyList().isEmpty())
            QVERIFY(apply({"group g", "strategy /s/b.py|b|g||12", "strategy /s/a.py|a|g||3", "lock /s/a.py"}));
        StrategyTableModel table(f);
        StrategyFilterProxy proxy;
        proxy.setSourceModel(&table);
        Tester tester(&proxy, Tester::FailureReportingMode::QtTest);
        proxy.sort(column, order);

        // What each row sorts by: the id, the copy index, or locked (0, 1),
        // then the id for rows that are equal in it (the sort is stable).
        QVector<QPair<qint64, qint64>> keys;
        for (int row = 0; row < proxy.rowCount(); ++row) {
            const auto info = proxy.index(row, 0).data(StrategyTableModel::InfoRole).value<FixedStrategyInfo>();
            const qint64 key = column == StrategyTableModel::Id ? info.id
                : column == StrategyTableModel::Copy             ? info.copyIndex
                                                                 : qint64(info.filePath == "/s/a.py");
            keys.append({key, info.id});
        }
        QCOMPARE(keys.size(), 15);
        const bool ascending = order == Qt::AscendingOrder;
        QVERIFY2(QString::number(keys.first().second).size() != QString::number(keys.last().second).size()
                     || column != StrategyTableModel::Id,
                 "the ids do not change their number of digits: the case proves nothing");
        for (int k = 1; k < keys.size(); ++k) {
            const auto &a = keys.at(k - 1);
            const auto &b = keys.at(k);
            QVERIFY2(ascending ? a.first <= b.first : a.first >= b.first,
                     qPrintable(QStringLiteral("row %1: %2 then %3").arg(k).arg(a.first).arg(b.first)));
            if (a.first == b.first)
                QVERIFY(a.second < b.second);
        }
    }

    // Every change shows in the models: a signalled one by itself (queued,
    // also from another thread), a group change after the screens reload.
    // The rows that stayed keep their indexes unless the change touched
    // most rows, and each changed cell is in a dataChanged().
    void followsChanges_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("screensReload"); // the plug-in sends no signal for it
        QTest::addColumn<bool>("resets");        // most rows change: one reset
        QTest::addColumn<bool>("otherThread");

        // name, steps (";" between them), screens reload, resets
        const QStringList rows[] = {
            {"add one", "strategy /s/new.py|new|g1|fresh|1", "0", "0"},
            {"add copies", "strategy /s/new.py|new|g2||3", "0", "0"},
            {"modify name, group and text", "modify m1|m1 renamed|g2|new text", "0", "0"},
            {"modify only the text", "modify m2|m2|g1|other text", "0", "0"},
            {"file path followed", "path /s/m.py|/s/moved.py", "0", "0"},
            {"remove one", "remove t_1", "0", "0"},
            {"remove the first and the last", "remove m1;remove m3", "0", "0"},
            {"remove scattered rows", "remove m2;remove t;remove t_2", "0", "0"},
            {"remove all of a file", "removefile /s/m.py", "0", "0"},
            {"lock", "lock /s/t.py", "0", "0"},
            {"unlock", "unlock /s/m.py", "0", "0"},
            {"lock then add", "lock /s/k.py;strategy /s/k.py|k|g2||2", "0", "0"},
            {"remove and add", "remove x;strategy /s/y.py|y|g1||1", "0", "0"},
            {"group added", "group g3", "1", "0"},
            {"group renamed with its strategies", "renamegroup g1|g1 renamed", "1", "0"},
            {"group deleted with its strategies", "deletegroup g1|1", "1", "0"},
            {"group deleted, strategies kept", "deletegroup g2|0", "1", "0"},
            {"group emptied", "cleanup g1", "1", "0"},
            {"regrouped", "regroup g1|g2|1", "1", "0"},
            {"most rows removed", "cleanup g2", "1", "1"},
            {"most rows changed", "lock /s/t.py;regroup g1|g2|0", "1", "1"},
            {"everything removed", "removefile /s/m.py;removefile /s/t.py;removefile /s/x.py", "0", "1"},
        };
        for (bool otherThread : {false, true}) {
            for (const QStringList &row : rows) {
                const QString name = row.at(0) + (otherThread ? " (on another thread)" : "");
                QTest::newRow(qPrintable(name))
                    << row.at(1).split(';') << (row.at(2) == "1") << (row.at(3) == "1") << otherThread;
            }
        }
    }
    void followsChanges()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, screensReload);
        QFETCH(bool, resets);
        QFETCH(bool, otherThread);

        // Eight strategies in three files and two groups, one file locked.
        QVERIFY(apply({"group g1", "group g2", "strategy /s/m.py|m1|g1|text of m1|1", "strategy /s/m.py|m2|g1||1",
                       "strategy /s/t.py|t|g2|a long text that goes on and on past the width of any column|3",
                       "strategy /s/x.py|x|g1||1", "strategy /s/m.py|m3|g2||1", "lock /s/m.py"}));
        // The copies of /s/t.py are named t, t_1 and t_2.

        StrategyTableModel table(f);
        GroupListModel groups(f, table);
        StrategyFilterProxy proxy;
        proxy.setSourceModel(&table);
        proxy.sort(StrategyTableModel::Name);
        Tester tableTester(&table, Tester::FailureReportingMode::QtTest);
        Tester groupTester(&groups, Tester::FailureReportingMode::QtTest);
        Tester proxyTester(&proxy, Tester::FailureReportingMode::QtTest);
        QCOMPARE(tableRows(table), pluginRows());
        QCOMPARE(groupRows(groups), expectedGroups());

        QMap<qint64, QPersistentModelIndex> held;
        for (int row = 0; row < table.rowCount(); ++row)
            held.insert(table.index(row, 0).data(StrategyTableModel::IdRole).toLongLong(),
                        QPersistentModelIndex(table.index(row, StrategyTableModel::Name)));
        const QStringList before = tableRows(table);
        QSignalSpy resetSpy(&table, &QAbstractItemModel::modelReset);
        QSignalSpy changedSpy(&table, &QAbstractItemModel::dataChanged);

        if (otherThread) {
            bool ok = false;
            std::thread worker([&] { ok = apply(steps); });
            worker.join();
            QVERIFY(ok);
        } else {
            QVERIFY(apply(steps));
        }
        if (screensReload) {
            table.reload();
            groups.reload();
        }
        QTRY_COMPARE(tableRows(table), pluginRows());
        QCOMPARE(groupRows(groups), expectedGroups());
        QCOMPARE(proxy.rowCount(), table.rowCount());

        QCOMPARE(resetSpy.count() > 0, resets);
        if (resets)
            return;
        // The rows that stayed: their indexes still point at them.
        for (auto it = held.cbegin(); it != held.cend(); ++it) {
            const int row = table.rowOfId(it.key());
            if (row < 0) {
                QVERIFY(!it.value().isValid());
                continue;
            }
            QVERIFY2(it.value().isValid(), qPrintable(QStringLiteral("id %1 lost its index").arg(it.key())));
            QCOMPARE(it.value().row(), row);
        }
        // Each cell that changed was announced.
        QVector<Range> ranges;
        for (const QList<QVariant> &signal : qAsConst(changedSpy)) {
            const auto topLeft = signal.at(0).toModelIndex();
            const auto bottomRight = signal.at(1).toModelIndex();
            ranges.append({topLeft.row(), topLeft.column(), bottomRight.row(), bottomRight.column()});
        }
        QMap<QString, QStringList> old;
        for (const QString &text : before)
            old.insert(text.section('|', 0, 0), text.split('|'));
        int changedCells = 0;
        for (int row = 0; row < table.rowCount(); ++row) {
            const QStringList now = tableRows(table).at(row).split('|');
            const QStringList was = old.value(now.at(0));
            if (was.isEmpty())
                continue;
            for (int column = 0; column < StrategyTableModel::ColumnCount; ++column) {
                if (was.at(column) == now.at(column))
                    continue;
                ++changedCells;
                QVERIFY2(std::any_of(ranges.cbegin(), ranges.cend(),
                                     [&](const Range &r) { return r.covers(row, column); }),
                         qPrintable(QStringLiteral("row %1 column %2 changed unannounced").arg(row).arg(column)));
            }
        }
        if (changedCells == 0)
            QVERIFY(changedSpy.isEmpty());
    }

    // One reload for a burst of signals: an add per strategy, all queued
    // before the GUI thread runs again.
    void burstMakesOneReload()
    {
        QVERIFY(apply({"group g"}));
        StrategyTableModel table(f);
        Tester tester(&table, Tester::FailureReportingMode::QtTest);
        QSignalSpy changed(&table, &StrategyTableModel::changed);
        QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);
        for (int k = 0; k < 300; ++k)
            QVERIFY(f.addFixedStrategy(QStringLiteral("/s/burst%1.py").arg(k), "b", "g", QString(), 1));
        QTRY_COMPARE(table.rowCount(), 300);
        QCOMPARE(tableRows(table), pluginRows());
        QCOMPARE(changed.count(), 1);
        QVERIFY(inserted.count() <= 1);

        // A reload of the screens takes in what the signals announced: the
        // signals then change nothing more.
        for (int k = 0; k < 10; ++k)
            QVERIFY(f.delFixedStrategyInfoByID(table.infoAt(k).id));
        table.reload();
        QCOMPARE(table.rowCount(), 290);
        QCOMPARE(changed.count(), 2);
        QTest::qWait(0);
        QCOMPARE(changed.count(), 2);
    }

    // Many strategies, many of them changed in scattered rows: the rows that
    // stayed keep their indexes. (Times are printed, not checked.)
    void manyStrategies()
    {
        const int count = 1000;
        QVERIFY(apply({"group g"}));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(f.addFixedStrategy("/s/many.py", "many", "g", QString(), count));
        qDebug() << "adding" << count << "strategies:" << timer.restart() << "ms";
        StrategyTableModel table(f);
        GroupListModel groups(f, table);
        StrategyFilterProxy proxy;
        proxy.setSourceModel(&table);
        qDebug() << "first load:" << timer.restart() << "ms";
        QCOMPARE(table.rowCount(), count);

        // Every 20th removed, every 100th given another text.
        QList<qint64> removed;
        for (int row = 0; row < count; row += 20)
            removed.append(table.infoAt(row).id);
        const qint64 kept = table.infoAt(1).id;
        QPersistentModelIndex keptIndex(table.index(1, StrategyTableModel::Name));
        QPersistentModelIndex proxyIndex(proxy.mapFromSource(table.index(1, 0)));
        for (qint64 id : removed)
            QVERIFY(f.delFixedStrategyInfoByID(id));
        for (int row = 50; row < count; row += 100) {
            FixedStrategyInfo info = table.infoAt(row);
            info.extraInfo = QStringLiteral("changed");
            QVERIFY(f.modifyFixedStrategyInfo(int(info.id), info));
        }
        timer.restart();
        QSignalSpy resetSpy(&table, &QAbstractItemModel::modelReset);
        table.reload();
        qDebug() << "reload of" << removed.size() << "removed and" << count / 100 << "changed:" << timer.restart()
                 << "ms";
        QCOMPARE(resetSpy.count(), 0);
        QCOMPARE(table.rowCount(), count - removed.size());
        QCOMPARE(keptIndex.data(StrategyTableModel::IdRole).toLongLong(), kept);
        QCOMPARE(proxyIndex.data(StrategyTableModel::IdRole).toLongLong(), kept);
        QCOMPARE(groups.index(groups.rowOfGroup("g")).data(GroupListModel::CountRole).toInt(), count - removed.size());

        proxy.setFilterText("Changed");
        qDebug() << "filter keystroke:" << timer.restart() << "ms";
        QCOMPARE(proxy.rowCount(), count / 100);
        proxy.setFilterText(QString());
        QCOMPARE(proxy.rowCount(), table.rowCount());
        QVERIFY(f.delFixedStrategyInfoByFilePath("/s/many.py"));
    }

    // The filter: a substring of the name, the file or the text, in any
    // case, never a pattern; and the group.
    void filters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("nothing: all") << "" << "" << QStringList{"MA_Cross", "海龟", "Grid", "revert"};
        QTest::newRow("name in another case") << "ma_c" << "" << QStringList{"MA_Cross"};
        QTest::newRow("file") << "/other/" << "" << QStringList{"revert"};
        QTest::newRow("file in another case") << "MEAN.PY" << "" << QStringList{"revert"};
        QTest::newRow("text") << "突破" << "" << QStringList{"海龟"};
        QTest::newRow("Latin text in another case") << "BREAKOUT" << "" << QStringList{"海龟"};
        QTest::newRow("Chinese name") << "海" << "" << QStringList{"海龟"};
        QTest::newRow("end of the text") << "line two" << "" << QStringList{"revert"};
        QTest::newRow("percent sign is a character") << "%" << "" << QStringList{"Grid"};
        QTest::newRow("caret is a character") << "^/s" << "" << QStringList{};
        QTest::newRow("star is a character") << "*" << "" << QStringList{};
        QTest::newRow("group alone") << "" << "g1" << QStringList{"MA_Cross", "Grid"};
        QTest::newRow("group and text") << "grid" << "g1" << QStringList{"Grid"};
        QTest::newRow("text in another group") << "海" << "g1" << QStringList{};
        QTest::newRow("group not there") << "" << "nope" << QStringList{};
        QTest::newRow("group name is not searched") << "g2" << "" << QStringList{};
        QTest::newRow("no match") << "zzz" << "" << QStringList{};
    }
    void filters()
    {
        QFETCH(QString, text);
        QFETCH(QString, group);
        QFETCH(QStringList, names);
        QVERIFY(apply({"group g1", "group g2", "strategy /s/MA_cross.py|MA_Cross|g1|均线 trend|1",
                       "strategy /s/turtle.py|海龟|g2|Breakout 突破|1", "strategy /s/grid.py|Grid|g1|网格 100%|1",
                       "strategy /other/Mean.py|revert|g2|line one, line two|1"}));
        StrategyTableModel table(f);
        StrategyFilterProxy proxy;
        proxy.setSourceModel(&table);
        Tester tester(&proxy, Tester::FailureReportingMode::QtTest);
        proxy.setFilterText(text);
        proxy.setGroup(group);
        QCOMPARE(proxy.filterText(), text);
        QCOMPARE(proxy.group(), group);
        QStringList shown;
        for (int row = 0; row < proxy.rowCount(); ++row)
            shown << proxy.index(row, StrategyTableModel::Name).data().toString();
        QCOMPARE(shown, names);

        proxy.setFilterText(QString());
        proxy.setGroup(QString());
        QCOMPARE(proxy.rowCount(), 4);
    }

    // Typed and erased key by key over a sorted list, the filter shows at
    // each key the rows, in the order, of a filter set at once.
    void filterKeyByKey_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::newRow("by id") << int(StrategyTableModel::Id) << int(Qt::AscendingOrder);
        QTest::newRow("by name, descending") << int(StrategyTableModel::Name) << int(Qt::DescendingOrder);
        QTest::newRow("unsorted") << -1 << int(Qt::AscendingOrder);
    }
    void filterKeyByKey()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        QStringList lines{"group g1", "group g2"};
        for (int i = 0; i < 60; ++i)
            lines << QStringLiteral("strategy /s/f%1.py|n%2|%3|t%4|1").arg(i).arg((i * 37) % 60).arg(i % 2 ? "g1" : "g2").arg(i % 7);
        QVERIFY(apply(lines));
        StrategyTableModel table(f);
        const auto rows = [&](const QString &text, const QString &group, StrategyFilterProxy *typed) {
            StrategyFilterProxy fresh;
            fresh.setSourceModel(&table);
            fresh.sort(column, Qt::SortOrder(order));
            fresh.setFilterText(text);
            fresh.setGroup(group);
            QStringList want, got;
            for (int row = 0; row < fresh.rowCount(); ++row)
                want << fresh.index(row, StrategyTableModel::Id).data().toString();
            for (int row = 0; row < typed->rowCount(); ++row)
                got << typed->index(row, StrategyTableModel::Id).data().toString();
            return want == got ? QString() : QStringLiteral("\"%1\" in %2: %3 instead of %4").arg(text, group, got.join(' '), want.join(' '));
        };
        StrategyFilterProxy proxy;
        proxy.setSourceModel(&table);
        proxy.sort(column, Qt::SortOrder(order));
        Tester tester(&proxy, Tester::FailureReportingMode::QtTest);
        const QString word = QStringLiteral("/S/F1");
        QString text;
        for (const QString &group : {QString(), QStringLiteral("g1"), QString()}) {
            proxy.setGroup(group);
            for (const QChar c : word) {
                text += c;
                proxy.setFilterText(text);
                const QString problem = rows(text, group, &proxy);
                QVERIFY2(problem.isEmpty(), qPrintable(problem));
            }
            QCOMPARE(proxy.rowCount(), group.isEmpty() ? 11 : 6); // f1, f10 to f19; the odd ones in g1
            while (!text.isEmpty()) {
                text.chop(1);
                proxy.setFilterText(text);
                const QString problem = rows(text, group, &proxy);
                QVERIFY2(problem.isEmpty(), qPrintable(problem));
            }
        }
    }

    // The filter applies to rows as they change.
    void filterFollowsChanges()
    {
        QVERIFY(apply({"group g", "strategy /s/a.py|a|g|trend|1", "strategy /s/b.py|b|g|flat|1"}));
        StrategyTableModel table(f);
        StrategyFilterProxy proxy;
        proxy.setSourceModel(&table);
        Tester tester(&proxy, Tester::FailureReportingMode::QtTest);
        proxy.setFilterText("TREND");
        QCOMPARE(proxy.rowCount(), 1);
        QVERIFY(apply({"modify a|a|g|flat", "modify b|b|g|trend up", "strategy /s/c.py|c|g|downtrend|1"}));
        QTRY_COMPARE(proxy.rowCount(), 2);
        QStringList shown;
        for (int row = 0; row < proxy.rowCount(); ++row)
            shown << proxy.index(row, StrategyTableModel::Name).data().toString();
        QCOMPARE(shown, QStringList({"b", "c"}));
    }

    // What a cell shows: numbers for id and copy, a mark for a locked
    // file, the whole of a long text in its tool tip; the headers.
    void cells()
    {
        const QString longText(60, QLatin1Char('x'));
        QVERIFY(apply({"group g", "strategy /s/a.py|a|g|" + longText + "|2", "lock /s/a.py",
                       "strategy /s/b.py|b|g|short|1"}));
        StrategyTableModel table(f);
        QCOMPARE(table.columnCount(), int(StrategyTableModel::ColumnCount));
        QStringList headers;
        for (int column = 0; column < table.columnCount(); ++column)
            headers << table.headerData(column, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"Id", "Name", "File", "Group", "Text", "Copy", "Locked"}));

        const QModelIndex second = table.index(1, 0);
        QCOMPARE(second.data().userType(), int(QMetaType::LongLong));
        QCOMPARE(second.data().toLongLong(), table.infoAt(1).id);
        QCOMPARE(table.index(1, StrategyTableModel::Copy).data().toInt(), 1);
        QCOMPARE(table.index(1, StrategyTableModel::Copy).data().userType(), int(QMetaType::Int));
        QVERIFY(!table.index(0, StrategyTableModel::Locked).data().toString().isEmpty());
        QVERIFY(table.index(2, StrategyTableModel::Locked).data().toString().isEmpty());
        QCOMPARE(table.index(0, StrategyTableModel::Locked).data(StrategyTableModel::LockedRole).toBool(), true);
        QCOMPARE(table.index(2, StrategyTableModel::Locked).data(StrategyTableModel::LockedRole).toBool(), false);
        QCOMPARE(table.index(0, StrategyTableModel::Text).data(Qt::ToolTipRole).toString(), longText);
        QVERIFY(!table.index(2, StrategyTableModel::Text).data(Qt::ToolTipRole).isValid());
        QCOMPARE(table.index(2, StrategyTableModel::File).data(Qt::ToolTipRole).toString(), QString("/s/b.py"));
        QCOMPARE(table.infoAt(2), f.getFixedStrateyInfoByID(int(table.infoAt(2).id)));
        QCOMPARE(table.infoAt(3).id, qint64(-1));
        QCOMPARE(table.infoAt(-1).id, qint64(-1));
        QCOMPARE(table.rowOfId(table.infoAt(2).id), 2);
        QCOMPARE(table.rowOfId(0), -1);
    }

    // A drag of strategies dropped onto the group list: onto a group's row
    // it asks for the move (the model moves nothing); anything else is
    // refused.
    void drops_data()
    {
        QTest::addColumn<QString>("target"); // a group, "all" for the first row, "between" for between rows
        QTest::addColumn<QString>("payload"); // "drag", or a "format:bytes"
        QTest::addColumn<Qt::DropAction>("action");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("onto a user group") << "g2" << "drag" << Qt::MoveAction << true;
        QTest::newRow("onto the default group") << StrategyLogic::defaultGroupName() << "drag" << Qt::MoveAction << true;
        QTest::newRow("copy action onto a group") << "g2" << "drag" << Qt::CopyAction << true;
        QTest::newRow("onto the group they are in") << "g1" << "drag" << Qt::MoveAction << true;
        QTest::newRow("onto All strategies") << "all" << "drag" << Qt::MoveAction << false;
        QTest::newRow("between rows") << "between" << "drag" << Qt::MoveAction << false;
        QTest::newRow("link action") << "g2" << "drag" << Qt::LinkAction << false;
        QTest::newRow("plain text") << "g2" << "text/plain:1\n2\n" << Qt::MoveAction << false;
        QTest::newRow("ids that are not numbers") << "g2" << "application/x-strategylogic-ids:1\nabc\n"
                                                  << Qt::MoveAction << false;
        QTest::newRow("id zero") << "g2" << "application/x-strategylogic-ids:0\n" << Qt::MoveAction << false;
        QTest::newRow("no ids") << "g2" << "application/x-strategylogic-ids:" << Qt::MoveAction << false;
    }
    void drops()
    {
        QFETCH(QString, target);
        QFETCH(QString, payload);
        QFETCH(Qt::DropAction, action);
        QFETCH(bool, accepted);
        QVERIFY(apply({"group g1", "group g2", "strategy /s/a.py|a|g1||3", "strategy /s/b.py|b|g1||1"}));
        StrategyTableModel table(f);
        GroupListModel groups(f, table);
        StrategyFilterProxy proxy;
        proxy.setSourceModel(&table);
        proxy.sort(StrategyTableModel::Id, Qt::DescendingOrder);
        Tester tester(&groups, Tester::FailureReportingMode::QtTest);

        // The first and third row selected in the view, every column.
        QModelIndexList selected;
        for (int row : {0, 2}) {
            for (int column = 0; column < proxy.columnCount(); ++column)
                selected << proxy.index(row, column);
        }
        const QList<qint64> dragged{table.infoAt(1).id, table.infoAt(3).id};
        std::unique_ptr<QMimeData> mime;
        if (payload == "drag") {
            mime.reset(proxy.mimeData(selected));
            QVERIFY(mime);
            QCOMPARE(StrategyTableModel::idsFromMimeData(mime.get()), dragged);
        } else {
            mime.reset(new QMimeData);
            mime->setData(payload.section(':', 0, 0), payload.section(':', 1).toUtf8());
        }

        int row = -1;
        QModelIndex parent;
        if (target == "between") {
            row = groups.rowOfGroup("g2");
        } else {
            parent = groups.index(target == "all" ? 0 : groups.rowOfGroup(target));
            QVERIFY(parent.isValid());
        }
        QSignalSpy requests(&groups, &GroupListModel::moveRequested);
        const QStringList before = pluginRows();
        QCOMPARE(groups.canDropMimeData(mime.get(), action, row, -1, parent), accepted);
        QCOMPARE(groups.dropMimeData(mime.get(), action, row, -1, parent), accepted);
        QCOMPARE(requests.count(), accepted ? 1 : 0);
        if (accepted) {
            QCOMPARE(requests.at(0).at(0).value<QList<qint64>>(), dragged);
            QCOMPARE(requests.at(0).at(1).toString(), target);
        }
        QCOMPARE(bool(groups.flags(parent) & Qt::ItemIsDropEnabled), parent.isValid() && target != "all");
        QTest::qWait(0);
        QCOMPARE(pluginRows(), before);
    }

    // The group list: "All strategies" first with every strategy, then the
    // plug-in's order, built-in groups marked; a renamed group keeps its row.
    void groupList()
    {
        QVERIFY(apply({"group 组二", "group g%2", "strategy /s/a.py|a|组二||2"}));
        StrategyTableModel table(f);
        GroupListModel groups(f, table);
        Tester tester(&groups, Tester::FailureReportingMode::QtTest);
        QCOMPARE(groupRows(groups), expectedGroups());
        QCOMPARE(groups.index(0).data().toString(), QString("All strategies (2)"));
        QCOMPARE(groups.groupAt(0), QString());
        QCOMPARE(groups.rowOfGroup(QString()), -1);
        QCOMPARE(groups.rowOfGroup("none"), -1);
        const int user = groups.rowOfGroup("组二");
        QCOMPARE(groups.index(user).data().toString(), QString("组二 (2)"));
        QCOMPARE(groups.index(groups.rowOfGroup("g%2")).data().toString(), QString("g%2 (0)"));
        const int builtIn = groups.rowOfGroup(StrategyLogic::defaultGroupName());
        QVERIFY(builtIn > 0);
        QVERIFY(groups.index(builtIn).data(GroupListModel::BuiltInRole).toBool());
        QVERIFY(groups.index(builtIn).data(Qt::FontRole).value<QFont>().italic());
        QVERIFY(!groups.index(user).data(Qt::FontRole).isValid());

        QPersistentModelIndex held(groups.index(user));
        QVERIFY(f.renameGroup("组二", "组三").isEmpty());
        table.reload();
        groups.reload();
        QCOMPARE(groupRows(groups), expectedGroups());
        QVERIFY(held.isValid());
        QCOMPARE(held.data(GroupListModel::NameRole).toString(), QString("组三"));
        QCOMPARE(held.data(GroupListModel::CountRole).toInt(), 2);
    }

    // The desk names each of the report's figures itself, to translate the
    // names; in English they are the report's.
    void everyFigureHasADeskName()
    {
        for (const QString &key : StrategyLogic::BacktestReport::figureKeys())
            QCOMPARE(BacktestFiguresModel::figureLabel(key), StrategyLogic::BacktestReport::figureLabel(key));
    }
};

QTEST_MAIN(tst_DeskModels)
#include "tst_deskmodels.moc"
