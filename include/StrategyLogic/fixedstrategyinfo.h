#ifndef FIXEDSTRATEGYINFO_H
#define FIXEDSTRATEGYINFO_H

#include <QList>
#include <QMetaType>
#include <QString>

/// \file
/// The record of a fixed strategy.

/// One fixed strategy: a strategy source file registered under an id, a
/// display name, a group and a free text. A default record (id -1) is what
/// lookups answer when nothing is found.
struct FixedStrategyInfo
{
    qint64 id = -1;       ///< id from the id sequence, 1 to 2147483647; -1: no record
    QString name;         ///< display name, unique among the names of the same file
    QString filePath;     ///< path of the strategy source file, compared exactly
    QString group;        ///< name of the group the record belongs to
    QString extraInfo;    ///< free text of the caller, stored unchanged
    int copyIndex = 0;    ///< number of the copy within the add that made it (0, 1, ...)

    /// Equal in every field.
    bool operator==(const FixedStrategyInfo &o) const
    {
        return id == o.id && name == o.name && filePath == o.filePath && group == o.group
               && extraInfo == o.extraInfo && copyIndex == o.copyIndex;
    }
    /// Different in some field.
    bool operator!=(const FixedStrategyInfo &o) const { return !(*this == o); }
};

Q_DECLARE_METATYPE(FixedStrategyInfo)

#endif // FIXEDSTRATEGYINFO_H
