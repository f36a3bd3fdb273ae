#ifndef RUNMODEBAR_H
#define RUNMODEBAR_H

#include <QTimer>
#include <QToolBar>

#include <functional>

class QComboBox;
class StrategyFileLogicHandler;

// The plug-in's current run mode in a tool bar: a combo with a word for
// each mode ("Live", "Simulated", "Backtest", "Unknown"; a number the
// plug-in does not name is shown as "Mode 7" while it is the mode). A
// choice goes through the plug-in (setCurrentRunMode()); when the plug-in
// keeps another mode, its refusal is shown with its message and the combo
// shows the mode the plug-in holds. The mode is read again every few
// seconds, since the plug-in announces no change of it. Thread: GUI.
class RunModeBar : public QToolBar
{
    Q_OBJECT

public:
    explicit RunModeBar(StrategyFileLogicHandler &plugin, QWidget *parent = nullptr);

    QComboBox *modeBox() const { return m_modes; }
    // The mode the combo shows.
    int shownMode() const;
    // The message of the last refusal shown, for tests.
    QString lastMessage() const { return m_lastMessage; }

    // How a refusal is shown; the default is a message box.
    std::function<void(const QString &title, const QString &message)> showMessage;
    // How a mode is asked of the plug-in; the default calls
    // setCurrentRunMode(). Whether it was taken is read back from the
    // plug-in.
    std::function<void(int mode)> applyMode;

public slots:
    // Shows the plug-in's run mode.
    void refresh();
    // Asks the plug-in for `mode`; false, with the refusal shown and the
    // plug-in's mode in the combo, when the plug-in kept another mode.
    bool setMode(int mode);

signals:
    // The plug-in took a mode chosen here.
    void modeChanged(int mode);

private:
    void showMode(int mode);

    StrategyFileLogicHandler &m_plugin;
    QComboBox *m_modes = nullptr;
    QTimer m_refreshTimer;
    QString m_lastMessage;
};

#endif // RUNMODEBAR_H
