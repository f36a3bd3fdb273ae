#ifndef FIXEDSTRATEGYINFO_H
#define FIXEDSTRATEGYINFO_H

#include <QList>
#include <QMetaType>
#include <QString>

// One fixed strategy: a strategy source file registered under an id, a
// display name, a group and a free text. A default record (id -1) is what
// lookups answer when nothing is found.
struct FixedStrategyInfo
{
    qint64 id = -1;
    QString name;
    QString filePath;
    QString group;
    QString extraInfo;
    int copyIndex = 0;

    bool operator==(const FixedStrategyInfo &o) const
    {
        return id == o.id && name == o.name && filePath == o.filePath && group == o.group
               && extraInfo == o.extraInfo && copyIndex == o.copyIndex;
    }
    bool operator!=(const FixedStrategyInfo &o) const { return !(*this == o); }
};

Q_DECLARE_METATYPE(FixedStrategyInfo)

#endif // FIXEDSTRATEGYINFO_H
