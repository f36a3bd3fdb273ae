// Fund accounts and products.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

void registerAccountCommands(CommandTable &table)
{
    table.add(QStringLiteral("account refresh"), QString(),
              QStringLiteral("Takes a new snapshot of the fund accounts."), 0, 0, [](CommandContext &c) {
                  c.facade.refreshAccount();
                  return c.ok();
              });
    table.add(QStringLiteral("account products"), QString(), QStringLiteral("Lists the products."), 0, 0,
              [](CommandContext &c) {
                  QList<QJsonObject> records;
                  for (const ProductData &product : c.facade.getProductList())
                      records.append(RecordJson::product(product));
                  c.out.printRecords(RecordJson::productKeys(), records);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("account list"), QStringLiteral("PRODUCT"),
              QStringLiteral("Lists the fund accounts of a product."), 1, 1, [](CommandContext &c) {
                  QList<QJsonObject> records;
                  for (const FundAccountData &data : c.facade.getFundAccountList(c.args.at(0)))
                      records.append(RecordJson::fundAccount(data));
                  c.out.printRecords(RecordJson::fundAccountKeys(), records);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("account info"), QStringLiteral("FUNDACCOUNT"),
              QStringLiteral("Shows a fund account and its product."), 1, 1, [](CommandContext &c) {
                  QString productId;
                  FundAccountData data;
                  if (!c.facade.getFundAccountRelaInfo(c.args.at(0), productId, data))
                      return c.refuse(QStringLiteral("no fund account %1").arg(c.args.at(0)));
                  QJsonObject record = RecordJson::fundAccount(data);
                  record.insert(QStringLiteral("productId"), productId);
                  c.out.printRecord(QStringList{QStringLiteral("productId")} + RecordJson::fundAccountKeys(), record);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("account pytype"), QStringLiteral("TYPECODE"),
              QStringLiteral("The word Python strategies use for an account type."), 1, 1, [](CommandContext &c) {
                  c.out.printRecord({QStringLiteral("pyAccountType")},
                                    QJsonObject{{QStringLiteral("pyAccountType"),
                                                 c.facade.getFundAccountTypeName_py(c.args.at(0))}});
                  return int(CommandContext::Success);
              });
}
