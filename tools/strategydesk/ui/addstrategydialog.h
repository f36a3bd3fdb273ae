#ifndef ADDSTRATEGYDIALOG_H
#define ADDSTRATEGYDIALOG_H

#include "ui/strategyform.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class StrategyFileLogicHandler;

// Registers a strategy file: the file (typed or chosen), the name the
// plug-in proposes for it (GetDefaultFixedStrategyName) until the user
// types another, the number of copies, the group and a text. What the user
// types is checked at once with the plug-in's own rules and messages
// (isValidStrategyName, isInValidFileName, checkFixedStrategy); OK stays
// disabled while the plug-in would refuse it. Thread: GUI.
class AddStrategyDialog : public QDialog
{
    Q_OBJECT

public:
    AddStrategyDialog(StrategyFileLogicHandler &plugin, const QStringList &groups, const QString &group,
                      QWidget *parent = nullptr);

    QString filePath() const;
    QString name() const;
    QString group() const;
    QString extraInfo() const;
    int count() const;
    // Why OK is disabled; empty while the values can be registered.
    QString problem() const;
    QLineEdit *fileEdit() const { return m_form.file; }
    QLineEdit *nameEdit() const { return m_form.name; }
    QSpinBox *countBox() const { return m_form.count; }
    QComboBox *groupBox() const { return m_form.group; }
    QDialogButtonBox *buttons() const { return m_form.buttons; }

private:
    void fileChanged();
    void check();

    StrategyFileLogicHandler &m_plugin;
    StrategyForm m_form;
    QString m_proposed; // the name last proposed; replaced while the user keeps it
};

#endif // ADDSTRATEGYDIALOG_H
