// The strategy screens of strategydesk as a user works them: the add
// dialog checks as the user types, changes go through the plug-in and show
// in the views and the files, a refusal is shown with the plug-in's
// message, a modify, a move, a lock and a group rename are undone and
// redone through the plug-in, a change made on another thread reaches the
// table, and a data folder held by another process names its holder. The
// history dock shows the changes newest first, Help > Check installation
// the doctor's findings, and File > Import the plan of a bundle before it is
// applied.

#include "app/pluginsession.h"
#include "editor/codeeditor.h"
#include "editor/strategyfileview.h"
#include "models/grouplistmodel.h"
#include "models/historymodel.h"
#include "models/strategyfilterproxy.h"
#include "models/strategytablemodel.h"
#include "ui/addstrategydialog.h"
#include "ui/doctordialog.h"
#include "ui/groupactions.h"
#include "ui/historydock.h"
#include "ui/importplandialog.h"
#include "ui/mainwindow.h"
#include "ui/modifystrategydialog.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include "bundlesample.h"
#include "testsupport.h"

#include <zqapplicationdir.h>

#include <QAbstractItemModelTester>
#include <QtTest>
#include <QtWidgets>

#include <thread>

class tst_Desk : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QTemporaryDir m_files;
    std::unique_ptr<PluginSession> m_session;
    std::unique_ptr<MainWindow> m_window;
    QString m_shown; // the last message the window showed

    StrategyFileLogicHandler &plugin() { return m_session->plugin(); }
    QString strategyFile(const QString &name, const QByteArray &text = "print('hi')\n")
    {
        const QString path = m_files.filePath(name);
        writeFile(path, text);
        return path;
    }
    FixedStrategyInfo registered(const QString &filePath, const QString &name)
    {
        for (const FixedStrategyInfo &info : plugin().getFixedStrategyList()) {
            if (info.filePath == filePath && info.name == name)
                return info;
        }
        return FixedStrategyInfo();
    }
    static QStringList column(const QAbstractItemModel *model, int column)
    {
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts.append(model->index(row, column).data().toString());
        return texts;
    }
    void select(qint64 id)
    {
        const QModelIndex source = m_window->strategyModel()->index(m_window->strategyModel()->rowOfId(id), 0);
        const QModelIndex index = m_window->strategyProxy()->mapFromSource(source);
        m_window->strategyView()->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect
                                                                      | QItemSelectionModel::Rows);
    }

    FixedStrategyInfo inTable(qint64 id)
    {
        const StrategyTableModel *model = m_window->strategyModel();
        const int row = model->rowOfId(id);
        return row < 0 ? FixedStrategyInfo() : model->infoAt(row);
    }
    // The Edit menu's action with these keys.
    QAction *editAction(const QKeySequence &keys)
    {
        for (QAction *action : m_window->findChildren<QAction *>()) {
            if (action->shortcut() == keys)
                return action;
        }
        return nullptr;
    }
    void undo()
    {
        QAction *action = editAction(QKeySequence::Undo);
        QVERIFY(action && action->isEnabled());
        action->trigger();
    }
    void redo()
    {
        QAction *action = editAction(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
        QVERIFY(action && action->isEnabled());
        action->trigger();
    }
    // What the plug-in says when an add of this name for the file is refused.
    QString addRefusal(const QString &file, const QString &name, const QString &group, const QString &text)
    {
        if (plugin().addFixedStrategy(file, name, group, text, 1))
            return QStringLiteral("(the add was taken)");
        return StrategyLogic::lastRefusal().message;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY(m_files.isValid());
        m_session = std::make_unique<PluginSession>(m_home.path());
        m_session->askRetry = [](const QString &) { return false; };
        QVERIFY(m_session->start());
        QCOMPARE(plugin().addGroup(QStringLiteral("趋势")), QString());
        m_window = std::make_unique<MainWindow>(*m_session);
        m_window->showMessage = [this](const QString &, const QString &message) { m_shown = message; };
        m_window->confirm = [](const QString &) { return true; };
        m_window->show();
    }
    void cleanupTestCase()
    {
        m_window.reset();
        m_session->stop();
    }

    void init()
    {
        if (m_window)
            m_window->undoStack()->clear();
        m_shown.clear();
    }

    // Chinese names are drawn with a font that has them, not as boxes.
    void aFontForChinese() { QVERIFY(!QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty()); }

    // What the user types is checked at once; OK waits for values the
    // plug-in takes, and a refusal says what the plug-in would say.
    void addDialogChecksAsTyped_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("problem"); // "" accepted; "plug-in" the plug-in's refusal of the add
        QTest::newRow("a new strategy") << "ok.py" << "趋势一号" << "趋势" << 2 << "";
        QTest::newRow("the name taken for the file") << "taken.py" << "taken" << "趋势" << 1 << "plug-in";
        QTest::newRow("a copy's name taken") << "taken.py" << "t" << "趋势" << 2 << "plug-in";
        QTest::newRow("a separator in the name") << "ok.py" << "a,%&b" << "趋势" << 1 << "plug-in";
        QTest::newRow("no file") << "" << "n" << "趋势" << 1 << "Choose the strategy file.";
        QTest::newRow("not a Python file") << "notes.txt" << "n" << "趋势" << 1
                                           << "A strategy file ends with .py, .pyd or .pyc.";
        QTest::newRow("a blank in the file name") << "my strategy.py" << "n" << "趋势" << 1
                                                  << "The file name may hold no blank and none of \\ / : * ? \" < >, "
                                                     "and its name before the first dot has 1 to 30 characters.";
        QTest::newRow("no name") << "ok.py" << "" << "趋势" << 1 << "Give the strategy a name.";
    }
    void addDialogChecksAsTyped()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QString, group);
        QFETCH(int, count);
        QFETCH(QString, problem);
        const QString taken = strategyFile(QStringLiteral("taken.py"));
        if (registered(taken, QStringLiteral("taken")).id < 1) {
            QVERIFY(plugin().addFixedStrategy(taken, QStringLiteral("taken"), StrategyLogic::defaultGroupName(), {}, 1));
            QVERIFY(plugin().addFixedStrategy(taken, QStringLiteral("t_1"), StrategyLogic::defaultGroupName(), {}, 1));
        }
        const QString path = file.isEmpty() ? QString() : m_files.filePath(file);
        AddStrategyDialog dialog(plugin(), plugin().getAllStrategyGroupNameSorted(), group);
        dialog.fileEdit()->setText(path);
        QCOMPARE(dialog.nameEdit()->text(), path.isEmpty() ? QString() : plugin().GetDefaultFixedStrategyName(path));
        dialog.nameEdit()->setText(name);
        dialog.countBox()->setValue(count);
        if (problem == QLatin1String("plug-in")) {
            // What the add itself answers: the dialog says it before.
            const int before = plugin().getFixedStrategyList().size();
            QVERIFY(!plugin().addFixedStrategy(path, name, group, QString(), count));
            problem = StrategyLogic::lastRefusal().message;
            QVERIFY(!problem.isEmpty());
            for (const FixedStrategyInfo &info : plugin().getFixedStrategyList()) {
                if (plugin().getFixedStrategyList().size() > before && info.filePath == path && info.name == name)
                    plugin().delFixedStrategyInfoByID(info.id); // an earlier copy that went in
            }
        }
        QCOMPARE(dialog.problem(), problem);
        QCOMPARE(dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled(), problem.isEmpty());
    }

    // An add shows in the table, the group's count and the data file; one
    // the plug-in refuses shows its message and changes nothing.
    void addShowsInViewsAndFile()
    {
        const QString path = strategyFile(QStringLiteral("added.py"));
        m_window->strategyModel()->reload(); // the earlier cases' changes, whose signals may still wait
        const int rows = m_window->strategyModel()->rowCount();
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("新策略"), QStringLiteral("趋势"), QStringLiteral("x"), 2));
        QCOMPARE(m_window->strategyModel()->rowCount(), rows + 2);
        const QByteArray data = readFile(StrategyLogic::installationFiles(m_home.path(), plugin().getCurUserId()).dataFile);
        QVERIFY(data.contains(QStringLiteral("新策略_1,%&%1").arg(path).toUtf8()));
        const GroupListModel *groups = m_window->groupModel();
        QCOMPARE(groups->data(groups->index(groups->rowOfGroup(QStringLiteral("趋势"))), GroupListModel::CountRole).toInt(),
                 m_window->strategyModel()->groupCounts().value(QStringLiteral("趋势")));

        m_shown.clear();
        QVERIFY(!m_window->addStrategyWith(path, QStringLiteral("新策略"), QStringLiteral("没有的分组"), {}, 1));
        QCOMPARE(m_shown, StrategyLogic::lastRefusal().message);
        QCOMPARE(m_window->strategyModel()->rowCount(), rows + 2);
    }

    // Locking the file makes the editor read-only and says why; unlocking
    // lets it be edited again.
    void lockTurnsTheEditorReadOnly()
    {
        const QString path = strategyFile(QStringLiteral("lockme.py"), "x = 1\n");
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("lockme"), QStringLiteral("趋势"), {}, 1));
        select(registered(path, QStringLiteral("lockme")).id);
        QCOMPARE(m_window->fileView()->filePath(), path);
        QVERIFY(!m_window->fileView()->editor()->isReadOnly());
        m_window->toggleLockOfSelected();
        QVERIFY(plugin().getFileLockState(path));
        QVERIFY(m_window->fileView()->editor()->isReadOnly());
        QVERIFY(!m_window->fileView()->notice().isEmpty());
        m_window->toggleLockOfSelected();
        QVERIFY(!plugin().getFileLockState(path));
        QVERIFY(!m_window->fileView()->editor()->isReadOnly());
    }

    // Strategies dropped onto a group move there.
    void dropOntoAGroupMoves()
    {
        const QString path = strategyFile(QStringLiteral("dragged.py"));
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("dragged"), StrategyLogic::defaultGroupName(), {}, 2));
        StrategyTableModel *strategies = m_window->strategyModel();
        const FixedStrategyInfo first = registered(path, QStringLiteral("dragged"));
        const FixedStrategyInfo second = registered(path, QStringLiteral("dragged_1"));
        std::unique_ptr<QMimeData> mime(strategies->mimeData(
            {strategies->index(strategies->rowOfId(first.id), 0), strategies->index(strategies->rowOfId(second.id), 1)}));
        GroupListModel *groups = m_window->groupModel();
        const QModelIndex target = groups->index(groups->rowOfGroup(QStringLiteral("趋势")));
        QVERIFY(groups->canDropMimeData(mime.get(), Qt::MoveAction, -1, -1, target));
        QVERIFY(groups->dropMimeData(mime.get(), Qt::MoveAction, -1, -1, target));
        QTRY_COMPARE(plugin().getFixedStrateyInfoByID(int(first.id)).group, QStringLiteral("趋势"));
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(second.id)).group, QStringLiteral("趋势"));
        QCOMPARE(strategies->infoAt(strategies->rowOfId(first.id)).group, QStringLiteral("趋势"));
    }

    // A modify of each field shows in the plug-in and the table; undo puts
    // the field back and redo changes it again, each through the plug-in.
    void modifyThenUndoRedo_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("the name") << "name";
        QTest::newRow("the file path") << "file";
        QTest::newRow("the group") << "group";
        QTest::newRow("the text") << "text";
    }
    void modifyThenUndoRedo()
    {
        QFETCH(QString, field);
        const QString path = strategyFile(QStringLiteral("modify_%1.py").arg(field));
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("改前"), StrategyLogic::defaultGroupName(),
                                          QStringLiteral("old text"), 1));
        const FixedStrategyInfo before = registered(path, QStringLiteral("改前"));
        QVERIFY(before.id > 0);
        FixedStrategyInfo after = before;
        if (field == QLatin1String("name"))
            after.name = QStringLiteral("改后");
        else if (field == QLatin1String("file"))
            after.filePath = strategyFile(QStringLiteral("moved_%1.py").arg(field));
        else if (field == QLatin1String("group"))
            after.group = QStringLiteral("趋势");
        else
            after.extraInfo = QStringLiteral("new text");
        select(before.id);
        ModifyStrategyDialog dialog(plugin(), before, plugin().getAllStrategyGroupNameSorted());
        QVERIFY(!dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled()); // nothing changed yet
        dialog.nameEdit()->setText(after.name);
        dialog.fileEdit()->setText(after.filePath);
        dialog.groupBox()->setCurrentText(after.group);
        dialog.extraEdit()->setText(after.extraInfo);
        QCOMPARE(dialog.problem(), QString());
        QVERIFY(dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());
        QCOMPARE(dialog.info(), after);

        QSignalSpy modified(&plugin(), &StrategyFileLogicHandler::signalStrategyModifyed);
        QVERIFY(m_window->modifyStrategyWith(dialog.info()));
        QCOMPARE(modified.count(), 1); // the push does not ask the plug-in a second time
        QCOMPARE(m_window->undoStack()->count(), 1);
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(before.id)), after);
        QCOMPARE(inTable(before.id), after);

        undo();
        QCOMPARE(modified.count(), 2);
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(before.id)), before);
        QCOMPARE(inTable(before.id), before);
        redo();
        QCOMPARE(modified.count(), 3);
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(before.id)), after);
        QCOMPARE(inTable(before.id), after);
        QCOMPARE(m_window->undoStack()->index(), 1);
        QCOMPARE(m_shown, QString());
    }

    // A modify the plug-in would refuse is refused in the dialog and by the
    // window with the plug-in's message; nothing changes and nothing is
    // pushed.
    void refusedModifyPushesNothing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("the name taken for the file") << "name" << "已有";
        QTest::newRow("the name taken for the new file") << "file" << "other_refused.py";
        QTest::newRow("a group that does not exist") << "group" << "没有的分组";
        QTest::newRow("a separator in the text") << "text" << "a,%&b";
    }
    void refusedModifyPushesNothing()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        const QString path = strategyFile(QStringLiteral("refused.py"));
        const QString other = strategyFile(QStringLiteral("other_refused.py"));
        if (registered(path, QStringLiteral("已有")).id < 1) {
            QVERIFY(m_window->addStrategyWith(path, QStringLiteral("已有"), StrategyLogic::defaultGroupName(), {}, 1));
            QVERIFY(m_window->addStrategyWith(path, QStringLiteral("要改的"), StrategyLogic::defaultGroupName(), {}, 1));
            QVERIFY(m_window->addStrategyWith(other, QStringLiteral("要改的"), StrategyLogic::defaultGroupName(), {}, 1));
        }
        const FixedStrategyInfo before = registered(path, QStringLiteral("要改的"));
        FixedStrategyInfo after = before;
        if (field == QLatin1String("name"))
            after.name = value;
        else if (field == QLatin1String("file"))
            after.filePath = m_files.filePath(value);
        else if (field == QLatin1String("group"))
            after.group = value;
        else
            after.extraInfo = value;
        const QString message = addRefusal(after.filePath, after.name, after.group, after.extraInfo);
        QVERIFY(!message.isEmpty());

        ModifyStrategyDialog dialog(plugin(), before, plugin().getAllStrategyGroupNameSorted() << QStringLiteral("没有的分组"));
        dialog.nameEdit()->setText(after.name);
        dialog.fileEdit()->setText(after.filePath);
        dialog.groupBox()->setCurrentText(after.group);
        dialog.extraEdit()->setText(after.extraInfo);
        QCOMPARE(dialog.problem(), message);
        QVERIFY(!dialog.buttons()->button(QDialogButtonBox::Ok)->isEnabled());

        QVERIFY(!m_window->modifyStrategyWith(after));
        QCOMPARE(m_shown, message);
        QCOMPARE(m_window->undoStack()->count(), 0);
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(before.id)), before);
        QCOMPARE(inTable(before.id), before);
    }

    // An undo the plug-in refuses shows its message; the command is
    // dropped, the one below it stays, and the strategy keeps what it has.
    void refusedUndoIsDropped_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("the old name taken for the file") << "name taken";
        QTest::newRow("the old group deleted") << "group deleted";
        QTest::newRow("the strategy removed") << "removed";
    }
    void refusedUndoIsDropped()
    {
        QFETCH(QString, meanwhile);
        const QString path = strategyFile(QStringLiteral("undo_refused_%1.py").arg(QString(meanwhile).replace(QLatin1Char(' '), QLatin1Char('_'))));
        const QString oldGroup = QStringLiteral("旧组");
        if (!plugin().getAllStrategyGroupNameSorted().contains(oldGroup))
            QCOMPARE(plugin().addGroup(oldGroup), QString());
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("旧名"), oldGroup, {}, 1));
        const FixedStrategyInfo first = registered(path, QStringLiteral("旧名"));
        FixedStrategyInfo info = first;
        info.extraInfo = QStringLiteral("below");
        QVERIFY(m_window->modifyStrategyWith(info)); // the command below
        info.name = QStringLiteral("新名");
        info.group = QStringLiteral("趋势");
        QVERIFY(m_window->modifyStrategyWith(info));
        QCOMPARE(m_window->undoStack()->count(), 2);
        QString message;
        if (meanwhile == QLatin1String("name taken")) {
            QVERIFY(plugin().addFixedStrategy(path, QStringLiteral("旧名"), StrategyLogic::defaultGroupName(), {}, 1));
            message = addRefusal(path, QStringLiteral("旧名"), StrategyLogic::defaultGroupName(), {});
        } else if (meanwhile == QLatin1String("group deleted")) {
            QVERIFY(plugin().deleteGroup(oldGroup, false));
            message = addRefusal(path, QStringLiteral("新的"), oldGroup, {});
        } else {
            QVERIFY(plugin().delFixedStrategyInfoByID(info.id));
            QVERIFY(!plugin().modifyFixedStrategyInfo(int(info.id), first));
            message = StrategyLogic::lastRefusal().message;
        }
        QVERIFY(!message.isEmpty());
        m_window->strategyModel()->reload();
        const FixedStrategyInfo held = plugin().getFixedStrateyInfoByID(int(info.id));
        undo();
        QCOMPARE(m_shown, message);
        QCOMPARE(m_window->undoStack()->count(), 1);
        QCOMPARE(m_window->undoStack()->index(), 1);
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(info.id)), held);
        QCOMPARE(inTable(info.id), held);
    }

    // Strategies dropped onto a group go back to their groups on undo and
    // to the group again on redo.
    void dropThenUndo()
    {
        const QString path = strategyFile(QStringLiteral("dropundo.py"));
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("拖"), StrategyLogic::defaultGroupName(), {}, 1));
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("拽"), QStringLiteral("趋势"), {}, 1));
        const FixedStrategyInfo first = registered(path, QStringLiteral("拖"));
        const FixedStrategyInfo second = registered(path, QStringLiteral("拽"));
        StrategyTableModel *strategies = m_window->strategyModel();
        std::unique_ptr<QMimeData> mime(strategies->mimeData(
            {strategies->index(strategies->rowOfId(first.id), 0), strategies->index(strategies->rowOfId(second.id), 0)}));
        GroupListModel *groups = m_window->groupModel();
        const QString target = QStringLiteral("移入");
        if (groups->rowOfGroup(target) < 0) {
            QCOMPARE(plugin().addGroup(target), QString());
            groups->reload();
        }
        QVERIFY(groups->dropMimeData(mime.get(), Qt::MoveAction, -1, -1, groups->index(groups->rowOfGroup(target))));
        QTRY_COMPARE(m_window->undoStack()->count(), 1);
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(first.id)).group, target);
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(second.id)).group, target);
        const auto countOf = [&](const QString &group) {
            return groups->data(groups->index(groups->rowOfGroup(group)), GroupListModel::CountRole).toInt();
        };
        QCOMPARE(countOf(target), 2);
        undo();
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(first.id)).group, StrategyLogic::defaultGroupName());
        QCOMPARE(plugin().getFixedStrateyInfoByID(int(second.id)).group, QStringLiteral("趋势"));
        QCOMPARE(inTable(first.id).group, StrategyLogic::defaultGroupName());
        QCOMPARE(inTable(second.id).group, QStringLiteral("趋势"));
        QCOMPARE(countOf(target), 0);
        redo();
        QCOMPARE(inTable(first.id).group, target);
        QCOMPARE(inTable(second.id).group, target);
        QCOMPARE(countOf(target), 2);
    }

    // A group rename is undone by renaming the group back, its strategies
    // with it; when the old name was taken meanwhile, the undo is refused
    // with the plug-in's message and the group keeps its new name.
    void groupRenameThenUndo_data()
    {
        QTest::addColumn<bool>("withStrategy");
        QTest::addColumn<bool>("oldNameTaken");
        QTest::newRow("a group with a strategy") << true << false;
        QTest::newRow("an empty group") << false << false;
        QTest::newRow("the old name taken meanwhile") << true << true;
    }
    void groupRenameThenUndo()
    {
        QFETCH(bool, withStrategy);
        QFETCH(bool, oldNameTaken);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
        const QString from = QStringLiteral("旧组_") + tag;
        const QString to = QStringLiteral("新组_") + tag;
        QCOMPARE(plugin().addGroup(from), QString());
        qint64 id = 0;
        if (withStrategy) {
            const QString path = strategyFile(QStringLiteral("grouprename_%1.py").arg(tag));
            QVERIFY(m_window->addStrategyWith(path, QStringLiteral("组内"), from, {}, 1));
            id = registered(path, QStringLiteral("组内")).id;
        }
        m_window->groupActions()->changed();
        QVERIFY(m_window->groupActions()->rename(from, to));
        QCOMPARE(m_window->undoStack()->count(), 1);
        QVERIFY(m_window->groupModel()->rowOfGroup(to) >= 0);
        QCOMPARE(m_window->groupModel()->rowOfGroup(from), -1);
        if (withStrategy)
            QCOMPARE(inTable(id).group, to);
        if (oldNameTaken)
            QCOMPARE(plugin().addGroup(from), QString());
        undo();
        const QString held = oldNameTaken ? to : from;
        QVERIFY(plugin().getAllStrategyGroupNameSorted().contains(held));
        QVERIFY(m_window->groupModel()->rowOfGroup(held) >= 0);
        if (withStrategy) {
            QCOMPARE(plugin().getFixedStrateyInfoByID(int(id)).group, held);
            QCOMPARE(inTable(id).group, held);
        }
        if (oldNameTaken) {
            QVERIFY(!m_shown.isEmpty());
            QCOMPARE(m_window->undoStack()->count(), 0);
            return;
        }
        QCOMPARE(m_window->groupModel()->rowOfGroup(to), -1);
        redo();
        QCOMPARE(m_window->groupModel()->rowOfGroup(from), -1);
        QVERIFY(m_window->groupModel()->rowOfGroup(to) >= 0);
        if (withStrategy)
            QCOMPARE(inTable(id).group, to);
    }

    // A lock is undone by unlocking what it locked, and no more; the
    // editor's read-only state follows.
    void lockThenUndo_data()
    {
        QTest::addColumn<bool>("otherLocked"); // a second selected file locked before
        QTest::newRow("one file") << false;
        QTest::newRow("a file locked before stays locked") << true;
    }
    void lockThenUndo()
    {
        QFETCH(bool, otherLocked);
        const QString path = strategyFile(QStringLiteral("lockundo_%1.py").arg(otherLocked), "x = 1\n");
        const QString other = strategyFile(QStringLiteral("lockundo_other_%1.py").arg(otherLocked), "y = 2\n");
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("锁"), QStringLiteral("趋势"), {}, 1));
        QVERIFY(m_window->addStrategyWith(other, QStringLiteral("锁"), QStringLiteral("趋势"), {}, 1));
        const qint64 id = registered(path, QStringLiteral("锁")).id;
        const qint64 otherId = registered(other, QStringLiteral("锁")).id;
        if (otherLocked)
            QVERIFY(plugin().changeFileLockState(other, true));
        select(otherId);
        select(id); // the editor shows this one's file
        QCOMPARE(m_window->fileView()->filePath(), path);
        QVERIFY(!m_window->fileView()->editor()->isReadOnly());
        if (otherLocked) {
            const QModelIndex index = m_window->strategyProxy()->mapFromSource(
                m_window->strategyModel()->index(m_window->strategyModel()->rowOfId(otherId), 0));
            m_window->strategyView()->selectionModel()->select(index, QItemSelectionModel::Select
                                                                          | QItemSelectionModel::Rows);
        }
        m_window->toggleLockOfSelected();
        QVERIFY(plugin().getFileLockState(path));
        QVERIFY(m_window->fileView()->editor()->isReadOnly());
        QCOMPARE(m_window->undoStack()->count(), 1);

        undo();
        QVERIFY(!plugin().getFileLockState(path));
        QCOMPARE(plugin().getFileLockState(other), otherLocked);
        const auto lockedInTable = [this](qint64 row) {
            const StrategyTableModel *model = m_window->strategyModel();
            return model->data(model->index(model->rowOfId(row), 0), StrategyTableModel::LockedRole).toBool();
        };
        QVERIFY(!lockedInTable(id));
        QCOMPARE(lockedInTable(otherId), otherLocked);
        select(id);
        QTRY_VERIFY(!m_window->fileView()->editor()->isReadOnly());
        redo();
        QVERIFY(plugin().getFileLockState(path));
        QVERIFY(lockedInTable(id));
        QVERIFY(m_window->fileView()->editor()->isReadOnly());
        QCOMPARE(m_shown, QString());
    }

    // A change made on another thread reaches the table through the
    // plug-in's queued signal.
    void aChangeOnAnotherThreadShows()
    {
        m_window->strategyModel()->reload();
        const int rows = m_window->strategyModel()->rowCount();
        std::thread other([this] {
            plugin().addFixedStrategy(QStringLiteral("D:/other/thread.py"), QStringLiteral("远方"),
                                      StrategyLogic::defaultGroupName(), {}, 1);
        });
        other.join();
        QTRY_COMPARE(m_window->strategyModel()->rowCount(), rows + 1);
    }

    // The history dock shows an add and a rename of a strategy newest first;
    // the id box narrows it to that strategy's changes, or to none, without
    // reading the files again; a burst of changes reads them once.
    void historyShowsChangesNewestFirst_data()
    {
        QTest::addColumn<QString>("filter"); // "own": the strategy's id; "unused": an id no record has
        QTest::addColumn<bool>("onlyOwn");   // whether every row is one of the strategy's two changes
        QTest::newRow("every change") << "" << false;
        QTest::newRow("the strategy's id") << "own" << true;
        QTest::newRow("an id without changes") << "unused" << true;
    }
    void historyShowsChangesNewestFirst()
    {
        QFETCH(QString, filter);
        QFETCH(bool, onlyOwn);
        HistoryDock *dock = m_window->historyDock();
        HistoryModel *history = dock->model();
        QAbstractItemModelTester tester(history, QAbstractItemModelTester::FailureReportingMode::QtTest);
        dock->idEdit()->clear();
        history->reload(); // what the earlier cases changed, whatever still waits in the event loop

        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
        const QString path = strategyFile(QStringLiteral("hist_%1.py").arg(tag.left(12)));
        const QString name = QStringLiteral("记录%1").arg(tag.size());
        const int reads = history->reads();
        QVERIFY(m_window->addStrategyWith(path, name, QStringLiteral("趋势"), {}, 1));
        FixedStrategyInfo info = registered(path, name);
        info.name += QStringLiteral("新");
        QVERIFY(plugin().modifyFixedStrategyInfo(int(info.id), info));
        // The add, the rename and the signals they raised: one read.
        QTRY_COMPARE(history->rowCount() > 0 ? history->index(0, HistoryModel::Change).data().toString() : QString(),
                     QStringLiteral("#%1 %2: name %2 -> %3").arg(info.id).arg(name, info.name));
        QCOMPARE(history->index(0, HistoryModel::Operation).data().toString(), QStringLiteral("strategy.modify"));
        QCOMPARE(history->index(1, HistoryModel::Operation).data().toString(), QStringLiteral("strategy.add"));
        QVERIFY(history->index(1, HistoryModel::Change).data().toString().startsWith(
            QStringLiteral("#%1 %2 (").arg(info.id).arg(name)));
        QVERIFY(history->index(0, HistoryModel::Time).data().toString()
                >= history->index(1, HistoryModel::Time).data().toString());
        QTRY_COMPARE(history->reads(), reads + 1);
        const int total = history->rowCount();
        QVERIFY(total > 2);

        const QString id = filter == QLatin1String("own") ? QString::number(info.id)
                           : filter == QLatin1String("unused") ? QStringLiteral("987654321")
                                                                : QString();
        QTest::keyClicks(dock->idEdit(), id);
        const QStringList operations = column(history, HistoryModel::Operation);
        if (!onlyOwn)
            QCOMPARE(operations.size(), total);
        else if (filter == QLatin1String("own"))
            QCOMPARE(operations, QStringList({QStringLiteral("strategy.modify"), QStringLiteral("strategy.add")}));
        else
            QCOMPARE(operations, QStringList());
        QCOMPARE(history->reads(), reads + 1); // the filter reads nothing
        QCOMPARE(dock->problem(), QString());
        dock->idEdit()->clear();
        QCOMPARE(history->rowCount(), total);
    }

    // Help > Check installation lists the doctor's findings of the folder;
    // "Apply safe fixes" asks first, and while this process holds the
    // folder it changes nothing and says who holds it.
    void doctorListsFindings_data()
    {
        QTest::addColumn<bool>("ownFolder"); // the window's data folder, or one no process holds
        QTest::addColumn<bool>("confirmed"); // the answer to "Apply the safe fixes?"
        QTest::addColumn<QString>("finding");
        QTest::addColumn<QString>("outcome"); // a part of what the dialog says after the fixes
        QTest::addColumn<bool>("plantedStays");
        QTest::newRow("a leftover temporary file, removed") << false << true << "stale-temporary-files"
                                                            << "Repairs made: 1." << false;
        QTest::newRow("a leftover temporary file, fixes declined") << false << false << "stale-temporary-files"
                                                                   << "" << true;
        QTest::newRow("the window's folder, held by this process")
            << true << true << "set-aside-files" << "in use by this process" << true;
    }
    void doctorListsFindings()
    {
        QFETCH(bool, ownFolder);
        QFETCH(bool, confirmed);
        QFETCH(QString, finding);
        QFETCH(QString, outcome);
        QFETCH(bool, plantedStays);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).left(20).replace(QLatin1Char(' '), QLatin1Char('_'));
        const QString folder = ownFolder ? m_home.path() : m_files.filePath(QStringLiteral("free-") + tag);
        QVERIFY(QDir().mkpath(folder));
        const StrategyLogic::InstallationFiles files = StrategyLogic::installationFiles(folder, plugin().getCurUserId());
        // What a writer killed mid-write leaves, and a file the plug-in kept aside.
        const QString planted = ownFolder ? files.dataFile + QStringLiteral(".unreadable-20260101-093000")
                                          : files.pythonIni + QStringLiteral(".Ab3dE9");
        QVERIFY(writeFile(planted, "x"));
        auto removePlanted = qScopeGuard([&] { QFile::remove(planted); });

        QStringList asked;
        QStringList before;
        QStringList after;
        QString said;
        bool shown = false;
        auto inspect = [&](DoctorDialog &dialog) {
            QAbstractItemModelTester tester(dialog.model(), QAbstractItemModelTester::FailureReportingMode::Warning);
            before = column(dialog.model(), DoctorDialog::Id);
            dialog.applyFixes();
            said = dialog.outcome();
            after = column(dialog.model(), DoctorDialog::Id);
            shown = true;
        };
        const auto confirm = [&](const QString &question) {
            asked.append(question);
            return confirmed;
        };
        if (ownFolder) {
            m_window->confirm = confirm;
            m_window->runDialog = [&](QDialog &dialog) {
                if (auto *doctor = qobject_cast<DoctorDialog *>(&dialog))
                    inspect(*doctor);
                return int(QDialog::Rejected);
            };
            m_window->checkInstallation();
            m_window->confirm = [](const QString &) { return true; };
        } else {
            DoctorDialog dialog(folder, confirm);
            inspect(dialog);
        }
        QVERIFY(shown);
        QVERIFY2(before.contains(finding), qPrintable(before.join(QLatin1Char(' '))));
        QCOMPARE(asked.size(), 1);
        QVERIFY2(said.contains(outcome), qPrintable(said));
        QCOMPARE(said.isEmpty(), outcome.isEmpty());
        QCOMPARE(QFile::exists(planted), plantedStays);
        QCOMPARE(after.contains(finding), plantedStays);
        if (ownFolder)
            QVERIFY(before.contains(QStringLiteral("folder-in-use")));
    }

    // File > Import shows the dry run's plan before anything is applied:
    // the folder's own export merged keeps every record; a bundle with a
    // problem shows it with its JSON pointer; a new strategy is added only
    // when the plan is applied, and then shows in the table.
    void importShowsThePlanFirst_data()
    {
        const QByteArray fresh = changed("{\"id\": 17, \"name\": \"abc\", \"filePath\": \"D:/s/abc.py\"",
                                         "{\"id\": 91017, \"name\": \"导入\", \"filePath\": \"D:/s/imported.py\"")
                                     .replace("{\"id\": 18, \"name\": \"abc_1\", \"filePath\": \"D:/s/abc.py\"",
                                              "{\"id\": 91018, \"name\": \"导入_1\", \"filePath\": \"D:/s/imported.py\"")
                                     .replace("\"D:/s/abc.py\"\n    ]", "\"D:/s/imported.py\"\n    ]");
        QTest::addColumn<QByteArray>("bundle"); // empty: the folder's own export
        QTest::addColumn<QString>("pointer");   // a row of the plan, or a problem
        QTest::addColumn<QString>("action");    // every row's action; empty for mixed ones and problems
        QTest::addColumn<bool>("canApply");
        QTest::addColumn<bool>("apply");
        QTest::addColumn<bool>("added"); // whether 导入 and 导入_1 show in the table after
        QTest::newRow("the folder's own export, merged") << QByteArray() << "/fixedStrategies/0" << "keep" << false
                                                         << false << false;
        QTest::newRow("a copy index that is no number")
            << changed("\"copyIndex\": 1}", "\"copyIndex\": \"one\"}") << "/fixedStrategies/1/copyIndex" << ""
            << false << false << false;
        QTest::newRow("a new strategy, cancelled") << fresh << "/fixedStrategies/0" << "" << true << false << false;
        QTest::newRow("a new strategy, applied") << fresh << "/fixedStrategies/0" << "" << true << true << true;
    }
    void importShowsThePlanFirst()
    {
        QFETCH(QByteArray, bundle);
        QFETCH(QString, pointer);
        QFETCH(QString, action);
        QFETCH(bool, canApply);
        QFETCH(bool, apply);
        QFETCH(bool, added);
        const QString path = m_files.filePath(QStringLiteral("bundle.json"));
        QFile::remove(path);
        m_window->chooseSaveFile = [&](const QString &) { return path; };
        m_window->chooseOpenFile = [&](const QString &) { return path; };
        if (bundle.isEmpty()) {
            const QString own = strategyFile(QStringLiteral("exported.py"));
            if (registered(own, QStringLiteral("exported")).id < 1)
                QVERIFY(m_window->addStrategyWith(own, QStringLiteral("exported"), QStringLiteral("趋势"), {}, 1));
            QVERIFY(m_window->exportBundle());
        }
        else
            QVERIFY(writeFile(path, bundle));
        const int rows = m_window->strategyModel()->rowCount();

        QStringList pointers;
        QStringList actions;
        bool applyButton = false;
        bool shown = false;
        m_window->runDialog = [&](QDialog &dialog) {
            auto *plan = qobject_cast<ImportPlanDialog *>(&dialog);
            if (!plan)
                return int(QDialog::Rejected);
            shown = true;
            pointers = column(plan->model(), 0);
            if (plan->model()->columnCount() == 3)
                actions = column(plan->model(), 1);
            applyButton = plan->applyButton() != nullptr;
            return int(apply ? QDialog::Accepted : QDialog::Rejected);
        };
        m_shown.clear();
        QCOMPARE(m_window->importBundle(StrategyLogic::BundleImportMode::Merge), apply);
        QVERIFY(shown);
        QVERIFY2(pointers.contains(pointer), qPrintable(pointers.join(QLatin1Char(' '))));
        if (!action.isEmpty())
            QCOMPARE(QSet<QString>(actions.begin(), actions.end()), QSet<QString>({action}));
        QCOMPARE(applyButton, canApply);
        QCOMPARE(m_shown, QString());
        QCOMPARE(registered(QStringLiteral("D:/s/imported.py"), QStringLiteral("导入")).id > 0, added);
        // The table follows the plug-in: at once after an applied import.
        QCOMPARE(m_window->strategyModel()->rowCount(), rows + (added ? 2 : 0));
    }

    // A write the folder does not take is shown with the plug-in's message,
    // never as done: nothing goes onto the undo stack and the views show
    // what the plug-in holds. A change the plug-in keeps in memory (the data
    // file and the groups file are written again at their next write) is in
    // the files once the folder can be written again.
    void aReadOnlyFolderShowsTheFailure_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("add a strategy") << "add";
        QTest::newRow("lock a file") << "lock";
        QTest::newRow("add a group") << "group";
    }
    void aReadOnlyFolderShowsTheFailure()
    {
        QFETCH(QString, change);
        const QString path = strategyFile(QStringLiteral("readonly_%1.py").arg(change));
        QVERIFY(m_window->addStrategyWith(path, QStringLiteral("只读_") + change, QStringLiteral("趋势"), {}, 1));
        const qint64 id = registered(path, QStringLiteral("只读_") + change).id;
        m_window->undoStack()->clear();
        const StrategyLogic::InstallationFiles files = StrategyLogic::installationFiles(m_home.path(), plugin().getCurUserId());
        const QByteArray dataBefore = readFile(files.dataFile);
        const QByteArray groupsBefore = readFile(files.groupsFile);
        const QString group = QStringLiteral("只读组");
        bool done = true;
        {
            ReadOnlyFolder mount(m_home.path());
            if (!mount.isValid())
                QSKIP("the data folder could not be mounted read-only (this test needs root)");
            if (change == QLatin1String("add")) {
                done = m_window->addStrategyWith(path, QStringLiteral("只读新增"), QStringLiteral("趋势"), {}, 1);
            } else if (change == QLatin1String("lock")) {
                select(id);
                m_window->toggleLockOfSelected();
                done = plugin().getFileLockState(path);
            } else {
                done = m_window->groupActions()->add(group);
            }
            QCOMPARE(readFile(files.dataFile), dataBefore);
            QCOMPARE(readFile(files.groupsFile), groupsBefore);
        }
        QVERIFY(!done);
        QCOMPARE(StrategyLogic::lastRefusal().code, StrategyLogic::RefusalCode::NotWritable);
        QVERIFY(!m_shown.isEmpty());
        QCOMPARE(m_shown, StrategyLogic::lastRefusal().message);
        QCOMPARE(m_window->undoStack()->count(), 0);
        // The views agree with the plug-in.
        m_window->strategyModel()->reload();
        QCOMPARE(m_window->strategyModel()->rowCount(), plugin().getFixedStrategyList().size());
        QCOMPARE(inTable(id).group, QStringLiteral("趋势"));
        QCOMPARE(m_window->strategyModel()->data(m_window->strategyModel()->index(
                     m_window->strategyModel()->rowOfId(id), StrategyTableModel::Locked), StrategyTableModel::LockedRole).toBool(),
                 plugin().getFileLockState(path));
        QCOMPARE(m_window->groupModel()->rowOfGroup(group) >= 0, plugin().getAllStrategyGroupNameSorted().contains(group));

        // The folder writable again: the next write of each file takes what
        // the plug-in kept.
        if (change == QLatin1String("add")) {
            QVERIFY(m_window->addStrategyWith(path, QStringLiteral("只读之后"), QStringLiteral("趋势"), {}, 1));
            const QByteArray data = readFile(files.dataFile);
            QVERIFY(data.contains(QStringLiteral("只读之后").toUtf8()));
            QCOMPARE(data.contains(QStringLiteral("只读新增").toUtf8()), bool(registered(path, QStringLiteral("只读新增")).id > 0));
        } else if (change == QLatin1String("lock")) {
            m_window->toggleLockOfSelected();
            QVERIFY(plugin().getFileLockState(path));
            QCOMPARE(m_window->undoStack()->count(), 1);
        } else {
            QVERIFY(m_window->groupActions()->add(group + QStringLiteral("二")));
            const QByteArray groups = readFile(files.groupsFile);
            QVERIFY(groups.contains((group + QStringLiteral("二")).toUtf8()));
            QCOMPARE(groups.count(group.toUtf8()), plugin().getAllStrategyGroupNameSorted().contains(group) ? 2 : 1);
        }
    }

    // Every control a user works is named for a screen reader: by its own
    // text, by the label it is the buddy of, or by an accessible name.
    void everyControlHasAName_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::newRow("main window") << "main";
        QTest::newRow("add dialog") << "add";
        QTest::newRow("modify dialog") << "modify";
    }
    void everyControlHasAName()
    {
        QFETCH(QString, screen);
        std::unique_ptr<QWidget> dialog;
        const QStringList groups = plugin().getAllStrategyGroupNameSorted();
        if (screen == QLatin1String("add")) {
            dialog = std::make_unique<AddStrategyDialog>(plugin(), groups, QStringLiteral("趋势"));
        } else if (screen == QLatin1String("modify")) {
            FixedStrategyInfo info;
            info.id = 1;
            info.name = QStringLiteral("名");
            info.filePath = strategyFile(QStringLiteral("named.py"));
            info.group = QStringLiteral("趋势");
            dialog = std::make_unique<ModifyStrategyDialog>(plugin(), info, groups);
        }
        QWidget *top = dialog ? dialog.get() : m_window.get();
        if (dialog)
            dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(top));
        QStringList unnamed;
        for (QWidget *widget : top->findChildren<QWidget *>()) {
            const bool control = qobject_cast<QAbstractItemView *>(widget) || qobject_cast<QLineEdit *>(widget)
                || qobject_cast<QAbstractSpinBox *>(widget) || qobject_cast<QComboBox *>(widget)
                || qobject_cast<QAbstractButton *>(widget) || qobject_cast<QPlainTextEdit *>(widget);
            // The parts of a control are named with it: a table's headers, a
            // spin box's or a combo box's line.
            const bool part = qobject_cast<QHeaderView *>(widget) || qobject_cast<QAbstractSpinBox *>(widget->parent())
                || qobject_cast<QComboBox *>(widget->parent());
            if (!control || part || !widget->isVisibleTo(top))
                continue;
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
            if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << QStringLiteral("%1 %2").arg(QString::fromLatin1(widget->metaObject()->className()),
                                                       widget->objectName());
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }

    // The strategy docks are about the strategies: another page hides them,
    // the strategies page brings back those that were open, and the layout
    // kept at the close is the strategies page's whichever page was shown
    // (Ctrl+3 the third).
    void strategyDocksGoWithTheStrategiesPage_data()
    {
        QTest::addColumn<bool>("historyOpen");
        QTest::newRow("both open") << true;
        QTest::newRow("history closed") << false;
    }
    void strategyDocksGoWithTheStrategiesPage()
    {
        QFETCH(bool, historyOpen);
        {
            MainWindow window(*m_session);
            window.show();
            auto *fileDock = window.findChild<QDockWidget *>(QStringLiteral("fileDock"));
            QVERIFY(fileDock);
            fileDock->show();
            window.historyDock()->setVisible(historyOpen);
            for (int page = 1; page < window.pages()->count(); ++page) {
                window.pages()->setCurrentIndex(page);
                QVERIFY(!fileDock->isVisible());
                QVERIFY(!window.historyDock()->isVisible());
                QVERIFY(!window.historyDock()->toggleViewAction()->isEnabled());
            }
            window.pages()->setCurrentIndex(0);
            QVERIFY(fileDock->isVisible());
            QCOMPARE(window.historyDock()->isVisible(), historyOpen);
            QVERIFY(window.historyDock()->toggleViewAction()->isEnabled());
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, Qt::Key_3, Qt::ControlModifier);
            QCOMPARE(window.pages()->currentIndex(), 2);
            QVERIFY(window.close());
        }
        MainWindow again(*m_session);
        again.show();
        QCOMPARE(again.pages()->currentIndex(), 0);
        QVERIFY(again.findChild<QDockWidget *>(QStringLiteral("fileDock"))->isVisible());
        QCOMPARE(again.historyDock()->isVisible(), historyOpen);
    }

    // A data folder held by another process: the user is told who holds
    // it and nothing is started.
    void aHeldFolderNamesItsHolder()
    {
        const QString folder = m_home.filePath(QStringLiteral("held"));
        QVERIFY(QDir().mkpath(folder));
        QProcess holder;
        holder.start(helperPath(QStringLiteral("folderholder")), {folder});
        QVERIFY(holder.waitForReadyRead(20000) && holder.readLine() == "held\n");
        PluginSession other(folder);
        QStringList asked;
        other.askRetry = [&](const QString &who) {
            asked.append(who);
            return asked.size() < 2; // retry once, then quit
        };
        QVERIFY(!other.start());
        QCOMPARE(asked.size(), 2);
        QVERIFY2(asked.first().contains(QString::number(holder.processId())), qPrintable(asked.first()));
        QVERIFY(!other.isStarted());
        holder.write("\n");
        QVERIFY(holder.waitForFinished(20000));
        // Nothing of the held folder was taken up.
        QCOMPARE(ZqApplicationDir::path(), m_home.path());
    }
};

QTEST_MAIN(tst_Desk)
#include "tst_desk.moc"
