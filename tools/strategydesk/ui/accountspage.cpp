#include "ui/accountspage.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

AccountsPage::AccountsPage(StrategyFileLogicHandler &plugin, QWidget *parent)
    : QWidget(parent)
    , m_plugin(plugin)
    , m_products(new QComboBox(this))
    , m_accounts(new QComboBox(this))
    , m_model(new QStandardItemModel(0, 3, this))
{
    m_model->setHorizontalHeaderLabels({tr("Fund account"), tr("Type"), tr("Python type")});
    auto *refreshButton = new QPushButton(tr("&Refresh"), this);
    // The pickers as wide as their names, not as the window; Refresh beside
    // the account it reads again.
    for (QComboBox *box : {m_products, m_accounts}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box->setMinimumContentsLength(16);
    }
    auto *accountRow = new QHBoxLayout;
    accountRow->addWidget(m_accounts);
    accountRow->addWidget(refreshButton);
    accountRow->addStretch(1);
    auto *productRow = new QHBoxLayout;
    productRow->addWidget(m_products);
    productRow->addStretch(1);
    auto *form = new QFormLayout;
    form->addRow(tr("Product:"), productRow);
    form->addRow(tr("Fund account:"), accountRow);
    auto *view = new QTableView(this);
    view->setModel(m_model);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setAlternatingRowColors(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAccessibleName(tr("Fund accounts of the product"));
    connect(m_model, &QAbstractItemModel::rowsInserted, view, &QTableView::resizeColumnsToContents);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(view, 1);
    connect(m_products, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &AccountsPage::productChosen);
    connect(m_accounts, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] {
        if (!m_filling && m_accounts->currentIndex() >= 0)
            m_plugin.setLastFundaccount(m_accounts->currentData().toString());
    });
    connect(refreshButton, &QPushButton::clicked, this, &AccountsPage::refresh);
    connect(&m_plugin, &StrategyFileLogicHandler::sigFundAccountChanged, this, &AccountsPage::reload,
            Qt::QueuedConnection);
    reload();
}

void AccountsPage::refresh()
{
    m_plugin.refreshAccount();
}

void AccountsPage::reload()
{
    m_filling = true;
    {
        const QSignalBlocker blocker(m_products);
        m_products->clear();
        for (const ProductData &product : m_plugin.getProductList())
            m_products->addItem(tr("%1 (%2)").arg(product.productName, product.productId), product.productId);
        m_products->setCurrentIndex(qMax(0, m_products->findData(m_plugin.getLastProduct())));
    }
    fillAccounts(m_products->currentData().toString());
    m_filling = false;
    // What the pickers show is the choice, also when nothing was remembered.
    m_plugin.setLastProduct(m_products->currentData().toString());
    m_plugin.setLastFundaccount(m_accounts->currentData().toString());
}

void AccountsPage::productChosen()
{
    const QString productId = m_products->currentData().toString();
    m_plugin.setLastProduct(productId);
    m_filling = true;
    fillAccounts(productId);
    m_filling = false;
    if (m_accounts->currentIndex() >= 0)
        m_plugin.setLastFundaccount(m_accounts->currentData().toString());
}

void AccountsPage::fillAccounts(const QString &productId)
{
    m_accounts->clear();
    m_model->removeRows(0, m_model->rowCount());
    if (productId.isEmpty())
        return;
    for (const FundAccountData &data : m_plugin.getFundAccountList(productId)) {
        m_accounts->addItem(data.fundAccount, data.fundAccount);
        m_model->appendRow({new QStandardItem(data.fundAccount), new QStandardItem(data.accountTypeName),
                            new QStandardItem(m_plugin.getFundAccountTypeName_py(data.accountType))});
    }
    m_accounts->setCurrentIndex(qMax(0, m_accounts->findData(m_plugin.getLastFundaccount())));
}
