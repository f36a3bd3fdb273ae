#ifndef COMMANDCONTEXT_H
#define COMMANDCONTEXT_H

#include "output.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

class StrategyFileLogicHandler;

// What a command handler works with: the plug-in object, the output and
// the parsed arguments. The helpers return the process's exit status:
// 0 success, 1 the plug-in refused, found nothing or could not store the
// change, 2 a usage error, 3 another process holds the installation folder.
class CommandContext
{
public:
    enum ExitStatus { Success = 0, Refused = 1, UsageError = 2, FolderInUse = 3 };

    CommandContext(StrategyFileLogicHandler &facade, Output &out, const QString &commandName, bool inShell);

    StrategyFileLogicHandler &facade;
    Output &out;
    QString commandName;
    bool inShell;
    QCommandLineParser parser;
    QStringList args; // positional arguments after the command words

    // "ok", unless the plug-in or the host reported during the command that
    // something could not be stored: that report is the refusal then.
    int ok();
    int check(bool answer);
    int refuse(const QString &message);
    // A refusal that names what could not be stored when the plug-in
    // reported it during the command, and `message` otherwise.
    int refuseUnlessUnsaved(const QString &message);
    int usage(const QString &message);

    // Argument parsers: false after reporting a usage error.
    bool toInt(const QString &text, const QString &what, int *value);
    bool toInt64(const QString &text, const QString &what, qint64 *value);
    bool toDouble(const QString &text, const QString &what, double *value);
    bool toDate(const QString &text, QDate *value);
    bool toDateTime(const QString &text, QDateTime *value);

    int usageStatus = Success; // set by the parsers
    int unsavedMark = 0;       // UnsavedWatch's mark when the command began
};

#endif // COMMANDCONTEXT_H
