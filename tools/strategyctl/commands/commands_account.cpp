// Fund accounts and products.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

void registerAccountCommands(CommandTable &table)
{
    CommandTable::Command &refresh = table.add(QStringLiteral("account refresh"), QString(),
                                               QStringLiteral("Takes a new snapshot of the fund accounts."),
                                               [](CommandContext &c) {
                                                   c.facade().refreshAccount();
                                                   return c.ok();
                                               });
    refresh.scope = Scope::ShellOnly;
    refresh.shellHint = QStringLiteral("every start takes a new snapshot; refresh inside 'strategyctl shell'.");
    table.add(QStringLiteral("account products"), QString(), QStringLiteral("Lists the products."),
              [](CommandContext &c) {
                  QList<QJsonObject> records;
                  for (const ProductData &product : c.facade().getProductList())
                      records.append(RecordJson::product(product));
                  c.out.printRecords(RecordJson::productKeys(), records);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("account list"), QStringLiteral("PRODUCT"),
              QStringLiteral("Lists the fund accounts of a product."), [](CommandContext &c) {
                  bool known = false;
                  for (const ProductData &product : c.facade().getProductList())
                      known = known || product.productId == c.args.at(0);
                  if (!known)
                      return c.notFound(QStringLiteral("no product %1").arg(c.args.at(0)));
                  QList<QJsonObject> records;
                  for (const FundAccountData &data : c.facade().getFundAccountList(c.args.at(0)))
                      records.append(RecordJson::fundAccount(data));
                  c.out.printRecords(RecordJson::fundAccountKeys(), records);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("account info"), QStringLiteral("FUNDACCOUNT"),
              QStringLiteral("Shows a fund account and its product."), [](CommandContext &c) {
                  QString productId;
                  FundAccountData data;
                  if (!c.facade().getFundAccountRelaInfo(c.args.at(0), productId, data))
                      return c.notFound(QStringLiteral("no fund account %1").arg(c.args.at(0)));
                  QJsonObject record = RecordJson::fundAccount(data);
                  record.insert(QStringLiteral("productId"), productId);
                  c.out.printRecord(QStringList{QStringLiteral("productId")} + RecordJson::fundAccountKeys(), record);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("account pytype"), QStringLiteral("TYPECODE"),
              QStringLiteral("The word Python strategies use for an account type."), [](CommandContext &c) {
                  const QString name = c.facade().getFundAccountTypeName_py(c.args.at(0));
                  if (name.isEmpty())
                      return c.notFound(QStringLiteral("no Python word for account type %1").arg(c.args.at(0)));
                  c.out.printRecord({QStringLiteral("pyAccountType")},
                                    QJsonObject{{QStringLiteral("pyAccountType"), name}});
                  return int(CommandContext::Success);
              });
}
