// Backtest day cash.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

namespace {
int show(CommandContext &c)
{
    const QString id = c.args.at(0);
    if (c.args.size() == 2) {
        BackTestCashInfo day;
        day.date = c.toDate(c.args.at(1));
        day.instanceId = id;
        if (!c.facade().queryBackTestCashInfo(id, day.date, day.initialFunds, day.endFunds))
            return c.notFound(QStringLiteral("no cash recorded for instance %1 on %2").arg(id, c.args.at(1)));
        c.out.printRecord(RecordJson::cashKeys(), RecordJson::cash(day));
        return CommandContext::Success;
    }
    QList<BackTestCashInfo> days;
    if (!c.facade().queryBackTestCashInfo(id, days))
        return c.notFound(QStringLiteral("no cash recorded for instance %1").arg(id));
    QList<QJsonObject> records;
    for (const BackTestCashInfo &day : qAsConst(days))
        records.append(RecordJson::cash(day));
    c.out.printRecords(RecordJson::cashKeys(), records);
    return CommandContext::Success;
}

// Ends a day whose initial funds are known; the day then goes to the database.
int end(CommandContext &c, const QString &id, const QDate &date, double amount)
{
    double initial = 0;
    double endFunds = 0;
    if (!c.facade().queryBackTestCashInfo(id, date, initial, endFunds))
        return c.notFound(QStringLiteral("no initial funds recorded for instance %1 on %2; end funds dropped")
                              .arg(id, date.toString(Qt::ISODate)));
    c.facade().addBackTestInitCashEndInfo(id, date, amount);
    return c.ok();
}
} // namespace

void registerCashCommands(CommandTable &table)
{
    CommandTable::Command &init = table.add(
        QStringLiteral("cash init"), QStringLiteral("ID DATE:date AMOUNT:number"),
        QStringLiteral("Records a backtest day's initial funds (DATE as yyyy-MM-dd)."), [](CommandContext &c) {
            c.facade().addBackTestInitCashInfo(c.args.at(0), c.toDate(c.args.at(1)), c.toDouble(c.args.at(2)));
            return c.ok();
        });
    init.scope = Scope::ShellOnly;
    init.shellHint = QStringLiteral("a day reaches the database only with its end funds; record a whole day with "
                                    "'strategyctl cash day ID DATE INITIAL END', or use 'cash init' and 'cash end' "
                                    "inside 'strategyctl shell'.");
    table.add(QStringLiteral("cash end"), QStringLiteral("ID DATE:date AMOUNT:number"),
              QStringLiteral("Records a backtest day's end funds; the day then goes to the database."),
              [](CommandContext &c) {
                  return end(c, c.args.at(0), c.toDate(c.args.at(1)), c.toDouble(c.args.at(2)));
              })
        .db = DbAccess::Writes;
    table.add(QStringLiteral("cash day"), QStringLiteral("ID DATE:date INITIAL:number END:number"),
              QStringLiteral("Records a whole backtest day, its initial and end funds, in one go."),
              [](CommandContext &c) {
                  const QString id = c.args.at(0);
                  const QDate date = c.toDate(c.args.at(1));
                  c.facade().addBackTestInitCashInfo(id, date, c.toDouble(c.args.at(2)));
                  return end(c, id, date, c.toDouble(c.args.at(3)));
              })
        .db = DbAccess::Writes;
    table.add(QStringLiteral("cash show"), QStringLiteral("ID [DATE:date]"),
              QStringLiteral("Shows an instance's backtest days, or one day."), show)
        .db = DbAccess::Reads;
}
