// The history of changes of fixed strategies, groups and file locks.

#include "commands.h"
#include "commandtable.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <zqapplicationdir.h>

namespace {
// The plug-in keeps it beside the user's data file; the older part comes
// first (docs/formats.md).
const QStringList HistoryFiles{QStringLiteral("history.1.jsonl"), QStringLiteral("history.jsonl")};
const QStringList StrategyFields{QStringLiteral("name"), QStringLiteral("filePath"), QStringLiteral("group"),
                                 QStringLiteral("extraInfo"), QStringLiteral("copyIndex")};

// Whether the user id names a folder right below work/, as the plug-in
// requires before it writes anything for the user.
bool namesFolder(const QString &user)
{
    return !user.isEmpty() && user != QLatin1String(".") && user != QLatin1String("..")
           && !user.contains(QLatin1Char('/')) && !user.contains(QLatin1Char('\\')) && !user.contains(QChar(0));
}

QString valueText(const QJsonValue &value)
{
    if (value.isDouble())
        return QString::number(qint64(value.toDouble()));
    return Output::quoted(value.toString());
}

QString field(const QJsonObject &record, const char *key)
{
    return valueText(record.value(QLatin1String(key)));
}

// One line about what changed, for people.
QString what(const QJsonObject &before, const QJsonObject &after)
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
        for (const QString &key : StrategyFields) {
            if (before.value(key) != after.value(key))
                changes.append(QStringLiteral("%1 %2 -> %3")
                                   .arg(key, valueText(before.value(key)), valueText(after.value(key))));
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

bool concerns(const QJsonObject &entry, qint64 id)
{
    for (const QLatin1String side : {QLatin1String("before"), QLatin1String("after")}) {
        const QJsonValue value = entry.value(side).toObject().value(QLatin1String("id"));
        if (value.isDouble() && qint64(value.toDouble()) == id)
            return true;
    }
    return false;
}

// The people's row of an entry.
QJsonObject row(const QJsonObject &entry)
{
    const QString stamp = entry.value(QLatin1String("time")).toString();
    const QDateTime time = QDateTime::fromString(stamp, Qt::ISODateWithMs);
    return QJsonObject{
        {QStringLiteral("time"),
         time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : stamp},
        {QStringLiteral("operation"), entry.value(QLatin1String("operation")).toString()},
        {QStringLiteral("what"),
         what(entry.value(QLatin1String("before")).toObject(), entry.value(QLatin1String("after")).toObject())}};
}

int history(CommandContext &c)
{
    const QString user = c.facade().getCurUserId();
    const bool since = c.parser.isSet(QStringLiteral("since"));
    const QDate sinceDate = c.toDate(c.parser.value(QStringLiteral("since")));
    const bool byId = c.parser.isSet(QStringLiteral("id"));
    const qint64 id = c.toInt64(c.parser.value(QStringLiteral("id")));

    QJsonArray entries;
    QList<QJsonObject> rows;
    int skipped = 0;
    // The plug-in writes no history for a user id that names no folder.
    for (const QString &name : namesFolder(user) ? HistoryFiles : QStringList()) {
        const QString path = QStringLiteral("%1/work/%2/%3").arg(ZqApplicationDir::path(), user, name);
        const QFileInfo info(path);
        if (!info.exists())
            continue;
        QFile file(path);
        if (info.isDir() || !file.open(QIODevice::ReadOnly))
            return c.unavailable(QStringLiteral("io"),
                                 QStringLiteral("cannot read the history %1: %2")
                                     .arg(path, info.isDir() ? QStringLiteral("it is a folder") : file.errorString()));
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray &line : lines) {
            if (line.isEmpty())
                continue;
            const QJsonDocument document = QJsonDocument::fromJson(line);
            if (!document.isObject()) {
                ++skipped; // an unfinished or foreign line
                continue;
            }
            const QJsonObject entry = document.object();
            if (since) {
                const QDateTime time =
                    QDateTime::fromString(entry.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
                if (!time.isValid() || time.toLocalTime().date() < sinceDate)
                    continue;
            }
            if (byId && !concerns(entry, id))
                continue;
            entries.append(entry);
            rows.append(row(entry));
        }
    }
    if (skipped > 0)
        c.out.printError(QStringLiteral("note: %1 line(s) of the history are not entries; skipped").arg(skipped));
    if (c.out.isJson())
        c.out.printJson(entries);
    else
        c.out.printRecords({QStringLiteral("time"), QStringLiteral("operation"), QStringLiteral("what")}, rows);
    return CommandContext::Success;
}
} // namespace

void registerHistoryCommands(CommandTable &table)
{
    CommandTable::Command &command = table.add(
        QStringLiteral("history"), QString(),
        QStringLiteral("Lists the changes of fixed strategies, groups and file locks, oldest first."), history,
        {{QStringLiteral("since"), QStringLiteral("DATE"), ValueType::Date,
          QStringLiteral("Only changes made on DATE (yyyy-MM-dd, local) or later."), {}, QString()},
         {QStringLiteral("id"), QStringLiteral("N"), ValueType::Int,
          QStringLiteral("Only changes of the fixed strategy with id N."), {}, QString()}});
    command.details = QStringLiteral("Reads work/<user>/history.1.jsonl and work/<user>/history.jsonl; with --json\n"
                                     "prints the entries as stored, each with its record before and after.");

}
