#include "completionmodel.h"

CompletionModel::CompletionModel(const CommandTable &table)
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

const CompletionModel::Command *CompletionModel::command(const QString &name) const
{
    for (const Command *candidate : commands) {
        if (candidate->name() == name)
            return candidate;
    }
    return nullptr;
}

CompletionModel::Kind CompletionModel::kindOf(ValueType type, const QStringList &choices)
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

CompletionModel::Kind CompletionModel::kindOf(const OptionSpec &option)
{
    if (option.valueName.isEmpty())
        return Kind::Flag;
    // The data folder.
    if (option.name == QLatin1String("home"))
        return Kind::Directories;
    return kindOf(option.type, option.choices);
}

QString CompletionModel::oneLine(const QString &text)
{
    return text.simplified();
}

QString CompletionModel::quote(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString CompletionModel::quoteAll(const QStringList &words, const QString &separator)
{
    QStringList quoted;
    for (const QString &word : words)
        quoted.append(quote(word));
    return quoted.join(separator);
}

QString CompletionModel::escaped(const QString &text, const QString &special)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || special.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}
