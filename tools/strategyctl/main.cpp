// strategyctl: a command-line host of the strategy plug-in. It does what
// the trading client does: creates the application, makes the installation
// folder the working directory, initialises the plug-in object, runs a
// command (or a shell of commands) and shuts the plug-in down.
//
// Its parts: cli/ (the command table, its parser and help, the global
// options, the dispatch of a command line, the output), commands/ (the
// commands of each subject), shell/, docgen/ (the manual page and the
// completion scripts).

#include "commandtable.h"
#include "dispatch.h"
#include "signalwatcher.h"
#include "unsavedwatch.h"

#include <StrategyLogic/equitychart.h>
#include <StrategyLogic/strategylogic_version.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <memory>

namespace {
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
    QCoreApplication::setApplicationName(QStringLiteral("strategyctl"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(StrategyLogic::version()));
    SignalWatcher::instance().install();
    UnsavedWatch::install();
    const CommandTable commands;
    return Dispatch(commands).run(QCoreApplication::arguments());
}
