#include "manualpage.h"

#include "commandhelp.h"
#include "commandparser.h"
#include "commandtable.h"
#include "doctemplate.h"
#include "roff.h"

#include <QDateTime>

namespace {
using Command = CommandTable::Command;

QString line(const QString &escaped)
{
    return Roff::line(escaped);
}

QString escape(const QString &text)
{
    return Roff::escape(text);
}

// "-v, --verbose" in bold, and the value's name in italics.
QString optionTag(const OptionSpec &option)
{
    QString tag = Roff::bold(QStringLiteral("--") + option.name);
    if (!option.shortName.isEmpty())
        tag = Roff::bold(QLatin1Char('-') + option.shortName) + QStringLiteral(", ") + tag;
    if (!option.valueName.isEmpty())
        tag += QLatin1Char(' ') + Roff::italic(option.valueName);
    return tag;
}

QString optionText(const OptionSpec &option)
{
    QString text = option.description.simplified();
    if (option.type == ValueType::Choice && !option.choices.isEmpty() && !option.valueName.isEmpty()) {
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('.')))
            text += QLatin1Char('.');
        text += QStringLiteral(" %1 is one of %2.").arg(option.valueName, option.choices.join(QStringLiteral(", ")));
    }
    return text.trimmed();
}

// ".TP" paragraphs of the options.
QString optionList(const QList<OptionSpec> &options)
{
    QString page;
    for (const OptionSpec &option : options) {
        page += QStringLiteral(".TP\n") + line(optionTag(option));
        const QString text = optionText(option);
        if (!text.isEmpty())
            page += line(escape(text));
    }
    return page;
}

// What the arguments of `command` take, as sentences: "MODE is one of 0, 1."
QStringList argumentSentences(const Command &command)
{
    QStringList sentences;
    for (const ArgSpec &arg : command.args) {
        if (arg.type == ValueType::Choice)
            sentences.append(QStringLiteral("%1 is one of %2.").arg(arg.name, arg.choices.join(QStringLiteral(", "))));
        else if (arg.type != ValueType::Text && arg.type != ValueType::Path && arg.type != ValueType::File)
            sentences.append(QStringLiteral("%1 is %2.").arg(arg.name, CommandParser::typeName(arg.type)));
    }
    return sentences;
}

QString commandEntry(const Command &command)
{
    QString page = QStringLiteral(".TP\n") + line(Roff::bold(command.synopsis()));
    page += line(escape(command.summary.simplified()));
    // The details: a line of its own for each line, a blank line between
    // paragraphs.
    bool paragraph = true;
    for (const QString &text : command.details.split(QLatin1Char('\n'))) {
        if (text.trimmed().isEmpty()) {
            paragraph = true;
            continue;
        }
        page += paragraph ? QStringLiteral(".sp\n") : QStringLiteral(".br\n");
        page += line(escape(text.simplified()));
        paragraph = false;
    }
    if (command.scope == Scope::ShellOnly) {
        page += QStringLiteral(".sp\n")
                + line(QStringLiteral("Only inside ") + Roff::bold(QStringLiteral("strategyctl shell"))
                       + QStringLiteral(": ") + escape(command.shellHint.simplified()));
    }
    const QStringList sentences = argumentSentences(command);
    if (!sentences.isEmpty())
        page += QStringLiteral(".sp\n") + line(escape(sentences.join(QLatin1Char(' '))));
    if (!command.options.isEmpty())
        page += QStringLiteral(".RS\n") + optionList(command.options) + QStringLiteral(".RE\n");
    return page;
}

// A subsection per group, in the table's order, then the other commands.
QString commandSections(const CommandTable &table)
{
    QString page;
    QList<const Command *> left;
    for (const Command &command : table.commands()) {
        if (!command.hidden)
            left.append(&command);
    }
    auto section = [&page](const QString &title, const QList<const Command *> &commands) {
        if (commands.isEmpty())
            return;
        page += QStringLiteral(".SS ") + Roff::argument(title) + QLatin1Char('\n');
        for (const Command *command : commands)
            page += commandEntry(*command);
    };
    for (const CommandTable::Group &group : table.groups()) {
        QList<const Command *> commands;
        for (const Command *command : qAsConst(left)) {
            if (command->words.first() == group.word)
                commands.append(command);
        }
        for (const Command *command : qAsConst(commands))
            left.removeOne(command);
        QString title = group.summary.simplified();
        if (title.endsWith(QLatin1Char('.')))
            title.chop(1);
        section(title.isEmpty() ? group.word : title, commands);
    }
    section(QStringLiteral("Other commands"), left);
    return page;
}

// The exit statuses of the help: "0  done." lines, continued by indented lines.
QString exitStatuses()
{
    QList<QPair<QString, QString>> entries;
    for (const QString &text : CommandHelp::exitStatus().split(QLatin1Char('\n'))) {
        if (text.trimmed().isEmpty())
            continue;
        if (text.at(0).isSpace() && !entries.isEmpty()) {
            entries.last().second += QLatin1Char(' ') + text.trimmed();
            continue;
        }
        const QString trimmed = text.trimmed();
        int gap = trimmed.indexOf(QLatin1String("  "));
        if (gap < 0)
            gap = trimmed.indexOf(QLatin1Char(' '));
        if (gap < 0)
            entries.append({trimmed, QString()});
        else
            entries.append({trimmed.left(gap), trimmed.mid(gap).trimmed()});
    }
    QString page;
    for (const auto &entry : qAsConst(entries))
        page += QStringLiteral(".TP\n") + line(Roff::bold(entry.first)) + line(escape(entry.second));
    return page;
}

// The ways to call strategyctl, with the options before the command.
QString synopsis()
{
    QString options;
    for (const OptionSpec &option : CommandTable::globalOptions()) {
        if (option.name == QLatin1String("version") || option.name == QLatin1String("help"))
            continue;
        options += QStringLiteral(" [") + Roff::bold(QStringLiteral("--") + option.name)
                   + (option.valueName.isEmpty() ? QString() : QLatin1Char(' ') + Roff::italic(option.valueName))
                   + QLatin1Char(']');
    }
    const QString program = Roff::bold(QStringLiteral("strategyctl"));
    return line(program + options + QLatin1Char(' ') + Roff::italic(QStringLiteral("COMMAND")) + QStringLiteral(" [")
                + Roff::italic(QStringLiteral("ARGUMENTS")) + QStringLiteral("] [")
                + Roff::italic(QStringLiteral("OPTIONS")) + QLatin1Char(']'))
           + QStringLiteral(".br\n") + line(program + options + QLatin1Char(' ') + Roff::bold(QStringLiteral("shell")))
           + QStringLiteral(".br\n")
           + line(Roff::bold(QStringLiteral("strategyctl help")) + QStringLiteral(" [")
                  + Roff::italic(QStringLiteral("GROUP")) + QStringLiteral(" [") + Roff::italic(QStringLiteral("COMMAND"))
                  + QStringLiteral("]]"))
           + QStringLiteral(".br\n")
           + line(program + QLatin1Char(' ') + Roff::bold(QStringLiteral("--version")) + QStringLiteral(" | ")
                  + Roff::bold(QStringLiteral("--help")));
}

// The date of the page: that of SOURCE_DATE_EPOCH for a reproducible
// build, else today.
QString pageDate()
{
    bool ok = false;
    const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&ok);
    const QDateTime when = ok ? QDateTime::fromSecsSinceEpoch(epoch, Qt::UTC) : QDateTime::currentDateTimeUtc();
    return when.date().toString(Qt::ISODate);
}
} // namespace

QString ManualPage::page(const CommandTable &table, const QString &version)
{
    return DocTemplate(QStringLiteral(":/docgen/strategyctl.1.in"))
        .fill({
            {QStringLiteral("DATE"), Roff::argument(pageDate())},
            {QStringLiteral("SOURCE"), Roff::argument(QStringLiteral("StrategyLogic ") + version)},
            {QStringLiteral("SYNOPSIS"), synopsis()},
            {QStringLiteral("OPTIONS"), optionList(CommandTable::globalOptions())},
            {QStringLiteral("COMMANDS"), commandSections(table)},
            {QStringLiteral("EXIT_STATUSES"), exitStatuses()},
        });
}
