#include "ui/addstrategydialog.h"

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
#include <QSpinBox>
#include <QToolButton>

AddStrategyDialog::AddStrategyDialog(StrategyFileLogicHandler &plugin, const QStringList &groups,
                                     const QString &group, QWidget *parent)
    : QDialog(parent)
    , m_plugin(plugin)
{
    setWindowTitle(tr("Add a strategy"));
    m_file = new QLineEdit(this);
    m_file->setPlaceholderText(tr("/path/to/strategy.py"));
    auto *browse = new QToolButton(this);
    browse->setText(tr("Browse..."));
    browse->setAccessibleName(tr("Choose the strategy file"));
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    m_name = new QLineEdit(this);
    m_count = new QSpinBox(this);
    m_count->setRange(1, 99);
    m_count->setToolTip(tr("Copies are named NAME, NAME_1, NAME_2, ..."));
    m_group = new QComboBox(this);
    m_group->addItems(groups);
    m_group->setCurrentText(group);
    m_extra = new QLineEdit(this);
    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *form = new QFormLayout;
    auto *fileLabel = new QLabel(tr("&File:"), this);
    fileLabel->setBuddy(m_file);
    form->addRow(fileLabel, fileRow);
    form->addRow(tr("&Name:"), m_name);
    form->addRow(tr("&Copies:"), m_count);
    form->addRow(tr("&Group:"), m_group);
    form->addRow(tr("&Text:"), m_extra);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_problem);
    layout->addWidget(m_buttons);
    resize(520, sizeHint().height());

    connect(browse, &QToolButton::clicked, this, &AddStrategyDialog::browse);
    connect(m_file, &QLineEdit::textChanged, this, &AddStrategyDialog::fileChanged);
    connect(m_name, &QLineEdit::textChanged, this, &AddStrategyDialog::check);
    connect(m_count, QOverload<int>::of(&QSpinBox::valueChanged), this, &AddStrategyDialog::check);
    connect(m_group, &QComboBox::currentTextChanged, this, &AddStrategyDialog::check);
    connect(m_extra, &QLineEdit::textChanged, this, &AddStrategyDialog::check);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    check();
}

QString AddStrategyDialog::filePath() const { return m_file->text().trimmed(); }
QString AddStrategyDialog::name() const { return m_name->text(); }
QString AddStrategyDialog::group() const { return m_group->currentText(); }
QString AddStrategyDialog::extraInfo() const { return m_extra->text(); }
int AddStrategyDialog::count() const { return m_count->value(); }
QString AddStrategyDialog::problem() const { return m_problem->text(); }

// The plug-in's proposal follows the file while the user keeps it.
void AddStrategyDialog::fileChanged()
{
    const QString proposed = filePath().isEmpty() ? QString() : m_plugin.GetDefaultFixedStrategyName(filePath());
    if (m_name->text() == m_proposed)
        m_name->setText(proposed);
    m_proposed = proposed;
    check();
}

void AddStrategyDialog::browse()
{
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Choose a strategy file"), QFileInfo(filePath()).path(),
                                                        tr("Python strategies (*.py *.pyd *.pyc)"));
    if (!chosen.isEmpty())
        m_file->setText(chosen);
}

QString AddStrategyDialog::fileProblem(StrategyFileLogicHandler &plugin, const QString &filePath)
{
    if (filePath.isEmpty())
        return tr("Choose the strategy file.");
    if (!StrategyFileLogicHandler::isValidStrategyName(filePath))
        return tr("A strategy file ends with .py, .pyd or .pyc.");
    if (plugin.isInValidFileName(filePath))
        return tr("The file name may hold no blank and none of \\ / : * ? \" < >, and its name before the "
                  "first dot has 1 to 30 characters.");
    return QString();
}

void AddStrategyDialog::check()
{
    const QString file = filePath();
    QString problem = fileProblem(m_plugin, file);
    if (problem.isEmpty())
        problem = name().isEmpty() ? tr("Give the strategy a name.")
                                   : m_plugin.checkFixedStrategy(file, name(), group(), extraInfo(), count()).message;
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}
