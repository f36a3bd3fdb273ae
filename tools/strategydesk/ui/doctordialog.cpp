#include "ui/doctordialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

using StrategyLogic::DoctorFinding;
using StrategyLogic::DoctorSeverity;

namespace {
QIcon severityIcon(DoctorSeverity severity)
{
    QStyle *style = QApplication::style();
    switch (severity) {
    case DoctorSeverity::Error:
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case DoctorSeverity::Warning:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case DoctorSeverity::Info:
        break;
    }
    return style->standardIcon(QStyle::SP_MessageBoxInformation);
}

// The word for a severity beside its icon, in the language of the screens.
QString severityText(DoctorSeverity severity)
{
    switch (severity) {
    case DoctorSeverity::Error:
        return DoctorDialog::tr("error");
    case DoctorSeverity::Warning:
        return DoctorDialog::tr("warning");
    case DoctorSeverity::Info:
        break;
    }
    return DoctorDialog::tr("info");
}
} // namespace

DoctorDialog::DoctorDialog(const QString &appDir, std::function<bool(const QString &)> confirm, QWidget *parent)
    : QDialog(parent)
    , m_appDir(appDir)
    , m_confirm(std::move(confirm))
{
    setWindowTitle(tr("Check installation"));
    auto *layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    m_model = new QStandardItemModel(0, ColumnCount, this);
    m_model->setHorizontalHeaderLabels({tr("Severity"), tr("Id"), tr("Message"), tr("Path")});
    m_view = new QTableView(this);
    m_view->setModel(m_model);
    m_view->setAccessibleName(tr("Findings"));
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(true);
    m_view->setTextElideMode(Qt::ElideMiddle);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    int severityWidth = m_view->horizontalHeader()->fontMetrics().horizontalAdvance(tr("Severity")) + 16;
    for (DoctorSeverity severity : {DoctorSeverity::Error, DoctorSeverity::Warning, DoctorSeverity::Info})
        severityWidth = qMax(severityWidth, m_view->fontMetrics().horizontalAdvance(severityText(severity)) + 48);
    m_view->setColumnWidth(Severity, severityWidth);
    m_view->setFocusPolicy(Qt::NoFocus);
    m_view->setColumnWidth(Id, 170);
    m_view->setColumnWidth(Message, 460);
    layout->addWidget(m_view, 1);

    m_outcome = new QLabel(this);
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_outcome->hide();
    layout->addWidget(m_outcome);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_fix = buttons->addButton(tr("&Apply safe fixes..."), QDialogButtonBox::ActionRole);
    QPushButton *again = buttons->addButton(tr("Check a&gain"), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_fix, &QPushButton::clicked, this, &DoctorDialog::applyFixes);
    connect(again, &QPushButton::clicked, this, &DoctorDialog::check);
    resize(1000, 420);
    check();
}

QString DoctorDialog::outcome() const
{
    return m_outcome->text();
}

void DoctorDialog::check()
{
    showFindings(StrategyLogic::checkInstallation(m_appDir));
}

void DoctorDialog::showFindings(const QList<DoctorFinding> &findings)
{
    m_model->removeRows(0, m_model->rowCount());
    int errors = 0;
    int warnings = 0;
    int fixes = 0;
    for (const DoctorFinding &finding : findings) {
        errors += finding.severity == DoctorSeverity::Error;
        warnings += finding.severity == DoctorSeverity::Warning;
        fixes += !finding.fix.isEmpty();
        // The word beside the icon: the colour of an icon is not the only sign.
        auto *severity = new QStandardItem(severityIcon(finding.severity), severityText(finding.severity));
        auto *message = new QStandardItem(finding.message);
        message->setToolTip(finding.fix.isEmpty() ? finding.message
                                                  : tr("%1\n\nSafe fix: %2").arg(finding.message, finding.fix));
        auto *path = new QStandardItem(finding.path);
        path->setToolTip(finding.path);
        m_model->appendRow({severity, new QStandardItem(finding.id), message, path});
    }
    m_view->resizeRowsToContents(); // a few dozen rows at most
    if (findings.isEmpty())
        m_summary->setText(tr("Nothing was found in %1.").arg(m_appDir));
    else
        m_summary->setText(tr("%1: errors %2, warnings %3, findings with a safe fix %4.")
                               .arg(m_appDir)
                               .arg(errors)
                               .arg(warnings)
                               .arg(fixes));
    m_fix->setEnabled(fixes > 0);
}

bool DoctorDialog::applyFixes()
{
    if (!m_confirm(tr("Apply the safe fixes to %1? Each file that changes is copied to a dated backup first.")
                       .arg(m_appDir)))
        return false;
    const StrategyLogic::DoctorFixResult result = StrategyLogic::fixInstallation(m_appDir);
    QString text;
    switch (result.outcome) {
    case StrategyLogic::DoctorFixResult::Fixed: {
        QStringList lines;
        lines.append(tr("Repairs made: %1.").arg(result.repairs.size()));
        for (const StrategyLogic::DoctorRepair &repair : result.repairs)
            lines.append(repair.backup.isEmpty() ? tr("%1: %2").arg(repair.id, repair.action)
                                                 : tr("%1: %2 (backup %3)").arg(repair.id, repair.action, repair.backup));
        for (const QString &failure : result.failures)
            lines.append(tr("Not made: %1").arg(failure));
        text = lines.join(QLatin1Char('\n'));
        break;
    }
    case StrategyLogic::DoctorFixResult::Busy:
        text = tr("Nothing was changed: the data folder is in use by %1. The repairs need it to themselves: "
                  "quit StrategyDesk and every other program using the folder, then run strategyctl doctor --fix.")
                   .arg(result.reason);
        break;
    case StrategyLogic::DoctorFixResult::Failed:
        text = tr("Nothing was changed: the data folder could not be locked: %1").arg(result.reason);
        break;
    }
    m_outcome->setText(text);
    m_outcome->show();
    showFindings(result.findings);
    return result.outcome == StrategyLogic::DoctorFixResult::Fixed;
}
