#ifndef ZINSTANCEMONITORDATA_H
#define ZINSTANCEMONITORDATA_H

#include "zparamdata.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

// The client's monitor record of one strategy instance.
class ZInstanceMonitorData
{
public:
    QString instanceId;
    QString instanceName;
    QString strategyName;
    QString strategyFile;
    int instanceState = 1;
    QString stateText;
    QDateTime validBeginTime;
    QList<ZParamData> params;
    int runMode = 0;
    bool autoStart = false;
    int priority = 2;
    QString remark;
};

Q_DECLARE_METATYPE(ZInstanceMonitorData)

#endif // ZINSTANCEMONITORDATA_H
