#ifndef SHELL_H
#define SHELL_H

#include "linereader.h"

#include <QObject>
#include <QQueue>
#include <QString>
#include <QStringList>

class CommandTable;
class EventPrinter;
class Output;
class StrategyFileLogicHandler;

// `strategyctl shell`: one long-lived host process. A reader thread
// (LineReader) hands the lines of stdin to the main thread, which runs them
// one at a time with the Qt event loop going between them, so timers fire
// and queued signals arrive. Blank lines and lines starting with '#' are
// skipped; a line over the reader's bound is answered with a usage error
// and not run. On a terminal the next prompt comes once the line has run.
//
// The shell ends, quitting the event loop, at the end of the input, on
// `quit` or `exit`, on SIGINT, SIGTERM or SIGHUP (SignalWatcher) and, with
// `bail`, after the first command that fails; lines not yet run are then
// dropped. The plug-in itself is shut down by Dispatch afterwards.
//
// Thread: main. The reader thread is owned by the shell and has ended once
// the event loop is quit (the terminal is restored then).
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
    // command that failed (2 for a line that cannot be split or is too long).
    int status() const { return m_status; }

    // Splits a line as a POSIX shell would for plain words and quotes:
    // '...' is literal, "..." allows \" and \\; a backslash elsewhere is an
    // ordinary character (Windows paths stay whole). False on an open quote.
    static bool splitLine(const QString &line, QStringList *words, QString *error);

private:
    // A line of the input, or in its place the bound it went over.
    struct Line
    {
        QString text;
        int tooLongLimit = 0; // > 0: a line longer than this many bytes was skipped
    };

    void enqueue(const Line &line);
    void finishInput();
    void stopOnSignal();
    // No further line runs: those queued are dropped, the shell ends.
    void close();
    void pump();
    // Runs one line; returns its exit status.
    int runLine(const Line &line);
    // Lets every signal already on its way reach the printer.
    void drainEvents();

    const CommandTable &m_commands;
    StrategyFileLogicHandler &m_facade;
    Output &m_out;
    EventPrinter *m_printer;
    const bool m_bail;
    QQueue<Line> m_lines;
    int m_status = 0;
    bool m_inputDone = false;
    bool m_closed = false;   // quit, a signal or a failure with bail
    bool m_busy = false;
    bool m_finished = false; // the event loop was told to quit
    LineReader m_reader;
};

#endif // SHELL_H
