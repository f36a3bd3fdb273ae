#ifndef COMMANDTABLE_H
#define COMMANDTABLE_H

#include "commandcontext.h"
#include "commandspec.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Output;
class StrategyFileLogicHandler;

// The commands of strategyctl: one small handler each, registered by the
// subsystem files (commands_*.cpp). A command is named by one or two words
// ("status", "strategy add"); the longest registered name wins. The first
// word of a two-word command names its group ("strategy"). CommandParser
// checks a command line against it, CommandHelp makes the help texts from
// it, docgen/ the manual page and the completion scripts. Thread: main.
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
        // Work a one-shot command does before the data folder is taken (an
        // import reads and checks its document): an exit status, Success
        // to go on.
        std::function<int(const ParsedCommand &, Output &)> prepare;

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

    // For words that name no command: a group's help (status 0 with --help,
    // else 2), or "unknown command" with the nearest names (2).
    int runUnknown(const QStringList &words, Output &out) const;
    // The command of a command line and its parsed words; null after
    // printing why there is none (an unknown command, a usage error), with
    // the exit status in `status`.
    const Command *parse(const QStringList &words, ParsedCommand *parsed, Output &out, int *status) const;
    // Runs the command named at the start of `words` and returns its exit
    // status; usage errors (unknown command, wrong arguments) return 2.
    int run(const QStringList &words, StrategyFileLogicHandler &facade, Output &out, bool inShell) const;
    // Runs a command whose words were already parsed (CommandParser).
    int run(const Command &command, const ParsedCommand &parsed, StrategyFileLogicHandler *facade, Output &out,
            bool inShell) const;

private:
    QList<Command> m_commands;
    QList<Group> m_groups;
};

#endif // COMMANDTABLE_H
