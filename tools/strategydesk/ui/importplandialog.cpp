#include "ui/importplandialog.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using StrategyLogic::BundleImportResult;

namespace {
// Rows of texts: the plan of a large bundle has a row for each record, which
// a model of items would hold as many objects.
class TextRows : public QAbstractTableModel
{
public:
    TextRows(const QStringList &headers, QVector<QStringList> rows, QObject *parent)
        : QAbstractTableModel(parent)
        , m_headers(headers)
        , m_rows(std::move(rows))
    {
    }
    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : m_rows.size(); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : m_headers.size(); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)
            || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return QVariant();
        return m_rows.at(index.row()).value(index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_headers.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    QStringList m_headers;
    QVector<QStringList> m_rows;
};
// The width the header needs for its title.
int headerWidth(const QTableView *view, const QString &title)
{
    return view->horizontalHeader()->fontMetrics().horizontalAdvance(title) + 28;
}

// The word for what a change of the import does, in the language of the screens.
QString actionText(StrategyLogic::BundleAction action)
{
    using StrategyLogic::BundleAction;
    switch (action) {
    case BundleAction::Backup:
        return ImportPlanDialog::tr("backup");
    case BundleAction::Remove:
        return ImportPlanDialog::tr("remove");
    case BundleAction::Add:
        return ImportPlanDialog::tr("add");
    case BundleAction::Rename:
        return ImportPlanDialog::tr("rename");
    case BundleAction::Keep:
        return ImportPlanDialog::tr("keep");
    case BundleAction::Set:
        break;
    }
    return ImportPlanDialog::tr("set");
}

// "add 2, keep 21", in the order of the actions.
QString countsByAction(const QList<StrategyLogic::BundleChange> &changes)
{
    QMap<int, int> counts;
    for (const StrategyLogic::BundleChange &change : changes)
        ++counts[int(change.action)];
    QStringList parts;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        parts.append(ImportPlanDialog::tr("%1 %2", "an action of the import, how many records it touches")
                         .arg(actionText(StrategyLogic::BundleAction(it.key())))
                         .arg(it.value()));
    return parts.join(ImportPlanDialog::tr(", ", "between the counts of the actions"));
}
} // namespace

ImportPlanDialog::ImportPlanDialog(const BundleImportResult &result, QWidget *parent)
    : QDialog(parent)
{
    const bool mergeMode = result.mode == StrategyLogic::BundleImportMode::Merge;
    setWindowTitle(mergeMode ? tr("Import (merge) %1").arg(result.file) : tr("Import (replace) %1").arg(result.file));
    auto *layout = new QVBoxLayout(this);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_message);

    // A dry run answers its plan even when every record is kept already.
    const bool canApply = result.outcome == BundleImportResult::DryRun
        && std::any_of(result.changes.cbegin(), result.changes.cend(), [](const StrategyLogic::BundleChange &change) {
               return change.action != StrategyLogic::BundleAction::Keep;
           });
    QVector<QStringList> rows;
    QStringList headers;
    if (!result.problems.isEmpty()) {
        headers = QStringList{tr("Where (JSON pointer)"), tr("Problem")};
        rows.reserve(result.problems.size());
        for (const StrategyLogic::BundleProblem &problem : result.problems)
            rows.append({problem.pointer.isEmpty() ? tr("(the whole document)") : problem.pointer, problem.message});
        m_message->setText(result.message.isEmpty() ? tr("The bundle cannot be imported; nothing was changed.")
                                                    : result.message);
    } else {
        headers = QStringList{tr("Record"), tr("Action"), tr("Detail")};
        rows.reserve(result.changes.size());
        for (const StrategyLogic::BundleChange &change : result.changes)
            rows.append({change.pointer, actionText(change.action), change.detail});
        if (!canApply && result.outcome == BundleImportResult::DryRun)
            m_message->setText(tr("The data folder holds everything of %1 already: the import would change "
                                  "nothing.")
                                   .arg(result.file));
        else if (result.outcome == BundleImportResult::DryRun)
            m_message->setText(mergeMode ? tr("What the import would do: %1. Nothing is changed until you apply it.")
                                               .arg(countsByAction(result.changes))
                                         : tr("What the import would do: %1, replacing the strategies and groups "
                                              "of the data folder (the data file and the groups file are backed up "
                                              "first). Nothing is changed until you apply it.")
                                               .arg(countsByAction(result.changes)));
        else
            m_message->setText(result.message);
    }
    m_model = new TextRows(headers, std::move(rows), this);

    m_view = new QTableView(this);
    m_view->setModel(m_model);
    m_view->setAccessibleName(result.problems.isEmpty() ? tr("Changes of the import") : tr("Problems of the bundle"));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setAlternatingRowColors(true);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideMiddle);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->setColumnWidth(0, qMax(200, headerWidth(m_view, headers.value(0))));
    if (headers.size() == 3)
        m_view->setColumnWidth(1, qMax(80, headerWidth(m_view, headers.value(1))));
    layout->addWidget(m_view, 1);
    // The first record that changes in sight: a merge into a full folder
    // keeps most of them.
    for (int row = 0; canApply && row < result.changes.size(); ++row) {
        if (result.changes.at(row).action != StrategyLogic::BundleAction::Keep) {
            m_view->selectRow(row);
            m_view->scrollTo(m_model->index(row, 0), QAbstractItemView::PositionAtCenter);
            break;
        }
    }

    auto *buttons = new QDialogButtonBox(this);
    if (canApply) {
        m_apply = buttons->addButton(tr("&Apply"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QDialogButtonBox::Cancel);
    } else {
        buttons->addButton(QDialogButtonBox::Close);
    }
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(820, 420);
}

ImportPlanDialog::~ImportPlanDialog() = default;

QAbstractItemModel *ImportPlanDialog::model() const
{
    return m_model;
}

QString ImportPlanDialog::message() const
{
    return m_message->text();
}
