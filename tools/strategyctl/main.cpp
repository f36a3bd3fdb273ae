// strategyctl: a command-line host of the strategy plug-in. It does what
// the trading client does: creates the application, makes the installation
// folder the working directory, initialises the plug-in object, runs a
// command (or a shell of commands) and shuts the plug-in down.

#include "commandtable.h"
#include "output.h"
#include "shell.h"
#include "signalwatcher.h"
#include "unsavedwatch.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include <cstdio>

namespace {
struct GlobalOptions
{
    QString home;
    bool json = false;
    bool verbose = false;
    bool help = false;
    int waitSeconds = 10;
    QStringList command;
    QString error;
};

// Global options may stand anywhere before "--"; everything else belongs
// to the command.
GlobalOptions parseGlobalOptions(const QStringList &arguments)
{
    GlobalOptions options;
    bool rest = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (rest) {
            options.command.append(arg);
        } else if (arg == QLatin1String("--")) {
            rest = true;
            options.command.append(arg);
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("-v") || arg == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (arg == QLatin1String("--home")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--home needs a folder");
                return options;
            }
            options.home = arguments.at(++i);
        } else if (arg.startsWith(QLatin1String("--home="))) {
            options.home = arg.mid(7);
        } else if (arg == QLatin1String("--wait") || arg.startsWith(QLatin1String("--wait="))) {
            QString value;
            if (arg.startsWith(QLatin1String("--wait="))) {
                value = arg.mid(7);
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            }
            bool ok = false;
            options.waitSeconds = value.toInt(&ok);
            if (!ok || options.waitSeconds < 0) {
                options.error = QStringLiteral("--wait needs a number of seconds, not '%1'").arg(value);
                return options;
            }
        } else if (options.command.isEmpty() && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            options.help = true;
        } else {
            options.command.append(arg);
        }
    }
    return options;
}

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
            out.printError(QStringLiteral("strategyctl: cannot lock the installation folder %1: %2").arg(home, error));
            return CommandContext::Refused;
        case ZqFolderLock::Busy:
            if (SignalWatcher::caught())
                return 128 + SignalWatcher::caught();
            if (waited.elapsed() >= qint64(seconds) * 1000) {
                out.printError(QStringLiteral("strategyctl: installation folder %1 in use by %2").arg(home, holder.describe()));
                return CommandContext::FolderInUse;
            }
            QThread::msleep(50);
            break;
        }
    }
}
} // namespace

int main(int argc, char **argv)
{
    // While TZ is unset, glibc checks /etc/localtime again at every local-time
    // conversion; naming the zone file once makes the thousands of
    // conversions of a start-up cheap. Done before any thread exists.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("strategyctl"));
    SignalWatcher::instance().install();
    UnsavedWatch::install();
    const GlobalOptions options = parseGlobalOptions(QCoreApplication::arguments());
    const bool shell = options.command.value(0) == QLatin1String("shell");
    Output out(options.json, shell);
    const CommandTable commands;

    if (!options.error.isEmpty()) {
        out.printError(QStringLiteral("strategyctl: %1\nTry 'strategyctl --help'.").arg(options.error));
        return CommandContext::UsageError;
    }
    if (options.help || options.command.isEmpty() || options.command.value(0) == QLatin1String("help")) {
        if (options.command.isEmpty() && !options.help) {
            out.printError(commands.toolHelp().trimmed());
            return CommandContext::UsageError;
        }
        out.printLine(commands.toolHelp().trimmed());
        return CommandContext::Success;
    }

    // The plug-in's diagnostics are for --verbose (QT_LOGGING_RULES still wins).
    if (!options.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false\nstrategylogic.info=false\n"
                                                        "zq.*.debug=false\nzq.*.info=false"));

    const QString home = options.home.isEmpty() ? QCoreApplication::applicationDirPath()
                                                : QFileInfo(options.home).absoluteFilePath();
    if (!QDir().mkpath(home) || !QDir::setCurrent(home)) {
        out.printError(QStringLiteral("strategyctl: cannot use %1 as the installation folder").arg(home));
        return CommandContext::Refused;
    }
    const int locked = lockFolder(home, options.waitSeconds, out);
    if (locked != CommandContext::Success)
        return locked;
    ZqApplicationDir::setPath(home);

    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    if (!plugin.isInitialized()) {
        ZqFolderLock::release(home);
        out.printError(QStringLiteral("strategyctl: the plug-in could not start in %1").arg(home));
        return CommandContext::Refused;
    }

    int status = CommandContext::Success;
    if (shell) {
        if (options.command.size() > 1) {
            out.printError(QStringLiteral("strategyctl shell: takes no arguments; commands come on stdin"));
            status = CommandContext::UsageError;
        } else {
            Shell session(commands, plugin, out);
            session.start();
            status = app.exec();
        }
    } else if (!SignalWatcher::caught()) {
        // What the command printed waits until its change has been written.
        out.deferStdout();
        status = commands.run(options.command, plugin, out, false);
    }
    // What is still pending (instance and day-cash rows, the groups file)
    // is written now, before the folder is let go.
    const int mark = UnsavedWatch::mark();
    plugin.exit();
    ZqFolderLock::release(home);
    const QStringList unsaved = UnsavedWatch::since(mark);
    out.endDeferral(unsaved.isEmpty());
    if (!unsaved.isEmpty()) {
        out.printError(QStringLiteral("strategyctl: not everything could be stored: %1").arg(unsaved.join(QLatin1String("; "))));
        status = CommandContext::Refused;
    }
    if (SignalWatcher::caught())
        status = 128 + SignalWatcher::caught();
    return status;
}
