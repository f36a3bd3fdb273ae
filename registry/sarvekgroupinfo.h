#ifndef SARVEKGROUPINFO_H
#define SARVEKGROUPINFO_H

#include <QMetaType>
#include <QString>

// One strategy group: its name and its creation time in seconds since the
// epoch (UTC); -1 for the built-in groups the system adds.
struct SarvekGroupInfo
{
    QString name;
    qint64 createTime = -1;

    bool operator==(const SarvekGroupInfo &o) const { return name == o.name && createTime == o.createTime; }
};

Q_DECLARE_METATYPE(SarvekGroupInfo)

#endif // SARVEKGROUPINFO_H
