// Simulated-trade history.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <tavrix_fields.h>

namespace {
// Every column under --json and --all; people get `compact` otherwise.
int print(CommandContext &c, const QList<QMap<QString, QVariant>> &rows, const QStringList &columns,
          const QStringList &compact)
{
    QList<QJsonObject> records;
    for (const auto &row : rows)
        records.append(RecordJson::row(row));
    c.out.printRecords(c.parser.isSet(QStringLiteral("all")) || c.out.isJson() ? columns : compact, records);
    return CommandContext::Success;
}

const OptionSpec AllColumns{QStringLiteral("all"), QString(), ValueType::Text,
                            QStringLiteral("Every column (the table is then wide)."), {}, QString()};
} // namespace

void registerSimuCommands(CommandTable &table)
{
    using namespace Tavrix_Fields;
    table.add(QStringLiteral("simu orders"), QStringLiteral("ID"),
              QStringLiteral("Lists a simulated instance's orders from Sarvek_SimuTrade.db."),
              [](CommandContext &c) {
                  return print(c, c.facade().querySimuEntrust(c.args.at(0)),
                               {Security::orderID, Security::symbol, System::createTime, Security::side,
                                Security::orderQty, Security::price, Security::cumQty, Security::leaveQty,
                                Security::avgPx, Security::orderStatus, Security::orderType, CustomField::priceType,
                                UserAccount::tradingAccount, UserAccount::entrustProp, System::textDescription,
                                Security::algoOrderID},
                               {Security::orderID, Security::symbol, System::createTime, Security::side,
                                Security::orderQty, Security::price, Security::cumQty, Security::orderStatus});
              },
              {AllColumns});
    table.add(QStringLiteral("simu fills"), QStringLiteral("ID"),
              QStringLiteral("Lists a simulated instance's fills from Sarvek_SimuTrade.db."),
              [](CommandContext &c) {
                  return print(c, c.facade().querySimuDeal(c.args.at(0)),
                               {Security::orderID, Security::symbol, Security::exchangeMatchDate, Security::execID,
                                Security::side, Security::lastQty, Security::lastPx, UserAccount::tradingAccount,
                                Strategy::strategyID},
                               {Security::orderID, Security::symbol, Security::exchangeMatchDate, Security::execID,
                                Security::side, Security::lastQty, Security::lastPx});
              },
              {AllColumns});
}
