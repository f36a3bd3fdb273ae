#include "commandcontext.h"

#include "commandtable.h"
#include "unsavedwatch.h"

#include <QDir>
#include <QJsonObject>

namespace {
QString &startDirectory()
{
    static QString path = QDir::currentPath();
    return path;
}
} // namespace

void CommandContext::setStartDirectory(const QString &path)
{
    startDirectory() = path;
}

QString CommandContext::localFile(const QString &path)
{
    return QDir(startDirectory()).absoluteFilePath(path);
}

namespace {
QString &dataFolderPath()
{
    static QString path;
    return path;
}
} // namespace

void CommandContext::setDataFolder(const QString &path)
{
    dataFolderPath() = path;
}

QString CommandContext::dataFolder()
{
    return dataFolderPath();
}

namespace {
int s_waitSeconds = 10;
} // namespace

void CommandContext::setWaitSeconds(int seconds)
{
    s_waitSeconds = seconds;
}

int CommandContext::waitSeconds()
{
    return s_waitSeconds;
}

CommandContext::CommandContext(StrategyFileLogicHandler *facade, Output &out, const QString &commandName,
                               bool inShell, const ParsedCommand &parsed, const CommandTable &table)
    : out(out)
    , commandName(commandName)
    , inShell(inShell)
    , parser(parsed.options)
    , args(parsed.args)
    , table(table)
    , unsavedMark(UnsavedWatch::mark())
    , m_facade(facade)
{
}

StrategyFileLogicHandler &CommandContext::facade() const
{
    Q_ASSERT(m_facade);
    return *m_facade;
}

int CommandContext::ok()
{
    if (!UnsavedWatch::since(unsavedMark).isEmpty())
        return refuseUnlessUnsaved(QString());
    if (out.isJson())
        out.printJson(QJsonObject{{QStringLiteral("ok"), true}});
    else
        out.printLine(QStringLiteral("ok"));
    return Success;
}

int CommandContext::answer(bool yes)
{
    if (out.isJson())
        out.printJson(QJsonObject{{QStringLiteral("answer"), yes}});
    else
        out.printLine(yes ? QStringLiteral("true") : QStringLiteral("false"));
    return Success;
}

int CommandContext::refuse(const QString &message)
{
    out.printFailure(QStringLiteral("refused"), message);
    return Refused;
}

int CommandContext::notFound(const QString &message)
{
    out.printFailure(QStringLiteral("notFound"), message);
    return Refused;
}

int CommandContext::unchanged(const QString &message)
{
    out.printFailure(QStringLiteral("unchanged"), QStringLiteral("nothing changed: ") + message);
    return Refused;
}

int CommandContext::unavailable(const QString &kind, const QString &message)
{
    out.printFailure(kind, message);
    return Unavailable;
}

int CommandContext::refuseUnlessUnsaved(const QString &message)
{
    const QStringList unsaved = UnsavedWatch::since(unsavedMark);
    if (unsaved.isEmpty())
        return refuse(message);
    return unavailable(QStringLiteral("io"), QStringLiteral("not stored: %1").arg(unsaved.join(QLatin1String("; "))));
}

int CommandContext::usage(const QString &message)
{
    out.printFailure(QStringLiteral("usage"),
                     QStringLiteral("strategyctl %1: %2\nTry 'strategyctl %1 --help'.").arg(commandName, message));
    return UsageError;
}
