#include "groupsfile.h"

#include "storage/utf8text.h"

#include <QStringList>

QMap<QString, SarvekGroupInfo> GroupsFile::parse(const QByteArray &content)
{
    QMap<QString, SarvekGroupInfo> groups;
    const QStringList entries = Utf8Text::decode(content.constData(), content.size()).split(QLatin1Char(','));
    for (const QString &entry : entries) {
        const QStringList parts = entry.split(QLatin1Char(';'));
        if (parts.size() < 2)
            continue;
        groups.insert(parts.at(0), SarvekGroupInfo{parts.at(0), parts.at(1).toLongLong()});
    }
    return groups;
}

bool GroupsFile::isText(const QByteArray &content)
{
    bool text = false;
    Utf8Text::decode(content.constData(), content.size(), &text);
    return text;
}

QString GroupsFile::format(const QList<SarvekGroupInfo> &groups)
{
    QStringList entries;
    entries.reserve(groups.size());
    for (const SarvekGroupInfo &group : groups)
        entries.append(group.name + QLatin1Char(';') + QString::number(group.createTime));
    return entries.join(QLatin1Char(','));
}

bool GroupsFile::canHold(const QString &name)
{
    return !name.contains(QLatin1Char(',')) && !name.contains(QLatin1Char(';'));
}
