#include "ui/addstrategydialog.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

AddStrategyDialog::AddStrategyDialog(StrategyFileLogicHandler &plugin, const QStringList &groups,
                                     const QString &group, QWidget *parent)
    : QDialog(parent)
    , m_plugin(plugin)
    , m_form(this, groups, true)
{
    setWindowTitle(tr("Add a strategy"));
    m_form.group->setCurrentText(group);
    resize(520, sizeHint().height());

    connect(m_form.file, &QLineEdit::textChanged, this, &AddStrategyDialog::fileChanged);
    connect(m_form.name, &QLineEdit::textChanged, this, &AddStrategyDialog::check);
    connect(m_form.count, QOverload<int>::of(&QSpinBox::valueChanged), this, &AddStrategyDialog::check);
    connect(m_form.group, &QComboBox::currentTextChanged, this, &AddStrategyDialog::check);
    connect(m_form.extra, &QLineEdit::textChanged, this, &AddStrategyDialog::check);
    check();
}

QString AddStrategyDialog::filePath() const { return m_form.file->text().trimmed(); }
QString AddStrategyDialog::name() const { return m_form.name->text(); }
QString AddStrategyDialog::group() const { return m_form.group->currentText(); }
QString AddStrategyDialog::extraInfo() const { return m_form.extra->text(); }
int AddStrategyDialog::count() const { return m_form.count->value(); }
QString AddStrategyDialog::problem() const { return m_form.problem->text(); }

// The plug-in's proposal follows the file while the user keeps it.
void AddStrategyDialog::fileChanged()
{
    const QString proposed = filePath().isEmpty() ? QString() : m_plugin.GetDefaultFixedStrategyName(filePath());
    if (m_form.name->text() == m_proposed)
        m_form.name->setText(proposed);
    m_proposed = proposed;
    check();
}

void AddStrategyDialog::check()
{
    const QString file = filePath();
    QString problem = StrategyForm::fileProblem(m_plugin, file);
    if (problem.isEmpty())
        problem = name().isEmpty() ? tr("Give the strategy a name.")
                                   : m_plugin.checkFixedStrategy(file, name(), group(), extraInfo(), count()).message;
    m_form.showProblem(problem);
}
