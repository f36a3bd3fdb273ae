#ifndef COMPLETIONMODEL_H
#define COMPLETIONMODEL_H

#include "commandtable.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// What the completion scripts know of the command table: the listed
// commands, the words that start a command line, the options before and
// after the command, and how each value is completed. Both scripts are made
// from it (BashCompletion, ZshCompletion), with the quoting both shells read.
class CompletionModel
{
public:
    using Command = CommandTable::Command;

    // How the value of an argument or an option is completed.
    enum class Kind {
        Flag,        // an option without a value
        Nothing,     // free text, numbers, dates: nothing to offer
        Files,
        Directories,
        Choices,
    };

    // A word offered for completion, with what it does.
    struct Word
    {
        QString word;
        QString summary;
    };

    explicit CompletionModel(const CommandTable &table);

    QList<const Command *> commands;         // the listed ones, in table order
    QList<OptionSpec> globals;               // before the command
    QList<OptionSpec> anywhere;              // after the command too
    QList<Word> firstWords;                  // groups and one-word commands
    QMap<QString, QList<Word>> subcommands;  // group -> second words
    const Command *help = nullptr;           // "help WORDS": completes command names

    const Command *command(const QString &name) const;
    bool isGroup(const QString &word) const { return subcommands.contains(word); }

    static Kind kindOf(ValueType type, const QStringList &choices);
    static Kind kindOf(const OptionSpec &option);

    // One line, for a description.
    static QString oneLine(const QString &text);
    // `text` as one word for bash and zsh: in single quotes, a single quote
    // written '\''.
    static QString quote(const QString &text);
    // The words quoted, joined by `separator`.
    static QString quoteAll(const QStringList &words, const QString &separator = QStringLiteral(" "));
    // `text` with a backslash before each of `special` (and before backslashes).
    static QString escaped(const QString &text, const QString &special);
};

#endif // COMPLETIONMODEL_H
