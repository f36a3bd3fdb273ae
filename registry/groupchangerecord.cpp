#include "groupchangerecord.h"

#include "storage/atomicfile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

bool GroupChangeRecord::write(const QString &path, QString *error) const
{
    QJsonObject o{{QStringLiteral("operation"), kind == Rename ? QStringLiteral("rename") : QStringLiteral("delete")},
                  {QStringLiteral("group"), group}};
    if (kind == Rename) {
        o.insert(QStringLiteral("newName"), newName);
        o.insert(QStringLiteral("createTime"), double(createTime));
    } else {
        o.insert(QStringLiteral("withStrategies"), withStrategies);
    }
    return AtomicFile::replace(path, QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n', error);
}

GroupChangeRecord::ReadResult GroupChangeRecord::read(const QString &path, GroupChangeRecord *record, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return Damaged;
    }
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    const QString operation = o.value(QLatin1String("operation")).toString();
    GroupChangeRecord r;
    r.group = o.value(QLatin1String("group")).toString();
    if (operation == QLatin1String("rename") && o.value(QLatin1String("newName")).isString()) {
        r.kind = Rename;
        r.newName = o.value(QLatin1String("newName")).toString();
        r.createTime = qint64(o.value(QLatin1String("createTime")).toDouble(-1));
    } else if (operation == QLatin1String("delete")) {
        r.kind = Delete;
        r.withStrategies = o.value(QLatin1String("withStrategies")).toBool();
    } else {
        *error = QStringLiteral("not a group change record");
        return Damaged;
    }
    *record = r;
    return Read;
}
