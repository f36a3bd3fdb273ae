#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/strategybundle.h>
#include <StrategyLogic/strategyrefusal.h>

#include <QMainWindow>

#include <functional>

class BacktestPage;
class GroupActions;
class GroupListModel;
class HistoryDock;
class QDockWidget;
class InstancesPage;
class PluginSession;
class QAction;
class QDialog;
class QLabel;
class QLineEdit;
class QListView;
class QTabWidget;
class QTableView;
class StrategyCommand;
class QUndoStack;
class SimuPage;
class AccountsPage;
class RunModeBar;
class StrategyFileLogicHandler;
class StrategyFileView;
class StrategyFilterProxy;
class StrategyTableModel;

// The strategy screens: the groups on the left (strategies dropped onto a
// group move there), the fixed strategies in the middle with a filter above
// them (Ctrl+F), the selected strategy's file in a dock, and a status bar
// with the user, the data folder and the number of strategies. Every change
// goes through the plug-in; a refusal is shown with the plug-in's message
// and the views stay as they were. The strategy docks (the file, the
// history) are shown with the strategies page only: another page hides them
// and the strategies page brings back those that were open. Window
// geometry, docks and column widths are kept in QSettings. Thread: GUI.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(PluginSession &session, QWidget *parent = nullptr);
    ~MainWindow() override;

    StrategyTableModel *strategyModel() const { return m_strategies; }
    StrategyFilterProxy *strategyProxy() const { return m_proxy; }
    GroupListModel *groupModel() const { return m_groups; }
    QTableView *strategyView() const { return m_table; }
    QListView *groupView() const { return m_groupView; }
    QLineEdit *filterEdit() const { return m_filter; }
    StrategyFileView *fileView() const { return m_fileView; }
    // The pages: the strategies first, then the plug-in's other subjects.
    QTabWidget *pages() const { return m_pages; }
    BacktestPage *backtestPage() const { return m_backtests; }
    // Modify, move, lock and unlock, group rename: undone with Ctrl+Z, redone with Ctrl+Shift+Z.
    QUndoStack *undoStack() const { return m_undo; }
    GroupActions *groupActions() const { return m_groupActions; }
    SimuPage *simuPage() const { return m_simuPage; }
    AccountsPage *accountsPage() const { return m_accountsPage; }
    // File > Settings... (Ctrl+,): the Python path and the auto-start switch.
    QAction *settingsAction() const { return m_settingsAction; }
    // The Instances page, and the tool bar of the plug-in's run mode.
    InstancesPage *instancesPage() const { return m_instancesPage; }
    RunModeBar *runModeBar() const { return m_runModeBar; }

    // The ids of the selected strategies, in the view's order.
    QList<qint64> selectedIds() const;
    // The message of the last refusal shown, for tests.
    QString lastMessage() const { return m_lastMessage; }

    // How a refusal or failure is shown; the default is a message box.
    std::function<void(const QString &title, const QString &message)> showMessage;
    // How a removal is confirmed; the default asks with a message box.
    std::function<bool(const QString &question)> confirm;

    // The history dock, File > Export and Import, Help > Check installation.
    HistoryDock *historyDock() const { return m_history; }
    // How a file is chosen to export to or to import; empty when the user
    // cancelled. The defaults are file dialogs.
    std::function<QString(const QString &title)> chooseSaveFile;
    std::function<QString(const QString &title)> chooseOpenFile;
    // How the import plan and the installation check are shown; the
    // default is QDialog::exec().
    std::function<int(QDialog &dialog)> runDialog;

public slots:
    void addStrategy();
    // Registers what the add dialog asked for; false with the refusal shown.
    bool addStrategyWith(const QString &filePath, const QString &name, const QString &group, const QString &extraInfo,
                         int count);
    void removeSelected();
    void toggleLockOfSelected();
    bool moveStrategies(const QList<qint64> &ids, const QString &group);
    // Opens the modify dialog on the selected strategy (F2, a double click).
    void modifySelected();
    // Changes the strategy info.id to what the modify dialog asked for;
    // false with the refusal shown and nothing pushed onto the undo stack.
    bool modifyStrategyWith(const FixedStrategyInfo &info);
    // Writes the user's strategies to a bundle file; false when not written.
    bool exportBundle();
    // Checks the chosen bundle, shows its plan and applies it when the user
    // says so; false when nothing was applied.
    bool importBundle(StrategyLogic::BundleImportMode mode);
    void checkInstallation();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildActions();
    void buildToolActions();
    void buildViews();
    void buildGroupActions();
    void buildPages();
    void updateStrategyActions();
    // Hides the strategy docks away from the strategies page, shows again
    // those that were open when it comes back.
    void showStrategyDocks(bool shown);
    QList<QDockWidget *> strategyDocks() const;
    void restoreLayout();
    void saveLayout();
    void selectionChanged();
    void updateStatus();
    void refused(const QString &what, const StrategyLogic::Refusal &refusal);
    void buildEditActions();
    // Pushes a change the plug-in has made, for undo.
    void pushDone(StrategyCommand *command);

    PluginSession &m_session;
    StrategyFileLogicHandler &m_plugin;
    StrategyTableModel *m_strategies = nullptr;
    StrategyFilterProxy *m_proxy = nullptr;
    GroupListModel *m_groups = nullptr;
    QTableView *m_table = nullptr;
    QListView *m_groupView = nullptr;
    QLineEdit *m_filter = nullptr;
    StrategyFileView *m_fileView = nullptr;
    QLabel *m_status = nullptr;
    GroupActions *m_groupActions = nullptr;
    QAction *m_addAction = nullptr;
    QAction *m_removeAction = nullptr;
    QAction *m_lockAction = nullptr;
    QAction *m_modifyAction = nullptr;
    QAction *m_findAction = nullptr;
    QTabWidget *m_pages = nullptr;
    QUndoStack *m_undo = nullptr;
    QString m_lastMessage;
    HistoryDock *m_history = nullptr;
    SimuPage *m_simuPage = nullptr;
    AccountsPage *m_accountsPage = nullptr;
    QAction *m_settingsAction = nullptr;
    BacktestPage *m_backtests = nullptr;
    InstancesPage *m_instancesPage = nullptr;
    RunModeBar *m_runModeBar = nullptr;
    QList<QDockWidget *> m_docksToShow; // open when the strategies page was left
    bool m_docksAway = false;           // hidden for another page
};

#endif // MAINWINDOW_H
