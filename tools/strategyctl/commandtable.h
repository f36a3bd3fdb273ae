#ifndef COMMANDTABLE_H
#define COMMANDTABLE_H

#include "commandcontext.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The commands of strategyctl: one small handler each, registered by the
// subsystem files (commands_*.cpp). A command is named by one or two words
// ("status", "strategy add"); the longest registered name wins.
class CommandTable
{
public:
    using Handler = std::function<int(CommandContext &)>;

    struct Command
    {
        QStringList words;
        QString arguments;  // synopsis of the positional arguments
        QString summary;
        int minArgs = 0;
        int maxArgs = 0;    // -1: any number
        QList<QCommandLineOption> options;
        Handler run;
        bool shellOnly = false;
    };

    CommandTable();

    void add(const QString &name, const QString &arguments, const QString &summary, int minArgs, int maxArgs,
             Handler run, const QList<QCommandLineOption> &options = {});
    void addShellOnly(const QString &name, const QString &arguments, const QString &summary, int minArgs,
                      int maxArgs, Handler run);

    // Runs the command named at the start of `words` and returns its exit
    // status; usage errors (unknown command, wrong arguments) return 2.
    int run(const QStringList &words, StrategyFileLogicHandler &facade, Output &out, bool inShell) const;

    QString toolHelp() const;
    QString commandHelp(const Command &command) const;

private:
    const Command *find(const QStringList &words) const;

    QList<Command> m_commands;
};

#endif // COMMANDTABLE_H
