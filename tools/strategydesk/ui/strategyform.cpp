#include "ui/strategyform.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QComboBox>
#include <QDialog>
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

StrategyForm::StrategyForm(QDialog *dialog, const QStringList &groups, bool withCopies)
{
    file = new QLineEdit(dialog);
    file->setPlaceholderText(tr("/path/to/strategy.py"));
    auto *browse = new QToolButton(dialog);
    browse->setText(tr("Browse..."));
    browse->setAccessibleName(tr("Choose the strategy file"));
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(file, 1);
    fileRow->addWidget(browse);
    name = new QLineEdit(dialog);
    if (withCopies) {
        count = new QSpinBox(dialog);
        count->setRange(1, 99);
        count->setToolTip(tr("Copies are named NAME, NAME_1, NAME_2, ..."));
    }
    group = new QComboBox(dialog);
    group->addItems(groups);
    extra = new QLineEdit(dialog);
    problem = new QLabel(dialog);
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: #b00020;"));
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);

    auto *form = new QFormLayout;
    auto *fileLabel = new QLabel(tr("&File:"), dialog);
    fileLabel->setBuddy(file);
    form->addRow(fileLabel, fileRow);
    form->addRow(tr("&Name:"), name);
    if (count)
        form->addRow(tr("&Copies:"), count);
    form->addRow(tr("&Group:"), group);
    form->addRow(tr("&Text:"), extra);
    auto *layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(problem);
    layout->addWidget(buttons);

    QLineEdit *edit = file;
    QObject::connect(browse, &QToolButton::clicked, dialog, [dialog, edit] {
        const QString chosen = QFileDialog::getOpenFileName(dialog, tr("Choose a strategy file"),
                                                            QFileInfo(edit->text().trimmed()).path(),
                                                            tr("Python strategies (*.py *.pyd *.pyc)"));
        if (!chosen.isEmpty())
            edit->setText(chosen);
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
}

void StrategyForm::showProblem(const QString &text, bool changed)
{
    problem->setText(text);
    problem->setVisible(!text.isEmpty());
    buttons->button(QDialogButtonBox::Ok)->setEnabled(text.isEmpty() && changed);
}

QString StrategyForm::fileProblem(StrategyFileLogicHandler &plugin, const QString &filePath)
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
