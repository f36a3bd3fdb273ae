#include "bundle/bundledocumentreader.h"

#include "bundle/bundletext.h"
#include "storage/installationlayout.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <climits>
#include <cmath>

using BundleText::element;
using BundleText::kindOf;
using BundleText::member;
using BundleText::shown;

namespace {
// The ids whose times the local database keeps: digits without a leading
// zero, within 64 bits. The store puts the id into its statement as a
// number and refuses any other.
bool isPlainDecimal(const QString &id)
{
    static const QRegularExpression digits(QStringLiteral("^(0|[1-9][0-9]{0,18})$"));
    bool ok = false;
    id.toLongLong(&ok);
    return ok && digits.match(id).hasMatch();
}

// Whether the local time `time` comes back as itself from `msecs` since
// the epoch, made a local time again as the stores read it. It does not
// where this machine's time zone answers the two ways differently (Britain
// in 1970, a year it kept summer time).
bool givesBack(const QDateTime &time, qint64 msecs)
{
    const QDateTime back = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC).toLocalTime();
    return back.date() == time.date() && back.time() == time.time();
}

// A local time as a bundle writes it.
QString timeText(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    return local.toString(local.time().msec() != 0 ? BundleDocument::TimeFormatMs : BundleDocument::TimeFormat);
}
} // namespace

BundleDocumentReader::BundleDocumentReader(BundleProblems *problems)
    : m_problems(problems)
{
}

void BundleDocumentReader::read(const QJsonValue &root, BundleDocument *document)
{
    if (!root.isObject()) {
        problem(QString(), QStringLiteral("expected an object, not %1").arg(kindOf(root)));
        return;
    }
    const QJsonObject doc = root.toObject();
    if (!readFormat(doc))
        return;
    // In the order of the document, so that the problems come in it too.
    time(doc, QString(), QStringLiteral("exportedAt"), false);
    text(doc, QString(), QStringLiteral("user"), Kept::Anywhere);
    readStrategies(doc, document);
    readGroups(doc, document);
    forEach(doc, QStringLiteral("locks"), [&](const QJsonValue &value, const QString &at) {
        document->locks.append(text(value, at, Kept::Anywhere));
    });
    readInstances(doc, document);
    readDays(doc, document);
    document->lastProduct = text(doc, QString(), QStringLiteral("lastProduct"), Kept::Anywhere);
    document->lastFundAccount = text(doc, QString(), QStringLiteral("lastFundAccount"), Kept::Anywhere);
    whole(doc, QString(), QStringLiteral("runMode"), INT_MIN, INT_MAX);
    document->pythonPath = text(doc, QString(), QStringLiteral("pythonPath"), Kept::Anywhere);
    crossCheck(*document);
}

// The format and the version say what everything else means: when they are
// not this one, nothing else is checked.
bool BundleDocumentReader::readFormat(const QJsonObject &doc)
{
    bool known = true;
    const QJsonValue format = doc.value(QStringLiteral("format"));
    if (format.isUndefined()) {
        problem(QStringLiteral("/format"),
                QStringLiteral("missing: this is not a %1 document").arg(BundleDocument::Format));
        known = false;
    } else if (format.toString() != BundleDocument::Format) {
        problem(QStringLiteral("/format"),
                QStringLiteral("the format is %1, not %2").arg(shown(format), BundleDocument::Format));
        known = false;
    }
    const QJsonValue version = doc.value(QStringLiteral("version"));
    if (version.isUndefined()) {
        problem(QStringLiteral("/version"), QStringLiteral("missing"));
        known = false;
    } else if (!version.isDouble() || version.toDouble() != BundleDocument::Version) {
        problem(QStringLiteral("/version"),
                QStringLiteral("version %1 is not known; this strategyctl reads version %2")
                    .arg(shown(version), QString::number(BundleDocument::Version)));
        known = false;
    }
    return known;
}

void BundleDocumentReader::readStrategies(const QJsonObject &doc, BundleDocument *document)
{
    forEachObject(doc, QStringLiteral("fixedStrategies"), [&](const QJsonObject &o, const QString &at) {
        FixedStrategyInfo info;
        info.id = whole(o, at, QStringLiteral("id"), 1, INT_MAX, 0);
        info.name = text(o, at, QStringLiteral("name"), Kept::DataFile);
        info.filePath = text(o, at, QStringLiteral("filePath"), Kept::DataFile);
        info.group = text(o, at, QStringLiteral("group"), Kept::DataFile);
        info.extraInfo = text(o, at, QStringLiteral("extraInfo"), Kept::DataFile);
        info.copyIndex = int(whole(o, at, QStringLiteral("copyIndex"), INT_MIN, INT_MAX));
        notEmpty(o, at, QStringLiteral("name"), QStringLiteral("a fixed strategy needs a name"));
        document->strategies.append(info);
    });
}

void BundleDocumentReader::readGroups(const QJsonObject &doc, BundleDocument *document)
{
    forEachObject(doc, QStringLiteral("groups"), [&](const QJsonObject &o, const QString &at) {
        SarvekGroupInfo group;
        group.name = text(o, at, QStringLiteral("name"), Kept::Groups);
        const QDateTime created = time(o, at, QStringLiteral("createTime"), true);
        group.createTime = created.isValid() ? created.toSecsSinceEpoch() : -1;
        if (created.isValid() && !InstallationLayout::isBuiltInGroup(group.name))
            groupTimeKept(created, member(at, QStringLiteral("createTime")));
        document->groups.append(group);
    });
}

void BundleDocumentReader::readInstances(const QJsonObject &doc, BundleDocument *document)
{
    forEachObject(doc, QStringLiteral("instances"), [&](const QJsonObject &o, const QString &at) {
        InstanceInfo info;
        info.instanceId = text(o, at, QStringLiteral("instanceId"), Kept::Anywhere);
        info.runMode = int(whole(o, at, QStringLiteral("runMode"), INT_MIN, INT_MAX));
        info.fundAccount = text(o, at, QStringLiteral("fundAccount"), Kept::Anywhere);
        info.returnRegInfo = text(o, at, QStringLiteral("returnRegInfo"), Kept::Anywhere);
        info.startTime = time(o, at, QStringLiteral("startTime"), true);
        info.endTime = time(o, at, QStringLiteral("endTime"), true);
        notEmpty(o, at, QStringLiteral("instanceId"), QStringLiteral("an instance needs an id"));
        // The store keeps both times or none (a missing one is reported as such).
        const QJsonValue start = o.value(QStringLiteral("startTime"));
        const QJsonValue end = o.value(QStringLiteral("endTime"));
        const bool bothThere = !start.isUndefined() && !end.isUndefined();
        if (bothThere && start.isNull() != end.isNull())
            problem(member(at, start.isNull() ? QStringLiteral("startTime") : QStringLiteral("endTime")),
                    QStringLiteral("startTime and endTime are both set or both null"));
        else if (info.startTime.isValid() && info.endTime.isValid() && !info.instanceId.isEmpty()
                 && !isPlainDecimal(info.instanceId))
            problem(member(at, QStringLiteral("startTime")),
                    QStringLiteral("times are kept only for an instance whose id is a plain decimal number, not %1")
                        .arg(shown(info.instanceId)));
        else if (info.startTime.isValid() && info.endTime.isValid())
            instanceTimesKept(info, at);
        document->instances.append(info);
    });
}

void BundleDocumentReader::readDays(const QJsonObject &doc, BundleDocument *document)
{
    forEachObject(doc, QStringLiteral("backtestDays"), [&](const QJsonObject &o, const QString &at) {
        BackTestCashInfo day;
        day.instanceId = text(o, at, QStringLiteral("instanceId"), Kept::Anywhere);
        day.date = date(o, at, QStringLiteral("date"));
        day.initialFunds = amount(o, at, QStringLiteral("initialFunds"));
        day.endFunds = amount(o, at, QStringLiteral("endFunds"));
        notEmpty(o, at, QStringLiteral("instanceId"), QStringLiteral("a day needs an instance id"));
        document->days.append(day);
    });
}

// The local database keeps an instance's times as milliseconds since the
// epoch in text and reads them back only when the end's text is longer than
// four characters (StrategySqlite::readAllInstances: shorter ones are the
// empty or placeholder values of old rows): an end from -999 to 9999
// milliseconds, within a second before to ten seconds after
// 1970-01-01T00:00:00 UTC, would come back as no times at all.
void BundleDocumentReader::instanceTimesKept(const InstanceInfo &info, const QString &at)
{
    const qint64 end = info.endTime.toMSecsSinceEpoch();
    const QString endAt = member(at, QStringLiteral("endTime"));
    if (end > -1000 && end < 10000) {
        problem(endAt, QStringLiteral("%1 is an end time the local database cannot keep: less than 1 second before to "
                                      "less than 10 seconds after 1970-01-01T00:00:00 UTC, it reads the times back "
                                      "as none")
                           .arg(shown(timeText(info.endTime))));
        return;
    }
    const QString startAt = member(at, QStringLiteral("startTime"));
    const qint64 start = info.startTime.toMSecsSinceEpoch();
    if (!givesBack(info.startTime, start))
        problem(startAt, notGivenBack(info.startTime, start, QStringLiteral("local database")));
    if (!givesBack(info.endTime, end))
        problem(endAt, notGivenBack(info.endTime, end, QStringLiteral("local database")));
}

// The groups file keeps a group's creation time as whole seconds since the
// epoch, and a group is given the time of its creation when the time it is
// given is not above 0 (StrategyGroups::add).
void BundleDocumentReader::groupTimeKept(const QDateTime &created, const QString &at)
{
    const qint64 msecs = created.toMSecsSinceEpoch();
    if (msecs < 1000)
        problem(at, QStringLiteral("%1 is before 1970-01-01T00:00:01 UTC, which the groups file cannot keep: the "
                                   "group would be given the time of the import")
                        .arg(shown(timeText(created))));
    else if (created.time().msec() != 0)
        problem(at, QStringLiteral("%1 has milliseconds, which the groups file cannot keep: it keeps whole seconds")
                        .arg(shown(timeText(created))));
    else if (!givesBack(created, msecs))
        problem(at, notGivenBack(created, msecs, QStringLiteral("groups file")));
}

QString BundleDocumentReader::notGivenBack(const QDateTime &time, qint64 msecs, const QString &store)
{
    const QString given = time.toString(time.time().msec() != 0 ? BundleDocument::TimeFormatMs : BundleDocument::TimeFormat);
    return QStringLiteral("%1 is a local time this machine's time zone does not give back (it reads back as %2), "
                          "which the %3 cannot keep")
        .arg(shown(given), shown(timeText(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC))), store);
}

void BundleDocumentReader::problem(const QString &pointer, const QString &message)
{
    if (!m_quiet)
        m_problems->add(pointer, message);
}

void BundleDocumentReader::notEmpty(const QJsonObject &o, const QString &at, const QString &key,
                                    const QString &message)
{
    const QJsonValue value = o.value(key);
    if (value.isString() && value.toString().isEmpty())
        problem(member(at, key), message);
}

// The member `key` of `o`; a problem when it is missing.
bool BundleDocumentReader::take(const QJsonObject &o, const QString &pointer, const QString &key, QJsonValue *value)
{
    *value = o.value(key);
    if (value->isUndefined()) {
        problem(member(pointer, key), QStringLiteral("missing"));
        return false;
    }
    return true;
}

// Calls `each` for every object of the array member `key`. An element that
// is not an object stands as a record of default values (whose members are
// not reported missing), so that records keep their indexes.
void BundleDocumentReader::forEachObject(const QJsonObject &doc, const QString &key, const EachObject &each)
{
    forEach(doc, key, [&](const QJsonValue &value, const QString &at) {
        if (!value.isObject())
            problem(at, QStringLiteral("expected an object, not %1").arg(kindOf(value)));
        m_quiet = !value.isObject();
        each(value.toObject(), at);
        m_quiet = false;
    });
}

void BundleDocumentReader::forEach(const QJsonObject &doc, const QString &key, const EachValue &each)
{
    QJsonValue value;
    const QString at = member(QString(), key);
    if (!take(doc, QString(), key, &value))
        return;
    if (!value.isArray()) {
        problem(at, QStringLiteral("expected an array, not %1").arg(kindOf(value)));
        return;
    }
    const QJsonArray array = value.toArray();
    for (int i = 0; i < array.size(); ++i)
        each(array.at(i), element(at, i));
}

QString BundleDocumentReader::text(const QJsonObject &o, const QString &pointer, const QString &key, Kept kept)
{
    QJsonValue value;
    if (!take(o, pointer, key, &value))
        return QString();
    return text(value, member(pointer, key), kept);
}

QString BundleDocumentReader::text(const QJsonValue &value, const QString &at, Kept kept)
{
    if (!value.isString()) {
        problem(at, QStringLiteral("expected a text, not %1").arg(kindOf(value)));
        return QString();
    }
    const QString text = value.toString();
    const QString where = kept == Kept::Anywhere ? QString() : QStringLiteral(", which the data file cannot hold");
    if (text.contains(QChar(0)))
        problem(at, QStringLiteral("a text holds a NUL, which cannot be stored"));
    else if (kept != Kept::Anywhere && text.contains(QLatin1String(",%&")))
        problem(at, QStringLiteral("a text holds \",%&\"") + where);
    else if (kept != Kept::Anywhere && text.contains(QLatin1Char('\n')))
        problem(at, QStringLiteral("a text holds a line feed") + where);
    else if (kept != Kept::Anywhere && text.contains(QLatin1Char('\r')))
        problem(at, QStringLiteral("a text holds a carriage return") + where);
    else if (kept == Kept::Groups && (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char(';'))))
        problem(at, QStringLiteral("a group name holds \"%1\", which the groups file cannot hold")
                        .arg(text.contains(QLatin1Char(',')) ? QLatin1Char(',') : QLatin1Char(';')));
    return text;
}

qint64 BundleDocumentReader::whole(const QJsonObject &o, const QString &pointer, const QString &key, qint64 min,
                                   qint64 max, qint64 fallback)
{
    QJsonValue value;
    if (!take(o, pointer, key, &value))
        return fallback;
    const QString at = member(pointer, key);
    const double d = value.toDouble();
    if (!value.isDouble() || !std::isfinite(d) || d != std::trunc(d)) {
        problem(at, QStringLiteral("expected a whole number, not %1")
                        .arg(value.isDouble() ? shown(value) : kindOf(value)));
        return fallback;
    }
    if (d < double(min) || d > double(max)) {
        problem(at, QStringLiteral("%1 is out of range (%2 to %3)")
                        .arg(shown(value), QString::number(min), QString::number(max)));
        return fallback;
    }
    return qint64(d);
}

double BundleDocumentReader::amount(const QJsonObject &o, const QString &pointer, const QString &key)
{
    QJsonValue value;
    if (!take(o, pointer, key, &value))
        return 0;
    const QString at = member(pointer, key);
    if (!value.isDouble()) {
        problem(at, QStringLiteral("expected a number, not %1").arg(kindOf(value)));
        return 0;
    }
    if (!std::isfinite(value.toDouble())) {
        problem(at, QStringLiteral("%1 is not a finite amount").arg(shown(value)));
        return 0;
    }
    return value.toDouble();
}

// A local time "yyyy-MM-ddTHH:mm:ss" (".zzz" may follow); null when
// `nullable` allows it.
QDateTime BundleDocumentReader::time(const QJsonObject &o, const QString &pointer, const QString &key, bool nullable)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}(\\.[0-9]{3})?$"));
    QJsonValue value;
    if (!take(o, pointer, key, &value))
        return QDateTime();
    const QString at = member(pointer, key);
    if (value.isNull() && nullable)
        return QDateTime();
    if (!value.isString()) {
        problem(at, QStringLiteral("expected a time%1, not %2")
                        .arg(nullable ? QStringLiteral(" or null") : QString(), kindOf(value)));
        return QDateTime();
    }
    const QString text = value.toString();
    const QDateTime time = pattern.match(text).hasMatch()
        ? QDateTime::fromString(text, text.size() > 19 ? BundleDocument::TimeFormatMs : BundleDocument::TimeFormat)
        : QDateTime();
    if (!time.isValid())
        problem(at, QStringLiteral("%1 is not a local time written yyyy-MM-ddTHH:mm:ss").arg(shown(text)));
    return time;
}

QDate BundleDocumentReader::date(const QJsonObject &o, const QString &pointer, const QString &key)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$"));
    QJsonValue value;
    if (!take(o, pointer, key, &value))
        return QDate();
    const QString at = member(pointer, key);
    if (!value.isString()) {
        problem(at, QStringLiteral("expected a date, not %1").arg(kindOf(value)));
        return QDate();
    }
    const QString text = value.toString();
    const QDate date
        = pattern.match(text).hasMatch() ? QDate::fromString(text, QStringLiteral("yyyy-MM-dd")) : QDate();
    if (!date.isValid())
        problem(at, QStringLiteral("%1 is not a date written yyyy-MM-dd").arg(shown(text)));
    return date;
}

// What no single member shows: names and keys given twice, groups that
// strategies name but the document does not list, built-in groups given a
// time.
void BundleDocumentReader::crossCheck(const BundleDocument &b)
{
    QHash<QString, int> groups;
    checkGroups(b, &groups);
    QHash<qint64, int> ids;
    for (int i = 0; i < b.strategies.size(); ++i) {
        const FixedStrategyInfo &info = b.strategies.at(i);
        const QString at = element(QStringLiteral("/fixedStrategies"), i);
        if (info.id > 0 && ids.contains(info.id))
            problem(member(at, QStringLiteral("id")), QStringLiteral("the id %1 is also the id of /fixedStrategies/%2")
                                                          .arg(info.id)
                                                          .arg(ids.value(info.id)));
        else if (info.id > 0)
            ids.insert(info.id, i);
        if (!info.group.isNull() && !groups.contains(info.group))
            problem(member(at, QStringLiteral("group")),
                    QStringLiteral("the group %1 is not listed in /groups").arg(shown(info.group)));
    }
    QHash<QString, int> instances;
    for (int i = 0; i < b.instances.size(); ++i) {
        const QString &id = b.instances.at(i).instanceId;
        if (id.isEmpty())
            continue;
        if (instances.contains(id))
            problem(member(element(QStringLiteral("/instances"), i), QStringLiteral("instanceId")),
                    QStringLiteral("the instance %1 is also /instances/%2")
                        .arg(shown(id), QString::number(instances.value(id))));
        else
            instances.insert(id, i);
    }
    QHash<QString, int> days;
    for (int i = 0; i < b.days.size(); ++i) {
        const BackTestCashInfo &day = b.days.at(i);
        if (day.instanceId.isEmpty() || !day.date.isValid())
            continue;
        const QString key = day.instanceId + QChar(0) + day.date.toString(Qt::ISODate);
        if (days.contains(key))
            problem(member(element(QStringLiteral("/backtestDays"), i), QStringLiteral("date")),
                    QStringLiteral("the day %1 of instance %2 is also /backtestDays/%3")
                        .arg(day.date.toString(Qt::ISODate), shown(day.instanceId), QString::number(days.value(key))));
        else
            days.insert(key, i);
    }
}

// Group names given twice and built-in groups given a time; the index of
// each name's first group into `groups`.
void BundleDocumentReader::checkGroups(const BundleDocument &b, QHash<QString, int> *groups)
{
    for (int i = 0; i < b.groups.size(); ++i) {
        const SarvekGroupInfo &group = b.groups.at(i);
        const QString at = element(QStringLiteral("/groups"), i);
        if (group.name.isNull())
            continue;
        if (groups->contains(group.name))
            problem(member(at, QStringLiteral("name")), QStringLiteral("the group %1 is also /groups/%2")
                                                            .arg(shown(group.name), QString::number(groups->value(group.name))));
        else
            groups->insert(group.name, i);
        if (InstallationLayout::isBuiltInGroup(group.name) && group.createTime != -1)
            problem(member(at, QStringLiteral("createTime")),
                    QStringLiteral("%1 is a built-in group: its createTime is null").arg(group.name));
    }
}
