#ifndef SIMUPAGE_H
#define SIMUPAGE_H

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QStackedWidget;
class QTableView;
class SimuTradeModel;
class StrategyFileLogicHandler;

// The simulated trades of an instance: its orders and its fills from the
// simulated-trading database, in two tables under one filter box, with a
// switch from the compact columns to all of them. Without the database the
// page says so, with its path. Thread: GUI.
class SimuPage : public QWidget
{
    Q_OBJECT

public:
    SimuPage(StrategyFileLogicHandler &plugin, const QString &databasePath, QWidget *parent = nullptr);

    SimuTradeModel *orderModel() const { return m_orders; }
    SimuTradeModel *fillModel() const { return m_fills; }
    QSortFilterProxyModel *orderProxy() const { return m_orderProxy; }
    QSortFilterProxyModel *fillProxy() const { return m_fillProxy; }
    QLineEdit *instanceEdit() const { return m_instance; }
    QLineEdit *filterEdit() const { return m_filter; }
    QCheckBox *allColumnsBox() const { return m_all; }
    // The sentence shown instead of the tables, empty while they are shown.
    QString notice() const;

public slots:
    // Reads the orders and fills of the instance in the box.
    void reload();

private:
    QTableView *tableFor(SimuTradeModel *model, QSortFilterProxyModel *proxy);

    StrategyFileLogicHandler &m_plugin;
    QString m_databasePath;
    SimuTradeModel *m_orders = nullptr;
    SimuTradeModel *m_fills = nullptr;
    QSortFilterProxyModel *m_orderProxy = nullptr;
    QSortFilterProxyModel *m_fillProxy = nullptr;
    QLineEdit *m_instance = nullptr;
    QLineEdit *m_filter = nullptr;
    QCheckBox *m_all = nullptr;
    QLabel *m_notice = nullptr;
    QStackedWidget *m_stack = nullptr;
};

#endif // SIMUPAGE_H
