#ifndef INSTANCESPAGE_H
#define INSTANCESPAGE_H

#include <QWidget>

class InstanceFilterProxy;
class InstanceParamsModel;
class InstanceTableModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QSettings;
class QSplitter;
class QStackedWidget;
class QTableView;
class StrategyFileLogicHandler;

// The strategy instances of the plug-in: a filter row (the run mode, and a
// text found in the id, the fund account or the registration answer;
// Ctrl+F while the page is shown), the instances' table, and beside it the
// user parameters of the selected instance (getInstanceParams()), a field
// of the host's ZParamData a column, or a sentence when it has none. The
// listing is read-only: instances are registered by the strategies that
// run them. Column widths and the splitter are kept in QSettings by the
// window (restoreLayout(), saveLayout()). Thread: GUI.
class InstancesPage : public QWidget
{
    Q_OBJECT

public:
    explicit InstancesPage(StrategyFileLogicHandler &plugin, QWidget *parent = nullptr);

    InstanceTableModel *model() const { return m_model; }
    InstanceFilterProxy *proxy() const { return m_proxy; }
    QTableView *view() const { return m_table; }
    // The run mode filter: its items hold InstanceFilterProxy::AllModes or a mode.
    QComboBox *modeFilter() const { return m_modeFilter; }
    QLineEdit *filterEdit() const { return m_filter; }
    InstanceParamsModel *paramsModel() const { return m_params; }
    QTableView *paramsView() const { return m_paramsView; }
    // The sentence shown instead of the parameters: none selected, or none there.
    QLabel *paramsNote() const { return m_note; }

    // The id of the selected instance; empty when none is selected.
    QString selectedId() const;
    // Selects the instance's row when the filter shows it; false otherwise.
    bool selectInstance(const QString &id);

    void restoreLayout(const QSettings &settings);
    void saveLayout(QSettings &settings) const;

private:
    QWidget *buildFilterRow();
    void buildTable();
    QWidget *buildDetails();
    void showDetails();

    StrategyFileLogicHandler &m_plugin;
    InstanceTableModel *m_model = nullptr;
    InstanceFilterProxy *m_proxy = nullptr;
    InstanceParamsModel *m_params = nullptr;
    QComboBox *m_modeFilter = nullptr;
    QLineEdit *m_filter = nullptr;
    QTableView *m_table = nullptr;
    QSplitter *m_splitter = nullptr;
    QLabel *m_detailsTitle = nullptr;
    QStackedWidget *m_details = nullptr;
    QLabel *m_note = nullptr;
    QTableView *m_paramsView = nullptr;
};

#endif // INSTANCESPAGE_H
