#ifndef COMMANDHELP_H
#define COMMANDHELP_H

#include "commandtable.h"

// The help texts of strategyctl, made from the command table: the tool's,
// a group's and a command's, each line at most 80 columns.
class CommandHelp
{
public:
    explicit CommandHelp(const CommandTable &table);

    QString tool() const;
    QString group(const QString &word) const;
    QString command(const CommandTable::Command &command) const;
    // The help for "help WORDS": the tool, a group or a command. False when
    // WORDS name nothing (the text then says so, with suggestions).
    bool helpFor(const QStringList &words, QString *text) const;

    // The exit statuses, one "N  meaning" line each (continued lines
    // indented); the manual page has them from here too.
    static QString exitStatus();

private:
    const CommandTable &m_table;
};

#endif // COMMANDHELP_H
