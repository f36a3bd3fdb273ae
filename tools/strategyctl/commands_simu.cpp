// Simulated-trade history.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <tavrix_fields.h>

namespace {
int print(CommandContext &c, const QList<QMap<QString, QVariant>> &rows, const QStringList &columns)
{
    QList<QJsonObject> records;
    for (const auto &row : rows)
        records.append(RecordJson::row(row));
    c.out.printRecords(columns, records);
    return CommandContext::Success;
}
} // namespace

void registerSimuCommands(CommandTable &table)
{
    using namespace Tavrix_Fields;
    table.add(QStringLiteral("simu orders"), QStringLiteral("ID"),
              QStringLiteral("Lists a simulated instance's orders from Sarvek_SimuTrade.db."), 1, 1,
              [](CommandContext &c) {
                  return print(c, c.facade.querySimuEntrust(c.args.at(0)),
                               {Security::orderID, Security::symbol, System::createTime, Security::side,
                                Security::orderQty, Security::price, Security::cumQty, Security::leaveQty,
                                Security::avgPx, Security::orderStatus, Security::orderType, CustomField::priceType,
                                UserAccount::tradingAccount, UserAccount::entrustProp, System::textDescription,
                                Security::algoOrderID});
              });
    table.add(QStringLiteral("simu fills"), QStringLiteral("ID"),
              QStringLiteral("Lists a simulated instance's fills from Sarvek_SimuTrade.db."), 1, 1,
              [](CommandContext &c) {
                  return print(c, c.facade.querySimuDeal(c.args.at(0)),
                               {Security::orderID, Security::symbol, Security::exchangeMatchDate, Security::execID,
                                Security::side, Security::lastQty, Security::lastPx, UserAccount::tradingAccount,
                                Strategy::strategyID});
              });
}
