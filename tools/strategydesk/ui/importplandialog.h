#ifndef IMPORTPLANDIALOG_H
#define IMPORTPLANDIALOG_H

#include <StrategyLogic/strategybundle.h>

#include <QDialog>

class QAbstractItemModel;
class QLabel;
class QPushButton;
class QTableView;

// What an import of a bundle would do, before anything is applied: the
// dry run's plan (pointer, action, detail) with Apply and Cancel; or, for a
// bundle the data folder holds already (every record kept), those records,
// with Close;
// or, for a refused bundle, its problems (JSON pointer, message), with
// Close. The dialog changes nothing: accepted means "apply". Thread: GUI.
class ImportPlanDialog : public QDialog
{
    Q_OBJECT

public:
    // `result` is the answer of a dry run or of a check of the bundle.
    ImportPlanDialog(const StrategyLogic::BundleImportResult &result, QWidget *parent = nullptr);
    ~ImportPlanDialog() override;

    // The plan's rows (pointer, action, detail) or the problems' (pointer, message).
    QAbstractItemModel *model() const;
    // Null unless the plan can be applied.
    QPushButton *applyButton() const { return m_apply; }
    // The line above the table.
    QString message() const;

private:
    QAbstractItemModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_apply = nullptr;
};

#endif // IMPORTPLANDIALOG_H
