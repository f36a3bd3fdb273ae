// The manual page strategyctl.1, made from the command table so that it
// lists every command and option the program has.

#include "commandtable.h"

#include <QDateTime>
#include <QVector>

namespace {
using Command = CommandTable::Command;

// How a text is set: prose, or words meant to be typed as they are
// (commands, options, paths), where every hyphen is a minus sign and quotes
// stay straight.
enum class Style { Prose, Literal };

bool isWordChar(uint c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c > 0x7f;
}

bool isDigit(uint c)
{
    return c >= '0' && c <= '9';
}

// Whether the hyphen at `i` is a minus sign: in an option ("--wait", "-h"),
// a negative number or between digits (a date). Others are hyphens of words.
bool isMinus(const QVector<uint> &codes, int i)
{
    int first = i;
    while (first > 0 && codes.at(first - 1) == '-')
        --first;
    int last = i;
    while (last + 1 < codes.size() && codes.at(last + 1) == '-')
        ++last;
    const uint before = first > 0 ? codes.at(first - 1) : ' ';
    const uint after = last + 1 < codes.size() ? codes.at(last + 1) : ' ';
    if (!isWordChar(before) && isWordChar(after))
        return true;
    return isDigit(before) && isDigit(after);
}

// `text` for roff: backslashes as \e, characters beyond ASCII as \[uXXXX]
// (so that the page is read the same whatever encoding the formatter
// assumes), minus signs as \-, control characters as spaces, a break point
// after the slashes of paths. Dots and quotes at the start of a line are
// left to line().
QString escape(const QString &text, Style style = Style::Prose)
{
    QString out;
    const QVector<uint> codes = text.toUcs4();
    for (int i = 0; i < codes.size(); ++i) {
        const uint c = codes.at(i);
        if (c == '\\') {
            out += QLatin1String("\\e");
        } else if (c == '-') {
            out += style == Style::Literal || isMinus(codes, i) ? QLatin1String("\\-") : QLatin1String("-");
        } else if (c == '\'' && style == Style::Literal) {
            out += QLatin1String("\\(aq");
        } else if (c == '`' && style == Style::Literal) {
            out += QLatin1String("\\(ga");
        } else if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0)) {
            out += QLatin1Char(' ');
        } else if (c == '/' && i > 0 && i + 1 < codes.size() && isWordChar(codes.at(i + 1))) {
            // A place to break a long path.
            out += QLatin1String("/\\:");
        } else if (c < 0x80) {
            out += QLatin1Char(char(c));
        } else {
            out += QLatin1String("\\[u") + QString::number(c, 16).toUpper().rightJustified(4, QLatin1Char('0'))
                   + QLatin1Char(']');
        }
    }
    return out;
}

// One text line of roff, from escaped text: a leading dot or quote would
// make it a request, leading spaces a break. No text gives no line (a
// blank line would add vertical space).
QString line(const QString &escaped)
{
    QString text = escaped.trimmed();
    if (text.isEmpty())
        return QString();
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QLatin1String("\\&"));
    return text + QLatin1Char('\n');
}

// A macro argument: in double quotes, a double quote inside as \(dq.
QString argument(const QString &text, Style style = Style::Prose)
{
    QString escaped = escape(text.simplified(), style);
    escaped.replace(QLatin1Char('"'), QLatin1String("\\(dq"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString bold(const QString &text)
{
    return QLatin1String("\\fB") + escape(text, Style::Literal) + QLatin1String("\\fR");
}

QString italic(const QString &text)
{
    return QLatin1String("\\fI") + escape(text, Style::Literal) + QLatin1String("\\fR");
}

// "-v, --verbose" in bold, and the value's name in italics.
QString optionTag(const OptionSpec &option)
{
    QString tag = bold(QStringLiteral("--") + option.name);
    if (!option.shortName.isEmpty())
        tag = bold(QLatin1Char('-') + option.shortName) + QStringLiteral(", ") + tag;
    if (!option.valueName.isEmpty())
        tag += QLatin1Char(' ') + italic(option.valueName);
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
            sentences.append(QStringLiteral("%1 is %2.").arg(arg.name, CommandTable::typeName(arg.type)));
    }
    return sentences;
}

QString commandEntry(const Command &command)
{
    QString page = QStringLiteral(".TP\n") + line(bold(command.synopsis()));
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
                + line(QStringLiteral("Only inside ") + bold(QStringLiteral("strategyctl shell")) + QStringLiteral(": ")
                       + escape(command.shellHint.simplified()));
    }
    const QStringList sentences = argumentSentences(command);
    if (!sentences.isEmpty())
        page += QStringLiteral(".sp\n") + line(escape(sentences.join(QLatin1Char(' '))));
    if (!command.options.isEmpty())
        page += QStringLiteral(".RS\n") + optionList(command.options) + QStringLiteral(".RE\n");
    return page;
}

QString commandSection(const CommandTable &table)
{
    QString page = QStringLiteral(".SH COMMANDS\n");
    page += line(escape(QStringLiteral(
        "A command is named by one or two words; the second word of a two-word command names it within its "
        "group. Every command takes --help for its own help. --home, --json, --verbose and --wait are also "
        "accepted after the command words.")));
    QList<const Command *> left;
    for (const Command &command : table.commands()) {
        if (!command.hidden)
            left.append(&command);
    }
    auto section = [&page](const QString &title, const QList<const Command *> &commands) {
        if (commands.isEmpty())
            return;
        page += QStringLiteral(".SS ") + argument(title) + QLatin1Char('\n');
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

// The exit statuses: "0  done." lines, continued by indented lines.
QString exitStatusSection()
{
    QList<QPair<QString, QString>> entries;
    for (const QString &text : CommandTable::exitStatusHelp().split(QLatin1Char('\n'))) {
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
    QString page = QStringLiteral(".SH \"EXIT STATUS\"\n");
    for (const auto &entry : qAsConst(entries))
        page += QStringLiteral(".TP\n") + line(bold(entry.first)) + line(escape(entry.second));
    return page;
}

QString taggedList(const QList<QPair<QString, QString>> &entries)
{
    QString page;
    for (const auto &entry : entries)
        page += QStringLiteral(".TP\n") + line(bold(entry.first)) + line(escape(entry.second));
    return page;
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

QString manualPage(const CommandTable &table, const QString &version)
{
    const QList<OptionSpec> globals = CommandTable::globalOptions();
    QString page;
    page += QStringLiteral(".\\\" Manual page of strategyctl, made by 'strategyctl manpage' from its command table.\n");
    page += QStringLiteral(".TH STRATEGYCTL 1 ") + argument(pageDate()) + QLatin1Char(' ')
            + argument(QStringLiteral("StrategyLogic ") + version) + QStringLiteral(" \"User Commands\"\n");

    page += QStringLiteral(".SH NAME\n");
    page += QStringLiteral("strategyctl \\- run the strategy plug-in from the command line\n");

    page += QStringLiteral(".SH SYNOPSIS\n");
    QString options;
    for (const OptionSpec &option : globals) {
        if (option.name == QLatin1String("version") || option.name == QLatin1String("help"))
            continue;
        options += QStringLiteral(" [") + bold(QStringLiteral("--") + option.name)
                   + (option.valueName.isEmpty() ? QString() : QLatin1Char(' ') + italic(option.valueName))
                   + QLatin1Char(']');
    }
    page += line(bold(QStringLiteral("strategyctl")) + options + QLatin1Char(' ') + italic(QStringLiteral("COMMAND"))
                 + QStringLiteral(" [") + italic(QStringLiteral("ARGUMENTS")) + QStringLiteral("] [")
                 + italic(QStringLiteral("OPTIONS")) + QLatin1Char(']'));
    page += QStringLiteral(".br\n");
    page += line(bold(QStringLiteral("strategyctl")) + options + QLatin1Char(' ') + bold(QStringLiteral("shell")));
    page += QStringLiteral(".br\n");
    page += line(bold(QStringLiteral("strategyctl help")) + QStringLiteral(" [") + italic(QStringLiteral("GROUP"))
                 + QStringLiteral(" [") + italic(QStringLiteral("COMMAND")) + QStringLiteral("]]"));
    page += QStringLiteral(".br\n");
    page += line(bold(QStringLiteral("strategyctl")) + QLatin1Char(' ') + bold(QStringLiteral("--version"))
                 + QStringLiteral(" | ") + bold(QStringLiteral("--help")));

    page += QStringLiteral(".SH DESCRIPTION\n");
    const QStringList description{
        QStringLiteral("strategyctl runs the strategy plug-in the way the trading client does: it starts the plug-in "
                       "in the data folder, runs one command and shuts the plug-in down, writing everything that is "
                       "pending. Two calls are two runs of the client."),
        QStringLiteral("'strategyctl shell' keeps one process alive and reads commands of the same syntax from "
                       "standard input, one per line, with the event loop running between them: timers fire, queued "
                       "signals arrive, and every signal of the plug-in is printed as it comes."),
        QStringLiteral("One process at a time holds a data folder (the client does too, while its plug-in is "
                       "initialised). A call that finds the folder held by another process waits for it up to --wait "
                       "seconds, so that concurrent calls run one after another; when the wait runs out it ends with "
                       "status 3, having changed nothing."),
        QStringLiteral("The whole command line is checked before anything is started: a usage error leaves every "
                       "file as it was. Output is an aligned table or record; --json gives one JSON document, errors "
                       "included. 'strategyctl COMMAND --help' explains a command, 'strategyctl help GROUP' lists "
                       "the commands of a group."),
        QStringLiteral("SIGINT, SIGTERM and SIGHUP end strategyctl the normal way: the command at hand finishes and "
                       "everything pending is written before the data folder is let go. A second signal ends the "
                       "process at once."),
    };
    for (int i = 0; i < description.size(); ++i)
        page += (i == 0 ? QString() : QStringLiteral(".PP\n")) + line(escape(description.at(i)));

    page += QStringLiteral(".SH OPTIONS\n") + optionList(globals);
    page += commandSection(table);
    page += exitStatusSection();

    page += QStringLiteral(".SH ENVIRONMENT\n");
    page += taggedList({
        {QStringLiteral("STRATEGYLOGIC_HOME"), QStringLiteral("The data folder when --home is not given.")},
        {QStringLiteral("XDG_DATA_HOME"),
         QStringLiteral("Without --home and STRATEGYLOGIC_HOME the data folder is $XDG_DATA_HOME/StrategyLogic, or "
                        "~/.local/share/StrategyLogic when XDG_DATA_HOME is unset or not an absolute path.")},
        {QStringLiteral("STRATEGYLOGIC_ID_DIR"),
         QStringLiteral("The folder of the id sequences, shared by every process of the user; by default ids in "
                        "the data folder (<home>/ids).")},
        {QStringLiteral("QT_LOGGING_RULES"),
         QStringLiteral("Filters the plug-in's diagnostics (logging category strategylogic), which --verbose shows; "
                        "its rules win over --verbose. QT_LOGGING_RULES=\"strategylogic.debug=true\" shows the "
                        "plug-in's traces.")},
    });

    page += QStringLiteral(".SH FILES\n");
    page += line(escape(QStringLiteral("In the data folder:")));
    page += taggedList({
        {QStringLiteral("sarvek.db"), QStringLiteral("The local database (SQLite 3): locked strategy files, "
                                                     "instances, backtest day cash, fixed strategies of older "
                                                     "versions.")},
        {QStringLiteral("sarvek.lock"), QStringLiteral("Who holds the data folder.")},
        {QStringLiteral("sarvek.pending.json"), QStringLiteral("Instance and day-cash rows waiting for the database, "
                                                               "only while some wait.")},
        {QStringLiteral("work/<user>/SarvekFixStrategy.dat"), QStringLiteral("The fixed strategies of one user.")},
        {QStringLiteral("work/<user>/SarvekFixedStrategyGroups.txt"),
         QStringLiteral("The strategy groups of one user.")},
        {QStringLiteral("ZqProEngineConfig.ini"), QStringLiteral("The Python installation path.")},
        {QStringLiteral("ZqUserSettings.ini"), QStringLiteral("The client's user settings: the remembered product "
                                                              "and fund account, the auto-start switch.")},
        {QStringLiteral("StrategyHostProfile.json"), QStringLiteral("The login user, fund accounts, security types "
                                                                    "and display texts.")},
        {QStringLiteral("Sarvek_SimuTrade.db"), QStringLiteral("The simulated-trading engine's database, read "
                                                               "only.")},
        {QStringLiteral("ids/"), QStringLiteral("The id sequences, unless STRATEGYLOGIC_ID_DIR names another "
                                                "folder.")},
    });

    page += QStringLiteral(".SH EXAMPLES\n");
    const QList<QPair<QString, QString>> examples{
        {QStringLiteral("Registers the file as three fixed strategies, abc, abc_1 and abc_2:"),
         QStringLiteral("strategyctl strategy add D:/s/abc.py abc --count 3")},
        {QStringLiteral("Shows instance 1024 as a JSON document:"),
         QStringLiteral("strategyctl --json instance show 1024")},
        {QStringLiteral("Registers instance 7 in simulated mode and lets the event loop run for 3.5 seconds, long "
                        "enough for the timed write of instance rows, in one process:"),
         QStringLiteral("printf 'instance add 7 1\\nwait 3500\\n' | strategyctl shell")},
        {QStringLiteral("Shows a table of sarvek.db as it is on disk:"),
         QStringLiteral("strategyctl db instance_info")},
        {QStringLiteral("Loads the completion of commands into bash (from ~/.bashrc, for example):"),
         QStringLiteral("source <(strategyctl completion bash)")},
    };
    for (int i = 0; i < examples.size(); ++i) {
        page += (i == 0 ? QString() : QStringLiteral(".PP\n")) + line(escape(examples.at(i).first));
        page += QStringLiteral(".PP\n.RS 4\n.nf\n") + line(bold(examples.at(i).second))
                + QStringLiteral(".fi\n.RE\n");
    }

    page += QStringLiteral(".SH \"SEE ALSO\"\n");
    page += QStringLiteral(".BR sqlite3 (1)\n");
    return page;
}
