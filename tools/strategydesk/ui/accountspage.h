#ifndef ACCOUNTSPAGE_H
#define ACCOUNTSPAGE_H

#include <QWidget>

class QComboBox;
class QStandardItemModel;
class StrategyFileLogicHandler;

// The products and their fund accounts: a product picker narrows the fund
// account picker, and a table lists the chosen product's accounts with the
// Python word of each type. The choice is remembered through the plug-in
// and shown again at the next start; the pickers follow
// sigFundAccountChanged(). Thread: GUI.
class AccountsPage : public QWidget
{
    Q_OBJECT

public:
    explicit AccountsPage(StrategyFileLogicHandler &plugin, QWidget *parent = nullptr);

    QComboBox *productBox() const { return m_products; }
    QComboBox *fundAccountBox() const { return m_accounts; }
    QStandardItemModel *accountModel() const { return m_model; }

public slots:
    // Reads the products and accounts anew, keeping the remembered choice.
    void reload();
    // A new snapshot of the fund accounts (the Refresh button).
    void refresh();

private:
    void productChosen();
    void fillAccounts(const QString &productId);

    StrategyFileLogicHandler &m_plugin;
    QComboBox *m_products = nullptr;
    QComboBox *m_accounts = nullptr;
    QStandardItemModel *m_model = nullptr;
    bool m_filling = false;
};

#endif // ACCOUNTSPAGE_H
