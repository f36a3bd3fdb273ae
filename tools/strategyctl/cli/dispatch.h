#ifndef DISPATCH_H
#define DISPATCH_H

#include "commandtable.h"

class GlobalOptions;
class Output;
class StrategyFileLogicHandler;

// What strategyctl does with its command line, as the trading client does
// with the plug-in: answers --version and --help, checks the whole command
// line before anything is started or touched (a usage error leaves every
// file as it was), takes the data folder for this process (waiting up to
// --wait seconds while another holds it or its database), initialises the
// plug-in, runs the command or the shell, and shuts the plug-in down,
// writing what is pending before the folder is let go. A one-shot
// command's answer is printed only once its change has been written.
// Thread: main, once per process, with the application created.
class Dispatch
{
public:
    explicit Dispatch(const CommandTable &commands);

    // Runs the command line `arguments` (QCoreApplication::arguments()) and
    // returns the exit status.
    int run(const QStringList &arguments);

private:
    // --version, --help, or no command at all.
    int answerAlone(const GlobalOptions &options, Output &out);
    // The command with its checked words: without the plug-in, on the data
    // folder's files, or with the plug-in started.
    int runCommand(const CommandTable::Command &command, const ParsedCommand &parsed, const GlobalOptions &options,
                   Output &out);
    // The data folder made the working directory and held, its database
    // free for the command; an exit status other than Success otherwise.
    int takeFolder(const QString &folder, const CommandTable::Command &command, bool shell, int waitSeconds,
                   Output &out);
    // Initialises the plug-in in the held folder, runs the command or the
    // shell, and shuts the plug-in down.
    int runWithPlugin(const CommandTable::Command &command, const ParsedCommand &parsed, bool shell,
                      const QString &folder, Output &out);

    const CommandTable &m_commands;
};

#endif // DISPATCH_H
