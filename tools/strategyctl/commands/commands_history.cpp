// The history of changes of fixed strategies, groups and file locks.

#include "commands.h"
#include "commandtable.h"

#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategyhistory.h>

#include <QJsonArray>
#include <QJsonObject>

#include <zqapplicationdir.h>

namespace {
// The people's row of an entry.
QJsonObject row(const StrategyLogic::HistoryEntry &entry)
{
    return QJsonObject{
        {QStringLiteral("time"), entry.time.isValid()
                                     ? entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                     : entry.timeText},
        {QStringLiteral("operation"), entry.operation},
        {QStringLiteral("what"), entry.summary}};
}

int history(CommandContext &c)
{
    StrategyLogic::HistoryFilter filter;
    if (c.parser.isSet(QStringLiteral("since")))
        filter.since = c.toDate(c.parser.value(QStringLiteral("since")));
    if (c.parser.isSet(QStringLiteral("id")))
        filter.strategyId = c.toInt64(c.parser.value(QStringLiteral("id")));
    const StrategyLogic::HistoryReadResult read =
        StrategyLogic::readHistory(ZqApplicationDir::path(), c.facade().getCurUserId(), filter);
    if (read.outcome == StrategyLogic::HistoryReadResult::Unreadable)
        return c.unavailable(QStringLiteral("io"), read.error);

    QJsonArray entries;
    QList<QJsonObject> rows;
    for (const StrategyLogic::HistoryEntry &entry : read.entries) {
        entries.append(entry.line);
        rows.append(row(entry));
    }
    if (read.skippedLines > 0)
        c.out.printError(
            QStringLiteral("note: %1 line(s) of the history are not entries; skipped").arg(read.skippedLines));
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
