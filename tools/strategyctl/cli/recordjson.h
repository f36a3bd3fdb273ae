#ifndef RECORDJSON_H
#define RECORDJSON_H

#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/sarvekgroupinfo.h>
#include <StrategyLogic/fundaccountdata.h>
#include <StrategyLogic/productdata.h>
#include <StrategyLogic/backtestcashinfo.h>
#include <StrategyLogic/instanceinfo.h>

#include <QJsonObject>
#include <QMap>
#include <QStringList>
#include <QVariant>

// The plug-in's records as JSON objects keyed by their field names, with
// the column order strategyctl prints them in.
class RecordJson
{
public:
    static QJsonObject fixedStrategy(const FixedStrategyInfo &info);
    // The value of fixedStrategy(info) under fixedStrategyKeys().at(key).
    static QJsonValue fixedStrategyValue(const FixedStrategyInfo &info, int key);
    static QStringList fixedStrategyKeys();
    static QJsonObject group(const SarvekGroupInfo &group);
    static QStringList groupKeys();
    static QJsonObject instance(const InstanceInfo &info);
    static QStringList instanceKeys();
    static QJsonObject cash(const BackTestCashInfo &day);
    static QStringList cashKeys();
    static QJsonObject fundAccount(const FundAccountData &data);
    static QStringList fundAccountKeys();
    static QJsonObject product(const ProductData &product);
    static QStringList productKeys();
    // A row of untyped values; a null string becomes null.
    static QJsonObject row(const QMap<QString, QVariant> &row);

    static QJsonValue time(const QDateTime &time);
};

#endif // RECORDJSON_H
