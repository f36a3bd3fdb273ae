#ifndef COMMANDPARSER_H
#define COMMANDPARSER_H

#include "commandtable.h"

// Reads the words of a command line against the command they name: its
// options and the global ones, the number of its arguments and their
// types, and the command's own check. Everything is checked before the
// plug-in starts, so that a usage error changes nothing.
class CommandParser
{
public:
    // "ID:int", "[NAME]", "TABLE:a|b|c", "WORDS..." -> the arguments.
    static QList<ArgSpec> arguments(const QString &pattern);

    // Checks the words after the command's name: options, the number of
    // arguments, their types. False after setting `error` (a usage error).
    // A negative number is a value, not an option; "--" ends the options.
    static bool parse(const CommandTable::Command &command, const QStringList &words, ParsedCommand *parsed,
                      QString *error);

    // What a value of `type` is, for messages and help: "a whole number".
    static QString typeName(ValueType type);

private:
    static bool parseOptions(const CommandTable::Command &command, const QStringList &words, ParsedCommand *parsed,
                             QString *error);
    static bool checkArguments(const CommandTable::Command &command, const ParsedCommand &parsed, QString *error);
};

#endif // COMMANDPARSER_H
