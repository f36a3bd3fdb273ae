#ifndef HISTORYDOCK_H
#define HISTORYDOCK_H

#include <QDockWidget>

class HistoryModel;
class QLabel;
class QLineEdit;
class QTableView;

// The dock "History": the user's changes newest first (HistoryModel), a
// box that narrows them to one fixed strategy's id, and a line that says
// when the history could not be read whole. The model reads the files only
// when asked (HistoryModel::scheduleReload) and they changed. Thread: GUI.
class HistoryDock : public QDockWidget
{
    Q_OBJECT

public:
    HistoryDock(const QString &appDir, const QString &userId, QWidget *parent = nullptr);

    HistoryModel *model() const { return m_model; }
    QLineEdit *idEdit() const { return m_id; }
    QTableView *view() const { return m_view; }
    // What the line below the table says; empty when all was read.
    QString problem() const;

private:
    void idChanged(const QString &text);
    void showProblem();

    HistoryModel *m_model = nullptr;
    QLineEdit *m_id = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_problem = nullptr;
};

#endif // HISTORYDOCK_H
