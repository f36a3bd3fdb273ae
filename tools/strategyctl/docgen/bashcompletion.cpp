#include "bashcompletion.h"

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

QString quoteAll(const QStringList &words, const QString &separator = QStringLiteral(" "))
{
    return CompletionModel::quoteAll(words, separator);
}

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Flag: return QStringLiteral("flag");
    case Kind::Files: return QStringLiteral("file");
    case Kind::Directories: return QStringLiteral("dir");
    case Kind::Choices: return QStringLiteral("choice");
    default: return QStringLiteral("text");
    }
}

// "kind=...; choices=(...)" for a value.
QString valueCode(Kind kind, const QStringList &choices)
{
    QString code = QStringLiteral("kind=") + kindName(kind);
    if (kind == Kind::Choices)
        code += QStringLiteral("; choices=(") + quoteAll(choices) + QLatin1Char(')');
    return code;
}

QString optionPattern(const OptionSpec &option)
{
    QString pattern = quote(QStringLiteral("--") + option.name);
    if (!option.shortName.isEmpty())
        pattern += QLatin1Char('|') + quote(QLatin1Char('-') + option.shortName);
    return pattern;
}

// "_strategyctl_add WORD..." for `words`.
QString addWords(const QList<Word> &words, const QString &indent)
{
    QStringList list;
    for (const Word &word : words)
        list.append(word.word);
    return indent + QStringLiteral("_strategyctl_add ") + quoteAll(list) + QLatin1Char('\n');
}

// The branches of _strategyctl_sub: the second words of each group.
QString groupCommands(const CompletionModel &model)
{
    QString code;
    for (auto it = model.subcommands.cbegin(); it != model.subcommands.cend(); ++it) {
        code += QStringLiteral("    ") + quote(it.key()) + QStringLiteral(")\n");
        code += addWords(it.value(), QStringLiteral("        "));
        code += QStringLiteral("        ;;\n");
    }
    return code;
}

QString commandNames(const CompletionModel &model)
{
    QStringList names;
    for (const Command *command : model.commands)
        names.append(quote(command->name()));
    if (names.isEmpty())
        return QString();
    return QStringLiteral("    ") + names.join(QStringLiteral(" | ")) + QStringLiteral(") return 0 ;;\n");
}

// The branches of _strategyctl_options: each command's option names.
QString commandOptions(const CompletionModel &model)
{
    QString code;
    for (const Command *command : model.commands) {
        if (command->options.isEmpty())
            continue;
        QStringList options;
        for (const OptionSpec &option : command->options)
            options.append(QStringLiteral("--") + option.name);
        code += QStringLiteral("    ") + quote(command->name()) + QStringLiteral(") opts=(") + quoteAll(options)
                + QStringLiteral(") ;;\n");
    }
    return code;
}

// The branches of _strategyctl_option: what each option of each command takes.
QString optionValues(const CompletionModel &model)
{
    QString code;
    for (const Command *command : model.commands) {
        if (command->options.isEmpty())
            continue;
        code += QStringLiteral("    ") + quote(command->name()) + QStringLiteral(")\n        case $2 in\n");
        for (const OptionSpec &option : command->options) {
            code += QStringLiteral("        ") + optionPattern(option) + QStringLiteral(") ")
                    + valueCode(CompletionModel::kindOf(option), option.choices) + QStringLiteral("; return ;;\n");
        }
        code += QStringLiteral("        esac\n        ;;\n");
    }
    return code;
}

QString globalOptionValues(const CompletionModel &model)
{
    QString code;
    for (const OptionSpec &option : model.globals) {
        code += QStringLiteral("    ") + optionPattern(option) + QStringLiteral(") ")
                + valueCode(CompletionModel::kindOf(option), option.choices) + QStringLiteral(" ;;\n");
    }
    return code;
}

// The branches of _strategyctl_argument: what each argument takes, by position.
QString argumentValues(const CompletionModel &model)
{
    QString code;
    for (const Command *command : model.commands) {
        if (command->args.isEmpty() || command == model.help)
            continue;
        code += QStringLiteral("    ") + quote(command->name()) + QStringLiteral(")\n        case $2 in\n");
        for (int i = 0; i < command->args.size(); ++i) {
            const ArgSpec &arg = command->args.at(i);
            const bool rest = arg.repeated && i == command->args.size() - 1;
            code += QStringLiteral("        ") + (rest ? QStringLiteral("*") : QString::number(i)) + QStringLiteral(") ")
                    + valueCode(CompletionModel::kindOf(arg.type, arg.choices), arg.choices) + QStringLiteral(" ;;\n");
        }
        code += QStringLiteral("        esac\n        ;;\n");
    }
    return code;
}
} // namespace

QString BashCompletion::script(const CommandTable &table)
{
    const CompletionModel model(table);
    QStringList globals;
    for (const OptionSpec &option : model.globals)
        globals.append(QStringLiteral("--") + option.name);
    QStringList anywhere;
    for (const OptionSpec &option : model.anywhere)
        anywhere.append(QStringLiteral("--") + option.name);
    if (!anywhere.contains(QStringLiteral("--help")))
        anywhere.append(QStringLiteral("--help"));
    // "help GROUP COMMAND" completes command names, not values.
    const QString helpArguments = !model.help ? QString() : QStringLiteral(
        "    if [[ $cmd == help ]]; then\n"
        "        if ((${#args[@]} == 0)); then\n"
        "            _strategyctl_first\n"
        "        elif ((${#args[@]} == 1)); then\n"
        "            _strategyctl_sub \"${args[0]}\"\n"
        "        fi\n"
        "        return 0\n"
        "    fi\n");
    return DocTemplate(QStringLiteral(":/docgen/strategyctl.bash.in"))
        .fill({
            {QStringLiteral("FIRST_WORDS"), addWords(model.firstWords, QStringLiteral("    "))},
            {QStringLiteral("GROUP_COMMANDS"), groupCommands(model)},
            {QStringLiteral("GROUP_NAMES"),
             model.subcommands.isEmpty() ? QString()
                                         : QStringLiteral("    ") + quoteAll(model.subcommands.keys(), QStringLiteral(" | "))
                                               + QStringLiteral(") return 0 ;;\n")},
            {QStringLiteral("COMMAND_NAMES"), commandNames(model)},
            {QStringLiteral("COMMAND_OPTIONS"), commandOptions(model)},
            {QStringLiteral("OPTION_VALUES"), optionValues(model)},
            {QStringLiteral("GLOBAL_OPTION_VALUES"), globalOptionValues(model)},
            {QStringLiteral("ARGUMENT_VALUES"), argumentValues(model)},
            {QStringLiteral("GLOBAL_OPTIONS"), quoteAll(globals)},
            {QStringLiteral("ANYWHERE_OPTIONS"), quoteAll(anywhere)},
            {QStringLiteral("HELP_ARGUMENTS"), helpArguments},
        });
}
