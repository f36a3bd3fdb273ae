#ifndef COMMANDTABLE_H
#define COMMANDTABLE_H

#include "commandcontext.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class StrategyFileLogicHandler;

// The kinds of value an argument or an option takes. They are checked
// before the plug-in starts, so that a usage error changes nothing; the
// completion scripts and the manual page are made from them too.
enum class ValueType {
    Text,    // any text
    Path,    // a strategy file's path (completed as a file name)
    File,    // a file of this machine that strategyctl reads or writes
    Int,     // a whole number, negative ones included
    Count,   // a whole number, 1 or more
    Millis,  // milliseconds, 0 or more
    Seconds, // seconds, 0 or more
    Number,  // a decimal number, negative ones included
    Date,    // yyyy-MM-dd
    Time,    // ISO 8601 local time, 2026-12-03T09:30:00
    Choice,  // one of `choices`
};

struct ArgSpec
{
    QString name;             // as shown: ID, PATH, ...
    ValueType type = ValueType::Text;
    QStringList choices;      // for ValueType::Choice
    bool optional = false;
    bool repeated = false;    // the last argument may be given any number of times
};

struct OptionSpec
{
    QString name;             // long name without the dashes: "count"
    QString valueName;        // empty: a flag without a value
    ValueType type = ValueType::Text;
    QString description;
    QStringList choices;      // for ValueType::Choice
    QString shortName;        // one letter, or empty
};

// How a command may be run.
enum class Scope {
    Anywhere,      // one-shot and in the shell
    ShellOnly,     // its effect would end with a one-shot run: refused there with a hint
    WithoutPlugin, // answers without starting the plug-in (help, version, completion)
    DataFolder,    // works on the data folder's files without starting the plug-in
                   // (CommandContext::dataFolder(); the folder is not created, not taken)
};

// What a command needs of sarvek.db. A one-shot command that reads or
// writes it waits up to --wait seconds while another program holds the
// database, and ends with status 3 when it stays busy, having done nothing.
enum class DbAccess { None, Reads, Writes };

// The arguments of one command line, checked against its command.
struct ParsedCommand
{
    QStringList args;                 // positional, in order
    QMap<QString, QString> options;   // long name -> value ("" for a flag)
    bool help = false;                // --help / -h was given
    // Global options written after the command words (--json, --verbose,
    // --home, --wait are accepted anywhere on the line).
    QMap<QString, QString> globals;
};

// The commands of strategyctl: one small handler each, registered by the
// subsystem files (commands_*.cpp). A command is named by one or two words
// ("status", "strategy add"); the longest registered name wins. The first
// word of a two-word command names its group ("strategy"). Thread: main.
class CommandTable
{
public:
    using Handler = std::function<int(CommandContext &)>;

    struct Command
    {
        QStringList words;
        QList<ArgSpec> args;
        QList<OptionSpec> options;
        QString summary;         // one line, ending with a full stop
        QString details;         // more lines for --help, or empty
        Handler run;
        Scope scope = Scope::Anywhere;
        QString shellHint;       // for Scope::ShellOnly: why and what to do instead
        DbAccess db = DbAccess::None;
        bool hidden = false;     // not listed (the manual page generator)
        // A check of the parsed words beyond their types (which options go
        // together): an error text for a usage error, or empty.
        std::function<QString(const ParsedCommand &)> check;

        QString name() const { return words.join(QLatin1Char(' ')); }
        // "PATH NAME [--group G] [--extra TEXT] [--count N]"
        QString synopsis() const;
        // "PATH NAME"
        QString argumentSynopsis() const;
    };

    struct Group
    {
        QString word;
        QString summary;
    };

    CommandTable();

    // Registers a command; returns it so that its fields can be refined.
    Command &add(const QString &name, const QString &arguments, const QString &summary, Handler run,
                 const QList<OptionSpec> &options = {});

    const QList<Command> &commands() const { return m_commands; }
    const QList<Group> &groups() const { return m_groups; }
    // --home, --json, --verbose, --wait, --version, --help.
    static QList<OptionSpec> globalOptions();

    // The command named at the start of `words`, or null.
    const Command *find(const QStringList &words) const;
    // Whether `word` names a group (the first word of some command).
    bool isGroup(const QString &word) const;
    // The commands whose names are nearest to `words`, best first (for
    // "did you mean").
    QStringList suggestions(const QStringList &words) const;

    // Checks the words after the command's name: options, the number of
    // arguments, their types. False after setting `error` (a usage error).
    bool parse(const Command &command, const QStringList &words, ParsedCommand *parsed, QString *error) const;

    // For words that name no command: a group's help (status 0 with --help,
    // else 2), or "unknown command" with the nearest names (2).
    int runUnknown(const QStringList &words, Output &out) const;
    // Runs the command named at the start of `words` and returns its exit
    // status; usage errors (unknown command, wrong arguments) return 2.
    int run(const QStringList &words, StrategyFileLogicHandler &facade, Output &out, bool inShell) const;
    // Runs a command whose words were already parsed.
    int run(const Command &command, const ParsedCommand &parsed, StrategyFileLogicHandler *facade, Output &out,
            bool inShell) const;

    // Help texts, each line at most 80 columns.
    QString toolHelp() const;
    QString groupHelp(const QString &group) const;
    QString commandHelp(const Command &command) const;
    // The help for "help WORDS": the tool, a group or a command. False when
    // WORDS name nothing (the text then says so, with suggestions).
    bool helpFor(const QStringList &words, QString *text) const;

    static QString exitStatusHelp();
    static QString typeName(ValueType type);

private:
    QList<Command> m_commands;
    QList<Group> m_groups;
};

// The completion script for `shell` ("bash" or "zsh"), made from the table;
// empty for another shell.
QString completionScript(const CommandTable &table, const QString &shell);
// The manual page strategyctl.1 (roff, man macros), made from the table.
QString manualPage(const CommandTable &table, const QString &version);

#endif // COMMANDTABLE_H
