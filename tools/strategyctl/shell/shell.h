#ifndef SHELL_H
#define SHELL_H

#include <QByteArray>
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
// signals arrive. Blank lines and lines starting with '#' are skipped.
//
// On a terminal the reader thread edits the line with libedit (prompt
// "strategyctl> ", history kept in $STRATEGYCTL_HISTORY or
// ~/.strategyctl_history) and shows the next prompt once the main thread
// has run the line; piped, it reads quietly.
//
// The shell ends, quitting the event loop, at the end of the input, on
// `quit` or `exit`, on SIGINT, SIGTERM or SIGHUP (SignalWatcher) and, with
// `bail`, after the first command that fails; lines not yet run are then
// dropped. The plug-in itself is shut down by main() afterwards.
//
// Thread: main, except for the reader thread's functions marked so. The
// reader thread is owned by the shell and has ended once the event loop is
// quit (the terminal is restored then).
class Shell : public QObject
{
    Q_OBJECT
public:
    Shell(const CommandTable &commands, StrategyFileLogicHandler &facade, Output &out, bool bail,
          QObject *parent = nullptr);
    ~Shell() override;

    // Starts reading stdin; the lines run once the event loop runs.
    void start();
    // 0 when every command succeeded, else the exit status of the last
    // command that failed (2 for a line that cannot be split).
    int status() const { return m_status; }

    // Splits a line as a POSIX shell would for plain words and quotes:
    // '...' is literal, "..." allows \" and \\; a backslash elsewhere is an
    // ordinary character (Windows paths stay whole). False on an open quote.
    static bool splitLine(const QString &line, QStringList *words, QString *error);

private:
    void enqueue(const QString &line);
    void finishInput();
    void stopOnSignal();
    // No further line runs: those queued are dropped, the shell ends.
    void close();
    void pump();
    // Runs one line; returns its exit status.
    int runLine(const QString &line);
    // Lets every signal already on its way reach the printer.
    void drainEvents();
    // Writes one byte to the reader thread's wake pipe.
    void wakeReader(char what);
    // Ends the reader thread and waits for it (the terminal is restored).
    void stopReader();

    // Reader thread: hands a line to the main thread.
    void post(const QString &line);
    // Reader thread: stdin is not a terminal (or libedit cannot start).
    void readPiped();
    // Reader thread: stdin is a terminal; libedit is used by this thread alone.
    void readTerminal(const QByteArray &historyFile);

    const CommandTable &m_commands;
    StrategyFileLogicHandler &m_facade;
    Output &m_out;
    EventPrinter *m_printer;
    const bool m_bail;
    bool m_terminal = false;
    QQueue<QString> m_lines;
    int m_status = 0;
    bool m_inputDone = false;
    bool m_closed = false;   // quit, a signal or a failure with bail
    bool m_busy = false;
    bool m_finished = false; // the event loop was told to quit
    // The reader thread's wake pipe: 'q' stop, 'd' the line handed over has
    // run (terminal only), 'c' / 'w' SIGCONT / SIGWINCH came (terminal only).
    int m_wake[2] = {-1, -1};
    std::thread m_reader;
};

#endif // SHELL_H
