#include "shell.h"

#include "commandcontext.h"
#include "commandtable.h"
#include "eventprinter.h"
#include "output.h"
#include "signalwatcher.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QCoreApplication>
#include <QThread>


Shell::Shell(const CommandTable &commands, StrategyFileLogicHandler &facade, Output &out, bool bail, QObject *parent)
    : QObject(parent)
    , m_commands(commands)
    , m_facade(facade)
    , m_out(out)
    , m_printer(new EventPrinter(facade, out, this))
    , m_bail(bail)
{
}

Shell::~Shell()
{
    // Before the shell goes: the reader thread hands lines to it.
    m_reader.stop();
}

void Shell::start()
{
    connect(&SignalWatcher::instance(), &SignalWatcher::requested, this, &Shell::stopOnSignal);
    QString reason;
    if (!m_reader.open(&reason)) {
        m_out.printFailure(QStringLiteral("io"), QStringLiteral("strategyctl shell: cannot start: %1").arg(reason));
        m_status = CommandContext::Unavailable;
        QMetaObject::invokeMethod(this, [this] { close(); finishInput(); }, Qt::QueuedConnection);
        return;
    }
    if (m_reader.isTerminal())
        m_out.printError(QStringLiteral("strategyctl shell: type 'help' for commands, 'quit' to leave."));
    m_reader.start(
        [this](const QString &text) {
            QMetaObject::invokeMethod(this, [this, text] { enqueue({text, 0}); }, Qt::QueuedConnection);
        },
        [this](int limit) {
            QMetaObject::invokeMethod(this, [this, limit] { enqueue({QString(), limit}); }, Qt::QueuedConnection);
        },
        [this] { QMetaObject::invokeMethod(this, [this] { finishInput(); }, Qt::QueuedConnection); });
}

void Shell::stopOnSignal()
{
    close();
    finishInput();
}

void Shell::close()
{
    m_closed = true;
    m_inputDone = true;
    m_lines.clear();
}

void Shell::enqueue(const Line &line)
{
    if (m_closed)
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
    if (m_busy || m_finished)
        return;
    m_busy = true;
    while (!m_lines.isEmpty()) {
        const int status = runLine(m_lines.dequeue());
        if (status != CommandContext::Success) {
            m_status = status;
            if (m_bail)
                close();
        }
        if (!m_closed)
            m_reader.lineDone();
    }
    if (m_inputDone) {
        // The plug-in itself is shut down by Dispatch, which also reports what
        // could not be stored.
        m_finished = true;
        m_closed = true;
        drainEvents();
        m_reader.stop();
        QCoreApplication::quit();
    }
    m_busy = false;
}

int Shell::runLine(const Line &line)
{
    if (line.tooLongLimit > 0) {
        const QString size = line.tooLongLimit % (1 << 20) == 0
                                 ? QStringLiteral(" (%1 MiB)").arg(line.tooLongLimit >> 20)
                                 : QString();
        m_out.printFailure(QStringLiteral("usage"),
                           QStringLiteral("strategyctl shell: a line longer than %1 bytes%2 was skipped")
                               .arg(line.tooLongLimit)
                               .arg(size));
        return CommandContext::UsageError;
    }
    const QString trimmed = line.text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
        return CommandContext::Success;
    QStringList words;
    QString error;
    if (!splitLine(trimmed, &words, &error)) {
        m_out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl shell: %1").arg(error));
        return CommandContext::UsageError;
    }
    const QString &first = words.first();
    if (first == QLatin1String("quit") || first == QLatin1String("exit")) {
        if (words.size() > 1) {
            m_out.printFailure(QStringLiteral("usage"),
                               QStringLiteral("strategyctl shell: %1 takes no arguments").arg(first));
            return CommandContext::UsageError;
        }
        close();
        return CommandContext::Success;
    }
    const int status = m_commands.run(words, m_facade, m_out, true);
    drainEvents();
    return status;
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
