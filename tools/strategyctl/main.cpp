// strategyctl: a command-line host of the strategy plug-in. It does what
// the trading client does: creates the application, makes the installation
// folder the working directory, initialises the plug-in object, runs a
// command (or a shell of commands) and shuts the plug-in down.

#include "commandtable.h"
#include "output.h"
#include "shell.h"

#include "facade/strategyfilelogichandler.h"

#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cstdio>

namespace {
struct GlobalOptions
{
    QString home;
    bool json = false;
    bool verbose = false;
    bool help = false;
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
        } else if (options.command.isEmpty() && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            options.help = true;
        } else {
            options.command.append(arg);
        }
    }
    return options;
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
    ZqApplicationDir::setPath(home);

    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();

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
    } else {
        status = commands.run(options.command, plugin, out, false);
    }
    // What is still pending (instance and day-cash rows) is written when the
    // application goes, before the store closes.
    plugin.exit();
    return status;
}
