#ifndef PLUGINSESSION_H
#define PLUGINSESSION_H

#include <QString>

#include <functional>

class StrategyFileLogicHandler;

// The plug-in as the client runs it: the data folder is the application's
// folder for the plug-in (through the reference host), initialize() once
// at start and exit() at the end. While another process holds the data
// folder, nothing is started and nothing written: the user is told who
// holds it and may try again or quit. Thread: main.
class PluginSession
{
public:
    explicit PluginSession(const QString &dataFolder);
    ~PluginSession();

    // Takes the folder and starts the plug-in; false when the user chose to
    // quit (the folder held elsewhere, or unusable).
    bool start();
    // exit() of the plug-in, once; the destructor calls it too.
    void stop();

    bool isStarted() const { return m_started; }
    QString dataFolder() const { return m_dataFolder; }
    StrategyFileLogicHandler &plugin() const;

    // How the user is asked while the folder is held: the holder's
    // description ("pid 123 (strategyctl on host-a, since ...)"); true to
    // try again. The default shows a message box with Retry and Quit.
    std::function<bool(const QString &holder)> askRetry;
    // How a folder that cannot be used at all is reported; the default
    // shows a message box.
    std::function<void(const QString &message)> report;

private:
    QString m_dataFolder;
    bool m_started = false;
};

#endif // PLUGINSESSION_H
