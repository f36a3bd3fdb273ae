#include "commandtable.h"

#include "commandhelp.h"
#include "commandparser.h"
#include "commands.h"

CommandTable::CommandTable()
{
    m_groups = {
        {QStringLiteral("strategy"), QStringLiteral("Fixed strategies: list, show, add, modify, move, remove.")},
        {QStringLiteral("group"), QStringLiteral("Groups of fixed strategies.")},
        {QStringLiteral("lock"), QStringLiteral("Strategy files locked against editing.")},
        {QStringLiteral("instance"), QStringLiteral("Strategy instances and their run modes.")},
        {QStringLiteral("cash"), QStringLiteral("Backtest day cash of an instance.")},
        {QStringLiteral("account"), QStringLiteral("Fund accounts and products.")},
        {QStringLiteral("simu"), QStringLiteral("Simulated-trade history (read from Sarvek_SimuTrade.db).")},
        {QStringLiteral("name"), QStringLiteral("Name rules for strategies, files and folders.")},
        {QStringLiteral("label"), QStringLiteral("Display labels of trading codes.")},
        {QStringLiteral("product"), QStringLiteral("The remembered product.")},
        {QStringLiteral("fundaccount"), QStringLiteral("The remembered fund account.")},
        {QStringLiteral("runmode"), QStringLiteral("The plug-in's run mode.")},
        {QStringLiteral("python"), QStringLiteral("The Python installation path.")},
        {QStringLiteral("db"), QStringLiteral("The tables of sarvek.db as they are on disk.")},
        {QStringLiteral("status"), QStringLiteral("The plug-in, the user and where the data lives.")},
        {QStringLiteral("doctor"), QStringLiteral("Checks the data folder and its files; --fix repairs.")},
        {QStringLiteral("export"), QStringLiteral("Writes the user's whole strategy state to a JSON file.")},
        {QStringLiteral("import"), QStringLiteral("Checks a bundle whole, then merges or replaces with it.")},
        {QStringLiteral("history"), QStringLiteral("The changes of strategies, groups and locks, in order.")},
        {QStringLiteral("report"), QStringLiteral("A backtest's figures and equity chart (SVG, PNG, HTML).")},
        {QStringLiteral("shell"), QStringLiteral("Many commands in one process, from stdin.")},
        {QStringLiteral("wait"), QStringLiteral("Let the event loop run (in the shell).")},
        {QStringLiteral("help"), QStringLiteral("Help on a command or a group.")},
        {QStringLiteral("completion"), QStringLiteral("A completion script for bash or zsh.")},
    };
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
    registerDoctorCommands(*this);
    registerBundleCommands(*this);
    registerHistoryCommands(*this);
    registerReportCommands(*this);
}

CommandTable::Command &CommandTable::add(const QString &name, const QString &arguments, const QString &summary,
                                         Handler run, const QList<OptionSpec> &options)
{
    Command command;
    command.words = name.split(QLatin1Char(' '));
    command.args = CommandParser::arguments(arguments);
    command.summary = summary;
    command.options = options;
    command.run = std::move(run);
    m_commands.append(command);
    return m_commands.last();
}

QList<OptionSpec> CommandTable::globalOptions()
{
    QList<OptionSpec> options;
    options.append({QStringLiteral("home"), QStringLiteral("DIR"), ValueType::File,
                    QStringLiteral("The data folder (installation folder of the plug-in). Default: "
                                   "$STRATEGYLOGIC_HOME, else $XDG_DATA_HOME/StrategyLogic "
                                   "(~/.local/share/StrategyLogic)."),
                    {}, QString()});
    options.append({QStringLiteral("json"), QString(), ValueType::Text,
                    QStringLiteral("Answer with JSON documents, errors included."), {}, QString()});
    options.append({QStringLiteral("verbose"), QString(), ValueType::Text,
                    QStringLiteral("Show the plug-in's diagnostics on stderr."), {}, QStringLiteral("v")});
    options.append({QStringLiteral("wait"), QStringLiteral("SECONDS"), ValueType::Seconds,
                    QStringLiteral("How long to wait while another process holds the data folder or its "
                                   "database (default 10)."),
                    {}, QString()});
    options.append({QStringLiteral("version"), QString(), ValueType::Text, QStringLiteral("Print the version."), {},
                    QStringLiteral("V")});
    options.append({QStringLiteral("help"), QString(), ValueType::Text,
                    QStringLiteral("This help; 'strategyctl COMMAND --help' for one command."), {},
                    QStringLiteral("h")});
    return options;
}

QString CommandTable::Command::argumentSynopsis() const
{
    QStringList parts;
    for (const ArgSpec &arg : args) {
        QString part = arg.name + (arg.repeated ? QStringLiteral("...") : QString());
        parts.append(arg.optional ? QLatin1Char('[') + part + QLatin1Char(']') : part);
    }
    return parts.join(QLatin1Char(' '));
}

QString CommandTable::Command::synopsis() const
{
    QString text = name();
    const QString arguments = argumentSynopsis();
    if (!arguments.isEmpty())
        text += QLatin1Char(' ') + arguments;
    for (const OptionSpec &option : options)
        text += QStringLiteral(" [--%1%2]").arg(option.name,
                                                 option.valueName.isEmpty() ? QString() : QLatin1Char(' ') + option.valueName);
    return text;
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

bool CommandTable::isGroup(const QString &word) const
{
    for (const Command &command : m_commands) {
        if (command.words.size() > 1 && command.words.first() == word)
            return true;
    }
    return false;
}

int CommandTable::runUnknown(const QStringList &words, Output &out) const
{
    // A group alone, or with --help: its commands.
    const QStringList rest = words.mid(1);
    if (!words.isEmpty() && isGroup(words.first())
        && (rest.isEmpty() || rest == QStringList{QStringLiteral("--help")} || rest == QStringList{QStringLiteral("-h")})) {
        if (rest.isEmpty()) {
            out.printFailure(QStringLiteral("usage"), CommandHelp(*this).group(words.first()).trimmed());
            return CommandContext::UsageError;
        }
        out.printHelp(CommandHelp(*this).group(words.first()));
        return CommandContext::Success;
    }
    QString message;
    CommandHelp(*this).helpFor(words.mid(0, 2), &message);
    message.replace(QStringLiteral("no command"), QStringLiteral("unknown command"));
    out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl: %1\nTry 'strategyctl --help'.").arg(message));
    return CommandContext::UsageError;
}

const CommandTable::Command *CommandTable::parse(const QStringList &words, ParsedCommand *parsed, Output &out,
                                                 int *status) const
{
    const Command *command = find(words);
    if (!command) {
        *status = runUnknown(words, out);
        return nullptr;
    }
    QString error;
    if (!CommandParser::parse(*command, words.mid(command->words.size()), parsed, &error)) {
        out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl %1: %2\nTry 'strategyctl %1 --help'.")
                                                       .arg(command->name(), error));
        *status = CommandContext::UsageError;
        return nullptr;
    }
    return command;
}

int CommandTable::run(const QStringList &words, StrategyFileLogicHandler &facade, Output &out, bool inShell) const
{
    ParsedCommand parsed;
    int status = CommandContext::Success;
    const Command *command = parse(words, &parsed, out, &status);
    if (!command)
        return status;
    if (inShell && !parsed.globals.isEmpty()) {
        out.printFailure(QStringLiteral("usage"),
                         QStringLiteral("strategyctl %1: --%2 is given to 'strategyctl shell' itself, not to its commands")
                             .arg(command->name(), parsed.globals.firstKey()));
        return CommandContext::UsageError;
    }
    return run(*command, parsed, &facade, out, inShell);
}

int CommandTable::run(const Command &command, const ParsedCommand &parsed, StrategyFileLogicHandler *facade,
                      Output &out, bool inShell) const
{
    if (parsed.help) {
        out.printHelp(CommandHelp(*this).command(command));
        return CommandContext::Success;
    }
    CommandContext context(facade, out, command.name(), inShell, parsed, *this);
    if (command.scope == Scope::DataFolder && inShell)
        return context.refuse(QStringLiteral("strategyctl %1: works on the data folder without the plug-in; run it "
                                             "outside 'strategyctl shell'")
                                  .arg(command.name()));
    if (command.scope == Scope::ShellOnly && !inShell)
        return context.refuse(QStringLiteral("strategyctl %1: its effect would end with this process; %2")
                                  .arg(command.name(), command.shellHint));
    return command.run(context);
}
