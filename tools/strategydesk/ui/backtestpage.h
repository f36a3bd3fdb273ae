#ifndef BACKTESTPAGE_H
#define BACKTESTPAGE_H

#include <StrategyLogic/backtestreport.h>

#include <QList>
#include <QWidget>

#include <functional>

class BacktestDaysModel;
class BacktestFiguresModel;
class ComparisonChartView;
class EquityChartView;
class QAction;
class QLabel;
class QListView;
class QStackedWidget;
class QStringListModel;
class QTableView;
class StrategyFileLogicHandler;

// The Backtests page: the instances with backtest days on the left
// (getBackTestInstanceIdList(), several may be selected). For one selected
// instance its equity chart, its days and its figures (BacktestReport of
// queryBackTestCashInfo()); the chart saved as PNG, SVG or HTML. For two
// or more their curves from the same start and their figures side by side.
// The list and the days are read again on Refresh (F5), when the page is
// shown and when the plug-in has loaded its instances
// (signalInstanceRunModeLoaded, queued to the GUI thread); the selection is
// kept. Thread: GUI.
class BacktestPage : public QWidget
{
    Q_OBJECT

public:
    explicit BacktestPage(StrategyFileLogicHandler &plugin, QWidget *parent = nullptr);
    ~BacktestPage() override;

    QListView *instanceView() const { return m_instanceView; }
    QStringListModel *instanceModel() const { return m_instances; }
    BacktestDaysModel *daysModel() const { return m_days; }
    BacktestFiguresModel *figuresModel() const { return m_figures; }
    QTableView *daysView() const { return m_daysView; }
    QTableView *figuresView() const { return m_figuresView; }
    EquityChartView *chartView() const { return m_chartView; }
    ComparisonChartView *comparisonView() const { return m_comparisonView; }
    QAction *refreshAction() const { return m_refresh; }
    QAction *saveAction() const { return m_save; }

    // The selected instances, in the list's order.
    QStringList selectedInstances() const;
    // Selects these instances (those in the list) and nothing else.
    void selectInstances(const QStringList &ids);
    // The reports of the selected instances, as shown.
    const QList<StrategyLogic::BacktestReport> &reports() const { return m_reports; }

    // Saves the chart of the one instance shown to `path`, in the format
    // its ending names (.png, .svg, .html); false with the reason shown.
    bool saveChart(const QString &path);
    // The message of the last failure shown, or of the last save.
    QString lastMessage() const { return m_lastMessage; }

    // How the file to save the chart in is chosen, from a proposed path;
    // empty when the user cancelled. The default is a file dialog.
    std::function<QString(const QString &proposed)> chooseSaveFile;
    // How a failure is shown; the default is a message box.
    std::function<void(const QString &title, const QString &message)> showMessage;

public slots:
    // Reads the list and the selected instances' days again.
    void reload();
    // Asks for a file and saves the chart there.
    void saveChartAs();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildViews();
    void buildActions();
    void showSelection();
    void showOne(const StrategyLogic::BacktestReport &report);
    void showMany();
    void failed(const QString &title, const QString &message);

    StrategyFileLogicHandler &m_plugin;
    QStringListModel *m_instances = nullptr;
    BacktestDaysModel *m_days = nullptr;
    BacktestFiguresModel *m_figures = nullptr;
    QListView *m_instanceView = nullptr;
    QTableView *m_daysView = nullptr;
    QTableView *m_figuresView = nullptr;
    QStackedWidget *m_charts = nullptr;
    QLabel *m_placeholder = nullptr;
    EquityChartView *m_chartView = nullptr;
    ComparisonChartView *m_comparisonView = nullptr;
    QLabel *m_status = nullptr;
    QAction *m_refresh = nullptr;
    QAction *m_save = nullptr;
    QList<StrategyLogic::BacktestReport> m_reports;
    QString m_lastMessage;
    bool m_selecting = false; // selectInstances() at work: one update at its end
};

#endif // BACKTESTPAGE_H
