#include "commandhelp.h"

#include "commandparser.h"
#include "commandsuggestions.h"
#include "output.h"

namespace {
const int HelpWidth = 80;

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

CommandHelp::CommandHelp(const CommandTable &table)
    : m_table(table)
{
}

QString CommandHelp::exitStatus()
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

QString CommandHelp::tool() const
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
    for (const OptionSpec &option : CommandTable::globalOptions())
        help += entry(optionName(option), option.description, 24);
    help += QStringLiteral("\nCommands (strategyctl help GROUP lists a group's commands):\n");
    for (const CommandTable::Group &group : m_table.groups()) {
        const CommandTable::Command *single = m_table.find({group.word});
        QString name = group.word;
        if (single && single->words.size() == 1 && !single->argumentSynopsis().isEmpty())
            name += QLatin1Char(' ') + single->argumentSynopsis();
        help += entry(name, group.summary, 24);
    }
    help += QStringLiteral("\nExit status:\n");
    for (const QString &line : exitStatus().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        help += QStringLiteral("  ") + line + QLatin1Char('\n');
    return help;
}

QString CommandHelp::group(const QString &word) const
{
    QString summary;
    for (const CommandTable::Group &g : m_table.groups()) {
        if (g.word == word)
            summary = g.summary;
    }
    QString help = QStringLiteral("Usage: strategyctl %1 COMMAND [ARGS]\n\n").arg(word);
    if (!summary.isEmpty())
        help += wrap(summary, 0) + QLatin1Char('\n');
    help += QStringLiteral("Commands:\n");
    for (const CommandTable::Command &command : m_table.commands()) {
        if (command.words.first() != word || command.hidden)
            continue;
        const QString arguments = command.argumentSynopsis();
        help += entry(command.name() + (arguments.isEmpty() ? QString() : QLatin1Char(' ') + arguments), command.summary,
                      30);
    }
    help += QStringLiteral("\n'strategyctl %1 COMMAND --help' explains one command.\n").arg(word);
    return help;
}

QString CommandHelp::command(const CommandTable::Command &command) const
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
            values.append(QStringLiteral("%1 is %2.").arg(arg.name, CommandParser::typeName(arg.type)));
    }
    if (!values.isEmpty()) {
        help += QStringLiteral("\nArguments:\n");
        for (const QString &value : qAsConst(values))
            help += wrap(value, 2);
    }
    return help;
}

bool CommandHelp::helpFor(const QStringList &words, QString *text) const
{
    if (words.isEmpty()) {
        *text = tool();
        return true;
    }
    const CommandTable::Command *found = m_table.find(words);
    if (found && found->words.size() == words.size() && !(found->words.size() == 1 && m_table.isGroup(words.first()))) {
        *text = command(*found);
        return true;
    }
    if (words.size() == 1 && m_table.isGroup(words.first())) {
        *text = group(words.first());
        return true;
    }
    const QStringList near = CommandSuggestions::commands(m_table, words);
    *text = QStringLiteral("no command '%1'").arg(words.join(QLatin1Char(' ')));
    if (!near.isEmpty())
        *text += QStringLiteral("; did you mean: %1?").arg(near.join(QStringLiteral(", ")));
    return false;
}
