#include "commandtable.h"

#include "commands.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {
const int HelpWidth = 80;

// "ID:int", "[NAME]", "TABLE:a|b|c", "WORDS..." -> ArgSpec.
QList<ArgSpec> parseArguments(const QString &pattern)
{
    static const QMap<QString, ValueType> types{
        {QStringLiteral("text"), ValueType::Text},       {QStringLiteral("path"), ValueType::Path},
        {QStringLiteral("file"), ValueType::File},       {QStringLiteral("int"), ValueType::Int},
        {QStringLiteral("count"), ValueType::Count},     {QStringLiteral("millis"), ValueType::Millis},
        {QStringLiteral("seconds"), ValueType::Seconds}, {QStringLiteral("number"), ValueType::Number},
        {QStringLiteral("date"), ValueType::Date},       {QStringLiteral("time"), ValueType::Time}};
    QList<ArgSpec> args;
    for (QString token : pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        ArgSpec arg;
        if (token.startsWith(QLatin1Char('[')) && token.endsWith(QLatin1Char(']'))) {
            arg.optional = true;
            token = token.mid(1, token.size() - 2);
        }
        if (token.endsWith(QLatin1String("..."))) {
            arg.repeated = true;
            token.chop(3);
        }
        const int colon = token.indexOf(QLatin1Char(':'));
        arg.name = colon < 0 ? token : token.left(colon);
        const QString type = colon < 0 ? QString() : token.mid(colon + 1);
        if (type.contains(QLatin1Char('|'))) {
            arg.type = ValueType::Choice;
            arg.choices = type.split(QLatin1Char('|'));
        } else {
            arg.type = types.value(type, ValueType::Text);
        }
        args.append(arg);
    }
    return args;
}

// A negative number is a value, not an option.
bool looksLikeNumber(const QString &word)
{
    static const QRegularExpression number(QStringLiteral("^-(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?$"));
    return number.match(word).hasMatch();
}

int editDistance(const QString &a, const QString &b)
{
    QVector<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Words of `text` filled into lines of at most `width` columns, each
// starting with `indent` spaces (the first with `firstIndent` columns
// already used when it is >= 0: it then continues that line).
QString wrap(const QString &text, int indent, int firstUsed = -1)
{
    QString out;
    int used = firstUsed >= 0 ? firstUsed : 0;
    bool lineStart = true;
    if (firstUsed < 0) {
        out += QString(indent, QLatin1Char(' '));
        used = indent;
    }
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int width = Output::displayWidth(word);
        if (!lineStart && used + 1 + width > HelpWidth) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            used = indent;
            lineStart = true;
        }
        if (!lineStart) {
            out += QLatin1Char(' ');
            ++used;
        }
        out += word;
        used += width;
        lineStart = false;
    }
    return out + QLatin1Char('\n');
}

// "  NAME      summary", the summary wrapped at column `column`.
QString entry(const QString &name, const QString &summary, int column)
{
    QString line = QStringLiteral("  ") + name;
    const int used = 2 + Output::displayWidth(name);
    if (used + 2 > column)
        return line + QLatin1Char('\n') + wrap(summary, column);
    return line + QString(column - used, QLatin1Char(' ')) + wrap(summary, column, column);
}

QString optionName(const OptionSpec &option)
{
    QString name = option.shortName.isEmpty() ? QStringLiteral("    --") + option.name
                                              : QStringLiteral("-%1, --%2").arg(option.shortName, option.name);
    if (!option.valueName.isEmpty())
        name += QLatin1Char(' ') + option.valueName;
    return name;
}
} // namespace

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
    command.args = parseArguments(arguments);
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

QStringList CommandTable::suggestions(const QStringList &words) const
{
    const QString wanted = words.mid(0, 2).join(QLatin1Char(' '));
    QList<QPair<int, QString>> scored;
    for (const Command &command : m_commands) {
        if (command.hidden)
            continue;
        const QString name = command.name();
        int distance = editDistance(wanted, name);
        // "strategy ad" is near "strategy add"; "lis" is near "strategy list".
        if (words.size() == 1 || command.words.size() == 1)
            distance = std::min(distance, editDistance(words.first(), command.words.last())
                                              + (command.words.size() > 1 ? 1 : 0));
        const int allowed = std::max(2, int(wanted.size()) / 3);
        if (distance <= allowed)
            scored.append({distance, name});
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const QPair<int, QString> &a, const QPair<int, QString> &b) { return a.first < b.first; });
    QStringList names;
    for (const auto &candidate : qAsConst(scored)) {
        if (!names.contains(candidate.second))
            names.append(candidate.second);
        if (names.size() == 3)
            break;
    }
    return names;
}

QString CommandTable::typeName(ValueType type)
{
    switch (type) {
    case ValueType::Int: return QStringLiteral("a whole number");
    case ValueType::Count: return QStringLiteral("a whole number of 1 or more");
    case ValueType::Millis: return QStringLiteral("a number of milliseconds");
    case ValueType::Seconds: return QStringLiteral("a number of seconds");
    case ValueType::Number: return QStringLiteral("a number");
    case ValueType::Date: return QStringLiteral("a date written yyyy-MM-dd");
    case ValueType::Time: return QStringLiteral("a time in ISO 8601, for example 2026-12-03T09:30:00");
    case ValueType::Choice: return QStringLiteral("one of the listed values");
    default: return QStringLiteral("a text");
    }
}

namespace {
// An error text when `value` is not of `type`, else empty.
QString checkValue(const QString &what, const QString &value, ValueType type, const QStringList &choices)
{
    bool ok = true;
    switch (type) {
    case ValueType::Int:
        value.toLongLong(&ok);
        break;
    case ValueType::Count: {
        const int n = value.toInt(&ok);
        ok = ok && n >= 1;
        break;
    }
    case ValueType::Millis:
    case ValueType::Seconds: {
        const int n = value.toInt(&ok);
        ok = ok && n >= 0;
        break;
    }
    case ValueType::Number: {
        const double d = value.toDouble(&ok);
        ok = ok && qIsFinite(d);
        break;
    }
    case ValueType::Date:
        ok = QDate::fromString(value, Qt::ISODate).isValid();
        break;
    case ValueType::Time:
        ok = QDateTime::fromString(value, Qt::ISODate).isValid();
        break;
    case ValueType::Choice:
        if (!choices.contains(value))
            return QStringLiteral("%1 is one of %2, not '%3'").arg(what, choices.join(QStringLiteral(", ")), value);
        break;
    default:
        break;
    }
    if (ok)
        return QString();
    if (type == ValueType::Int)
        return QStringLiteral("%1 must be a whole number, not '%2'").arg(what, value);
    return QStringLiteral("%1 must be %2, not '%3'").arg(what, CommandTable::typeName(type), value);
}
} // namespace

bool CommandTable::parse(const Command &command, const QStringList &words, ParsedCommand *parsed, QString *error) const
{
    QList<OptionSpec> known = command.options;
    const QList<OptionSpec> globals = globalOptions();
    bool optionsEnd = false;
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (optionsEnd || !word.startsWith(QLatin1Char('-')) || word == QLatin1String("-") || looksLikeNumber(word)) {
            parsed->args.append(word);
            continue;
        }
        if (word == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        QString name;
        QString value;
        bool hasValue = false;
        if (word.startsWith(QLatin1String("--"))) {
            name = word.mid(2);
            const int equals = name.indexOf(QLatin1Char('='));
            if (equals >= 0) {
                value = name.mid(equals + 1);
                name = name.left(equals);
                hasValue = true;
            }
        } else {
            // One-letter options: -h, -v, and those of the command.
            name = word.mid(1);
            for (const OptionSpec &option : known + globals) {
                if (!option.shortName.isEmpty() && option.shortName == word.mid(1))
                    name = option.name;
            }
        }
        if (name == QLatin1String("help") && !hasValue) {
            parsed->help = true;
            continue;
        }
        const OptionSpec *matched = nullptr;
        bool global = false;
        for (const OptionSpec &option : known) {
            if (option.name == name)
                matched = &option;
        }
        for (const OptionSpec &option : globals) {
            if (!matched && option.name == name && name != QLatin1String("version")) {
                matched = &option;
                global = true;
            }
        }
        if (!matched) {
            QString hint;
            for (const OptionSpec &option : known) {
                if (editDistance(name, option.name) <= 2)
                    hint = QStringLiteral(" (did you mean --%1?)").arg(option.name);
            }
            *error = QStringLiteral("unknown option '%1'%2").arg(word, hint);
            return false;
        }
        if (matched->valueName.isEmpty()) {
            if (hasValue) {
                *error = QStringLiteral("--%1 takes no value").arg(name);
                return false;
            }
        } else if (!hasValue) {
            if (i + 1 >= words.size()) {
                *error = QStringLiteral("--%1 needs %2").arg(name, matched->valueName);
                return false;
            }
            value = words.at(++i);
        }
        if (!matched->valueName.isEmpty()) {
            const QString problem = checkValue(QStringLiteral("--") + name, value, matched->type, matched->choices);
            if (!problem.isEmpty()) {
                *error = problem;
                return false;
            }
        }
        (global ? parsed->globals : parsed->options).insert(name, value);
    }
    if (parsed->help)
        return true;

    int required = 0;
    bool repeated = false;
    for (const ArgSpec &arg : command.args) {
        required += arg.optional ? 0 : 1;
        repeated = repeated || arg.repeated;
    }
    const int n = parsed->args.size();
    if (n < required || (!repeated && n > command.args.size())) {
        if (command.args.isEmpty())
            *error = QStringLiteral("takes no arguments");
        else
            *error = QStringLiteral("expects %1").arg(command.argumentSynopsis());
        return false;
    }
    for (int i = 0; i < n; ++i) {
        const ArgSpec &arg = command.args.at(std::min(i, int(command.args.size()) - 1));
        QString problem = checkValue(arg.name, parsed->args.at(i), arg.type, arg.choices);
        if (problem.isEmpty() && arg.type == ValueType::File
            && !QFileInfo(CommandContext::localFile(parsed->args.at(i))).isReadable())
            problem = QStringLiteral("cannot read the file '%1'").arg(parsed->args.at(i));
        if (!problem.isEmpty()) {
            *error = problem;
            return false;
        }
    }
    if (command.check) {
        *error = command.check(*parsed);
        if (!error->isEmpty())
            return false;
    }
    return true;
}

QString CommandTable::exitStatusHelp()
{
    return QStringLiteral(
        "0  done.\n"
        "1  refused, not found, or nothing changed (the message says which).\n"
        "2  usage error: nothing was started, no file was touched.\n"
        "3  the data could not be reached: the data folder is in use by another\n"
        "   process or its database is busy past --wait, or a file could not be\n"
        "   written (read-only folder, full disk).\n"
        "128+N  ended by signal N, after writing everything pending.\n");
}

QString CommandTable::toolHelp() const
{
    QString help = QStringLiteral(
        "Usage: strategyctl [OPTIONS] COMMAND [ARGS]\n"
        "\n"
        "Runs the strategy plug-in the way the trading client does: starts it in the\n"
        "data folder, runs one command, shuts it down, writing what is pending.\n"
        "'strategyctl shell' runs many commands in one process and prints the\n"
        "plug-in's signals as they come.\n"
        "\n"
        "Options:\n");
    for (const OptionSpec &option : globalOptions())
        help += entry(optionName(option), option.description, 24);
    help += QStringLiteral("\nCommands (strategyctl help GROUP lists a group's commands):\n");
    for (const Group &group : m_groups) {
        const Command *single = find({group.word});
        QString name = group.word;
        if (single && single->words.size() == 1 && !single->argumentSynopsis().isEmpty())
            name += QLatin1Char(' ') + single->argumentSynopsis();
        help += entry(name, group.summary, 24);
    }
    help += QStringLiteral("\nExit status:\n");
    for (const QString &line : exitStatusHelp().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        help += QStringLiteral("  ") + line + QLatin1Char('\n');
    return help;
}

QString CommandTable::groupHelp(const QString &group) const
{
    QString summary;
    for (const Group &g : m_groups) {
        if (g.word == group)
            summary = g.summary;
    }
    QString help = QStringLiteral("Usage: strategyctl %1 COMMAND [ARGS]\n\n").arg(group);
    if (!summary.isEmpty())
        help += wrap(summary, 0) + QLatin1Char('\n');
    help += QStringLiteral("Commands:\n");
    for (const Command &command : m_commands) {
        if (command.words.first() != group || command.hidden)
            continue;
        const QString arguments = command.argumentSynopsis();
        help += entry(command.name() + (arguments.isEmpty() ? QString() : QLatin1Char(' ') + arguments), command.summary,
                      30);
    }
    help += QStringLiteral("\n'strategyctl %1 COMMAND --help' explains one command.\n").arg(group);
    return help;
}

QString CommandTable::commandHelp(const Command &command) const
{
    QString help = QStringLiteral("Usage: strategyctl ") + command.name();
    const QString arguments = command.argumentSynopsis();
    if (!arguments.isEmpty())
        help += QLatin1Char(' ') + arguments;
    if (!command.options.isEmpty())
        help += QStringLiteral(" [OPTIONS]");
    help += QStringLiteral("\n\n") + wrap(command.summary, 0);
    if (!command.details.isEmpty()) {
        for (const QString &paragraph : command.details.split(QLatin1Char('\n')))
            help += paragraph.isEmpty() ? QStringLiteral("\n") : wrap(paragraph, 0);
    }
    if (command.scope == Scope::ShellOnly)
        help += QLatin1Char('\n') + wrap(QStringLiteral("Only inside 'strategyctl shell': ") + command.shellHint, 0);
    QList<OptionSpec> options = command.options;
    options.append({QStringLiteral("help"), QString(), ValueType::Text, QStringLiteral("This help."), {},
                    QStringLiteral("h")});
    help += QStringLiteral("\nOptions:\n");
    for (const OptionSpec &option : options)
        help += entry(optionName(option), option.description, 24);
    QStringList values;
    for (const ArgSpec &arg : command.args) {
        if (arg.type == ValueType::Choice)
            values.append(QStringLiteral("%1 is one of %2.").arg(arg.name, arg.choices.join(QStringLiteral(", "))));
        else if (arg.type != ValueType::Text && arg.type != ValueType::Path && arg.type != ValueType::File)
            values.append(QStringLiteral("%1 is %2.").arg(arg.name, typeName(arg.type)));
    }
    if (!values.isEmpty()) {
        help += QStringLiteral("\nArguments:\n");
        for (const QString &value : qAsConst(values))
            help += wrap(value, 2);
    }
    return help;
}

bool CommandTable::helpFor(const QStringList &words, QString *text) const
{
    if (words.isEmpty()) {
        *text = toolHelp();
        return true;
    }
    const Command *command = find(words);
    if (command && command->words.size() == words.size() && !(command->words.size() == 1 && isGroup(words.first()))) {
        *text = commandHelp(*command);
        return true;
    }
    if (words.size() == 1 && isGroup(words.first())) {
        *text = groupHelp(words.first());
        return true;
    }
    const QStringList near = suggestions(words);
    *text = QStringLiteral("no command '%1'").arg(words.join(QLatin1Char(' ')));
    if (!near.isEmpty())
        *text += QStringLiteral("; did you mean: %1?").arg(near.join(QStringLiteral(", ")));
    return false;
}

int CommandTable::runUnknown(const QStringList &words, Output &out) const
{
    // A group alone, or with --help: its commands.
    const QStringList rest = words.mid(1);
    if (!words.isEmpty() && isGroup(words.first())
        && (rest.isEmpty() || rest == QStringList{QStringLiteral("--help")} || rest == QStringList{QStringLiteral("-h")})) {
        if (rest.isEmpty()) {
            out.printFailure(QStringLiteral("usage"), groupHelp(words.first()).trimmed());
            return CommandContext::UsageError;
        }
        out.printHelp(groupHelp(words.first()));
        return CommandContext::Success;
    }
    QString message;
    helpFor(words.mid(0, 2), &message);
    message.replace(QStringLiteral("no command"), QStringLiteral("unknown command"));
    out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl: %1\nTry 'strategyctl --help'.").arg(message));
    return CommandContext::UsageError;
}

int CommandTable::run(const QStringList &words, StrategyFileLogicHandler &facade, Output &out, bool inShell) const
{
    const Command *command = find(words);
    if (!command)
        return runUnknown(words, out);
    ParsedCommand parsed;
    QString error;
    if (!parse(*command, words.mid(command->words.size()), &parsed, &error)) {
        out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl %1: %2\nTry 'strategyctl %1 --help'.")
                                                       .arg(command->name(), error));
        return CommandContext::UsageError;
    }
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
        out.printHelp(commandHelp(command));
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
