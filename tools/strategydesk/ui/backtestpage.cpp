#include "ui/backtestpage.h"

#include "models/backtestdaysmodel.h"
#include "models/backtestfiguresmodel.h"
#include "ui/comparisonchartview.h"
#include "ui/equitychartview.h"

#include <StrategyLogic/equitychart.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSplitter>
#include <QStackedWidget>
#include <QStringListModel>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include <optional>

using StrategyLogic::BacktestReport;
using StrategyLogic::EquityChart;

namespace {
// The format a file's ending names; none for another ending.
std::optional<EquityChart::Format> formatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return EquityChart::Format::Png;
    if (suffix == QLatin1String("svg"))
        return EquityChart::Format::Svg;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return EquityChart::Format::Html;
    return std::nullopt;
}

QTableView *tableView(const QString &name, QWidget *parent)
{
    auto *view = new QTableView(parent);
    view->setAccessibleName(name);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    return view;
}
} // namespace

BacktestPage::BacktestPage(StrategyFileLogicHandler &plugin, QWidget *parent)
    : QWidget(parent)
    , m_plugin(plugin)
    , m_instances(new QStringListModel(this))
    , m_days(new BacktestDaysModel(this))
    , m_figures(new BacktestFiguresModel(this))
{
    showMessage = [this](const QString &title, const QString &message) {
        QMessageBox::warning(this, title, message);
    };
    chooseSaveFile = [this](const QString &proposed) {
        QString filter;
        QString path = QFileDialog::getSaveFileName(
            this, tr("Save chart"), proposed, tr("PNG image (*.png);;SVG drawing (*.svg);;HTML page (*.html)"), &filter);
        // A name without an ending takes the one of the chosen type.
        if (!path.isEmpty() && !formatOf(path))
            path += filter.contains(QLatin1String("*.svg")) ? QStringLiteral(".svg")
                : filter.contains(QLatin1String("*.html")) ? QStringLiteral(".html")
                                                           : QStringLiteral(".png");
        return path;
    };
    buildViews();
    buildActions();
    // The plug-in emits on its own threads: the page reads on the GUI thread.
    connect(&m_plugin, &StrategyFileLogicHandler::signalInstanceRunModeLoaded, this, &BacktestPage::reload,
            Qt::QueuedConnection);
    connect(m_instanceView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_selecting)
            showSelection();
    });
    reload();
}

BacktestPage::~BacktestPage() = default;

void BacktestPage::buildViews()
{
    m_instanceView = new QListView(this);
    m_instanceView->setModel(m_instances);
    m_instanceView->setAccessibleName(tr("Backtest instances"));
    m_instanceView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_instanceView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_instanceView->setUniformItemSizes(true);

    m_placeholder = new QLabel(tr("Select a backtest instance to see its days, or several to compare them."), this);
    m_placeholder->setAlignment(Qt::AlignCenter);
    m_placeholder->setWordWrap(true);
    m_chartView = new EquityChartView(this);
    m_comparisonView = new ComparisonChartView(this);
    m_charts = new QStackedWidget(this);
    m_charts->addWidget(m_placeholder);
    m_charts->addWidget(m_chartView);
    m_charts->addWidget(m_comparisonView);

    m_daysView = tableView(tr("Backtest days"), this);
    m_daysView->setModel(m_days);
    m_daysView->verticalHeader()->hide();
    // The columns are fitted to the days shown first and to their headers
    // (showOne()): a few dozen rows, not ten thousand.
    m_daysView->horizontalHeader()->setResizeContentsPrecision(50);
    m_daysView->horizontalHeader()->setStretchLastSection(true);
    m_figuresView = tableView(tr("Backtest figures"), this);
    m_figuresView->setModel(m_figures);
    // A column for each instance compared, sharing the width: a handful of
    // columns, so that stretching them costs nothing.
    m_figuresView->horizontalHeader()->setMinimumSectionSize(m_figuresView->fontMetrics().horizontalAdvance(
        QStringLiteral("000,000,000.000000")));
    m_figuresView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    auto *tables = new QSplitter(Qt::Horizontal, this);
    tables->addWidget(m_daysView);
    tables->addWidget(m_figuresView);
    tables->setSizes({560, 420});
    auto *right = new QSplitter(Qt::Vertical, this);
    right->addWidget(m_charts);
    right->addWidget(tables);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_instanceView);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({150, 850});

    m_status = new QLabel(this);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_status);
}

void BacktestPage::buildActions()
{
    auto *tools = new QToolBar(tr("Backtests"), this);
    layout()->setMenuBar(tools);
    m_refresh = tools->addAction(tr("&Refresh"), this, &BacktestPage::reload);
    m_refresh->setShortcut(QKeySequence::Refresh);
    m_save = tools->addAction(tr("&Save chart..."), this, &BacktestPage::saveChartAs);
    m_save->setShortcut(QKeySequence::Save);
    for (QAction *action : {m_refresh, m_save}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }
    m_save->setEnabled(false);
}

QStringList BacktestPage::selectedInstances() const
{
    QStringList ids;
    for (int row = 0; row < m_instances->rowCount(); ++row) {
        if (m_instanceView->selectionModel()->isRowSelected(row, QModelIndex()))
            ids.append(m_instances->index(row).data().toString());
    }
    return ids;
}

void BacktestPage::selectInstances(const QStringList &ids)
{
    QItemSelection selection;
    const QStringList list = m_instances->stringList();
    for (const QString &id : ids) {
        const int row = list.indexOf(id);
        if (row >= 0)
            selection.select(m_instances->index(row), m_instances->index(row));
    }
    m_selecting = true;
    m_instanceView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_selecting = false;
    showSelection();
}

void BacktestPage::reload()
{
    const QStringList selected = selectedInstances();
    const QStringList ids = m_plugin.getBackTestInstanceIdList();
    if (ids != m_instances->stringList()) {
        m_selecting = true;
        m_instances->setStringList(ids);
        m_selecting = false;
    }
    selectInstances(selected); // the days too: they change without a signal
}

void BacktestPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    reload();
}

void BacktestPage::showSelection()
{
    m_reports.clear();
    for (const QString &id : selectedInstances()) {
        QList<BackTestCashInfo> days;
        m_plugin.queryBackTestCashInfo(id, days); // none: an instance whose days are gone shows none
        m_reports.append(BacktestReport::compute(id, days));
    }
    m_figures->setReports(m_reports);
    m_save->setEnabled(m_reports.size() == 1);
    if (m_reports.size() == 1)
        showOne(m_reports.first());
    else
        showMany();
}

void BacktestPage::showOne(const BacktestReport &report)
{
    m_days->setReport(report);
    m_chartView->setReport(report);
    m_charts->setCurrentWidget(m_chartView);
    m_daysView->show();
    m_daysView->resizeColumnsToContents();
    const QString period = EquityChart::periodText(report);
    m_status->setText(report.notes().isEmpty() ? period
                                               : tr("%1. %2").arg(period, report.notes().join(QLatin1Char(' '))));
}

void BacktestPage::showMany()
{
    m_days->setReport(BacktestReport());
    m_chartView->setReport(BacktestReport());
    m_comparisonView->setReports(m_reports);
    m_charts->setCurrentWidget(m_reports.isEmpty() ? static_cast<QWidget *>(m_placeholder) : m_comparisonView);
    m_daysView->setVisible(m_reports.isEmpty());
    m_status->setText(m_reports.isEmpty() ? tr("%n backtest instances", nullptr, m_instances->rowCount())
                                          : tr("%n instances compared", nullptr, m_reports.size()));
}

void BacktestPage::saveChartAs()
{
    if (m_reports.size() != 1)
        return;
    QString name = BacktestReport::printable(m_reports.first().instanceId());
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    const QString path = chooseSaveFile(QDir::home().filePath(QStringLiteral("backtest-%1.png").arg(name)));
    if (!path.isEmpty())
        saveChart(path);
}

bool BacktestPage::saveChart(const QString &path)
{
    if (m_reports.size() != 1) {
        failed(tr("The chart was not saved"), tr("Select one backtest instance to save its chart."));
        return false;
    }
    const std::optional<EquityChart::Format> format = formatOf(path);
    if (!format) {
        failed(tr("The chart was not saved"), tr("%1 does not end with .png, .svg or .html.").arg(path));
        return false;
    }
    // A document of its own size, whatever the size of the window.
    const EquityChart chart(m_reports.first());
    QString reason;
    if (!chart.save(path, *format, &reason)) {
        failed(tr("The chart was not saved"), tr("%1 could not be written: %2").arg(path, reason));
        return false;
    }
    m_lastMessage = tr("The chart was saved to %1.").arg(path);
    m_status->setText(m_lastMessage);
    return true;
}

void BacktestPage::failed(const QString &title, const QString &message)
{
    m_lastMessage = message;
    m_status->setText(message);
    showMessage(title, message);
}
