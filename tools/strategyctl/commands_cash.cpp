// Backtest day cash.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

namespace {
bool readDay(CommandContext &c, QDate *date, double *amount)
{
    return c.toDate(c.args.at(1), date) && c.toDouble(c.args.at(2), QStringLiteral("AMOUNT"), amount);
}

int show(CommandContext &c)
{
    const QString id = c.args.at(0);
    if (c.args.size() == 2) {
        QDate date;
        if (!c.toDate(c.args.at(1), &date))
            return c.usageStatus;
        BackTestCashInfo day;
        day.date = date;
        day.instanceId = id;
        if (!c.facade.queryBackTestCashInfo(id, date, day.initialFunds, day.endFunds))
            return c.refuse(QStringLiteral("no cash recorded for instance %1 on %2").arg(id, c.args.at(1)));
        c.out.printRecord(RecordJson::cashKeys(), RecordJson::cash(day));
        return CommandContext::Success;
    }
    QList<BackTestCashInfo> days;
    if (!c.facade.queryBackTestCashInfo(id, days))
        return c.refuse(QStringLiteral("no cash recorded for instance %1").arg(id));
    QList<QJsonObject> records;
    for (const BackTestCashInfo &day : qAsConst(days))
        records.append(RecordJson::cash(day));
    c.out.printRecords(RecordJson::cashKeys(), records);
    return CommandContext::Success;
}
} // namespace

void registerCashCommands(CommandTable &table)
{
    table.add(QStringLiteral("cash init"), QStringLiteral("ID DATE AMOUNT"),
              QStringLiteral("Records a backtest day's initial funds (DATE as yyyy-MM-dd)."), 3, 3,
              [](CommandContext &c) {
                  QDate date;
                  double amount = 0;
                  if (!readDay(c, &date, &amount))
                      return c.usageStatus;
                  c.facade.addBackTestInitCashInfo(c.args.at(0), date, amount);
                  return c.ok();
              });
    table.add(QStringLiteral("cash end"), QStringLiteral("ID DATE AMOUNT"),
              QStringLiteral("Records a backtest day's end funds; the day then goes to the database."), 3, 3,
              [](CommandContext &c) {
                  QDate date;
                  double amount = 0;
                  if (!readDay(c, &date, &amount))
                      return c.usageStatus;
                  double initial = 0;
                  double end = 0;
                  if (!c.facade.queryBackTestCashInfo(c.args.at(0), date, initial, end))
                      return c.refuse(QStringLiteral("no initial funds recorded for instance %1 on %2; end funds dropped")
                                          .arg(c.args.at(0), c.args.at(1)));
                  c.facade.addBackTestInitCashEndInfo(c.args.at(0), date, amount);
                  return c.ok();
              });
    table.add(QStringLiteral("cash show"), QStringLiteral("ID [DATE]"),
              QStringLiteral("Shows an instance's backtest days, or one day."), 1, 2, show);
}
