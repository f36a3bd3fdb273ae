#include "ui/historydock.h"

#include "models/historymodel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QVBoxLayout>

HistoryDock::HistoryDock(const QString &appDir, const QString &userId, QWidget *parent)
    : QDockWidget(tr("History"), parent)
{
    setObjectName(QStringLiteral("historyDock"));
    m_model = new HistoryModel(appDir, userId, this);

    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(tr("Strategy &id:"), body);
    m_id = new QLineEdit(body);
    m_id->setPlaceholderText(tr("all strategies"));
    m_id->setAccessibleName(tr("Show the changes of the strategy with this id"));
    m_id->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,18}")), m_id));
    m_id->setMaximumWidth(160);
    label->setBuddy(m_id);
    row->addWidget(label);
    row->addWidget(m_id);
    row->addStretch(1);
    layout->addLayout(row);

    m_view = new QTableView(body);
    m_view->setModel(m_model);
    m_view->setAccessibleName(tr("Changes, newest first"));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setAlternatingRowColors(true);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(HistoryModel::Time, m_view->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
    m_view->setColumnWidth(HistoryModel::Operation, m_view->fontMetrics().horizontalAdvance(QStringLiteral("strategy.remove")) + 16);
    layout->addWidget(m_view);

    m_problem = new QLabel(body);
    m_problem->setWordWrap(true);
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_problem->hide();
    layout->addWidget(m_problem);
    setWidget(body);

    connect(m_id, &QLineEdit::textChanged, this, &HistoryDock::idChanged);
    connect(m_model, &HistoryModel::reloaded, this, &HistoryDock::showProblem);
}

QString HistoryDock::problem() const
{
    return m_problem->text();
}

void HistoryDock::idChanged(const QString &text)
{
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    m_model->setStrategyId(ok ? std::optional<qint64>(id) : std::nullopt);
}

void HistoryDock::showProblem()
{
    m_problem->setText(m_model->problem());
    m_problem->setVisible(!m_model->problem().isEmpty());
}
