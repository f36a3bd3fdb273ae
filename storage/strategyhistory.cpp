// Reading the history that ChangeHistory appends (docs/formats.md).

#include <StrategyLogic/strategyhistory.h>

#include <StrategyLogic/displaytext.h>
#include <StrategyLogic/installation.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>

#include <algorithm>

namespace {
using StrategyLogic::HistoryEntry;
using StrategyLogic::HistoryFilter;
using StrategyLogic::HistoryReadResult;

// The fields of a fixed strategy that a change names, in the records'
// order; the id is who it is.
const char *const StrategyFields[] = {"name", "filePath", "group", "extraInfo", "copyIndex"};

QString valueText(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(qint64(value.toDouble()));
    return StrategyLogic::shellQuoted(value.toString());
}

QString field(const QJsonObject &record, const char *key)
{
    return valueText(record.value(QLatin1String(key)));
}

// The record's kind is told by its keys (docs/formats.md): a fixed strategy
// has an id, a group a creation time, a lock a file path alone.
QString summary(const QJsonObject &before, const QJsonObject &after)
{
    const QJsonObject &any = after.isEmpty() ? before : after;
    if (any.contains(QLatin1String("id"))) {
        const QString who =
            QStringLiteral("#%1 %2").arg(field(any, "id"), field(before.isEmpty() ? after : before, "name"));
        if (before.isEmpty())
            return QStringLiteral("%1 (%2) in %3").arg(who, field(after, "filePath"), field(after, "group"));
        if (after.isEmpty())
            return QStringLiteral("%1 (%2)").arg(who, field(before, "filePath"));
        QStringList changes;
        for (const char *key : StrategyFields) {
            const QJsonValue from = before.value(QLatin1String(key));
            const QJsonValue to = after.value(QLatin1String(key));
            if (from != to)
                changes.append(QStringLiteral("%1 %2 -> %3").arg(QLatin1String(key), valueText(from), valueText(to)));
        }
        return changes.isEmpty() ? who : QStringLiteral("%1: %2").arg(who, changes.join(QLatin1String(", ")));
    }
    if (any.contains(QLatin1String("createTime"))) {
        if (!before.isEmpty() && !after.isEmpty())
            return QStringLiteral("group %1 -> %2").arg(field(before, "name"), field(after, "name"));
        return QStringLiteral("group %1").arg(field(any, "name"));
    }
    if (any.contains(QLatin1String("filePath")))
        return field(any, "filePath");
    return QString();
}

bool concerns(const QJsonObject &line, qint64 id)
{
    for (const char *side : {"before", "after"}) {
        const QJsonValue value = line.value(QLatin1String(side)).toObject().value(QLatin1String("id"));
        if (value.isDouble() && qint64(value.toDouble()) == id)
            return true;
    }
    return false;
}

// Opens one part of the history. A part that does not exist holds no
// changes; one that exists and cannot be read gives the message.
QString openPart(QFile &file)
{
    const QFileInfo info(file.fileName());
    if (!info.exists() || (!info.isDir() && file.open(QIODevice::ReadOnly)))
        return QString();
    return QStringLiteral("cannot read the history %1: %2")
        .arg(file.fileName(), info.isDir() ? QStringLiteral("it is a folder") : file.errorString());
}

void readLines(const QByteArray &content, const HistoryFilter &filter, HistoryReadResult *result)
{
    const QList<QByteArray> lines = content.split('\n');
    for (const QByteArray &text : lines) {
        if (text.isEmpty())
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(text);
        if (!document.isObject()) {
            ++result->skippedLines;
            continue;
        }
        const QJsonObject line = document.object();
        const QString timeText = line.value(QLatin1String("time")).toString();
        const QDateTime time = QDateTime::fromString(timeText, Qt::ISODateWithMs);
        if (filter.since.isValid() && (!time.isValid() || time.toLocalTime().date() < filter.since))
            continue;
        if (filter.strategyId && !concerns(line, *filter.strategyId))
            continue;
        HistoryEntry entry;
        entry.timeText = timeText;
        entry.time = time;
        entry.pid = qint64(line.value(QLatin1String("pid")).toDouble());
        entry.operation = line.value(QLatin1String("operation")).toString();
        entry.before = line.value(QLatin1String("before")).toObject();
        entry.after = line.value(QLatin1String("after")).toObject();
        entry.summary = summary(entry.before, entry.after);
        entry.line = line;
        result->entries.append(entry);
    }
}
} // namespace

StrategyLogic::HistoryReadResult StrategyLogic::readHistory(const QString &appDir, const QString &userId,
                                                            const HistoryFilter &filter)
{
    HistoryReadResult result;
    const InstallationFiles files = installationFiles(appDir, userId);
    if (!files.userFolderValid) {
        result.outcome = HistoryReadResult::NoUserFolder;
        return result;
    }
    // The newer part is opened first: should the plug-in rotate it between
    // the two opens, both name the same lines (read once below) instead of
    // the newer part being missed.
    QFile newer(files.history);
    QFile older(files.olderHistory);
    const QString newerError = openPart(newer);
    const QString olderError = openPart(older);
    if (!olderError.isEmpty() || !newerError.isEmpty()) {
        // The older part's failure is told first, as it is read first.
        const bool olderFailed = !olderError.isEmpty();
        result.outcome = HistoryReadResult::Unreadable;
        result.path = olderFailed ? older.fileName() : newer.fileName();
        result.error = olderFailed ? olderError : newerError;
        return result;
    }
    const QByteArray olderContent = older.isOpen() ? older.readAll() : QByteArray();
    const QByteArray newerContent = newer.isOpen() ? newer.readAll() : QByteArray();
    readLines(olderContent, filter, &result);
    if (newerContent != olderContent || olderContent.isEmpty())
        readLines(newerContent, filter, &result);
    if (filter.order == HistoryOrder::NewestFirst)
        std::reverse(result.entries.begin(), result.entries.end());
    return result;
}
