#include "ui/instancespage.h"

#include "models/instancefilterproxy.h"
#include "models/instanceparamsmodel.h"
#include "models/instancetablemodel.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {
// A read-only table of rows alike: no measuring of rows or columns, which
// a large list would make slow.
void setUpTable(QTableView *table)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table->horizontalHeader()->setStretchLastSection(true);
}

// Wide enough for the header and for typical values.
void setColumnWidths(QTableView *table, const std::initializer_list<int> &widths)
{
    const QFontMetrics header(table->horizontalHeader()->font());
    int column = 0;
    for (int width : widths) {
        const QString title = table->model()->headerData(column, Qt::Horizontal).toString();
        table->setColumnWidth(column++, qMax(width, header.horizontalAdvance(title) + 28));
    }
}
} // namespace

InstancesPage::InstancesPage(StrategyFileLogicHandler &plugin, QWidget *parent)
    : QWidget(parent)
    , m_plugin(plugin)
{
    setObjectName(QStringLiteral("instancesPage"));
    m_model = new InstanceTableModel(plugin, this);
    m_proxy = new InstanceFilterProxy(this);
    m_proxy->setSourceModel(m_model);
    m_params = new InstanceParamsModel(this);

    QWidget *filters = buildFilterRow();
    buildTable();
    m_splitter = new QSplitter(this);
    m_splitter->setObjectName(QStringLiteral("instancesSplitter"));
    m_splitter->addWidget(m_table);
    m_splitter->addWidget(buildDetails());
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setSizes({760, 440});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(filters);
    layout->addWidget(m_splitter, 1);

    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &InstancesPage::showDetails);
    // A selected row that goes (filtered away, the list read anew) leaves
    // the selection without a selectionChanged().
    connect(m_proxy, &QAbstractItemModel::rowsRemoved, this, &InstancesPage::showDetails);
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &InstancesPage::showDetails);
    // The filter rebuilds the rows in a layout change, which drops a
    // selected row it hides without a selectionChanged() either.
    connect(m_proxy, &QAbstractItemModel::layoutChanged, this, &InstancesPage::showDetails);
    // The parameters come without a signal: read again with every reload.
    connect(m_model, &InstanceTableModel::reloaded, this, &InstancesPage::showDetails);
    showDetails();
}

QWidget *InstancesPage::buildFilterRow()
{
    auto *row = new QWidget(this);
    m_modeFilter = new QComboBox(row);
    m_modeFilter->setAccessibleName(tr("Show instances of the run mode"));
    m_modeFilter->addItem(tr("All run modes"), InstanceFilterProxy::AllModes);
    for (int mode : InstanceTableModel::namedRunModes())
        m_modeFilter->addItem(InstanceTableModel::runModeName(mode), mode);
    m_filter = new QLineEdit(row);
    m_filter->setPlaceholderText(tr("Find by instance, fund account or registration answer (Ctrl+F)"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setAccessibleName(tr("Filter instances"));
    auto *modeLabel = new QLabel(tr("Sho&w:"), row);
    modeLabel->setBuddy(m_modeFilter);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(modeLabel);
    layout->addWidget(m_modeFilter);
    layout->addWidget(m_filter, 1);

    connect(m_modeFilter, QOverload<int>::of(&QComboBox::currentIndexChanged), m_proxy,
            [this](int index) { m_proxy->setRunMode(m_modeFilter->itemData(index).toInt()); });
    connect(m_filter, &QLineEdit::textChanged, m_proxy, &InstanceFilterProxy::setFilterText);
    // Window-wide while the page is shown: an action of a hidden widget
    // does not take its keys, and the strategies' Find is off on this page.
    auto *find = new QAction(tr("Find instances"), this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, [this] {
        m_filter->setFocus();
        m_filter->selectAll();
    });
    addAction(find);
    return row;
}

void InstancesPage::buildTable()
{
    m_table = new QTableView(this);
    m_table->setModel(m_proxy);
    m_table->setAccessibleName(tr("Strategy instances"));
    setUpTable(m_table);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(InstanceTableModel::Id, Qt::AscendingOrder);
    setColumnWidths(m_table, {90, 90, 110, 220, 140, 140});
}

QWidget *InstancesPage::buildDetails()
{
    auto *pane = new QWidget(this);
    m_detailsTitle = new QLabel(pane);
    m_detailsTitle->setTextFormat(Qt::PlainText);
    QFont bold = m_detailsTitle->font();
    bold.setBold(true);
    m_detailsTitle->setFont(bold);
    m_note = new QLabel(pane);
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_paramsView = new QTableView(pane);
    m_paramsView->setModel(m_params);
    m_paramsView->setAccessibleName(tr("User parameters of the instance"));
    setUpTable(m_paramsView);
    setColumnWidths(m_paramsView, {50, 110, 110, 70, 50, 130, 90, 70, 80, 80});
    m_details = new QStackedWidget(pane);
    m_details->addWidget(m_note);
    m_details->addWidget(m_paramsView);
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(6, 4, 0, 0);
    layout->addWidget(m_detailsTitle);
    layout->addWidget(m_details, 1);
    return pane;
}

QString InstancesPage::selectedId() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : rows.first().data(InstanceTableModel::IdRole).toString();
}

bool InstancesPage::selectInstance(const QString &id)
{
    const int row = m_model->rowOfId(id);
    const QModelIndex index = row < 0 ? QModelIndex() : m_proxy->mapFromSource(m_model->index(row, 0));
    if (!index.isValid())
        return false;
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_table->scrollTo(index);
    return true;
}

void InstancesPage::showDetails()
{
    const QString id = selectedId();
    if (id.isEmpty()) {
        m_detailsTitle->setText(tr("User parameters"));
        m_params->setParams({});
        m_note->setText(tr("Select an instance to see its user parameters."));
        m_details->setCurrentWidget(m_note);
        return;
    }
    m_detailsTitle->setText(tr("User parameters of instance %1").arg(id));
    m_params->setParams(m_plugin.getInstanceParams(id));
    if (m_params->rowCount() == 0) {
        m_note->setText(tr("Instance %1 has no user parameters: the strategy server's list of instances has "
                           "given it none.")
                            .arg(id));
        m_details->setCurrentWidget(m_note);
        return;
    }
    m_details->setCurrentWidget(m_paramsView);
}

void InstancesPage::restoreLayout(const QSettings &settings)
{
    m_table->horizontalHeader()->restoreState(settings.value(QStringLiteral("window/instanceColumns")).toByteArray());
    m_splitter->restoreState(settings.value(QStringLiteral("window/instanceSplitter")).toByteArray());
}

void InstancesPage::saveLayout(QSettings &settings) const
{
    settings.setValue(QStringLiteral("window/instanceColumns"), m_table->horizontalHeader()->saveState());
    settings.setValue(QStringLiteral("window/instanceSplitter"), m_splitter->saveState());
}
