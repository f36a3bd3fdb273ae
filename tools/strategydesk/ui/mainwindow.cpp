#include "ui/mainwindow.h"

#include "app/pluginsession.h"
#include "editor/strategyfileview.h"
#include "models/grouplistmodel.h"
#include "models/strategyfilterproxy.h"
#include "models/strategytablemodel.h"
#include "models/historymodel.h"
#include "ui/addstrategydialog.h"
#include "ui/backtestpage.h"
#include "ui/modifystrategydialog.h"
#include "ui/strategycommands.h"
#include "ui/groupactions.h"
#include "ui/doctordialog.h"
#include "ui/historydock.h"
#include "ui/importplandialog.h"
#include "ui/instancespage.h"
#include "ui/runmodebar.h"
#include "ui/accountspage.h"
#include "ui/settingsdialog.h"
#include "ui/simupage.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

MainWindow::MainWindow(PluginSession &session, QWidget *parent)
    : QMainWindow(parent)
    , m_session(session)
    , m_plugin(session.plugin())
{
    setWindowTitle(tr("StrategyDesk - %1").arg(m_plugin.getCurUserId()));
    showMessage = [this](const QString &title, const QString &message) {
        QMessageBox::warning(this, title, message);
    };
    confirm = [this](const QString &question) {
        return QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
    };
    m_strategies = new StrategyTableModel(m_plugin, this);
    m_groups = new GroupListModel(m_plugin, *m_strategies, this);
    m_proxy = new StrategyFilterProxy(this);
    m_proxy->setSourceModel(m_strategies);
    buildViews();
    buildActions();
    buildEditActions();
    buildGroupActions();
    buildToolActions();
    buildPages();
    restoreLayout();
    connect(m_strategies, &StrategyTableModel::changed, this, &MainWindow::updateStatus);
    connect(m_strategies, &StrategyTableModel::changed, this, &MainWindow::selectionChanged);
    connect(m_groups, &GroupListModel::moveRequested, this, &MainWindow::moveStrategies);
    m_strategies->reload();
    m_groups->reload();
    updateStatus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildViews()
{
    m_groupView = new QListView(this);
    m_groupView->setModel(m_groups);
    m_groupView->setAccessibleName(tr("Strategy groups"));
    m_groupView->setDragDropMode(QAbstractItemView::DropOnly);
    m_groupView->setAcceptDrops(true);
    m_groupView->setDropIndicatorShown(true);

    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(tr("Find by name, file or text (Ctrl+F)"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setAccessibleName(tr("Filter strategies"));
    m_table = new QTableView(this);
    m_table->setModel(m_proxy);
    m_table->setAccessibleName(tr("Fixed strategies"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(StrategyTableModel::Id, Qt::AscendingOrder);
    m_table->setDragEnabled(true);
    m_table->setDragDropMode(QAbstractItemView::DragOnly);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->setTextElideMode(Qt::ElideMiddle); // a path's file name stays in sight
    // Wide enough for the header and for typical values; no measuring of
    // the rows, which a large user would make slow.
    const int widths[] = {50, 140, 230, 100, 120, 40, 50};
    const QFontMetrics header(m_table->horizontalHeader()->font());
    for (int c = 0; c < StrategyTableModel::ColumnCount; ++c) {
        const QString title = m_strategies->headerData(c, Qt::Horizontal).toString();
        m_table->setColumnWidth(c, qMax(widths[c], header.horizontalAdvance(title) + 28));
    }

    auto *middle = new QWidget(this);
    auto *layout = new QVBoxLayout(middle);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_filter);
    layout->addWidget(m_table);
    auto *splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("mainSplitter"));
    splitter->addWidget(m_groupView);
    splitter->addWidget(middle);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({170, 830});
    // The subjects of the plug-in, a page each; the strategies first.
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("pages"));
    m_pages->setDocumentMode(true);
    m_pages->addTab(splitter, tr("Strategies"));
    setCentralWidget(m_pages);

    m_fileView = new StrategyFileView(this);
    auto *fileDock = new QDockWidget(tr("Strategy file"), this);
    fileDock->setObjectName(QStringLiteral("fileDock"));
    fileDock->setWidget(m_fileView);
    addDockWidget(Qt::RightDockWidgetArea, fileDock);
    resizeDocks({fileDock}, {420}, Qt::Horizontal);

    m_status = new QLabel(this);
    statusBar()->addPermanentWidget(m_status, 1);

    connect(m_filter, &QLineEdit::textChanged, m_proxy, &StrategyFilterProxy::setFilterText);
    connect(m_groupView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { m_proxy->setGroup(m_groups->groupAt(current.row())); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MainWindow::selectionChanged);
    connect(m_fileView, &StrategyFileView::saveFailed, this,
            [this](const QString &message) { showMessage(tr("The file was not saved"), message); });
}

// The pages after the strategies', each on the plug-in's public API.
void MainWindow::buildPages()
{
    m_instancesPage = new InstancesPage(m_plugin, this);
    m_pages->addTab(m_instancesPage, tr("Instances"));
    m_runModeBar = new RunModeBar(m_plugin, this);
    m_runModeBar->showMessage = [this](const QString &title, const QString &message) {
        m_lastMessage = message;
        showMessage(title, message);
    };
    addToolBar(m_runModeBar);
    m_backtests = new BacktestPage(m_plugin, this);
    m_backtests->showMessage = [this](const QString &title, const QString &message) { showMessage(title, message); };
    m_pages->addTab(m_backtests, tr("Backtests"));
    const StrategyLogic::InstallationFiles files =
        StrategyLogic::installationFiles(m_session.dataFolder(), m_plugin.getCurUserId());
    m_simuPage = new SimuPage(m_plugin, files.simuDatabase, m_pages);
    m_pages->addTab(m_simuPage, tr("Simulated trades"));
    m_accountsPage = new AccountsPage(m_plugin, m_pages);
    m_pages->addTab(m_accountsPage, tr("Accounts"));
    QMenu *file = menuBar()->actions().constFirst()->menu();
    m_settingsAction = new QAction(tr("&Settings..."), this);
    m_settingsAction->setShortcut(Qt::CTRL | Qt::Key_Comma);
    file->insertAction(file->actions().constFirst(), m_settingsAction);
    connect(m_settingsAction, &QAction::triggered, this, [this] {
        SettingsDialog dialog(m_plugin, this);
        runDialog(dialog);
    });
    // Ctrl+1, Ctrl+2, ... bring up the pages in their order, from any page.
    for (int page = 0; page < m_pages->count() && page < 9; ++page) {
        auto *go = new QAction(this);
        go->setShortcut(QKeySequence(int(Qt::CTRL) | (Qt::Key_1 + page)));
        go->setShortcutContext(Qt::WindowShortcut);
        connect(go, &QAction::triggered, this, [this, page] { m_pages->setCurrentIndex(page); });
        addAction(go);
    }
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
        updateStrategyActions();
        showStrategyDocks(index == 0);
    });
    // The button a tool bar shows for the tools it has no room for.
    for (QToolBar *bar : findChildren<QToolBar *>()) {
        if (auto *more = bar->findChild<QWidget *>(QStringLiteral("qt_toolbar_ext_button")))
            more->setAccessibleName(tr("More tools of %1").arg(bar->windowTitle()));
    }
}

void MainWindow::buildActions()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    QAction *quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu *strategy = menuBar()->addMenu(tr("&Strategy"));
    m_addAction = strategy->addAction(tr("&Add..."), this, &MainWindow::addStrategy);
    m_addAction->setShortcut(Qt::Key_Insert);
    m_removeAction = strategy->addAction(tr("&Remove"), this, &MainWindow::removeSelected);
    m_removeAction->setShortcut(QKeySequence::Delete);
    m_lockAction = strategy->addAction(tr("&Lock or unlock the file"), this, &MainWindow::toggleLockOfSelected);
    m_lockAction->setShortcut(Qt::CTRL | Qt::Key_L);
    strategy->addSeparator();
    m_findAction = strategy->addAction(tr("&Find"), this, [this] {
        m_filter->setFocus();
        m_filter->selectAll();
    });
    m_findAction->setShortcut(QKeySequence::Find);
    for (QAction *action : {m_addAction, m_removeAction, m_lockAction, m_findAction})
        action->setShortcutContext(Qt::WindowShortcut);

    QToolBar *tools = addToolBar(tr("Strategies"));
    tools->setObjectName(QStringLiteral("strategyToolBar"));
    tools->addAction(m_addAction);
    tools->addAction(m_removeAction);
    tools->addAction(m_lockAction);
    m_table->addActions({m_addAction, m_removeAction, m_lockAction});
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void MainWindow::buildGroupActions()
{
    m_groupActions = new GroupActions(m_plugin, this);
    m_groupActions->showMessage = [this](const QString &title, const QString &message) {
        m_lastMessage = message;
        showMessage(title, message);
    };
    // The plug-in says nothing of group changes: the views read again.
    m_groupActions->changed = [this] {
        m_strategies->reload();
        m_groups->reload();
    };
    m_groupActions->renamed = [this](const QString &from, const QString &to) {
        pushDone(new RenameGroupCommand(from, to));
    };
    QMenu *menu = menuBar()->addMenu(tr("&Group"));
    menu->addActions(m_groupActions->actions());
    m_groupView->addActions(m_groupActions->actions());
    m_groupView->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_groupView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { m_groupActions->setCurrentGroup(m_groups->groupAt(current.row())); });
}

void MainWindow::restoreLayout()
{
    QSettings settings;
    restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
    restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
    m_table->horizontalHeader()->restoreState(settings.value(QStringLiteral("window/strategyColumns")).toByteArray());
    if (auto *splitter = findChild<QSplitter *>(QStringLiteral("mainSplitter")))
        splitter->restoreState(settings.value(QStringLiteral("window/splitter")).toByteArray());
    m_instancesPage->restoreLayout(settings);
}

QList<QDockWidget *> MainWindow::strategyDocks() const
{
    QList<QDockWidget *> docks;
    for (QDockWidget *dock : findChildren<QDockWidget *>()) {
        if (dock->objectName() == QLatin1String("fileDock") || dock == m_history)
            docks.append(dock);
    }
    return docks;
}

void MainWindow::showStrategyDocks(bool shown)
{
    if (shown == !m_docksAway)
        return;
    m_docksAway = !shown;
    const QList<QDockWidget *> docks = strategyDocks();
    if (!shown) {
        m_docksToShow.clear();
        for (QDockWidget *dock : docks) {
            if (dock->isVisibleTo(this))
                m_docksToShow.append(dock);
            dock->hide();
        }
    } else {
        for (QDockWidget *dock : qAsConst(m_docksToShow))
            dock->show();
        m_docksToShow.clear();
    }
    // Opening one on another page would show it beside a page it is not about.
    for (QDockWidget *dock : docks)
        dock->toggleViewAction()->setEnabled(shown);
}

void MainWindow::saveLayout()
{
    QSettings settings;
    settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
    // The docks as the strategies page has them, whichever page is shown.
    const bool away = m_docksAway;
    showStrategyDocks(true);
    settings.setValue(QStringLiteral("window/state"), saveState());
    showStrategyDocks(!away);
    settings.setValue(QStringLiteral("window/strategyColumns"), m_table->horizontalHeader()->saveState());
    if (auto *splitter = findChild<QSplitter *>(QStringLiteral("mainSplitter")))
        settings.setValue(QStringLiteral("window/splitter"), splitter->saveState());
    m_instancesPage->saveLayout(settings);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_fileView->isModified()
        && !confirm(tr("The strategy file %1 has unsaved edits. Close without saving them?").arg(m_fileView->filePath()))) {
        event->ignore();
        return;
    }
    saveLayout();
    event->accept();
}

QList<qint64> MainWindow::selectedIds() const
{
    QList<qint64> ids;
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    for (const QModelIndex &row : rows)
        ids.append(m_proxy->data(row, StrategyTableModel::IdRole).toLongLong());
    return ids;
}

void MainWindow::selectionChanged()
{
    const QList<qint64> ids = selectedIds();
    updateStrategyActions();
    const int row = ids.size() == 1 ? m_strategies->rowOfId(ids.first()) : -1;
    if (row < 0) {
        if (ids.isEmpty() && !m_fileView->isModified())
            m_fileView->showFile(QString(), false);
        // A file still shown, locked or unlocked with others selected.
        if (!m_fileView->filePath().isEmpty())
            m_fileView->setLocked(m_plugin.getFileLockState(m_fileView->filePath()));
        return;
    }
    const FixedStrategyInfo info = m_strategies->infoAt(row);
    const bool locked = m_plugin.getFileLockState(info.filePath);
    if (info.filePath == m_fileView->filePath()) {
        m_fileView->setLocked(locked);
        return;
    }
    if (m_fileView->isModified()
        && !confirm(tr("The strategy file %1 has unsaved edits. Show another file without saving them?")
                        .arg(m_fileView->filePath())))
        return;
    m_fileView->showFile(info.filePath, locked);
}

void MainWindow::updateStatus()
{
    m_status->setText(tr("User %1 · data folder %2 · %n strategies", nullptr, m_strategies->rowCount())
                          .arg(m_plugin.getCurUserId(), m_session.dataFolder()));
}

void MainWindow::refused(const QString &what, const StrategyLogic::Refusal &refusal)
{
    m_lastMessage = refusal.message.isEmpty() ? what : refusal.message;
    statusBar()->showMessage(tr("%1: %2", "what was not done: why").arg(what, m_lastMessage), 10000);
    showMessage(what, m_lastMessage);
}

void MainWindow::addStrategy()
{
    const QString group = m_proxy->group().isEmpty() ? StrategyLogic::defaultGroupName() : m_proxy->group();
    AddStrategyDialog dialog(m_plugin, m_plugin.getAllStrategyGroupNameSorted(), group, this);
    if (dialog.exec() == QDialog::Accepted)
        addStrategyWith(dialog.filePath(), dialog.name(), dialog.group(), dialog.extraInfo(), dialog.count());
}

bool MainWindow::addStrategyWith(const QString &filePath, const QString &name, const QString &group,
                                 const QString &extraInfo, int count)
{
    const bool added = m_plugin.addFixedStrategy(filePath, name, group, extraInfo, count);
    const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
    m_strategies->reload();
    if (!added)
        refused(tr("The strategy was not added"), refusal);
    return added;
}

void MainWindow::removeSelected()
{
    const QList<qint64> ids = selectedIds();
    if (ids.isEmpty() || !confirm(tr("Remove %n fixed strategies? This cannot be undone.", nullptr, int(ids.size()))))
        return;
    for (qint64 id : ids) {
        if (!m_plugin.delFixedStrategyInfoByID(id)) {
            const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
            m_strategies->reload();
            refused(tr("The strategy %1 was not removed").arg(id), refusal);
            return;
        }
    }
    m_strategies->reload();
}

void MainWindow::toggleLockOfSelected()
{
    QStringList files;
    for (qint64 id : selectedIds()) {
        const QString file = m_strategies->infoAt(m_strategies->rowOfId(id)).filePath;
        if (!files.contains(file))
            files.append(file);
    }
    if (files.isEmpty())
        return;
    // All locked: unlock them; else lock them all.
    const bool lock = !std::all_of(files.cbegin(), files.cend(),
                                   [this](const QString &file) { return m_plugin.getFileLockState(file); });
    QStringList changed; // for undo: the files whose state the plug-in changed
    for (const QString &file : qAsConst(files)) {
        const bool was = m_plugin.getFileLockState(file);
        if (!m_plugin.changeFileLockState(file, lock)) {
            const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
            if (!changed.isEmpty())
                pushDone(new LockFilesCommand(changed, lock));
            m_strategies->reload();
            refused(lock ? tr("%1 was not locked").arg(file) : tr("%1 was not unlocked").arg(file), refusal);
            return;
        }
        if (was != lock)
            changed.append(file);
    }
    if (!changed.isEmpty())
        pushDone(new LockFilesCommand(changed, lock));
    m_strategies->reload();
    selectionChanged();
}

bool MainWindow::moveStrategies(const QList<qint64> &ids, const QString &group)
{
    QList<ModifyStrategiesCommand::Change> moved; // for undo
    const auto pushMoved = [&] {
        if (!moved.isEmpty())
            pushDone(new ModifyStrategiesCommand(tr("move %n strategies to %1", nullptr, moved.size()).arg(group), moved));
    };
    for (qint64 id : ids) {
        FixedStrategyInfo info = m_plugin.getFixedStrateyInfoByID(int(id));
        if (info.id != id || info.group == group)
            continue;
        const FixedStrategyInfo before = info;
        info.group = group;
        if (!m_plugin.modifyFixedStrategyInfo(int(id), info)) {
            const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
            pushMoved();
            m_strategies->reload();
            refused(tr("The strategy %1 was not moved to %2").arg(id).arg(group), refusal);
            return false;
        }
        moved.append(qMakePair(before, info));
    }
    pushMoved();
    m_strategies->reload();
    m_groups->reload();
    return true;
}

void MainWindow::buildEditActions()
{
    m_undo = new QUndoStack(this);
    QMenu *edit = new QMenu(tr("&Edit"), this);
    menuBar()->insertMenu(menuBar()->actions().value(1), edit); // after File
    QAction *undo = m_undo->createUndoAction(this, tr("&Undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = m_undo->createRedoAction(this, tr("&Redo"));
    redo->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    m_modifyAction = new QAction(tr("&Modify..."), this);
    m_modifyAction->setShortcut(Qt::Key_F2);
    m_modifyAction->setEnabled(false);
    connect(m_modifyAction, &QAction::triggered, this, &MainWindow::modifySelected);
    for (QAction *action : {undo, redo, m_modifyAction})
        action->setShortcutContext(Qt::WindowShortcut);
    edit->addActions({undo, redo});
    edit->addSeparator();
    edit->addAction(m_modifyAction);
    m_table->addAction(m_modifyAction);
    connect(m_table, &QAbstractItemView::doubleClicked, this, &MainWindow::modifySelected);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::updateStrategyActions);
}

// The strategy actions work on the strategies page only: Delete on another
// page removes nothing unseen.
void MainWindow::updateStrategyActions()
{
    const bool shown = m_pages->currentIndex() == 0;
    const int selected = shown ? int(selectedIds().size()) : 0;
    m_addAction->setEnabled(shown);
    m_findAction->setEnabled(shown);
    m_removeAction->setEnabled(selected > 0);
    m_lockAction->setEnabled(selected > 0);
    if (m_modifyAction)
        m_modifyAction->setEnabled(selected == 1);
}

void MainWindow::pushDone(StrategyCommand *command)
{
    command->setHost({&m_plugin,
                   [this](const QString &what, const StrategyLogic::Refusal &refusal) { refused(what, refusal); },
                   [this] {
                       m_strategies->reload();
                       m_groups->reload();
                       selectionChanged();
                   }});
    m_undo->push(command);
}

void MainWindow::modifySelected()
{
    const QList<qint64> ids = selectedIds();
    if (ids.size() != 1)
        return;
    const FixedStrategyInfo info = m_strategies->infoAt(m_strategies->rowOfId(ids.first()));
    ModifyStrategyDialog dialog(m_plugin, info, m_plugin.getAllStrategyGroupNameSorted(), this);
    if (dialog.exec() == QDialog::Accepted)
        modifyStrategyWith(dialog.info());
}

bool MainWindow::modifyStrategyWith(const FixedStrategyInfo &info)
{
    const FixedStrategyInfo before = m_plugin.getFixedStrateyInfoByID(int(info.id));
    if (before == info)
        return true; // nothing to change, nothing to undo
    // A record gone meanwhile: the plug-in's own refusal.
    StrategyLogic::Refusal refusal = before.id == info.id ? modifyRefusal(m_plugin, before, info) : StrategyLogic::Refusal();
    const bool modified = !refusal.isRefused() && m_plugin.modifyFixedStrategyInfo(int(info.id), info);
    if (!modified && !refusal.isRefused())
        refusal = StrategyLogic::lastRefusal();
    if (modified)
        pushDone(new ModifyStrategiesCommand(tr("modify %1").arg(before.name), {qMakePair(before, info)}));
    m_strategies->reload();
    m_groups->reload();
    if (!modified)
        refused(tr("The strategy %1 was not changed").arg(info.id), refusal);
    return modified;
}

// The history dock, File > Export and Import, Help > Check installation.
void MainWindow::buildToolActions()
{
    chooseSaveFile = [this](const QString &title) {
        const QString name = QStringLiteral("strategies-%1-%2.json")
                                 .arg(m_plugin.getCurUserId(), QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        return QFileDialog::getSaveFileName(this, title, QDir::home().filePath(name), tr("Bundles (*.json)"));
    };
    chooseOpenFile = [this](const QString &title) {
        return QFileDialog::getOpenFileName(this, title, QDir::homePath(), tr("Bundles (*.json);;All files (*)"));
    };
    runDialog = [](QDialog &dialog) { return dialog.exec(); };

    m_history = new HistoryDock(m_session.dataFolder(), m_plugin.getCurUserId(), this);
    addDockWidget(Qt::BottomDockWidgetArea, m_history);
    // The strategy model's changes come once for a burst of the plug-in's
    // signals; group changes that touch no strategy come through the group
    // list. The history model reads only when its files changed.
    HistoryModel *history = m_history->model();
    connect(m_strategies, &StrategyTableModel::changed, history, &HistoryModel::scheduleReload);
    const auto groupsChanged = [history] { history->scheduleReload(); };
    connect(m_groups, &GroupListModel::modelReset, history, groupsChanged);
    connect(m_groups, &GroupListModel::rowsInserted, history, groupsChanged);
    connect(m_groups, &GroupListModel::rowsRemoved, history, groupsChanged);
    connect(m_groups, &GroupListModel::dataChanged, history, groupsChanged);
    history->scheduleReload();

    // File is the first menu: the bundle actions go before Quit.
    QMenu *file = menuBar()->actions().value(0) ? menuBar()->actions().value(0)->menu() : nullptr;
    if (!file)
        file = menuBar()->addMenu(tr("&File"));
    QAction *before = file->actions().value(0);
    QAction *exportAction = new QAction(tr("&Export..."), file);
    connect(exportAction, &QAction::triggered, this, &MainWindow::exportBundle);
    QMenu *import = new QMenu(tr("&Import"), file);
    import->addAction(tr("&Merge into the strategies..."), this,
                      [this] { importBundle(StrategyLogic::BundleImportMode::Merge); });
    import->addAction(tr("&Replace the strategies..."), this,
                      [this] { importBundle(StrategyLogic::BundleImportMode::Replace); });
    file->insertAction(before, exportAction);
    file->insertMenu(before, import);
    file->insertSeparator(before);
    file->insertAction(before, m_history->toggleViewAction());
    file->insertSeparator(before);

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&Check installation..."), this, &MainWindow::checkInstallation);
}

bool MainWindow::exportBundle()
{
    const QString path = chooseSaveFile(tr("Export the strategies"));
    if (path.isEmpty())
        return false;
    const StrategyLogic::BundleExportResult result = StrategyLogic::exportBundle(path);
    if (result.outcome != StrategyLogic::BundleExportResult::Written) {
        m_lastMessage = result.message;
        showMessage(tr("The strategies were not exported"), result.message);
        return false;
    }
    statusBar()->showMessage(tr("Exported %1 strategies and %2 groups to %3")
                                 .arg(result.fixedStrategies)
                                 .arg(result.groups)
                                 .arg(path),
                             10000);
    return true;
}

bool MainWindow::importBundle(StrategyLogic::BundleImportMode mode)
{
    using StrategyLogic::BundleImportResult;
    const QString path = chooseOpenFile(mode == StrategyLogic::BundleImportMode::Merge
                                            ? tr("Import a bundle (merge)")
                                            : tr("Import a bundle (replace)"));
    if (path.isEmpty())
        return false;
    const QString what = tr("%1 was not imported").arg(path);
    QByteArray text;
    BundleImportResult result = StrategyLogic::checkBundleFile(path, &text);
    if (result.outcome == BundleImportResult::Checked)
        result = StrategyLogic::importBundleText(text, mode, true, path);
    result.mode = mode;
    switch (result.outcome) {
    case BundleImportResult::DryRun:
    case BundleImportResult::NothingToChange:
    case BundleImportResult::Refused: {
        // The plan, the records kept, or the problems with their pointers.
        ImportPlanDialog plan(result, this);
        m_lastMessage = plan.message();
        if (runDialog(plan) != QDialog::Accepted || !plan.applyButton())
            return false;
        break;
    }
    default:
        m_lastMessage = result.message;
        showMessage(what, result.message);
        return false;
    }

    result = StrategyLogic::importBundleText(text, mode, false, path);
    m_strategies->reload();
    m_groups->reload();
    m_history->model()->scheduleReload();
    if (result.outcome != BundleImportResult::Applied) {
        // Stopped: what was made before the step stays; the next start makes the rest.
        m_lastMessage = result.message.isEmpty() ? result.refusal.message : result.message;
        showMessage(what, m_lastMessage);
        return false;
    }
    m_lastMessage.clear();
    statusBar()->showMessage(tr("Imported %1: %n changes", nullptr, result.changes.size()).arg(path), 10000);
    return true;
}

void MainWindow::checkInstallation()
{
    DoctorDialog dialog(m_session.dataFolder(), confirm, this);
    runDialog(dialog);
}
