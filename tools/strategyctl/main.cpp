// strategyctl: a command-line host of the strategy plug-in. It does what
// the trading client does: creates the application, makes the installation
// folder the working directory, initialises the plug-in object, runs a
// command (or a shell of commands) and shuts the plug-in down.

#include "commandtable.h"
#include "output.h"
#include "shell.h"
#include "signalwatcher.h"
#include "unsavedwatch.h"

#include <StrategyLogic/equitychart.h>
#include <StrategyLogic/strategydatabase.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategylogic_version.h>

#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {
// Whether --json stands among the arguments (before a "--"): even a usage
// error found before the rest is parsed is then answered in JSON.
bool jsonRequested(const QStringList &arguments)
{
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("--"))
            return false;
        if (arg == QLatin1String("--json"))
            return true;
    }
    return false;
}

// Where the data lives: --home, else $STRATEGYLOGIC_HOME, else
// $XDG_DATA_HOME/StrategyLogic (~/.local/share/StrategyLogic).
QString dataFolder(const QString &home)
{
    if (!home.isEmpty())
        return QFileInfo(home).absoluteFilePath();
    const QString fromEnvironment = qEnvironmentVariable("STRATEGYLOGIC_HOME");
    if (!fromEnvironment.isEmpty())
        return QFileInfo(fromEnvironment).absoluteFilePath();
    QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (xdg.isEmpty() || QDir::isRelativePath(xdg))
        xdg = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(xdg + QStringLiteral("/StrategyLogic"));
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

// The first word that is neither a global option nor its value: the
// command, read before the application (and its parser) exists.
QByteArray commandWord(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--home" || arg == "--wait")
            ++i;
        else if (!arg.startsWith('-'))
            return arg;
    }
    return QByteArray();
}

// Charts of 'report' draw text, which needs the font database of a
// QGuiApplication (on the offscreen platform: no display needed). Every
// other command keeps the lighter QCoreApplication.
std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv)
{
    if (commandWord(argc, argv) == "report")
        return StrategyLogic::EquityChart::createApplication(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
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
} // namespace

int main(int argc, char **argv)
{
    // While TZ is unset, glibc checks /etc/localtime again at every local-time
    // conversion; naming the zone file once makes the thousands of
    // conversions of a start-up cheap. Done before any thread exists.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    // A reader that goes away (strategyctl ... | head) must not end the
    // process before it has written what is pending: a failed write of the
    // answer is reported instead.
    std::signal(SIGPIPE, SIG_IGN);
    const std::unique_ptr<QCoreApplication> application = createApplication(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("strategyctl"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(StrategyLogic::version()));
    SignalWatcher::instance().install();
    UnsavedWatch::install();
    const QStringList arguments = QCoreApplication::arguments();
    const CommandTable commands;

    // Global options stand before the command; from the command on,
    // everything is the command's (negative numbers included).
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption homeOption(QStringLiteral("home"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption jsonOption(QStringLiteral("json"));
    const QCommandLineOption verboseOption(QStringList{QStringLiteral("v"), QStringLiteral("verbose")});
    const QCommandLineOption waitOption(QStringLiteral("wait"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption versionOption(QStringList{QStringLiteral("V"), QStringLiteral("version")});
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({homeOption, jsonOption, verboseOption, waitOption, versionOption, helpOption});

    const QStringList words = parser.parse(arguments) ? parser.positionalArguments() : QStringList();
    const bool shell = words.value(0) == QLatin1String("shell");
    Output out(jsonRequested(arguments), shell);
    auto usage = [&out](const QString &message) {
        out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl: %1\nTry 'strategyctl --help'.").arg(message));
        return int(CommandContext::UsageError);
    };
    if (!parser.errorText().isEmpty())
        return usage(parser.errorText());
    if (parser.isSet(versionOption)) {
        if (out.isJson())
            out.printJson(QJsonObject{{QStringLiteral("version"), QCoreApplication::applicationVersion()}});
        else
            out.printLine(QStringLiteral("strategyctl ") + QCoreApplication::applicationVersion());
        return finish(out, CommandContext::Success);
    }
    if (parser.isSet(helpOption) || words.isEmpty()) {
        QString text;
        const bool found = commands.helpFor(words, &text);
        if (parser.isSet(helpOption) && found) {
            out.printHelp(text);
            return finish(out, CommandContext::Success);
        }
        out.printFailure(QStringLiteral("usage"), text.trimmed());
        return CommandContext::UsageError;
    }

    // The whole command line is checked before anything is started or
    // touched: a usage error leaves every file as it was.
    const CommandTable::Command *command = commands.find(words);
    if (!command)
        return finish(out, commands.runUnknown(words, out));
    ParsedCommand parsed;
    QString error;
    if (!commands.parse(*command, words.mid(command->words.size()), &parsed, &error)) {
        out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl %1: %2\nTry 'strategyctl %1 --help'.")
                                                       .arg(command->name(), error));
        return CommandContext::UsageError;
    }
    QString home = parser.value(homeOption);
    QString waitText = parser.isSet(waitOption) ? parser.value(waitOption) : QStringLiteral("10");
    home = parsed.globals.value(QStringLiteral("home"), home);
    waitText = parsed.globals.value(QStringLiteral("wait"), waitText);
    const bool verbose = parser.isSet(verboseOption) || parsed.globals.contains(QStringLiteral("verbose"));
    bool waitOk = false;
    const int waitSeconds = waitText.toInt(&waitOk);
    if (!waitOk || waitSeconds < 0)
        return usage(QStringLiteral("--wait needs a number of seconds, not '%1'").arg(waitText));
    if (parsed.help || (command->scope != Scope::Anywhere && command->scope != Scope::DataFolder))
        return finish(out, commands.run(*command, parsed, nullptr, out, false));

    // The plug-in's diagnostics are for --verbose (QT_LOGGING_RULES still wins).
    if (!verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false\nstrategylogic.info=false\n"
                                                        "zq.*.debug=false\nzq.*.info=false"));

    const QString folder = dataFolder(home);
    CommandContext::setStartDirectory(QDir::currentPath());
    // The id sequences belong to the data folder, unless told otherwise.
    if (qEnvironmentVariableIsEmpty("STRATEGYLOGIC_ID_DIR"))
        qputenv("STRATEGYLOGIC_ID_DIR", QFile::encodeName(folder + QStringLiteral("/ids")));
    CommandContext::setDataFolder(folder);
    CommandContext::setWaitSeconds(waitSeconds);
    if (command->scope == Scope::DataFolder) {
        ZqApplicationDir::setPath(folder);
        return finish(out, commands.run(*command, parsed, nullptr, out, false));
    }
    if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
        out.printFailure(QStringLiteral("io"), QStringLiteral("strategyctl: cannot use %1 as the data folder").arg(folder));
        return CommandContext::Unavailable;
    }
    const int locked = lockFolder(folder, waitSeconds, out);
    if (locked != CommandContext::Success)
        return locked;
    if (command->db != DbAccess::None && !shell) {
        QString detail;
        if (StrategyLogic::waitForDatabase(folder, command->db == DbAccess::Writes, waitSeconds, &detail)
            == StrategyLogic::DatabaseAccess::Busy) {
            ZqFolderLock::release(folder);
            out.printFailure(QStringLiteral("busy"),
                             QStringLiteral("strategyctl: the database %1/sarvek.db is busy: another program holds it "
                                            "(%2; waited %3 s, see --wait)")
                                 .arg(folder, detail)
                                 .arg(waitSeconds));
            return CommandContext::Unavailable;
        }
    }
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
        Shell session(commands, plugin, out, parsed.options.contains(QStringLiteral("bail")));
        session.start();
        app.exec();
        status = session.status();
    } else if (!SignalWatcher::caught()) {
        // What the command printed waits until its change has been written.
        out.deferStdout();
        status = commands.run(*command, parsed, &plugin, out, false);
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
