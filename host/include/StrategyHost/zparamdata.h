#ifndef ZPARAMDATA_H
#define ZPARAMDATA_H

#include <QMetaType>
#include <QString>
#include <QVariant>

// One user parameter of a strategy instance, as the client's monitor shows it.
class ZParamData
{
public:
    int paramIndex = 0;
    QString paramName;
    QString paramValue;
    QString paramType;
    int paramFlag = 0;
    QString paramDesc;
    QString paramRange;
    int paramPrecision = 0;
    QVariant paramDefault;
    QString paramGroup;
};

Q_DECLARE_METATYPE(ZParamData)

#endif // ZPARAMDATA_H
