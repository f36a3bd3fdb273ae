// The completion scripts of strategyctl for bash and zsh, made from the
// command table so that they know every command, option and value it does.

#include "commandtable.h"

#include <QMap>

namespace {
using Command = CommandTable::Command;

// How the value of an argument or an option is completed.
enum class Kind {
    Flag,        // an option without a value
    Nothing,     // free text, numbers, dates: nothing to offer
    Files,
    Directories,
    Choices,
};

Kind kindOf(ValueType type, const QStringList &choices)
{
    switch (type) {
    case ValueType::Path:
    case ValueType::File:
        return Kind::Files;
    case ValueType::Choice:
        return choices.isEmpty() ? Kind::Nothing : Kind::Choices;
    default:
        return Kind::Nothing;
    }
}

Kind kindOf(const OptionSpec &option)
{
    if (option.valueName.isEmpty())
        return Kind::Flag;
    // The data folder.
    if (option.name == QLatin1String("home"))
        return Kind::Directories;
    return kindOf(option.type, option.choices);
}

// One line, for a description.
QString oneLine(const QString &text)
{
    return text.simplified();
}

// `text` as one word for bash and zsh: in single quotes, a single quote
// written '\''.
QString quote(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The words quoted, joined by `separator`.
QString quoteAll(const QStringList &words, const QString &separator = QStringLiteral(" "))
{
    QStringList quoted;
    for (const QString &word : words)
        quoted.append(quote(word));
    return quoted.join(separator);
}

// `text` with a backslash before each of `special` (and before backslashes).
QString escaped(const QString &text, const QString &special)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || special.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

// A word offered for completion, with what it does.
struct Word
{
    QString word;
    QString summary;
};

// What the scripts are made of: the listed commands and how the words of a
// command line are found.
struct Model
{
    QList<const Command *> commands;       // the listed ones, in table order
    QList<OptionSpec> globals;             // before the command
    QList<OptionSpec> anywhere;            // after the command too
    QList<Word> firstWords;                // groups and one-word commands
    QMap<QString, QList<Word>> subcommands; // group -> second words
    const Command *help = nullptr;         // "help WORDS": completes command names

    explicit Model(const CommandTable &table);

    const Command *command(const QString &name) const
    {
        for (const Command *candidate : commands) {
            if (candidate->name() == name)
                return candidate;
        }
        return nullptr;
    }
    bool isGroup(const QString &word) const { return subcommands.contains(word); }
};

Model::Model(const CommandTable &table)
{
    for (const Command &command : table.commands()) {
        if (!command.hidden && !command.words.isEmpty() && command.words.size() <= 2)
            commands.append(&command);
    }
    globals = CommandTable::globalOptions();
    for (const OptionSpec &option : qAsConst(globals)) {
        if (option.name != QLatin1String("version"))
            anywhere.append(option);
    }

    // The groups in the table's order, then first words no group names.
    QStringList order;
    QMap<QString, QString> groupSummary;
    for (const CommandTable::Group &group : table.groups()) {
        if (!order.contains(group.word))
            order.append(group.word);
        groupSummary.insert(group.word, group.summary);
    }
    for (const Command *command : qAsConst(commands)) {
        if (!order.contains(command->words.first()))
            order.append(command->words.first());
    }
    for (const QString &first : qAsConst(order)) {
        const Command *single = command(first);
        QList<Word> seconds;
        for (const Command *other : qAsConst(commands)) {
            if (other->words.size() == 2 && other->words.first() == first)
                seconds.append({other->words.last(), oneLine(other->summary)});
        }
        if (!single && seconds.isEmpty())
            continue;
        Word word{first, oneLine(groupSummary.value(first))};
        if (word.summary.isEmpty() && single)
            word.summary = oneLine(single->summary);
        firstWords.append(word);
        if (!seconds.isEmpty())
            subcommands.insert(first, seconds);
    }
    help = command(QStringLiteral("help"));
}

// ---------------------------------------------------------------- bash

QString bashKind(Kind kind)
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
QString bashValue(Kind kind, const QStringList &choices)
{
    QString code = QStringLiteral("kind=") + bashKind(kind);
    if (kind == Kind::Choices)
        code += QStringLiteral("; choices=(") + quoteAll(choices) + QLatin1Char(')');
    return code;
}

QString bashOptionPattern(const OptionSpec &option)
{
    QString pattern = quote(QStringLiteral("--") + option.name);
    if (!option.shortName.isEmpty())
        pattern += QLatin1Char('|') + quote(QLatin1Char('-') + option.shortName);
    return pattern;
}

// "_strategyctl_add WORD..." for `words`.
QString bashAddWords(const QList<Word> &words, const QString &indent)
{
    QStringList list;
    for (const Word &word : words)
        list.append(word.word);
    return indent + QStringLiteral("_strategyctl_add ") + quoteAll(list) + QLatin1Char('\n');
}

QString bashScript(const Model &model)
{
    QString s;
    s += QStringLiteral(
        "# bash completion for strategyctl\n"
        "# Made by 'strategyctl completion bash' from its command table. Load it with\n"
        "#   source <(strategyctl completion bash)\n"
        "# or install it as bash-completion/completions/strategyctl.\n"
        "\n"
        "# Adds the words among \"$@\" that start with $cur, quoted for the shell.\n"
        "_strategyctl_add()\n"
        "{\n"
        "    local word\n"
        "    for word in \"$@\"; do\n"
        "        if [[ $word == \"$cur\"* ]]; then\n"
        "            printf -v word '%q' \"$word\"\n"
        "            COMPREPLY+=(\"$prefix$word\")\n"
        "        fi\n"
        "    done\n"
        "}\n"
        "\n"
        "# Completes a value of the kind $1 (file, dir, choice: the choices follow;\n"
        "# text, flag: nothing).\n"
        "_strategyctl_value()\n"
        "{\n"
        "    local kind=$1 name\n"
        "    shift\n"
        "    case $kind in\n"
        "    file | dir)\n"
        "        compopt -o filenames 2>/dev/null\n"
        "        while IFS= read -r name; do\n"
        "            COMPREPLY+=(\"$prefix$name\")\n"
        "        done < <(compgen \"-${kind:0:1}\" -- \"$cur\")\n"
        "        ;;\n"
        "    choice)\n"
        "        _strategyctl_add \"$@\"\n"
        "        ;;\n"
        "    esac\n"
        "}\n"
        "\n");

    // The first words.
    s += QStringLiteral("# Adds the groups and the commands of one word.\n"
                        "_strategyctl_first()\n"
                        "{\n");
    s += bashAddWords(model.firstWords, QStringLiteral("    "));
    s += QStringLiteral("}\n\n");

    // The second words.
    s += QStringLiteral("# Adds the commands of the group $1.\n"
                        "_strategyctl_sub()\n"
                        "{\n"
                        "    case $1 in\n");
    for (auto it = model.subcommands.cbegin(); it != model.subcommands.cend(); ++it) {
        s += QStringLiteral("    ") + quote(it.key()) + QStringLiteral(")\n");
        s += bashAddWords(it.value(), QStringLiteral("        "));
        s += QStringLiteral("        ;;\n");
    }
    s += QStringLiteral("    esac\n}\n\n");

    // Command and group names.
    s += QStringLiteral("# Whether $1 names a group.\n"
                        "_strategyctl_is_group()\n"
                        "{\n"
                        "    case $1 in\n");
    if (!model.subcommands.isEmpty())
        s += QStringLiteral("    ") + quoteAll(model.subcommands.keys(), QStringLiteral(" | "))
             + QStringLiteral(") return 0 ;;\n");
    s += QStringLiteral("    esac\n    return 1\n}\n\n");
    s += QStringLiteral("# Whether $1 names a command.\n"
                        "_strategyctl_is_command()\n"
                        "{\n"
                        "    case $1 in\n");
    QStringList names;
    for (const Command *command : model.commands)
        names.append(quote(command->name()));
    if (!names.isEmpty())
        s += QStringLiteral("    ") + names.join(QStringLiteral(" | ")) + QStringLiteral(") return 0 ;;\n");
    s += QStringLiteral("    esac\n    return 1\n}\n\n");

    // Options and their values.
    s += QStringLiteral("# The options of the command $1.\n"
                        "_strategyctl_options()\n"
                        "{\n"
                        "    opts=()\n"
                        "    case $1 in\n");
    for (const Command *command : model.commands) {
        if (command->options.isEmpty())
            continue;
        QStringList options;
        for (const OptionSpec &option : command->options)
            options.append(QStringLiteral("--") + option.name);
        s += QStringLiteral("    ") + quote(command->name()) + QStringLiteral(") opts=(") + quoteAll(options)
             + QStringLiteral(") ;;\n");
    }
    s += QStringLiteral("    esac\n}\n\n");

    s += QStringLiteral("# Sets kind (flag, text, file, dir, choice) and choices for the option $2 of\n"
                        "# the command $1 (none: the options before the command).\n"
                        "_strategyctl_option()\n"
                        "{\n"
                        "    kind=flag\n"
                        "    choices=()\n"
                        "    case $1 in\n");
    for (const Command *command : model.commands) {
        if (command->options.isEmpty())
            continue;
        s += QStringLiteral("    ") + quote(command->name()) + QStringLiteral(")\n        case $2 in\n");
        for (const OptionSpec &option : command->options) {
            s += QStringLiteral("        ") + bashOptionPattern(option) + QStringLiteral(") ")
                 + bashValue(kindOf(option), option.choices) + QStringLiteral("; return ;;\n");
        }
        s += QStringLiteral("        esac\n        ;;\n");
    }
    s += QStringLiteral("    esac\n    case $2 in\n");
    for (const OptionSpec &option : model.globals) {
        s += QStringLiteral("    ") + bashOptionPattern(option) + QStringLiteral(") ")
             + bashValue(kindOf(option), option.choices) + QStringLiteral(" ;;\n");
    }
    s += QStringLiteral("    esac\n}\n\n");

    s += QStringLiteral("# Sets kind and choices for the argument $2 (from 0) of the command $1.\n"
                        "_strategyctl_argument()\n"
                        "{\n"
                        "    kind=text\n"
                        "    choices=()\n"
                        "    case $1 in\n");
    for (const Command *command : model.commands) {
        if (command->args.isEmpty() || command == model.help)
            continue;
        s += QStringLiteral("    ") + quote(command->name()) + QStringLiteral(")\n        case $2 in\n");
        for (int i = 0; i < command->args.size(); ++i) {
            const ArgSpec &arg = command->args.at(i);
            const bool rest = arg.repeated && i == command->args.size() - 1;
            s += QStringLiteral("        ") + (rest ? QStringLiteral("*") : QString::number(i)) + QStringLiteral(") ")
                 + bashValue(kindOf(arg.type, arg.choices), arg.choices) + QStringLiteral(" ;;\n");
        }
        s += QStringLiteral("        esac\n        ;;\n");
    }
    s += QStringLiteral("    esac\n}\n\n");

    QStringList allGlobals;
    for (const OptionSpec &option : model.globals)
        allGlobals.append(QStringLiteral("--") + option.name);
    QStringList anywhere;
    for (const OptionSpec &option : model.anywhere)
        anywhere.append(QStringLiteral("--") + option.name);
    if (!anywhere.contains(QStringLiteral("--help")))
        anywhere.append(QStringLiteral("--help"));

    s += QStringLiteral(
        "_strategyctl()\n"
        "{\n"
        "    local cur prefix= kind choices=() opts=() i n word first= cmd= npos=0 value= endopts= glue=\n"
        "    local -a words=() args=()\n"
        "    COMPREPLY=()\n"
        "\n"
        "    # The words up to the cursor, \"--wait=5\" as one word also where bash\n"
        "    # breaks words at \"=\".\n"
        "    for ((i = 0; i <= COMP_CWORD; i++)); do\n"
        "        word=${COMP_WORDS[i]-}\n"
        "        n=${#words[@]}\n"
        "        if [[ -n $glue ]]; then\n"
        "            words[n - 1]+=$word\n"
        "            glue=\n"
        "        elif ((n > 1)) && [[ $word == = && ${words[n - 1]} == --?* && ${words[n - 1]} != *=* ]]; then\n"
        "            words[n - 1]+==\n"
        "            glue=1\n"
        "        else\n"
        "            words+=(\"$word\")\n"
        "        fi\n"
        "    done\n"
        "    n=$((${#words[@]} - 1))\n"
        "    cur=${words[n]}\n"
        "\n"
        "    # The command and its arguments so far: the words that are neither\n"
        "    # options nor their values.\n"
        "    for ((i = 1; i < n; i++)); do\n"
        "        word=${words[i]}\n"
        "        if [[ -n $value ]]; then\n"
        "            value=\n"
        "            continue\n"
        "        fi\n"
        "        if [[ -z $endopts && $word == -?* && ! $word =~ ^-[0-9.] ]]; then\n"
        "            if [[ $word == -- ]]; then\n"
        "                [[ -n $first ]] && endopts=1\n"
        "            elif [[ $word != *=* ]]; then\n"
        "                _strategyctl_option \"$cmd\" \"$word\"\n"
        "                [[ $kind != flag ]] && value=1\n"
        "            fi\n"
        "            continue\n"
        "        fi\n"
        "        ((npos++))\n"
        "        if ((npos == 1)); then\n"
        "            first=$word\n"
        "            _strategyctl_is_command \"$word\" && cmd=$word\n"
        "        elif ((npos == 2)) && _strategyctl_is_command \"$first $word\"; then\n"
        "            cmd=\"$first $word\"\n"
        "        elif [[ -n $cmd ]]; then\n"
        "            args+=(\"$word\")\n"
        "        else\n"
        "            return 0\n"
        "        fi\n"
        "    done\n"
        "\n"
        "    # The value of an option.\n"
        "    if [[ -n $value ]]; then\n"
        "        _strategyctl_option \"$cmd\" \"${words[n - 1]}\"\n"
        "        _strategyctl_value \"$kind\" \"${choices[@]}\"\n"
        "        return 0\n"
        "    fi\n"
        "    if [[ -z $endopts && $cur == --?*=* ]]; then\n"
        "        [[ $COMP_WORDBREAKS == *=* ]] || prefix=${cur%%=*}=\n"
        "        _strategyctl_option \"$cmd\" \"${cur%%=*}\"\n"
        "        cur=${cur#*=}\n"
        "        _strategyctl_value \"$kind\" \"${choices[@]}\"\n"
        "        return 0\n"
        "    fi\n"
        "\n"
        "    # An option.\n"
        "    if [[ -z $endopts && $cur == -* ]]; then\n"
        "        if ((npos == 0)); then\n"
        "            _strategyctl_add ");
    s += quoteAll(allGlobals);
    s += QStringLiteral(
        "\n"
        "        elif [[ -n $cmd ]]; then\n"
        "            _strategyctl_options \"$cmd\"\n"
        "            _strategyctl_add \"${opts[@]}\" ");
    s += quoteAll(anywhere);
    s += QStringLiteral(
        "\n"
        "        elif ((npos == 1)) && _strategyctl_is_group \"$first\"; then\n"
        "            _strategyctl_add --help\n"
        "        fi\n"
        "        return 0\n"
        "    fi\n"
        "\n"
        "    # A command word or an argument.\n"
        "    if ((npos == 0)); then\n"
        "        _strategyctl_first\n"
        "        return 0\n"
        "    fi\n"
        "    ((npos == 1)) && _strategyctl_sub \"$first\"\n");
    if (model.help) {
        s += QStringLiteral(
            "    if [[ $cmd == help ]]; then\n"
            "        if ((${#args[@]} == 0)); then\n"
            "            _strategyctl_first\n"
            "        elif ((${#args[@]} == 1)); then\n"
            "            _strategyctl_sub \"${args[0]}\"\n"
            "        fi\n"
            "        return 0\n"
            "    fi\n");
    }
    s += QStringLiteral(
        "    if [[ -n $cmd ]]; then\n"
        "        _strategyctl_argument \"$cmd\" \"${#args[@]}\"\n"
        "        _strategyctl_value \"$kind\" \"${choices[@]}\"\n"
        "    fi\n"
        "    return 0\n"
        "}\n"
        "\n"
        "complete -F _strategyctl strategyctl\n");
    return s;
}

// ---------------------------------------------------------------- zsh

// The action of _arguments for a value of `kind`.
QString zshAction(Kind kind, const QStringList &choices)
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
QString zshCode(Kind kind, const QStringList &choices)
{
    switch (kind) {
    case Kind::Files:
    case Kind::Directories:
        return zshAction(kind, choices);
    case Kind::Choices:
        return QStringLiteral("compadd -- ") + quoteAll(choices);
    default:
        return QString();
    }
}

// A message of _arguments: colons are escaped.
QString zshMessage(const QString &text)
{
    return escaped(oneLine(text), QStringLiteral(":"));
}

// The explanation in brackets of an option's completion entry.
QString zshExplanation(const QString &text)
{
    return QLatin1Char('[') + escaped(oneLine(text), QStringLiteral("[]:")) + QLatin1Char(']');
}

// The entries of _arguments for `option`, each quoted.
QStringList zshOptionSpecs(const OptionSpec &option)
{
    QStringList names{QStringLiteral("--") + option.name};
    if (!option.shortName.isEmpty())
        names.prepend(QLatin1Char('-') + option.shortName);
    const QString exclusion =
        names.size() > 1 ? QLatin1Char('(') + names.join(QLatin1Char(' ')) + QLatin1Char(')') : QString();
    QString value;
    const Kind kind = kindOf(option);
    if (kind != Kind::Flag) {
        value = QLatin1Char(':') + zshMessage(option.valueName) + QLatin1Char(':')
                + zshAction(kind, option.choices);
    }
    QStringList entries;
    for (const QString &name : qAsConst(names)) {
        // "--name=" takes its value in the next word or after "=".
        const bool inWord = kind != Kind::Flag && name.startsWith(QLatin1String("--"));
        entries.append(quote(exclusion + name + (inWord ? QStringLiteral("=") : QString())
                           + zshExplanation(option.description) + value));
    }
    return entries;
}

// A message naming an argument and what it takes.
QString zshArgumentMessage(const ArgSpec &arg)
{
    if (arg.type == ValueType::Text || arg.type == ValueType::Path || arg.type == ValueType::File
        || arg.type == ValueType::Choice)
        return zshMessage(arg.name);
    return zshMessage(arg.name + QStringLiteral(" (") + CommandTable::typeName(arg.type) + QLatin1Char(')'));
}

// "names=(...)" for `words`, as items of _describe: "word:summary".
QString zshNames(const QList<Word> &words, const QString &indent)
{
    QString code = indent + QStringLiteral("names=(\n");
    for (const Word &word : words) {
        code += indent + QStringLiteral("    ")
                + quote(escaped(word.word, QStringLiteral(":")) + QLatin1Char(':') + word.summary) + QLatin1Char('\n');
    }
    return code + indent + QStringLiteral(")\n");
}

// The _arguments entries of a command's options and arguments, each quoted.
QStringList zshCommandSpecs(const Model &model, const Command &command)
{
    QStringList entries;
    for (const OptionSpec &option : command.options)
        entries += zshOptionSpecs(option);
    if (&command == model.help) {
        entries.append(quote(QStringLiteral("1::command:_strategyctl_first")));
        entries.append(quote(QStringLiteral("2::command:_strategyctl_help_sub")));
        return entries;
    }
    const bool group = model.isGroup(command.words.first()) && command.words.size() == 1;
    for (int i = 0; i < command.args.size(); ++i) {
        const ArgSpec &arg = command.args.at(i);
        const Kind kind = kindOf(arg.type, arg.choices);
        const bool rest = arg.repeated && i == command.args.size() - 1;
        QString entry = rest ? QStringLiteral("*") : QString::number(i + 1);
        entry += arg.optional && !rest ? QStringLiteral("::") : QStringLiteral(":");
        entry += zshArgumentMessage(arg) + QLatin1Char(':');
        if (i == 0 && group) {
            // The group's commands, or the first argument.
            QString code = QStringLiteral("_strategyctl_sub ") + quote(command.words.first());
            const QString own = zshCode(kind, arg.choices);
            if (!own.isEmpty())
                code += QStringLiteral("; ") + own;
            entry += QLatin1Char('{') + code + QLatin1Char('}');
        } else {
            entry += zshAction(kind, arg.choices);
        }
        entries.append(quote(entry));
    }
    if (group && command.args.isEmpty())
        entries.append(quote(QStringLiteral("1:command:_strategyctl_sub ") + quote(command.words.first())));
    return entries;
}

// A branch of a zsh `case`: `pattern` runs `body`.
QString zshCase(const QString &pattern, const QString &body, const QString &indent)
{
    return indent + QLatin1Char('(') + pattern + QStringLiteral(")\n") + body + indent + QStringLiteral("    ;;\n");
}

QString zshSpecList(const QStringList &entries, const QString &indent)
{
    QString code;
    for (const QString &entry : entries)
        code += indent + entry + QLatin1Char('\n');
    return code;
}

QString zshScript(const Model &model)
{
    QString s;
    s += QStringLiteral(
        "#compdef strategyctl\n"
        "# zsh completion for strategyctl\n"
        "# Made by 'strategyctl completion zsh' from its command table. Install it as\n"
        "# _strategyctl in a folder of $fpath, or load it after compinit with\n"
        "#   source <(strategyctl completion zsh)\n"
        "\n"
        "# Offers the groups and the commands of one word.\n"
        "_strategyctl_first()\n"
        "{\n"
        "    local -a names\n");
    s += zshNames(model.firstWords, QStringLiteral("    "));
    s += QStringLiteral("    _describe -t commands command names\n"
                        "}\n"
                        "\n"
                        "# Offers the commands of the group named by the last argument (the ones\n"
                        "# before it are options for compadd from _arguments).\n"
                        "_strategyctl_sub()\n"
                        "{\n"
                        "    local -a names\n"
                        "    case ${argv[-1]} in\n");
    for (auto it = model.subcommands.cbegin(); it != model.subcommands.cend(); ++it)
        s += zshCase(quote(it.key()), zshNames(it.value(), QStringLiteral("        ")),
                     QStringLiteral("    "));
    s += QStringLiteral("    (*)\n"
                        "        return 1\n"
                        "        ;;\n"
                        "    esac\n"
                        "    _describe -t commands command names\n"
                        "}\n"
                        "\n");
    if (model.help) {
        s += QStringLiteral("# The second word of \"help WORDS\": a command of the group before it.\n"
                            "_strategyctl_help_sub()\n"
                            "{\n"
                            "    _strategyctl_sub \"$line[1]\"\n"
                            "}\n"
                            "\n");
    }

    s += QStringLiteral("# Whether $1 names a command.\n"
                        "_strategyctl_is_command()\n"
                        "{\n"
                        "    case $1 in\n");
    QStringList names;
    for (const Command *command : model.commands)
        names.append(quote(command->name()));
    if (!names.isEmpty())
        s += QStringLiteral("    (") + names.join(QLatin1Char('|')) + QStringLiteral(") return 0 ;;\n");
    s += QStringLiteral("    esac\n"
                        "    return 1\n"
                        "}\n"
                        "\n");

    s += QStringLiteral("# Whether the option $2 of the command $1 (none: before the command) takes\n"
                        "# a value.\n"
                        "_strategyctl_takes_value()\n"
                        "{\n"
                        "    case $1 in\n");
    auto optionCase = [](const QList<OptionSpec> &options, const QString &indent) -> QString {
        QStringList withValue;
        QStringList flags;
        for (const OptionSpec &option : options) {
            QStringList &list = option.valueName.isEmpty() ? flags : withValue;
            list.append(quote(QStringLiteral("--") + option.name));
            if (!option.shortName.isEmpty())
                list.append(quote(QLatin1Char('-') + option.shortName));
        }
        QString code = indent + QStringLiteral("case $2 in\n");
        if (!withValue.isEmpty())
            code += indent + QLatin1Char('(') + withValue.join(QLatin1Char('|')) + QStringLiteral(") return 0 ;;\n");
        if (!flags.isEmpty())
            code += indent + QLatin1Char('(') + flags.join(QLatin1Char('|')) + QStringLiteral(") return 1 ;;\n");
        return code + indent + QStringLiteral("esac\n");
    };
    for (const Command *command : model.commands) {
        if (!command->options.isEmpty())
            s += zshCase(quote(command->name()), optionCase(command->options, QStringLiteral("        ")),
                         QStringLiteral("    "));
    }
    s += QStringLiteral("    esac\n");
    s += optionCase(model.globals, QStringLiteral("    "));
    s += QStringLiteral("    return 1\n"
                        "}\n"
                        "\n");

    s += QStringLiteral("_strategyctl()\n"
                        "{\n"
                        "    local -a globals anywhere entries\n"
                        "    local i word first= cmd= npos=0 value=0 start=1\n"
                        "\n"
                        "    # The options before the command.\n"
                        "    globals=(\n");
    for (const OptionSpec &option : model.globals)
        s += zshSpecList(zshOptionSpecs(option), QStringLiteral("        "));
    s += QStringLiteral("    )\n"
                        "    # Those accepted after the command too.\n"
                        "    anywhere=(\n");
    bool anywhereHelp = false;
    for (const OptionSpec &option : model.anywhere) {
        if (option.name == QLatin1String("help")) {
            anywhereHelp = true;
            OptionSpec help = option;
            help.description = QStringLiteral("The help of the command.");
            s += zshSpecList(zshOptionSpecs(help), QStringLiteral("        "));
        } else {
            s += zshSpecList(zshOptionSpecs(option), QStringLiteral("        "));
        }
    }
    if (!anywhereHelp) {
        s += zshSpecList(zshOptionSpecs({QStringLiteral("help"), QString(), ValueType::Text,
                                         QStringLiteral("The help of the command."), {}, QString()}),
                         QStringLiteral("        "));
    }
    s += QStringLiteral(
        "    )\n"
        "\n"
        "    # The command: the words before the cursor that are neither options nor\n"
        "    # their values.\n"
        "    for (( i = 2; i < CURRENT; i++ )); do\n"
        "        word=$words[i]\n"
        "        if (( value )); then\n"
        "            value=0\n"
        "            continue\n"
        "        fi\n"
        "        if [[ $word == -?* && $word != -[0-9.]* ]]; then\n"
        "            [[ $word == -- && -n $first ]] && break\n"
        "            [[ $word != *=* ]] && _strategyctl_takes_value \"$cmd\" \"$word\" && value=1\n"
        "            continue\n"
        "        fi\n"
        "        (( npos++ ))\n"
        "        if (( npos == 1 )); then\n"
        "            first=$word\n"
        "            start=$i\n"
        "            _strategyctl_is_command \"$word\" && cmd=$word\n"
        "        elif (( npos == 2 )) && _strategyctl_is_command \"$first $word\"; then\n"
        "            cmd=\"$first $word\"\n"
        "            start=$i\n"
        "        else\n"
        "            break\n"
        "        fi\n"
        "    done\n"
        "\n"
        "    if (( npos == 0 )); then\n"
        "        _arguments -s -S : $globals '1:command:_strategyctl_first'\n"
        "        return\n"
        "    fi\n"
        "    # From here on the command's own words, as if it were a program.\n"
        "    words=(\"strategyctl ${cmd:-$first}\" \"${(@)words[start+1,-1]}\")\n"
        "    (( CURRENT -= start - 1 ))\n"
        "    if [[ -z $cmd ]]; then\n"
        "        (( npos == 1 )) || return 1\n"
        "        case $first in\n");
    QStringList groupOnly;
    for (auto it = model.subcommands.cbegin(); it != model.subcommands.cend(); ++it) {
        if (!model.command(it.key()))
            groupOnly.append(quote(it.key()));
    }
    if (!groupOnly.isEmpty()) {
        s += QStringLiteral("        (") + groupOnly.join(QLatin1Char('|')) + QStringLiteral(")\n"
                            "            _arguments -S : '(-h --help)'{-h,--help}'[The commands of the group.]' \\\n"
                            "                \"1:command:_strategyctl_sub ${(q)first}\"\n"
                            "            ;;\n");
    }
    s += QStringLiteral("        (*)\n"
                        "            return 1\n"
                        "            ;;\n"
                        "        esac\n"
                        "        return\n"
                        "    fi\n"
                        "    entries=($anywhere)\n"
                        "    case $cmd in\n");
    for (const Command *command : model.commands) {
        const QStringList entries = zshCommandSpecs(model, *command);
        if (entries.isEmpty())
            continue;
        s += zshCase(quote(command->name()),
                     QStringLiteral("        entries+=(\n") + zshSpecList(entries, QStringLiteral("            "))
                         + QStringLiteral("        )\n"),
                     QStringLiteral("    "));
    }
    s += QStringLiteral(
        "    esac\n"
        "    _arguments -S : $entries\n"
        "}\n"
        "\n"
        "# Autoloaded from $fpath the file is the body of _strategyctl: complete now.\n"
        "# Sourced: register the function, once compinit has run.\n"
        "if [[ ${funcstack[1]-} == _strategyctl ]]; then\n"
        "    _strategyctl \"$@\"\n"
        "elif (( ${+functions[compdef]} )); then\n"
        "    compdef _strategyctl strategyctl\n"
        "fi\n");
    return s;
}
} // namespace

QString completionScript(const CommandTable &table, const QString &shell)
{
    if (shell == QLatin1String("bash"))
        return bashScript(Model(table));
    if (shell == QLatin1String("zsh"))
        return zshScript(Model(table));
    return QString();
}
