#ifndef COMMANDSUGGESTIONS_H
#define COMMANDSUGGESTIONS_H

#include "commandspec.h"

class CommandTable;

// The names nearest to a mistyped command or option, for "did you mean".
class CommandSuggestions
{
public:
    // The edits (insertions, deletions, changes of one character) that make
    // `a` into `b`.
    static int editDistance(const QString &a, const QString &b);
    // The commands whose names are nearest to `words`, best first, at most
    // three; hidden commands are never offered.
    static QStringList commands(const CommandTable &table, const QStringList &words);
    // " (did you mean --count?)" for an option `name` that is none of
    // `options`, or empty when none is near.
    static QString option(const QList<OptionSpec> &options, const QString &name);
};

#endif // COMMANDSUGGESTIONS_H
