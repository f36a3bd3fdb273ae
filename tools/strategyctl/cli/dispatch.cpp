#include "dispatch.h"

#include "commandhelp.h"
#include "commandparser.h"
#include "globaloptions.h"
#include "output.h"
#include "shell.h"
#include "signalwatcher.h"
#include "unsavedwatch.h"

#include <StrategyLogic/strategydatabase.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QThread>

#include <cstdio>

namespace {
// Takes the installation folder for this process, waiting up to `seconds`
// while another process holds it. The plug-in's own initialize() then
// finds the folder held by this process.
int lockFolder(const QString &home, int seconds, Output &out)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        ZqFolderLock::Holder holder;
        QString error;
        switch (ZqFolderLock::acquire(home, &holder, &error)) {
        case ZqFolderLock::Acquired:
            return CommandContext::Success;
        case ZqFolderLock::Failed:
            out.printFailure(QStringLiteral("io"), QStringLiteral("strategyctl: cannot lock the data folder %1: %2").arg(home, error));
            return CommandContext::Unavailable;
        case ZqFolderLock::Busy:
            if (SignalWatcher::caught())
                return 128 + SignalWatcher::caught();
            if (waited.elapsed() >= qint64(seconds) * 1000) {
                out.printFailure(QStringLiteral("busy"),
                                 QStringLiteral("strategyctl: installation folder %1 in use by %2").arg(home, holder.describe()));
                return CommandContext::FolderInUse;
            }
            QThread::msleep(50);
            break;
        }
    }
}

// The exit status, unless the answer itself could not be written: a
// change may have been made, but whoever asked never learnt it.
int finish(const Output &out, int status)
{
    if (!out.stdoutFailed() || status >= 128)
        return status;
    std::fprintf(stderr, "strategyctl: cannot write the answer: %s\n", qPrintable(out.stdoutError()));
    return status == CommandContext::Success ? int(CommandContext::Unavailable) : status;
}

int usage(Output &out, const QString &message)
{
    out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl: %1\nTry 'strategyctl --help'.").arg(message));
    return CommandContext::UsageError;
}
} // namespace

Dispatch::Dispatch(const CommandTable &commands)
    : m_commands(commands)
{
}

int Dispatch::run(const QStringList &arguments)
{
    GlobalOptions options(arguments);
    Output out(options.json(), options.isShell());
    if (!options.error().isEmpty())
        return usage(out, options.error());
    if (options.version() || options.help() || options.words().isEmpty())
        return answerAlone(options, out);

    // The whole command line is checked before anything is started or
    // touched: a usage error leaves every file as it was.
    const QStringList &words = options.words();
    ParsedCommand parsed;
    int status = CommandContext::Success;
    const CommandTable::Command *command = m_commands.parse(words, &parsed, out, &status);
    if (!command) // an unknown command's answer may be help on stdout
        return m_commands.find(words) ? status : finish(out, status);
    QString error;
    if (!options.take(parsed, &error))
        return usage(out, error);
    return runCommand(*command, parsed, options, out);
}

int Dispatch::answerAlone(const GlobalOptions &options, Output &out)
{
    if (options.version()) {
        if (out.isJson())
            out.printJson(QJsonObject{{QStringLiteral("version"), QCoreApplication::applicationVersion()}});
        else
            out.printLine(QStringLiteral("strategyctl ") + QCoreApplication::applicationVersion());
        return finish(out, CommandContext::Success);
    }
    QString text;
    const bool found = CommandHelp(m_commands).helpFor(options.words(), &text);
    if (options.help() && found) {
        out.printHelp(text);
        return finish(out, CommandContext::Success);
    }
    out.printFailure(QStringLiteral("usage"), text.trimmed());
    return CommandContext::UsageError;
}

int Dispatch::runCommand(const CommandTable::Command &command, const ParsedCommand &parsed,
                         const GlobalOptions &options, Output &out)
{
    if (parsed.help || (command.scope != Scope::Anywhere && command.scope != Scope::DataFolder))
        return finish(out, m_commands.run(command, parsed, nullptr, out, false));

    // The plug-in's diagnostics are for --verbose (QT_LOGGING_RULES still wins).
    if (!options.verbose())
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false\nstrategylogic.info=false\n"
                                                        "zq.*.debug=false\nzq.*.info=false"));

    const QString folder = options.dataFolder();
    CommandContext::setStartDirectory(QDir::currentPath());
    // The id sequences belong to the data folder, unless told otherwise.
    if (qEnvironmentVariableIsEmpty("STRATEGYLOGIC_ID_DIR"))
        qputenv("STRATEGYLOGIC_ID_DIR", QFile::encodeName(folder + QStringLiteral("/ids")));
    CommandContext::setDataFolder(folder);
    CommandContext::setWaitSeconds(options.waitSeconds());
    if (command.scope == Scope::DataFolder) {
        ZqApplicationDir::setPath(folder);
        return finish(out, m_commands.run(command, parsed, nullptr, out, false));
    }
    if (command.prepare && !options.isShell()) {
        const int prepared = command.prepare(parsed, out);
        if (prepared != CommandContext::Success)
            return finish(out, prepared);
    }
    const int taken = takeFolder(folder, command, options.isShell(), options.waitSeconds(), out);
    if (taken != CommandContext::Success)
        return taken;
    return runWithPlugin(command, parsed, options.isShell(), folder, out);
}

int Dispatch::takeFolder(const QString &folder, const CommandTable::Command &command, bool shell, int waitSeconds,
                         Output &out)
{
    if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
        out.printFailure(QStringLiteral("io"), QStringLiteral("strategyctl: cannot use %1 as the data folder").arg(folder));
        return CommandContext::Unavailable;
    }
    const int locked = lockFolder(folder, waitSeconds, out);
    if (locked != CommandContext::Success)
        return locked;
    if (command.db == DbAccess::None || shell)
        return CommandContext::Success;
    QString detail;
    if (StrategyLogic::waitForDatabase(folder, command.db == DbAccess::Writes, waitSeconds, &detail)
        != StrategyLogic::DatabaseAccess::Busy)
        return CommandContext::Success;
    ZqFolderLock::release(folder);
    out.printFailure(QStringLiteral("busy"),
                     QStringLiteral("strategyctl: the database %1/sarvek.db is busy: another program holds it "
                                    "(%2; waited %3 s, see --wait)")
                         .arg(folder, detail)
                         .arg(waitSeconds));
    return CommandContext::Unavailable;
}

int Dispatch::runWithPlugin(const CommandTable::Command &command, const ParsedCommand &parsed, bool shell,
                            const QString &folder, Output &out)
{
    ZqApplicationDir::setPath(folder);
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    if (!plugin.isInitialized()) {
        ZqFolderLock::release(folder);
        out.printFailure(QStringLiteral("io"), QStringLiteral("strategyctl: the plug-in could not start in %1").arg(folder));
        return CommandContext::Unavailable;
    }

    int status = CommandContext::Success;
    if (shell) {
        Shell session(m_commands, plugin, out, parsed.options.contains(QStringLiteral("bail")));
        session.start();
        QCoreApplication::exec();
        status = session.status();
    } else if (!SignalWatcher::caught()) {
        // What the command printed waits until its change has been written.
        out.deferStdout();
        status = m_commands.run(command, parsed, &plugin, out, false);
    }
    // What is still pending (instance and day-cash rows, the groups file)
    // is written now, before the folder is let go.
    const int mark = UnsavedWatch::mark();
    plugin.exit();
    ZqFolderLock::release(folder);
    const QStringList unsaved = UnsavedWatch::since(mark);
    out.endDeferral(unsaved.isEmpty());
    if (!unsaved.isEmpty()) {
        out.printFailure(QStringLiteral("io"), QStringLiteral("strategyctl: not everything could be stored: %1")
                                                   .arg(unsaved.join(QLatin1String("; "))));
        status = CommandContext::Unavailable;
    }
    if (SignalWatcher::caught())
        status = 128 + SignalWatcher::caught();
    return finish(out, status);
}
