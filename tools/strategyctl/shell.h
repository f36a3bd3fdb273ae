#ifndef SHELL_H
#define SHELL_H

#include <QObject>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <thread>

class CommandTable;
class EventPrinter;
class Output;
class StrategyFileLogicHandler;

// `strategyctl shell`: one long-lived host process. A reader thread hands
// the lines of stdin to the main thread, which runs them one at a time
// with the Qt event loop going between them, so timers fire and queued
// signals arrive. At the end of the input, or on SIGINT, SIGTERM or SIGHUP
// (SignalWatcher), the plug-in is shut down and the event loop quits; lines
// not yet run when a signal comes are dropped. Blank lines and lines
// starting with '#' are skipped.
class Shell : public QObject
{
    Q_OBJECT
public:
    Shell(const CommandTable &commands, StrategyFileLogicHandler &facade, Output &out, bool bail,
          QObject *parent = nullptr);
    int status() const { return m_status; }
    ~Shell() override;

    void start();

    // Splits a line as a POSIX shell would for plain words and quotes:
    // '...' is literal, "..." allows \" and \\; a backslash elsewhere is an
    // ordinary character (Windows paths stay whole). False on an open quote.
    static bool splitLine(const QString &line, QStringList *words, QString *error);

private:
    void enqueue(const QString &line);
    void finishInput();
    void stopOnSignal();
    void pump();
    void runLine(const QString &line);
    // Lets every signal already on its way reach the printer.
    void drainEvents();

    const CommandTable &m_commands;
    StrategyFileLogicHandler &m_facade;
    Output &m_out;
    EventPrinter *m_printer;
    QQueue<QString> m_lines;
    bool m_inputDone = false;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_bail = false;
    int m_status = 0;
    int m_wake[2] = {-1, -1}; // written to stop the reader thread
    std::thread m_reader;
};

#endif // SHELL_H
