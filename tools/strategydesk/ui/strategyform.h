#ifndef STRATEGYFORM_H
#define STRATEGYFORM_H

#include <QCoreApplication>
#include <QStringList>

class QComboBox;
class QDialog;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class StrategyFileLogicHandler;

// The fields of a fixed strategy as the add and modify dialogs lay them
// out: the file with a Browse button, the name, the number of copies (when
// asked for), the group, the text, the line that says why OK is disabled,
// and OK and Cancel, which accept and reject the dialog. The widgets belong
// to the dialog. Thread: GUI.
struct StrategyForm
{
    Q_DECLARE_TR_FUNCTIONS(StrategyForm)

public:
    StrategyForm(QDialog *dialog, const QStringList &groups, bool withCopies);

    // Shows why the values cannot be taken (nothing when `problem` is
    // empty); OK is enabled only without a problem and when `changed`.
    void showProblem(const QString &problem, bool changed = true);

    // What the file rules say of a strategy file's path (empty, not a Python
    // file, not a valid file name); empty when it may be registered.
    static QString fileProblem(StrategyFileLogicHandler &plugin, const QString &filePath);

    QLineEdit *file = nullptr;
    QLineEdit *name = nullptr;
    QSpinBox *count = nullptr; // none without copies
    QComboBox *group = nullptr;
    QLineEdit *extra = nullptr;
    QLabel *problem = nullptr;
    QDialogButtonBox *buttons = nullptr;
};

#endif // STRATEGYFORM_H
