#ifndef INSTANCEINFO_H
#define INSTANCEINFO_H

#include <QDateTime>
#include <QMetaType>
#include <QString>

// One strategy instance: the run mode it was registered with (an
// OPERATEMODE value), its fund account, its registration answer and its
// start and end times (null until set).
struct InstanceInfo
{
    QString instanceId;
    int runMode = 0;
    QString fundAccount;
    QString returnRegInfo;
    QDateTime startTime;
    QDateTime endTime;

    bool operator==(const InstanceInfo &o) const
    {
        return instanceId == o.instanceId && runMode == o.runMode && fundAccount == o.fundAccount
               && returnRegInfo == o.returnRegInfo && startTime == o.startTime && endTime == o.endTime;
    }
    bool operator!=(const InstanceInfo &o) const { return !(*this == o); }
};

Q_DECLARE_METATYPE(InstanceInfo)

#endif // INSTANCEINFO_H
