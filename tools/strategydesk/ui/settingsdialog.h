#ifndef SETTINGSDIALOG_H
#define SETTINGSDIALOG_H

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class StrategyFileLogicHandler;

// The desk's settings: the Python installation path, as the plug-in keeps
// it (a warning beside it while no such file exists), and the host's
// auto-start switch. apply() writes both; a refusal of the plug-in is shown
// with its message and the dialog stays open. Thread: GUI.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(StrategyFileLogicHandler &plugin, QWidget *parent = nullptr);

    QLineEdit *pythonEdit() const { return m_python; }
    QCheckBox *autoStartBox() const { return m_autoStart; }
    // The warning beside the path, empty while the file exists.
    QString pathWarning() const;
    // The message of the last refusal, empty when the last apply() was taken.
    QString errorText() const;

    // How the Python program is chosen; empty when cancelled. The default
    // is a file dialog.
    std::function<QString(const QString &current)> choosePythonFile;

    // Writes the path through the plug-in and the switch to the host
    // settings; false with the plug-in's message shown.
    bool apply();

    void accept() override;

private:
    void updateWarning();

    StrategyFileLogicHandler &m_plugin;
    QLineEdit *m_python = nullptr;
    QLabel *m_warning = nullptr;
    QCheckBox *m_autoStart = nullptr;
    QLabel *m_error = nullptr;
    bool m_pathRefused = false; // the last apply() was refused the path
};

#endif // SETTINGSDIALOG_H
