#include "shell.h"

#include "commandtable.h"
#include "eventprinter.h"
#include "output.h"
#include "signalwatcher.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QCoreApplication>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

Shell::Shell(const CommandTable &commands, StrategyFileLogicHandler &facade, Output &out, bool bail, QObject *parent)
    : QObject(parent)
    , m_commands(commands)
    , m_facade(facade)
    , m_out(out)
    , m_bail(bail)
    , m_printer(new EventPrinter(facade, out, this))
{
}

Shell::~Shell()
{
    if (m_wake[1] >= 0) {
        const char byte = 1;
        const ssize_t written = ::write(m_wake[1], &byte, 1);
        (void)written;
    }
    if (m_reader.joinable())
        m_reader.join();
    for (int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
}

void Shell::start()
{
    connect(&SignalWatcher::instance(), &SignalWatcher::requested, this, &Shell::stopOnSignal);
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        m_wake[0] = m_wake[1] = -1;
    const int wake = m_wake[0];
    // Reads stdin itself rather than through std::cin: a blocked read
    // could not be left when a signal stops the shell before the input ends.
    m_reader = std::thread([this, wake] {
        QByteArray pending;
        char chunk[4096];
        for (;;) {
            pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::poll(fds, wake >= 0 ? 2 : 1, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (wake >= 0 && fds[1].revents != 0)
                return; // the shell is going: no more input is wanted
            const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof(chunk));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            pending.append(chunk, int(n));
            for (int end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
                const QString text = QString::fromUtf8(pending.constData(), end);
                QMetaObject::invokeMethod(this, [this, text] { enqueue(text); }, Qt::QueuedConnection);
            }
        }
        if (!pending.isEmpty()) {
            const QString text = QString::fromUtf8(pending);
            QMetaObject::invokeMethod(this, [this, text] { enqueue(text); }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(this, [this] { finishInput(); }, Qt::QueuedConnection);
    });
}

void Shell::stopOnSignal()
{
    m_stopping = true;
    m_lines.clear();
    finishInput();
}

void Shell::enqueue(const QString &line)
{
    if (m_stopping)
        return;
    m_lines.enqueue(line);
    pump();
}

void Shell::finishInput()
{
    m_inputDone = true;
    pump();
}

void Shell::pump()
{
    // A command that runs the event loop (wait) must not start the next
    // one inside it: lines queue up until it is done.
    if (m_busy)
        return;
    m_busy = true;
    while (!m_lines.isEmpty())
        runLine(m_lines.dequeue());
    m_busy = false;
    if (m_inputDone) {
        // The plug-in itself is shut down by main(), which also reports what
        // could not be stored.
        drainEvents();
        QCoreApplication::quit();
    }
}

void Shell::runLine(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
        return;
    QStringList words;
    QString error;
    if (!splitLine(trimmed, &words, &error)) {
        m_out.printError(QStringLiteral("strategyctl shell: %1").arg(error));
        return;
    }
    const int status = m_commands.run(words, m_facade, m_out, true);
    if (status != 0)
        m_status = status;
    drainEvents();
}

void Shell::drainEvents()
{
    QThread *worker = m_facade.thread();
    if (worker && worker != QThread::currentThread() && worker->isRunning()) {
        // Queued after the relays already posted to the worker thread: when
        // it has run, they have been re-emitted towards the printer.
        QMetaObject::invokeMethod(&m_facade, [] {}, Qt::BlockingQueuedConnection);
    }
    QCoreApplication::processEvents();
}

bool Shell::splitLine(const QString &line, QStringList *words, QString *error)
{
    words->clear();
    QString word;
    bool inWord = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c.isSpace()) {
            if (inWord)
                words->append(word);
            word.clear();
            inWord = false;
        } else if (c == QLatin1Char('\'')) {
            const int end = line.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0) {
                *error = QStringLiteral("missing closing '");
                return false;
            }
            word += line.mid(i + 1, end - i - 1);
            inWord = true;
            i = end;
        } else if (c == QLatin1Char('"')) {
            int j = i + 1;
            for (; j < line.size() && line.at(j) != QLatin1Char('"'); ++j) {
                if (line.at(j) == QLatin1Char('\\') && j + 1 < line.size()
                    && (line.at(j + 1) == QLatin1Char('"') || line.at(j + 1) == QLatin1Char('\\')))
                    ++j;
                word += line.at(j);
            }
            if (j >= line.size()) {
                *error = QStringLiteral("missing closing \"");
                return false;
            }
            inWord = true;
            i = j;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words->append(word);
    return true;
}
