#ifndef INSTANCEINFO_H
#define INSTANCEINFO_H

#include <QDateTime>
#include <QMetaType>
#include <QString>

/// \file
/// The record of a strategy instance.

/// One strategy instance: the run mode it was registered with (an
/// OPERATEMODE value), its fund account, its registration answer and its
/// start and end times (null until set).
struct InstanceInfo
{
    QString instanceId;    ///< the instance id, the key
    int runMode = 0;       ///< an OPERATEMODE value
    QString fundAccount;   ///< the fund account the instance trades
    QString returnRegInfo; ///< the registration answer, stored unchanged
    QDateTime startTime;   ///< start time; null until set
    QDateTime endTime;     ///< end time; null until set

    /// Equal in every field.
    bool operator==(const InstanceInfo &o) const
    {
        return instanceId == o.instanceId && runMode == o.runMode && fundAccount == o.fundAccount
               && returnRegInfo == o.returnRegInfo && startTime == o.startTime && endTime == o.endTime;
    }
    /// Different in some field.
    bool operator!=(const InstanceInfo &o) const { return !(*this == o); }
};

Q_DECLARE_METATYPE(InstanceInfo)

#endif // INSTANCEINFO_H
