#include "ui/simupage.h"

#include "models/simutrademodel.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

SimuPage::SimuPage(StrategyFileLogicHandler &plugin, const QString &databasePath, QWidget *parent)
    : QWidget(parent)
    , m_plugin(plugin)
    , m_databasePath(databasePath)
    , m_orders(new SimuTradeModel(SimuTradeModel::Kind::Orders, this))
    , m_fills(new SimuTradeModel(SimuTradeModel::Kind::Fills, this))
    , m_orderProxy(new QSortFilterProxyModel(this))
    , m_fillProxy(new QSortFilterProxyModel(this))
{
    m_instance = new QLineEdit(this);
    m_instance->setPlaceholderText(tr("Instance id"));
    m_instance->setAccessibleName(tr("Instance id"));
    auto *show = new QPushButton(tr("Sh&ow"), this);
    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(tr("Filter orders and fills"));
    m_filter->setAccessibleName(tr("Filter orders and fills"));
    m_all = new QCheckBox(tr("&All columns"), this);
    auto *bar = new QHBoxLayout;
    bar->addWidget(m_instance);
    bar->addWidget(show);
    bar->addWidget(m_filter, 1);
    bar->addWidget(m_all);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(tableFor(m_orders, m_orderProxy));
    splitter->addWidget(tableFor(m_fills, m_fillProxy));
    m_notice = new QLabel(this);
    m_notice->setWordWrap(true);
    m_notice->setAlignment(Qt::AlignCenter);
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(splitter);
    m_stack->addWidget(m_notice);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_stack, 1);

    connect(show, &QPushButton::clicked, this, &SimuPage::reload);
    connect(m_instance, &QLineEdit::returnPressed, this, &SimuPage::reload);
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_orderProxy->setFilterFixedString(text);
        m_fillProxy->setFilterFixedString(text);
    });
    connect(m_all, &QCheckBox::toggled, this, [this](bool all) {
        m_orders->setShowAll(all);
        m_fills->setShowAll(all);
    });
    reload();
}

QTableView *SimuPage::tableFor(SimuTradeModel *model, QSortFilterProxyModel *proxy)
{
    proxy->setSourceModel(model);
    proxy->setFilterKeyColumn(-1);
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    auto *view = new QTableView(this);
    view->setModel(proxy);
    view->setSortingEnabled(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    // Each reload or column switch fits the columns to their texts.
    connect(model, &QAbstractItemModel::modelReset, view, &QTableView::resizeColumnsToContents);
    view->setAccessibleName(model == m_orders ? tr("Simulated orders") : tr("Simulated fills"));
    return view;
}

QString SimuPage::notice() const
{
    return m_stack->currentWidget() == m_notice ? m_notice->text() : QString();
}

void SimuPage::reload()
{
    if (!QFileInfo(m_databasePath).isFile()) {
        m_notice->setText(tr("There is no simulated-trading database: %1 does not exist.").arg(m_databasePath));
        m_stack->setCurrentWidget(m_notice);
        m_orders->setRows({});
        m_fills->setRows({});
        return;
    }
    m_stack->setCurrentIndex(0);
    const QString id = m_instance->text().trimmed();
    m_orders->setRows(id.isEmpty() ? QList<QMap<QString, QVariant>>() : m_plugin.querySimuEntrust(id));
    m_fills->setRows(id.isEmpty() ? QList<QMap<QString, QVariant>>() : m_plugin.querySimuDeal(id));
}
