#include "ui/modifystrategydialog.h"

#include "ui/strategycommands.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

ModifyStrategyDialog::ModifyStrategyDialog(StrategyFileLogicHandler &plugin, const FixedStrategyInfo &info,
                                           const QStringList &groups, QWidget *parent)
    : QDialog(parent)
    , m_plugin(plugin)
    , m_original(info)
    , m_form(this, groups, false)
{
    setWindowTitle(tr("Modify the strategy %1").arg(info.id));
    m_form.file->setText(info.filePath);
    m_form.name->setText(info.name);
    if (!groups.contains(info.group))
        m_form.group->addItem(info.group); // shown as it is; the check says the plug-in has no such group
    m_form.group->setCurrentText(info.group);
    m_form.extra->setText(info.extraInfo);
    resize(520, sizeHint().height());

    connect(m_form.file, &QLineEdit::textChanged, this, &ModifyStrategyDialog::check);
    connect(m_form.name, &QLineEdit::textChanged, this, &ModifyStrategyDialog::check);
    connect(m_form.group, &QComboBox::currentTextChanged, this, &ModifyStrategyDialog::check);
    connect(m_form.extra, &QLineEdit::textChanged, this, &ModifyStrategyDialog::check);
    m_form.name->selectAll();
    check();
}

FixedStrategyInfo ModifyStrategyDialog::info() const
{
    FixedStrategyInfo info = m_original;
    info.filePath = m_form.file->text().trimmed();
    info.name = m_form.name->text();
    info.group = m_form.group->currentText();
    info.extraInfo = m_form.extra->text();
    return info;
}

QString ModifyStrategyDialog::problem() const { return m_form.problem->text(); }

void ModifyStrategyDialog::check()
{
    const FixedStrategyInfo changed = info();
    QString problem;
    // A path the record has already is taken as it is; a new one follows
    // the rules of an added file.
    if (changed.filePath.isEmpty() || changed.filePath != m_original.filePath)
        problem = StrategyForm::fileProblem(m_plugin, changed.filePath);
    if (problem.isEmpty())
        problem = changed.name.isEmpty() ? tr("Give the strategy a name.")
                                         : modifyRefusal(m_plugin, m_original, changed).message;
    m_form.showProblem(problem, changed != m_original);
}
