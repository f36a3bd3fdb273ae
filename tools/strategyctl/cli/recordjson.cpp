#include "recordjson.h"

QJsonObject RecordJson::fixedStrategy(const FixedStrategyInfo &info)
{
    const QStringList keys = fixedStrategyKeys();
    QJsonObject record;
    for (int key = 0; key < keys.size(); ++key)
        record.insert(keys.at(key), fixedStrategyValue(info, key));
    return record;
}

QJsonValue RecordJson::fixedStrategyValue(const FixedStrategyInfo &info, int key)
{
    switch (key) {
    case 0:
        return double(info.id);
    case 1:
        return info.name;
    case 2:
        return info.filePath;
    case 3:
        return info.group;
    case 4:
        return info.extraInfo;
    default:
        return info.copyIndex;
    }
}

QStringList RecordJson::fixedStrategyKeys()
{
    return {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("filePath"), QStringLiteral("group"),
            QStringLiteral("extraInfo"), QStringLiteral("copyIndex")};
}

QJsonObject RecordJson::group(const SarvekGroupInfo &group)
{
    // Stored as seconds since the epoch; shown as a local time like every other time.
    const QDateTime created = group.createTime > 0 ? QDateTime::fromSecsSinceEpoch(qint64(group.createTime)) : QDateTime();
    return QJsonObject{{QStringLiteral("name"), group.name}, {QStringLiteral("createTime"), time(created)}};
}

QStringList RecordJson::groupKeys()
{
    return {QStringLiteral("name"), QStringLiteral("createTime")};
}

QJsonValue RecordJson::time(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))) : QJsonValue(QJsonValue::Null);
}

QJsonObject RecordJson::instance(const InstanceInfo &info)
{
    return QJsonObject{
        {QStringLiteral("instanceId"), info.instanceId},
        {QStringLiteral("runMode"), info.runMode},
        {QStringLiteral("fundAccount"), info.fundAccount},
        {QStringLiteral("returnRegInfo"), info.returnRegInfo},
        {QStringLiteral("startTime"), time(info.startTime)},
        {QStringLiteral("endTime"), time(info.endTime)},
    };
}

QStringList RecordJson::instanceKeys()
{
    return {QStringLiteral("instanceId"), QStringLiteral("runMode"), QStringLiteral("fundAccount"),
            QStringLiteral("returnRegInfo"), QStringLiteral("startTime"), QStringLiteral("endTime")};
}

QJsonObject RecordJson::cash(const BackTestCashInfo &day)
{
    return QJsonObject{
        {QStringLiteral("date"), day.date.toString(Qt::ISODate)},
        {QStringLiteral("instanceId"), day.instanceId},
        {QStringLiteral("initialFunds"), day.initialFunds},
        {QStringLiteral("endFunds"), day.endFunds},
    };
}

QStringList RecordJson::cashKeys()
{
    return {QStringLiteral("date"), QStringLiteral("instanceId"), QStringLiteral("initialFunds"),
            QStringLiteral("endFunds")};
}

QJsonObject RecordJson::fundAccount(const FundAccountData &data)
{
    return QJsonObject{
        {QStringLiteral("fundAccount"), data.fundAccount},
        {QStringLiteral("accountType"), data.accountType},
        {QStringLiteral("accountTypeName"), data.accountTypeName},
        {QStringLiteral("pyAccountType"), data.pyAccountType},
        {QStringLiteral("extInfo"), data.extInfo},
    };
}

QStringList RecordJson::fundAccountKeys()
{
    return {QStringLiteral("fundAccount"), QStringLiteral("accountType"), QStringLiteral("accountTypeName"),
            QStringLiteral("pyAccountType"), QStringLiteral("extInfo")};
}

QJsonObject RecordJson::product(const ProductData &product)
{
    return QJsonObject{{QStringLiteral("productId"), product.productId},
                       {QStringLiteral("productName"), product.productName}};
}

QStringList RecordJson::productKeys()
{
    return {QStringLiteral("productId"), QStringLiteral("productName")};
}

QJsonObject RecordJson::row(const QMap<QString, QVariant> &row)
{
    QJsonObject object;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        const QString value = it.value().toString();
        object.insert(it.key(), value.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(value));
    }
    return object;
}
