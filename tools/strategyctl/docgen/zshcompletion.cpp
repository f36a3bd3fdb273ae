#include "zshcompletion.h"

#include "commandparser.h"
#include "completionmodel.h"
#include "doctemplate.h"

namespace {
using Command = CompletionModel::Command;
using Kind = CompletionModel::Kind;
using Word = CompletionModel::Word;

QString quote(const QString &text)
{
    return CompletionModel::quote(text);
}

QString escaped(const QString &text, const QString &special)
{
    return CompletionModel::escaped(text, special);
}

// The action of _arguments for a value of `kind`.
QString action(Kind kind, const QStringList &choices)
{
    switch (kind) {
    case Kind::Files:
        return QStringLiteral("_files");
    case Kind::Directories:
        return QStringLiteral("_files -/");
    case Kind::Choices: {
        QStringList items;
        for (const QString &choice : choices)
            items.append(escaped(choice, QStringLiteral(" \t()'\"`$:;&|<>*?[]{}#~=!^")));
        return QLatin1Char('(') + items.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    default:
        // A single space: the message alone, no matches.
        return QStringLiteral(" ");
    }
}

// The same as code to run, for an action that adds matches of its own too.
QString code(Kind kind, const QStringList &choices)
{
    switch (kind) {
    case Kind::Files:
    case Kind::Directories:
        return action(kind, choices);
    case Kind::Choices:
        return QStringLiteral("compadd -- ") + CompletionModel::quoteAll(choices);
    default:
        return QString();
    }
}

// A message of _arguments: colons are escaped.
QString message(const QString &text)
{
    return escaped(CompletionModel::oneLine(text), QStringLiteral(":"));
}

// The explanation in brackets of an option's completion entry.
QString explanation(const QString &text)
{
    return QLatin1Char('[') + escaped(CompletionModel::oneLine(text), QStringLiteral("[]:")) + QLatin1Char(']');
}

// The entries of _arguments for `option`, each quoted.
QStringList optionSpecs(const OptionSpec &option)
{
    QStringList names{QStringLiteral("--") + option.name};
    if (!option.shortName.isEmpty())
        names.prepend(QLatin1Char('-') + option.shortName);
    const QString exclusion =
        names.size() > 1 ? QLatin1Char('(') + names.join(QLatin1Char(' ')) + QLatin1Char(')') : QString();
    QString value;
    const Kind kind = CompletionModel::kindOf(option);
    if (kind != Kind::Flag)
        value = QLatin1Char(':') + message(option.valueName) + QLatin1Char(':') + action(kind, option.choices);
    QStringList entries;
    for (const QString &name : qAsConst(names)) {
        // "--name=" takes its value in the next word or after "=".
        const bool inWord = kind != Kind::Flag && name.startsWith(QLatin1String("--"));
        entries.append(quote(exclusion + name + (inWord ? QStringLiteral("=") : QString())
                             + explanation(option.description) + value));
    }
    return entries;
}

// A message naming an argument and what it takes.
QString argumentMessage(const ArgSpec &arg)
{
    if (arg.type == ValueType::Text || arg.type == ValueType::Path || arg.type == ValueType::File
        || arg.type == ValueType::Choice)
        return message(arg.name);
    return message(arg.name + QStringLiteral(" (") + CommandParser::typeName(arg.type) + QLatin1Char(')'));
}

// "names=(...)" for `words`, as items of _describe: "word:summary".
QString names(const QList<Word> &words, const QString &indent)
{
    QString text = indent + QStringLiteral("names=(\n");
    for (const Word &word : words) {
        text += indent + QStringLiteral("    ")
                + quote(escaped(word.word, QStringLiteral(":")) + QLatin1Char(':') + word.summary) + QLatin1Char('\n');
    }
    return text + indent + QStringLiteral(")\n");
}

// The entries of _arguments for the first argument of a command that is
// also a group: the group's commands, or the argument.
QString groupArgument(const Command &command, const ArgSpec &arg, Kind kind)
{
    QString text = QStringLiteral("_strategyctl_sub ") + quote(command.words.first());
    const QString own = code(kind, arg.choices);
    if (!own.isEmpty())
        text += QStringLiteral("; ") + own;
    return QLatin1Char('{') + text + QLatin1Char('}');
}

// The _arguments entries of a command's options and arguments, each quoted.
QStringList commandSpecs(const CompletionModel &model, const Command &command)
{
    QStringList entries;
    for (const OptionSpec &option : command.options)
        entries += optionSpecs(option);
    if (&command == model.help) {
        entries.append(quote(QStringLiteral("1::command:_strategyctl_first")));
        entries.append(quote(QStringLiteral("2::command:_strategyctl_help_sub")));
        return entries;
    }
    const bool group = model.isGroup(command.words.first()) && command.words.size() == 1;
    for (int i = 0; i < command.args.size(); ++i) {
        const ArgSpec &arg = command.args.at(i);
        const Kind kind = CompletionModel::kindOf(arg.type, arg.choices);
        const bool rest = arg.repeated && i == command.args.size() - 1;
        QString entry = rest ? QStringLiteral("*") : QString::number(i + 1);
        entry += arg.optional && !rest ? QStringLiteral("::") : QStringLiteral(":");
        entry += argumentMessage(arg) + QLatin1Char(':');
        entry += i == 0 && group ? groupArgument(command, arg, kind) : action(kind, arg.choices);
        entries.append(quote(entry));
    }
    if (group && command.args.isEmpty())
        entries.append(quote(QStringLiteral("1:command:_strategyctl_sub ") + quote(command.words.first())));
    return entries;
}

// A branch of a zsh `case`: `pattern` runs `body`.
QString branch(const QString &pattern, const QString &body, const QString &indent)
{
    return indent + QLatin1Char('(') + pattern + QStringLiteral(")\n") + body + indent + QStringLiteral("    ;;\n");
}

QString specList(const QStringList &entries, const QString &indent)
{
    QString text;
    for (const QString &entry : entries)
        text += indent + entry + QLatin1Char('\n');
    return text;
}

// "case $2 in": return 0 for the options that take a value, 1 for flags.
QString takesValue(const QList<OptionSpec> &options, const QString &indent)
{
    QStringList withValue;
    QStringList flags;
    for (const OptionSpec &option : options) {
        QStringList &list = option.valueName.isEmpty() ? flags : withValue;
        list.append(quote(QStringLiteral("--") + option.name));
        if (!option.shortName.isEmpty())
            list.append(quote(QLatin1Char('-') + option.shortName));
    }
    QString text = indent + QStringLiteral("case $2 in\n");
    if (!withValue.isEmpty())
        text += indent + QLatin1Char('(') + withValue.join(QLatin1Char('|')) + QStringLiteral(") return 0 ;;\n");
    if (!flags.isEmpty())
        text += indent + QLatin1Char('(') + flags.join(QLatin1Char('|')) + QStringLiteral(") return 1 ;;\n");
    return text + indent + QStringLiteral("esac\n");
}

QString groupCommands(const CompletionModel &model)
{
    QString text;
    for (auto it = model.subcommands.cbegin(); it != model.subcommands.cend(); ++it)
        text += branch(quote(it.key()), names(it.value(), QStringLiteral("        ")), QStringLiteral("    "));
    return text;
}

QString commandNames(const CompletionModel &model)
{
    QStringList list;
    for (const Command *command : model.commands)
        list.append(quote(command->name()));
    if (list.isEmpty())
        return QString();
    return QStringLiteral("    (") + list.join(QLatin1Char('|')) + QStringLiteral(") return 0 ;;\n");
}

QString optionValues(const CompletionModel &model)
{
    QString text;
    for (const Command *command : model.commands) {
        if (!command->options.isEmpty())
            text += branch(quote(command->name()), takesValue(command->options, QStringLiteral("        ")),
                           QStringLiteral("    "));
    }
    return text;
}

QString globalSpecs(const CompletionModel &model)
{
    QString text;
    for (const OptionSpec &option : model.globals)
        text += specList(optionSpecs(option), QStringLiteral("        "));
    return text;
}

// The options accepted after the command, --help explained for a command.
QString anywhereSpecs(const CompletionModel &model)
{
    QString text;
    bool hasHelp = false;
    for (OptionSpec option : model.anywhere) {
        if (option.name == QLatin1String("help")) {
            hasHelp = true;
            option.description = QStringLiteral("The help of the command.");
        }
        text += specList(optionSpecs(option), QStringLiteral("        "));
    }
    if (!hasHelp) {
        text += specList(optionSpecs({QStringLiteral("help"), QString(), ValueType::Text,
                                      QStringLiteral("The help of the command."), {}, QString()}),
                         QStringLiteral("        "));
    }
    return text;
}

// The branch for a group without a command of its own name: its commands.
QString groupOnly(const CompletionModel &model)
{
    QStringList groups;
    for (auto it = model.subcommands.cbegin(); it != model.subcommands.cend(); ++it) {
        if (!model.command(it.key()))
            groups.append(quote(it.key()));
    }
    if (groups.isEmpty())
        return QString();
    return QStringLiteral("        (") + groups.join(QLatin1Char('|'))
           + QStringLiteral(")\n"
                            "            _arguments -S : '(-h --help)'{-h,--help}'[The commands of the group.]' \\\n"
                            "                \"1:command:_strategyctl_sub ${(q)first}\"\n"
                            "            ;;\n");
}

QString commandEntries(const CompletionModel &model)
{
    QString text;
    for (const Command *command : model.commands) {
        const QStringList entries = commandSpecs(model, *command);
        if (entries.isEmpty())
            continue;
        text += branch(quote(command->name()),
                       QStringLiteral("        entries+=(\n") + specList(entries, QStringLiteral("            "))
                           + QStringLiteral("        )\n"),
                       QStringLiteral("    "));
    }
    return text;
}
} // namespace

QString ZshCompletion::script(const CommandTable &table)
{
    const CompletionModel model(table);
    // "help GROUP COMMAND": the second word is a command of the group.
    const QString helpFunction = !model.help ? QString() : QStringLiteral(
        "# The second word of \"help WORDS\": a command of the group before it.\n"
        "_strategyctl_help_sub()\n"
        "{\n"
        "    _strategyctl_sub \"$line[1]\"\n"
        "}\n"
        "\n");
    return DocTemplate(QStringLiteral(":/docgen/strategyctl.zsh.in"))
        .fill({
            {QStringLiteral("FIRST_WORDS"), names(model.firstWords, QStringLiteral("    "))},
            {QStringLiteral("GROUP_COMMANDS"), groupCommands(model)},
            {QStringLiteral("HELP_FUNCTION"), helpFunction},
            {QStringLiteral("COMMAND_NAMES"), commandNames(model)},
            {QStringLiteral("OPTION_VALUES"), optionValues(model)},
            {QStringLiteral("GLOBAL_OPTION_VALUES"), takesValue(model.globals, QStringLiteral("    "))},
            {QStringLiteral("GLOBAL_OPTIONS"), globalSpecs(model)},
            {QStringLiteral("ANYWHERE_OPTIONS"), anywhereSpecs(model)},
            {QStringLiteral("GROUP_ONLY"), groupOnly(model)},
            {QStringLiteral("COMMAND_ENTRIES"), commandEntries(model)},
        });
}
