#include "bundle/importrecord.h"

#include "storage/atomicfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

const QString ImportRecord::Format = QStringLiteral("strategylogic-import");

namespace {
// Amounts as texts of 17 significant digits: they read back bit for bit.
QJsonValue amount(double value) { return QString::number(value, 'g', 17); }
double amountOf(const QJsonValue &value) { return value.toString().toDouble(); }

QJsonValue time(const QDateTime &t) { return t.isValid() ? QJsonValue(double(t.toMSecsSinceEpoch())) : QJsonValue(); }
QDateTime timeOf(const QJsonValue &value)
{
    return value.isDouble() ? QDateTime::fromMSecsSinceEpoch(qint64(value.toDouble())) : QDateTime();
}

QJsonObject step(const ImportRecord::Step &s)
{
    return QJsonObject{{QStringLiteral("at"), s.at}, {QStringLiteral("row"), s.row}};
}

template <typename T> T stepOf(const QJsonObject &o)
{
    T s;
    s.at = o.value(QLatin1String("at")).toString();
    s.row = o.value(QLatin1String("row")).toInt(-1);
    return s;
}

template <typename T, typename F> QJsonArray arrayOf(const QList<T> &list, F &&object)
{
    QJsonArray array;
    for (const T &item : list) {
        QJsonObject o = step(item);
        const QJsonObject fields = object(item);
        for (auto it = fields.begin(); it != fields.end(); ++it)
            o.insert(it.key(), it.value());
        array.append(o);
    }
    return array;
}

template <typename T, typename F> QList<T> listOf(const QJsonValue &value, F &&fill)
{
    QList<T> list;
    for (const QJsonValue &item : value.toArray()) {
        const QJsonObject o = item.toObject();
        T s = stepOf<T>(o);
        fill(o, s);
        list.append(s);
    }
    return list;
}
} // namespace

QString ImportRecord::pathFor(const QString &installationFolder, const QString &userId)
{
    return QStringLiteral("%1/%2/%3/%4")
        .arg(installationFolder, QLatin1String(InstallationLayout::WorkFolder), userId, QLatin1String(FileName));
}

bool ImportRecord::write(const QString &path, QString *error) const
{
    const QJsonObject o{
        {QStringLiteral("format"), Format},
        {QStringLiteral("version"), Version},
        {QStringLiteral("bundle"), bundle},
        {QStringLiteral("mode"), replace ? QStringLiteral("replace") : QStringLiteral("merge")},
        {QStringLiteral("removals"), arrayOf(removals, [](const Removal &r) {
             return QJsonObject{{QStringLiteral("id"), double(r.id)}, {QStringLiteral("filePath"), r.filePath}};
         })},
        {QStringLiteral("groupRemovals"),
         arrayOf(groupRemovals, [](const GroupRemoval &r) { return QJsonObject{{QStringLiteral("name"), r.name}}; })},
        {QStringLiteral("groups"), arrayOf(groups, [](const Group &g) {
             return QJsonObject{{QStringLiteral("name"), g.group.name},
                                {QStringLiteral("createTime"), double(g.group.createTime)}};
         })},
        {QStringLiteral("fixedStrategies"), arrayOf(strategies, [](const Strategy &s) {
             return QJsonObject{{QStringLiteral("filePath"), s.info.filePath},
                                {QStringLiteral("name"), s.info.name},
                                {QStringLiteral("group"), s.info.group},
                                {QStringLiteral("extraInfo"), s.info.extraInfo},
                                {QStringLiteral("copyIndex"), s.info.copyIndex}};
         })},
        {QStringLiteral("locks"),
         arrayOf(locks, [](const Lock &l) { return QJsonObject{{QStringLiteral("filePath"), l.filePath}}; })},
        {QStringLiteral("instances"), arrayOf(instances, [](const Instance &i) {
             return QJsonObject{{QStringLiteral("instanceId"), i.info.instanceId},
                                {QStringLiteral("runMode"), i.info.runMode},
                                {QStringLiteral("fundAccount"), i.info.fundAccount},
                                {QStringLiteral("returnRegInfo"), i.info.returnRegInfo},
                                {QStringLiteral("startTime"), time(i.info.startTime)},
                                {QStringLiteral("endTime"), time(i.info.endTime)}};
         })},
        {QStringLiteral("backtestDays"), arrayOf(days, [](const Day &d) {
             return QJsonObject{{QStringLiteral("instanceId"), d.day.instanceId},
                                {QStringLiteral("date"), d.day.date.toString(Qt::ISODate)},
                                {QStringLiteral("initialFunds"), amount(d.day.initialFunds)},
                                {QStringLiteral("endFunds"), amount(d.day.endFunds)}};
         })},
        {QStringLiteral("values"), arrayOf(values, [](const Value &v) {
             return QJsonObject{{QStringLiteral("key"), v.key}, {QStringLiteral("value"), v.value}};
         })},
    };
    return AtomicFile::replace(path, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n', error);
}

ImportRecord::ReadResult ImportRecord::read(const QString &path, ImportRecord *record, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return Damaged;
    }
    QJsonParseError parsed;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll(), &parsed).object();
    if (parsed.error != QJsonParseError::NoError || o.value(QLatin1String("format")).toString() != Format
        || o.value(QLatin1String("version")).toInt() != Version) {
        *error = QStringLiteral("not an import record of version %1").arg(Version);
        return Damaged;
    }
    ImportRecord r;
    r.bundle = o.value(QLatin1String("bundle")).toString();
    r.replace = o.value(QLatin1String("mode")).toString() == QLatin1String("replace");
    r.removals = listOf<Removal>(o.value(QLatin1String("removals")), [](const QJsonObject &v, Removal &s) {
        s.id = qint64(v.value(QLatin1String("id")).toDouble());
        s.filePath = v.value(QLatin1String("filePath")).toString();
    });
    r.groupRemovals = listOf<GroupRemoval>(o.value(QLatin1String("groupRemovals")),
                                           [](const QJsonObject &v, GroupRemoval &s) {
                                               s.name = v.value(QLatin1String("name")).toString();
                                           });
    r.groups = listOf<Group>(o.value(QLatin1String("groups")), [](const QJsonObject &v, Group &s) {
        s.group.name = v.value(QLatin1String("name")).toString();
        s.group.createTime = qint64(v.value(QLatin1String("createTime")).toDouble(-1));
    });
    r.strategies = listOf<Strategy>(o.value(QLatin1String("fixedStrategies")), [](const QJsonObject &v, Strategy &s) {
        s.info.filePath = v.value(QLatin1String("filePath")).toString();
        s.info.name = v.value(QLatin1String("name")).toString();
        s.info.group = v.value(QLatin1String("group")).toString();
        s.info.extraInfo = v.value(QLatin1String("extraInfo")).toString();
        s.info.copyIndex = v.value(QLatin1String("copyIndex")).toInt();
    });
    r.locks = listOf<Lock>(o.value(QLatin1String("locks")), [](const QJsonObject &v, Lock &s) {
        s.filePath = v.value(QLatin1String("filePath")).toString();
    });
    r.instances = listOf<Instance>(o.value(QLatin1String("instances")), [](const QJsonObject &v, Instance &s) {
        s.info.instanceId = v.value(QLatin1String("instanceId")).toString();
        s.info.runMode = v.value(QLatin1String("runMode")).toInt();
        s.info.fundAccount = v.value(QLatin1String("fundAccount")).toString();
        s.info.returnRegInfo = v.value(QLatin1String("returnRegInfo")).toString();
        s.info.startTime = timeOf(v.value(QLatin1String("startTime")));
        s.info.endTime = timeOf(v.value(QLatin1String("endTime")));
    });
    r.days = listOf<Day>(o.value(QLatin1String("backtestDays")), [](const QJsonObject &v, Day &s) {
        s.day.instanceId = v.value(QLatin1String("instanceId")).toString();
        s.day.date = QDate::fromString(v.value(QLatin1String("date")).toString(), Qt::ISODate);
        s.day.initialFunds = amountOf(v.value(QLatin1String("initialFunds")));
        s.day.endFunds = amountOf(v.value(QLatin1String("endFunds")));
    });
    r.values = listOf<Value>(o.value(QLatin1String("values")), [](const QJsonObject &v, Value &s) {
        s.key = v.value(QLatin1String("key")).toString();
        s.value = v.value(QLatin1String("value")).toString();
    });
    *record = r;
    return Read;
}
