#include "linereader.h"

#include <editline/readline.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
const char Prompt[] = "strategyctl> ";
const int HistoryLines = 1000;

// What libedit's callbacks, which take no context, report to the loop of
// readTerminal(). Thread: reader; set while readTerminal() runs.
struct Editing
{
    int wake = -1;            // polled with stdin while waiting for a key
    bool interrupted = false; // a byte came on the wake pipe (left there)
    bool ended = false;       // stdin ended or failed
    bool lineReady = false;   // onEditedLine() was called
    bool endTyped = false;    // ... for Ctrl-D on an empty line
    bool tooLong = false;     // the line went over MaxEditedLineBytes
    bool acceptLine = false;  // readKey() gives Return next, ending that line
    QByteArray ahead;         // read past a skipped line: the keys that come next
    QByteArray line;
};
Editing *s_editing = nullptr;

// SIGCONT (back from Ctrl-Z) and SIGWINCH reach the reader thread as a
// byte on the wake pipe; installed while the terminal is edited.
std::atomic<int> s_terminalSignalFd{-1};
struct sigaction s_savedCont;
struct sigaction s_savedWinch;

extern "C" void onTerminalSignal(int signalNumber)
{
    const int fd = s_terminalSignalFd.load();
    if (fd < 0)
        return;
    const int saved = errno;
    const char byte = signalNumber == SIGCONT ? 'c' : 'w';
    const ssize_t written = ::write(fd, &byte, 1);
    (void)written;
    errno = saved;
}

// Reader thread: one byte of stdin, waiting for it while nothing comes on
// the wake pipe. False at the end of stdin, on an error or on a wake byte.
bool readByte(unsigned char *byte)
{
    if (!s_editing->ahead.isEmpty()) {
        *byte = static_cast<unsigned char>(s_editing->ahead.at(0));
        s_editing->ahead.remove(0, 1);
        return true;
    }
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {s_editing->wake, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            s_editing->ended = true;
            return false;
        }
        if (fds[1].revents != 0) {
            s_editing->interrupted = true;
            return false;
        }
        const ssize_t n = ::read(STDIN_FILENO, byte, 1);
        if (n == 1)
            return true;
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        s_editing->ended = true;
        return false;
    }
}

// Reader thread: libedit's key reader. Reading stdin here rather than in
// libedit lets the wake pipe end a wait for the rest of a key sequence
// (after Esc) and tells an end of input from a key; the key is decoded
// as UTF-8, as piped lines are. -1 when no key comes.
extern "C" int readKey(FILE *)
{
    if (s_editing->acceptLine) {
        s_editing->acceptLine = false;
        return '\r';
    }
    unsigned char byte = 0;
    if (!readByte(&byte))
        return -1;
    if (byte < 0x80)
        return byte;
    const int more = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    if (more == 0 || byte > 0xF4)
        return 0xFFFD;
    int key = byte & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        if (!readByte(&byte))
            return -1;
        if ((byte & 0xC0) != 0x80)
            return 0xFFFD;
        key = (key << 6) | (byte & 0x3F);
    }
    static const int shortest[] = {0, 0x80, 0x800, 0x10000};
    if (key < shortest[more] || key > 0x10FFFF || (key >= 0xD800 && key <= 0xDFFF))
        return 0xFFFD;
    return key;
}

// Reader thread: libedit's line handler. The line is ours to free; null
// for Ctrl-D on an empty line.
extern "C" void onEditedLine(char *line)
{
    s_editing->lineReady = true;
    s_editing->endTyped = line == nullptr;
    s_editing->line = QByteArray(line);
    std::free(line);
}

// Reader thread: the bytes waiting on the wake pipe (non-blocking).
QByteArray takeWakeBytes(int wake)
{
    QByteArray bytes;
    char chunk[64];
    ssize_t n;
    while ((n = ::read(wake, chunk, sizeof(chunk))) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            bytes.append(chunk, int(n));
    }
    return bytes;
}

// Reader thread, the terminal in its normal mode (no line being edited):
// whether an end of input (Ctrl-D, or the end of what a program fed to the
// terminal) came while the last line ran and waits first in the terminal's
// line buffer. Left there, libedit's raw mode would turn it into a NUL key.
bool endOfInputWaiting()
{
    if (s_editing && !s_editing->ahead.isEmpty())
        return false;
    pollfd in = {STDIN_FILENO, POLLIN, 0};
    int waiting = 0;
    if (::poll(&in, 1, 0) != 1 || ::ioctl(STDIN_FILENO, FIONREAD, &waiting) != 0 || waiting != 0)
        return false;
    char byte;
    return ::read(STDIN_FILENO, &byte, 1) <= 0; // takes the mark only
}

// $STRATEGYCTL_HISTORY when set (empty: no history file), else
// ~/.strategyctl_history; empty without a home folder.
QByteArray historyFilePath()
{
    if (qEnvironmentVariableIsSet("STRATEGYCTL_HISTORY"))
        return qgetenv("STRATEGYCTL_HISTORY");
    const QByteArray home = qgetenv("HOME");
    return home.isEmpty() ? QByteArray() : home + "/.strategyctl_history";
}

// Reader thread: libedit shows and measures characters in the locale of
// this thread: UTF-8 as the lines are, whatever LC_CTYPE the process has.
// The locale made for it, or null when the process's is UTF-8 already.
locale_t useUtf8()
{
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return nullptr;
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    if (utf8)
        uselocale(utf8);
    return utf8;
}

void restoreLocale(locale_t utf8)
{
    if (!utf8)
        return;
    uselocale(LC_GLOBAL_LOCALE);
    freelocale(utf8);
}

// Reader thread: sets libedit up for readTerminal(); false when it cannot
// start.
bool startEditing()
{
    // SignalWatcher's handlers stay in place: libedit would otherwise set
    // its own around each key and pass the signal on to the process group.
    rl_catch_signals = 0;
    rl_catch_sigwinch = 0;
    rl_readline_name = "strategyctl";
    rl_instream = stdin;
    // The prompt and the echo go to the terminal, not into a file that
    // stdout may have been redirected to.
    rl_outstream = ::isatty(STDOUT_FILENO) == 1 ? stdout : stderr;
    rl_getc_function = readKey;
    return rl_initialize() == 0;
}

// Reader thread: waits until the line handed over has run ('d'), so that
// the next prompt comes after what it printed. True when the shell stops
// ('q') meanwhile.
bool waitUntilRun(Editing &editing)
{
    bool stop = false;
    for (bool run = false; !run && !stop && !editing.ended;) {
        pollfd fds[1] = {{editing.wake, POLLIN, 0}};
        if (::poll(fds, 1, -1) < 0 && errno != EINTR)
            editing.ended = true;
        const QByteArray bytes = takeWakeBytes(editing.wake);
        run = bytes.contains('d');
        stop = bytes.contains('q');
    }
    return stop;
}

// Reader thread: reads away the rest of a line that went over the bound,
// up to its Return or line break, keeping none of it. False when the input
// ends or a byte comes on the wake pipe first.
bool skipRestOfLine()
{
    Editing &editing = *s_editing;
    std::vector<char> chunk(64 * 1024);
    QByteArray seen = editing.ahead;
    editing.ahead.clear();
    for (;;) {
        for (int i = 0; i < seen.size(); ++i) {
            if (seen.at(i) == '\r' || seen.at(i) == '\n') {
                editing.ahead = seen.mid(i + 1);
                return true;
            }
        }
        seen.clear();
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {editing.wake, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            editing.ended = true;
            return false;
        }
        if (fds[1].revents != 0) {
            editing.interrupted = true;
            return false;
        }
        const ssize_t n = ::read(STDIN_FILENO, chunk.data(), chunk.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            editing.ended = true;
            return false;
        }
        seen = QByteArray(chunk.data(), int(n));
    }
}

// Reader thread: what came on the wake pipe while a key was awaited. True
// when the shell stops.
bool takeInterruption(int wake)
{
    const QByteArray bytes = takeWakeBytes(wake);
    if (bytes.contains('q'))
        return true;
    if (bytes.contains('w'))
        rl_resize_terminal();
    if (bytes.contains('c')) {
        // Back from Ctrl-Z: the terminal may have been changed meanwhile.
        rl_deprep_terminal();
        rl_prep_terminal(0);
        rl_forced_update_display();
    }
    return false;
}
} // namespace

LineReader::~LineReader()
{
    stop();
    for (int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool LineReader::open(QString *error)
{
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_wake[0] = m_wake[1] = -1;
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_terminal = ::isatty(STDIN_FILENO) == 1;
    return true;
}

void LineReader::start(LineHandler line, TooLongHandler tooLong, EndHandler end)
{
    m_line = std::move(line);
    m_tooLong = std::move(tooLong);
    m_end = std::move(end);
    if (!m_terminal) {
        m_reader = std::thread([this] { readPiped(); });
        return;
    }
    s_terminalSignalFd.store(m_wake[1]);
    struct sigaction action = {};
    action.sa_handler = onTerminalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGCONT, &action, &s_savedCont);
    ::sigaction(SIGWINCH, &action, &s_savedWinch);
    const QByteArray historyFile = historyFilePath();
    m_reader = std::thread([this, historyFile] { readTerminal(historyFile); });
}

void LineReader::lineDone()
{
    if (m_terminal)
        wake('d');
}

void LineReader::wake(char what)
{
    if (m_wake[1] < 0)
        return;
    while (::write(m_wake[1], &what, 1) < 0 && errno == EINTR) {
    }
}

void LineReader::stop()
{
    if (!m_reader.joinable())
        return;
    wake('q');
    m_reader.join();
    if (m_terminal && s_terminalSignalFd.exchange(-1) >= 0) {
        ::sigaction(SIGCONT, &s_savedCont, nullptr);
        ::sigaction(SIGWINCH, &s_savedWinch, nullptr);
    }
}

void LineReader::readPiped()
{
    // Reads stdin itself rather than through std::cin: a blocked read
    // could not be left when a signal stops the shell before the input ends.
    const int wake = m_wake[0];
    QByteArray pending;    // the line read so far, at most MaxLineBytes
    bool skipping = false; // the rest of a line over the bound is read away
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents != 0 && takeWakeBytes(wake).contains('q'))
            return; // the shell is going: no more input is wanted
        if (fds[0].revents == 0)
            continue;
        const ssize_t n = ::read(STDIN_FILENO, chunk.data(), chunk.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        // Each byte is looked at once: the line break is searched for in
        // what came, never again in what is pending.
        const char *at = chunk.data();
        const char *const end = at + n;
        while (at < end) {
            const char *lineBreak = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
            const char *const stop = lineBreak ? lineBreak : end;
            if (skipping) {
                skipping = !lineBreak;
            } else if (qint64(pending.size()) + (stop - at) > MaxLineBytes) {
                pending.clear();
                m_tooLong(MaxLineBytes);
                skipping = !lineBreak;
            } else {
                pending.append(at, int(stop - at));
                if (lineBreak) {
                    m_line(QString::fromUtf8(pending.constData(), pending.size()));
                    pending.clear();
                }
            }
            at = lineBreak ? lineBreak + 1 : end;
        }
    }
    if (!pending.isEmpty())
        m_line(QString::fromUtf8(pending.constData(), pending.size()));
    m_end();
}

void LineReader::readTerminal(const QByteArray &historyFile)
{
    locale_t utf8 = useUtf8();
    Editing editing;
    editing.wake = m_wake[0];
    s_editing = &editing;
    if (!startEditing()) {
        s_editing = nullptr;
        restoreLocale(utf8);
        readPiped();
        return;
    }
    stifle_history(HistoryLines);
    if (!historyFile.isEmpty())
        read_history(historyFile.constData()); // a missing or unreadable file: no history yet

    bool prompting = false; // the prompt is shown, a line being edited
    const bool stopped = editLines(&prompting);
    rl_callback_handler_remove();
    if (prompting) {
        // Leaves the cursor on a line of its own (after Ctrl-D or a signal).
        std::fputc('\n', rl_outstream);
        std::fflush(rl_outstream);
    }
    if (!historyFile.isEmpty())
        write_history(historyFile.constData()); // failing to keep the history is not an error of the shell
    s_editing = nullptr;
    restoreLocale(utf8);
    if (!stopped)
        m_end();
}

bool LineReader::editLines(bool *prompting)
{
    Editing &editing = *s_editing;
    for (;;) {
        if (!*prompting) {
            if (endOfInputWaiting())
                return false;
            rl_callback_handler_install(Prompt, onEditedLine);
            *prompting = true;
        }
        rl_callback_read_char(); // one key, or none when readKey() found none
        if (!editing.lineReady && !editing.tooLong && rl_end > MaxEditedLineBytes) {
            // Over the bound: the rest is read away, then Return ends the
            // line in libedit, which lets go of it.
            editing.tooLong = true;
            if (skipRestOfLine()) {
                editing.acceptLine = true;
                rl_callback_read_char();
            }
        }
        if (editing.lineReady) {
            editing.lineReady = false;
            // libedit has put the terminal back to normal for the line.
            if (editing.endTyped)
                return false;
            *prompting = false;
            const bool tooLong = editing.tooLong || editing.line.size() > MaxEditedLineBytes;
            editing.tooLong = false;
            if (tooLong) {
                m_tooLong(MaxEditedLineBytes);
            } else {
                if (!editing.line.trimmed().isEmpty())
                    add_history(editing.line.constData());
                m_line(QString::fromUtf8(editing.line));
            }
            if (waitUntilRun(editing))
                return true;
            if (editing.ended)
                return false;
            continue;
        }
        if (editing.ended)
            return false;
        if (editing.interrupted) {
            editing.interrupted = false;
            if (takeInterruption(editing.wake))
                return true;
        }
    }
}
