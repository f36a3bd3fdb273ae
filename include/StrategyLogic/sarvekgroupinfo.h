#ifndef SARVEKGROUPINFO_H
#define SARVEKGROUPINFO_H

#include <QMetaType>
#include <QString>

/// \file
/// The record of a strategy group.

/// One strategy group: its name and its creation time in seconds since the
/// epoch (UTC); -1 for the built-in groups the system adds.
struct SarvekGroupInfo
{
    QString name;           ///< the group's name, compared exactly
    qint64 createTime = -1; ///< seconds since the epoch; -1 for the built-in groups

    /// Equal in every field.
    bool operator==(const SarvekGroupInfo &o) const { return name == o.name && createTime == o.createTime; }
};

Q_DECLARE_METATYPE(SarvekGroupInfo)

#endif // SARVEKGROUPINFO_H
