#ifndef MODIFYSTRATEGYDIALOG_H
#define MODIFYSTRATEGYDIALOG_H

#include <StrategyLogic/fixedstrategyinfo.h>

#include "ui/strategyform.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class StrategyFileLogicHandler;

// Changes a fixed strategy: its name, the path of its file, its group and
// its text (F2 or a double click in the table). What the user types is
// checked at once with the plug-in's rules and messages, as the add dialog
// checks it (a new file path with isValidStrategyName and isInValidFileName,
// the rest with checkFixedStrategy: a name taken for the file, a group that
// does not exist, a value the files cannot hold); OK stays disabled while
// the plug-in would refuse the values, or while nothing is changed.
// Thread: GUI.
class ModifyStrategyDialog : public QDialog
{
    Q_OBJECT

public:
    ModifyStrategyDialog(StrategyFileLogicHandler &plugin, const FixedStrategyInfo &info, const QStringList &groups,
                         QWidget *parent = nullptr);

    // The record as the user changed it (id and copy index kept).
    FixedStrategyInfo info() const;
    // Why OK is disabled; empty while the values can be taken.
    QString problem() const;

    QLineEdit *fileEdit() const { return m_form.file; }
    QLineEdit *nameEdit() const { return m_form.name; }
    QComboBox *groupBox() const { return m_form.group; }
    QLineEdit *extraEdit() const { return m_form.extra; }
    QDialogButtonBox *buttons() const { return m_form.buttons; }

private:
    void check();

    StrategyFileLogicHandler &m_plugin;
    const FixedStrategyInfo m_original;
    StrategyForm m_form;
};

#endif // MODIFYSTRATEGYDIALOG_H
