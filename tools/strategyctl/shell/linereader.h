#ifndef LINEREADER_H
#define LINEREADER_H

#include <QByteArray>
#include <QString>

#include <functional>
#include <thread>

// The lines of stdin for `strategyctl shell`, read on a thread of their
// own so that the main thread's event loop keeps running meanwhile.
//
// On a terminal the line is edited with libedit (prompt "strategyctl> ",
// history kept in $STRATEGYCTL_HISTORY or ~/.strategyctl_history), and the
// next prompt is shown once the main thread has run the line (lineDone());
// SIGCONT and SIGWINCH redraw it. Piped, stdin is read quietly, a last line
// without a line break included.
//
// Lines are bounded: a piped line longer than MaxLineBytes, or an edited one
// longer than MaxEditedLineBytes, is not handed over; the reader reports it
// (`tooLong`) as soon as it passes the bound, drops what it has of it, reads
// the rest of it away without keeping it and goes on with the next line.
// libedit re-encodes the whole line at every key, so an edited line costs
// time in the square of its length, and past 1 KiB it uses a buffer it has
// let go of (libedit 3.1-20221030): the edited line's bound stays below.
//
// Thread: the main thread calls every function; the handlers given to
// start() run on the reader thread. stop() (and the destructor) end the
// reader thread and wait for it: the terminal is restored then.
class LineReader
{
public:
    using LineHandler = std::function<void(const QString &line)>;
    using EndHandler = std::function<void()>;
    // A line longer than `limit` bytes was skipped.
    using TooLongHandler = std::function<void(int limit)>;

    // The longest line read from a pipe or a file, in bytes of UTF-8
    // without its line break: 1 MiB.
    static constexpr int MaxLineBytes = 1 << 20;
    // The longest line edited on a terminal, in bytes of UTF-8.
    static constexpr int MaxEditedLineBytes = 1000;

    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    // Makes the pipe that wakes the reader thread; false after setting
    // `error` (the reader could then not be stopped, so it is not started).
    bool open(QString *error);
    // Whether stdin is a terminal (known after open()).
    bool isTerminal() const { return m_terminal; }
    // Starts the reader thread: `line` gets each line, `tooLong` each line
    // over the bound in its place, `end` is called once at the end of the
    // input, but not after stop().
    void start(LineHandler line, TooLongHandler tooLong, EndHandler end);
    // Terminal only: the last line handed over has run.
    void lineDone();
    void stop();

private:
    void wake(char what);
    // Reader thread: stdin is not a terminal (or libedit cannot start).
    void readPiped();
    // Reader thread: stdin is a terminal; libedit is used by this thread alone.
    void readTerminal(const QByteArray &historyFile);
    // Reader thread: edits lines until the input ends or stop(); true for
    // stop(). `prompting`: whether a prompt is left on the screen.
    bool editLines(bool *prompting);

    LineHandler m_line;
    TooLongHandler m_tooLong;
    EndHandler m_end;
    bool m_terminal = false;
    // The reader thread's wake pipe: 'q' stop, 'd' the line handed over has
    // run (terminal only), 'c' / 'w' SIGCONT / SIGWINCH came (terminal only).
    int m_wake[2] = {-1, -1};
    std::thread m_reader;
};

#endif // LINEREADER_H
