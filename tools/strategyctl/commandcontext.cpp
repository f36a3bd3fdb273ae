#include "commandcontext.h"

#include "unsavedwatch.h"

#include <QJsonObject>

CommandContext::CommandContext(StrategyFileLogicHandler &facade, Output &out, const QString &commandName,
                               bool inShell)
    : facade(facade)
    , out(out)
    , commandName(commandName)
    , inShell(inShell)
    , unsavedMark(UnsavedWatch::mark())
{
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

int CommandContext::check(bool answer)
{
    if (out.isJson())
        out.printJson(QJsonObject{{QStringLiteral("ok"), answer}});
    else
        out.printLine(answer ? QStringLiteral("true") : QStringLiteral("false"));
    return Success;
}

int CommandContext::refuse(const QString &message)
{
    if (out.isJson())
        out.printJson(QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("message"), message}});
    out.printError(message);
    return Refused;
}

int CommandContext::refuseUnlessUnsaved(const QString &message)
{
    const QStringList unsaved = UnsavedWatch::since(unsavedMark);
    if (unsaved.isEmpty())
        return refuse(message);
    return refuse(QStringLiteral("not stored: %1").arg(unsaved.join(QLatin1String("; "))));
}

int CommandContext::usage(const QString &message)
{
    out.printError(QStringLiteral("strategyctl %1: %2\nTry 'strategyctl %1 --help'.").arg(commandName, message));
    usageStatus = UsageError;
    return UsageError;
}

bool CommandContext::toInt(const QString &text, const QString &what, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    if (!ok)
        usage(QStringLiteral("%1 must be a whole number, not '%2'").arg(what, text));
    return ok;
}

bool CommandContext::toInt64(const QString &text, const QString &what, qint64 *value)
{
    bool ok = false;
    *value = text.toLongLong(&ok);
    if (!ok)
        usage(QStringLiteral("%1 must be a whole number, not '%2'").arg(what, text));
    return ok;
}

bool CommandContext::toDouble(const QString &text, const QString &what, double *value)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    if (!ok)
        usage(QStringLiteral("%1 must be a number, not '%2'").arg(what, text));
    return ok;
}

bool CommandContext::toDate(const QString &text, QDate *value)
{
    *value = QDate::fromString(text, Qt::ISODate);
    if (!value->isValid())
        usage(QStringLiteral("a date is written yyyy-MM-dd, not '%1'").arg(text));
    return value->isValid();
}

bool CommandContext::toDateTime(const QString &text, QDateTime *value)
{
    *value = QDateTime::fromString(text, Qt::ISODate);
    if (!value->isValid())
        usage(QStringLiteral("a time is written in ISO 8601, for example 2026-12-03T09:30:00, not '%1'").arg(text));
    return value->isValid();
}
