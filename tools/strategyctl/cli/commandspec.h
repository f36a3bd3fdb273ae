#ifndef COMMANDSPEC_H
#define COMMANDSPEC_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

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

#endif // COMMANDSPEC_H
