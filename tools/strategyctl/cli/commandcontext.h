#ifndef COMMANDCONTEXT_H
#define COMMANDCONTEXT_H

#include "output.h"

#include <QDate>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

class CommandTable;
class StrategyFileLogicHandler;
struct ParsedCommand;

// What a command handler works with: the plug-in object, the output and
// the parsed arguments. The answers return the process's exit status, one
// rule for every command:
//   0 done;
//   1 refused, not found, or nothing changed (never "ok" then);
//   2 a usage error (found before the plug-in starts);
//   3 the data could not be reached: the folder is in use, the database is
//     busy past --wait, a file could not be written.
// Under --json every failure is {"error": {"kind": ..., "message": ...}} on
// stdout, with the message on stderr as well. Thread: main.
class CommandContext
{
public:
    enum ExitStatus { Success = 0, Refused = 1, UsageError = 2, Unavailable = 3, FolderInUse = Unavailable };

    // The options of the command line: long name -> value ("" for a flag).
    class Options
    {
    public:
        explicit Options(const QMap<QString, QString> &options) : m_options(options) {}
        bool isSet(const QString &name) const { return m_options.contains(name); }
        QString value(const QString &name) const { return m_options.value(name); }

    private:
        QMap<QString, QString> m_options;
    };

    CommandContext(StrategyFileLogicHandler *facade, Output &out, const QString &commandName, bool inShell,
                   const ParsedCommand &parsed, const CommandTable &table);

    // The plug-in object; only for commands that run with the plug-in.
    StrategyFileLogicHandler &facade() const;

    Output &out;
    QString commandName;
    bool inShell;
    Options parser;
    QStringList args; // positional arguments after the command words
    const CommandTable &table;

    // "ok" ({"ok": true}), unless the plug-in or the host reported during
    // the command that something could not be stored: that is the answer then.
    int ok();
    // A yes/no question: "true"/"false" ({"answer": ...}); always status 0.
    int answer(bool yes);
    // Failures, each with its kind in JSON and its exit status.
    int refuse(const QString &message);     // refused, 1
    int notFound(const QString &message);   // notFound, 1
    int unchanged(const QString &message);  // unchanged, 1: "nothing changed: ..."
    int unavailable(const QString &kind, const QString &message); // busy or io, 3
    // A refusal that names what could not be stored (io, 3) when the plug-in
    // reported it during the command, and `message` (refused, 1) otherwise.
    int refuseUnlessUnsaved(const QString &message);
    int usage(const QString &message);

    // Argument readers; the values were checked before the command ran.
    int toInt(const QString &text) const { return text.toInt(); }
    qint64 toInt64(const QString &text) const { return text.toLongLong(); }
    double toDouble(const QString &text) const { return text.toDouble(); }
    QDate toDate(const QString &text) const { return QDate::fromString(text, Qt::ISODate); }
    QDateTime toDateTime(const QString &text) const { return QDateTime::fromString(text, Qt::ISODate); }

    int unsavedMark = 0; // UnsavedWatch's mark when the command began

    // The working directory strategyctl was started in (it then works in
    // the data folder): a FILE argument that is relative is relative to it.
    static void setStartDirectory(const QString &path);
    static QString localFile(const QString &path);
    // The data folder, absolute (set before the command runs).
    static void setDataFolder(const QString &path);
    static QString dataFolder();
    // --wait: how long to wait for the data folder or its database.
    static void setWaitSeconds(int seconds);
    static int waitSeconds();

private:
    StrategyFileLogicHandler *m_facade;
};

#endif // COMMANDCONTEXT_H
