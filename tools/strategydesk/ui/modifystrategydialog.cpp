#include "ui/modifystrategydialog.h"

#include "ui/addstrategydialog.h"

#include "ui/strategycommands.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

ModifyStrategyDialog::ModifyStrategyDialog(StrategyFileLogicHandler &plugin, const FixedStrategyInfo &info,
                                           const QStringList &groups, QWidget *parent)
    : QDialog(parent)
    , m_plugin(plugin)
    , m_original(info)
{
    setWindowTitle(tr("Modify the strategy %1").arg(info.id));
    m_file = new QLineEdit(info.filePath, this);
    auto *browse = new QToolButton(this);
    browse->setText(tr("Browse..."));
    browse->setAccessibleName(tr("Choose the strategy file"));
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    m_name = new QLineEdit(info.name, this);
    m_group = new QComboBox(this);
    m_group->addItems(groups);
    if (!groups.contains(info.group))
        m_group->addItem(info.group); // shown as it is; the check says the plug-in has no such group
    m_group->setCurrentText(info.group);
    m_extra = new QLineEdit(info.extraInfo, this);
    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *form = new QFormLayout;
    auto *fileLabel = new QLabel(tr("&File:"), this);
    fileLabel->setBuddy(m_file);
    form->addRow(fileLabel, fileRow);
    form->addRow(tr("&Name:"), m_name);
    form->addRow(tr("&Group:"), m_group);
    form->addRow(tr("&Text:"), m_extra);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(m_buttons);
    resize(520, sizeHint().height());

    connect(browse, &QToolButton::clicked, this, &ModifyStrategyDialog::browse);
    connect(m_file, &QLineEdit::textChanged, this, &ModifyStrategyDialog::check);
    connect(m_name, &QLineEdit::textChanged, this, &ModifyStrategyDialog::check);
    connect(m_group, &QComboBox::currentTextChanged, this, &ModifyStrategyDialog::check);
    connect(m_extra, &QLineEdit::textChanged, this, &ModifyStrategyDialog::check);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_name->selectAll();
    check();
}

FixedStrategyInfo ModifyStrategyDialog::info() const
{
    FixedStrategyInfo info = m_original;
    info.filePath = m_file->text().trimmed();
    info.name = m_name->text();
    info.group = m_group->currentText();
    info.extraInfo = m_extra->text();
    return info;
}

QString ModifyStrategyDialog::problem() const { return m_problem->text(); }

void ModifyStrategyDialog::browse()
{
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Choose a strategy file"),
                                                        QFileInfo(m_file->text().trimmed()).path(),
                                                        tr("Python strategies (*.py *.pyd *.pyc)"));
    if (!chosen.isEmpty())
        m_file->setText(chosen);
}

void ModifyStrategyDialog::check()
{
    const FixedStrategyInfo changed = info();
    QString problem;
    // A path the record has already is taken as it is; a new one follows
    // the rules of an added file.
    if (changed.filePath.isEmpty() || changed.filePath != m_original.filePath)
        problem = AddStrategyDialog::fileProblem(m_plugin, changed.filePath);
    if (problem.isEmpty())
        problem = changed.name.isEmpty() ? tr("Give the strategy a name.")
                                         : modifyRefusal(m_plugin, m_original, changed).message;
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty() && changed != m_original);
}
