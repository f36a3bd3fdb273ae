#include "pendingjournal.h"

#include "storage/atomicfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {
constexpr char Kind[] = "StrategyLogic pending rows";
constexpr int Version = 1;
const QString DateFormat = QStringLiteral("yyyyMMdd");

QJsonValue msecs(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(double(time.toMSecsSinceEpoch())) : QJsonValue();
}

QDateTime timeOf(const QJsonValue &value)
{
    return value.isDouble() ? QDateTime::fromMSecsSinceEpoch(qint64(value.toDouble())) : QDateTime();
}
} // namespace

QString PendingJournal::path(const QString &folder)
{
    return folder + QLatin1Char('/') + QLatin1String(FileName);
}

PendingJournal::ReadResult PendingJournal::read(const QString &path, Rows *rows, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return Damaged;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    const QJsonObject root = doc.object();
    if (parseError.error != QJsonParseError::NoError || root.value(QLatin1String("kind")).toString() != QLatin1String(Kind)
        || root.value(QLatin1String("version")).toInt() != Version) {
        *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                               : QStringLiteral("not a journal of version %1").arg(Version);
        return Damaged;
    }
    Rows read;
    for (const QJsonValue &value : root.value(QLatin1String("instance_info")).toArray()) {
        const QJsonObject o = value.toObject();
        InstanceInfo info;
        info.instanceId = o.value(QLatin1String("instance_id")).toString();
        info.runMode = o.value(QLatin1String("run_mode")).toInt();
        info.fundAccount = o.value(QLatin1String("fund_account")).toString();
        info.returnRegInfo = o.value(QLatin1String("return_reginfo")).toString();
        info.startTime = timeOf(o.value(QLatin1String("start_time")));
        info.endTime = timeOf(o.value(QLatin1String("end_time")));
        read.instances.append(info);
    }
    for (const QJsonValue &value : root.value(QLatin1String("backtest_daycash")).toArray()) {
        const QJsonObject o = value.toObject();
        BackTestCashInfo day;
        day.instanceId = o.value(QLatin1String("instance_id")).toString();
        day.date = QDate::fromString(o.value(QLatin1String("date")).toString(), DateFormat);
        day.initialFunds = o.value(QLatin1String("initial_funds")).toDouble();
        day.endFunds = o.value(QLatin1String("end_funds")).toDouble();
        read.dayCash.append(day);
    }
    *rows = read;
    return Read;
}

bool PendingJournal::write(const QString &path, const Rows &rows, const QString &reason, QString *error)
{
    QJsonArray instances;
    for (const InstanceInfo &info : rows.instances) {
        instances.append(QJsonObject{
            {QStringLiteral("instance_id"), info.instanceId},
            {QStringLiteral("run_mode"), info.runMode},
            {QStringLiteral("fund_account"), info.fundAccount},
            {QStringLiteral("return_reginfo"), info.returnRegInfo},
            {QStringLiteral("start_time"), msecs(info.startTime)},
            {QStringLiteral("end_time"), msecs(info.endTime)},
        });
    }
    QJsonArray dayCash;
    for (const BackTestCashInfo &day : rows.dayCash) {
        if (!std::isfinite(day.initialFunds) || !std::isfinite(day.endFunds))
            continue;
        dayCash.append(QJsonObject{
            {QStringLiteral("instance_id"), day.instanceId},
            {QStringLiteral("date"), day.date.toString(DateFormat)},
            {QStringLiteral("initial_funds"), day.initialFunds},
            {QStringLiteral("end_funds"), day.endFunds},
        });
    }
    const QJsonObject root{
        {QStringLiteral("kind"), QLatin1String(Kind)},
        {QStringLiteral("version"), Version},
        {QStringLiteral("written"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("reason"), reason},
        {QStringLiteral("instance_info"), instances},
        {QStringLiteral("backtest_daycash"), dayCash},
    };
    return AtomicFile::replace(path, QJsonDocument(root).toJson(QJsonDocument::Indented), error);
}
