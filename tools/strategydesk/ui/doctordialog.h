#ifndef DOCTORDIALOG_H
#define DOCTORDIALOG_H

#include <StrategyLogic/strategydoctor.h>

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

// Help > Check installation: the findings of StrategyLogic::checkInstallation
// for the data folder (severity, id, message, path; the fix, where there is
// one, as the message's tool tip), and "Apply safe fixes", which asks first
// (`confirm`), runs StrategyLogic::fixInstallation and shows what it did and
// the findings after it. The repairs need the folder to themselves: while
// this process's plug-in (or another program) holds it, they change nothing
// and the dialog says who holds it. Thread: GUI.
class DoctorDialog : public QDialog
{
    Q_OBJECT

public:
    enum Column { Severity, Id, Message, Path, ColumnCount };

    DoctorDialog(const QString &appDir, std::function<bool(const QString &question)> confirm,
                 QWidget *parent = nullptr);

    QStandardItemModel *model() const { return m_model; }
    QPushButton *fixButton() const { return m_fix; }
    // What the last "Apply safe fixes" did, as shown; empty before one.
    QString outcome() const;

public slots:
    // Checks the folder again.
    void check();
    // Asks, then makes the safe repairs; false when not asked to or when
    // nothing could be repaired (the folder in use, its lock not taken).
    bool applyFixes();

private:
    void showFindings(const QList<StrategyLogic::DoctorFinding> &findings);

    QString m_appDir;
    std::function<bool(const QString &)> m_confirm;
    QStandardItemModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_summary = nullptr;
    QLabel *m_outcome = nullptr;
    QPushButton *m_fix = nullptr;
};

#endif // DOCTORDIALOG_H
