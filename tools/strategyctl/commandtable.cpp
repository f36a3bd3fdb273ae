#include "commandtable.h"

#include "commands.h"

CommandTable::CommandTable()
{
    registerCoreCommands(*this);
    registerStrategyCommands(*this);
    registerGroupCommands(*this);
    registerLockCommands(*this);
    registerInstanceCommands(*this);
    registerCashCommands(*this);
    registerAccountCommands(*this);
    registerSimuCommands(*this);
    registerNameCommands(*this);
    registerDbCommands(*this);
}

void CommandTable::add(const QString &name, const QString &arguments, const QString &summary, int minArgs,
                       int maxArgs, Handler run, const QList<QCommandLineOption> &options)
{
    Command command;
    command.words = name.split(QLatin1Char(' '));
    command.arguments = arguments;
    command.summary = summary;
    command.minArgs = minArgs;
    command.maxArgs = maxArgs;
    command.options = options;
    command.run = std::move(run);
    m_commands.append(command);
}

void CommandTable::addShellOnly(const QString &name, const QString &arguments, const QString &summary, int minArgs,
                                int maxArgs, Handler run)
{
    add(name, arguments, summary, minArgs, maxArgs, std::move(run));
    m_commands.last().shellOnly = true;
}

const CommandTable::Command *CommandTable::find(const QStringList &words) const
{
    const Command *best = nullptr;
    for (const Command &command : m_commands) {
        if (command.words.size() > words.size())
            continue;
        if (words.mid(0, command.words.size()) != command.words)
            continue;
        if (!best || command.words.size() > best->words.size())
            best = &command;
    }
    return best;
}

QString CommandTable::commandHelp(const Command &command) const
{
    QString help = QStringLiteral("Usage: strategyctl [--home DIR] [--json] %1").arg(command.words.join(QLatin1Char(' ')));
    if (!command.arguments.isEmpty())
        help += QLatin1Char(' ') + command.arguments;
    if (!command.options.isEmpty())
        help += QStringLiteral(" [options]");
    help += QStringLiteral("\n\n") + command.summary + QLatin1Char('\n');
    if (!command.options.isEmpty()) {
        help += QStringLiteral("\nOptions:\n");
        for (const QCommandLineOption &option : command.options) {
            QString names = QStringLiteral("--") + option.names().join(QStringLiteral(", --"));
            if (!option.valueName().isEmpty())
                names += QLatin1Char(' ') + option.valueName();
            help += QStringLiteral("  %1  %2\n").arg(names, -22).arg(option.description());
        }
    }
    return help;
}

QString CommandTable::toolHelp() const
{
    QString help = QStringLiteral(
        "Usage: strategyctl [--home DIR] [--json] [--verbose] [--wait SECONDS] COMMAND [ARGS]\n"
        "\n"
        "Runs the strategy plug-in the way the trading client does: initialises it in the\n"
        "installation folder DIR (default: the folder strategyctl is installed in), runs\n"
        "one command, shuts it down. 'strategyctl shell' reads commands from stdin, one per\n"
        "line, and prints the plug-in's signals as 'event NAME ARGS' lines.\n"
        "\n"
        "Options:\n"
        "  --home DIR     installation folder (created when missing)\n"
        "  --json         answer with JSON documents\n"
        "  -v, --verbose  show the plug-in's diagnostics on stderr\n"
        "  --wait SECONDS how long to wait while another process holds DIR (default 10)\n"
        "  -h, --help     this help; 'strategyctl COMMAND --help' for one command\n"
        "\n"
        "Exit status: 0 success, 1 the plug-in refused, found nothing or could not store\n"
        "the change, 2 usage error, 3 DIR in use by another process, 128+N ended by\n"
        "signal N (after writing everything pending).\n"
        "\n"
        "Commands:\n");
    int width = 0;
    for (const Command &command : m_commands)
        width = qMax(width, Output::displayWidth(command.words.join(QLatin1Char(' ')) + QLatin1Char(' ') + command.arguments));
    for (const Command &command : m_commands) {
        const QString synopsis = command.words.join(QLatin1Char(' ')) + QLatin1Char(' ') + command.arguments;
        help += QStringLiteral("  %1%2  %3\n")
                    .arg(synopsis, QString(width - Output::displayWidth(synopsis), QLatin1Char(' ')), command.summary);
    }
    return help;
}

int CommandTable::run(const QStringList &words, StrategyFileLogicHandler &facade, Output &out, bool inShell) const
{
    const Command *command = find(words);
    if (!command) {
        out.printError(QStringLiteral("strategyctl: unknown command '%1'\nTry 'strategyctl --help'.")
                           .arg(words.mid(0, 2).join(QLatin1Char(' '))));
        return CommandContext::UsageError;
    }
    const QString name = command->words.join(QLatin1Char(' '));
    CommandContext context(facade, out, name, inShell);
    if (command->shellOnly && !inShell)
        return context.usage(QStringLiteral("works only inside 'strategyctl shell'"));

    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Shows this help."));
    context.parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    context.parser.addOption(helpOption);
    context.parser.addOptions(command->options);
    if (!context.parser.parse(QStringList{QStringLiteral("strategyctl")} + words.mid(command->words.size())))
        return context.usage(context.parser.errorText());
    if (context.parser.isSet(helpOption)) {
        out.printLine(commandHelp(*command).trimmed());
        return CommandContext::Success;
    }
    context.args = context.parser.positionalArguments();
    const int n = context.args.size();
    if (n < command->minArgs)
        return context.usage(QStringLiteral("expects %1").arg(command->arguments));
    if (command->maxArgs >= 0 && n > command->maxArgs)
        return context.usage(n == 0 || command->arguments.isEmpty()
                                 ? QStringLiteral("takes no arguments")
                                 : QStringLiteral("expects %1").arg(command->arguments));
    return command->run(context);
}
