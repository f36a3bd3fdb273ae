// The group operations of strategydesk: each goes through the plug-in, the
// views follow, a refusal shows the plug-in's message, and the built-in
// groups cannot be renamed, deleted or merged away.

#include "app/pluginsession.h"
#include "models/grouplistmodel.h"
#include "models/strategytablemodel.h"
#include "ui/groupactions.h"
#include "ui/mainwindow.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include "testsupport.h"

#include <QtTest>
#include <QtWidgets>

class tst_DeskGroups : public QObject
{
    Q_OBJECT

    TestHome m_home;
    std::unique_ptr<PluginSession> m_session;
    std::unique_ptr<MainWindow> m_window;
    QString m_shown;

    StrategyFileLogicHandler &plugin() { return m_session->plugin(); }
    GroupActions &actions() { return *m_window->groupActions(); }
    QStringList groupsOf(const QString &file)
    {
        QStringList groups;
        for (const FixedStrategyInfo &info : plugin().getFixedStrategyList()) {
            if (info.filePath == file)
                groups.append(info.group);
        }
        return groups;
    }
    bool viewShows(const QString &group) { return m_window->groupModel()->rowOfGroup(group) >= 0; }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        m_session = std::make_unique<PluginSession>(m_home.path());
        m_session->askRetry = [](const QString &) { return false; };
        QVERIFY(m_session->start());
        m_window = std::make_unique<MainWindow>(*m_session);
        m_window->showMessage = [this](const QString &, const QString &message) { m_shown = message; };
    }
    void cleanupTestCase()
    {
        m_window.reset();
        m_session->stop();
    }

    void addAndRename()
    {
        QVERIFY(actions().add(QStringLiteral("新组")));
        QVERIFY(viewShows(QStringLiteral("新组")));
        QVERIFY(plugin().addFixedStrategy(QStringLiteral("D:/g/a.py"), QStringLiteral("a"), QStringLiteral("新组"), {}, 2));
        QVERIFY(actions().rename(QStringLiteral("新组"), QStringLiteral("改名")));
        QVERIFY(viewShows(QStringLiteral("改名")) && !viewShows(QStringLiteral("新组")));
        QCOMPARE(groupsOf(QStringLiteral("D:/g/a.py")), (QStringList{"改名", "改名"}));
        QCOMPARE(m_window->strategyModel()->groupCounts().value(QStringLiteral("改名")), 2);
    }

    // Refused: the view stays and the plug-in's message is shown.
    void refusals_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("name");
        QTest::newRow("a group that exists") << "add" << "已有";
        QTest::newRow("the default group's name") << "add" << StrategyLogic::defaultGroupName();
        QTest::newRow("renamed to a group that exists") << "rename" << "已有";
    }
    void refusals()
    {
        QFETCH(QString, operation);
        QFETCH(QString, name);
        if (!viewShows(QStringLiteral("已有")))
            QVERIFY(actions().add(QStringLiteral("已有")));
        if (!viewShows(QStringLiteral("源")))
            QVERIFY(actions().add(QStringLiteral("源")));
        const QStringList before = plugin().getAllStrategyGroupNameSorted();
        m_shown.clear();
        const bool done = operation == QLatin1String("add") ? actions().add(name)
                                                            : actions().rename(QStringLiteral("源"), name);
        QVERIFY(!done);
        QVERIFY(!m_shown.isEmpty());
        QCOMPARE(plugin().getAllStrategyGroupNameSorted(), before);
        QCOMPARE(m_window->groupModel()->rowCount(), before.size() + 1);
    }

    // What becomes of a deleted or merged group's strategies.
    void deleteAndMerge_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("groupsAfter"); // of the group's two strategies
        QTest::newRow("delete, strategies to the default group")
            << "delete" << QStringList{StrategyLogic::defaultGroupName(), StrategyLogic::defaultGroupName()};
        QTest::newRow("delete with the strategies") << "delete with" << QStringList();
        QTest::newRow("merge into another group") << "merge" << QStringList{"目标", "目标"};
    }
    void deleteAndMerge()
    {
        QFETCH(QString, operation);
        QFETCH(QStringList, groupsAfter);
        const QString file = QStringLiteral("D:/g/%1.py").arg(operation).remove(QLatin1Char(' '));
        const QString group = QStringLiteral("将去") + QFileInfo(file).baseName();
        QVERIFY(actions().add(group));
        if (!viewShows(QStringLiteral("目标")))
            QVERIFY(actions().add(QStringLiteral("目标")));
        QVERIFY(plugin().addFixedStrategy(file, QStringLiteral("s"), group, {}, 2));
        if (operation == QLatin1String("merge"))
            QVERIFY(actions().merge(group, QStringLiteral("目标")));
        else
            QVERIFY(actions().remove(group, operation == QLatin1String("delete with")));
        QVERIFY(!plugin().getAllStrategyGroupNameSorted().contains(group));
        QVERIFY(!viewShows(group));
        QCOMPARE(groupsOf(file), groupsAfter);
        QCOMPARE(m_window->strategyModel()->rowCount(), plugin().getFixedStrategyList().size());
    }

    // The actions of a built-in group are disabled; asking through them
    // does nothing.
    void builtInGroupsStay()
    {
        actions().setCurrentGroup(StrategyLogic::defaultGroupName());
        QVERIFY(actions().addAction()->isEnabled());
        QVERIFY(!actions().renameAction()->isEnabled());
        QVERIFY(!actions().deleteAction()->isEnabled());
        QVERIFY(!actions().mergeAction()->isEnabled());
        actions().setCurrentGroup(QStringLiteral("目标"));
        QVERIFY(actions().renameAction()->isEnabled() && actions().deleteAction()->isEnabled());
    }

    // The delete asks what becomes of the strategies, and says how many.
    void deleteAsksFirst()
    {
        QVERIFY(actions().add(QStringLiteral("问组")));
        QVERIFY(plugin().addFixedStrategy(QStringLiteral("D:/g/ask.py"), QStringLiteral("s"), QStringLiteral("问组"), {}, 3));
        QString asked;
        actions().askChoice = [&](const QString &, const QString &question, const QStringList &) {
            asked = question;
            return -1; // cancelled
        };
        actions().setCurrentGroup(QStringLiteral("问组"));
        actions().deleteAction()->trigger();
        QVERIFY2(asked.contains(QStringLiteral("3 strategies")), qPrintable(asked));
        QVERIFY(plugin().getAllStrategyGroupNameSorted().contains(QStringLiteral("问组")));
        QCOMPARE(groupsOf(QStringLiteral("D:/g/ask.py")).size(), 3);
    }
};

QTEST_MAIN(tst_DeskGroups)
#include "tst_deskgroups.moc"
