#ifndef BUNDLESAMPLE_H
#define BUNDLESAMPLE_H

#include <StrategyLogic/strategybundle.h>

#include <QByteArray>
#include <QStringList>

// What the bundle's tests share: a valid bundle and the ways they change
// and read it.

// A valid bundle; the rows of the tests change one thing in it. Its instance
// id 1024 stands for an id of each case's own.
inline const QByteArray BaseBundle = R"({
    "format": "strategylogic-bundle",
    "version": 1,
    "exportedAt": "2026-12-07T09:30:00",
    "user": "demo01",
    "fixedStrategies": [
        {"id": 17, "name": "abc", "filePath": "D:/s/abc.py", "group": "趋势", "extraInfo": "", "copyIndex": 0},
        {"id": 18, "name": "abc_1", "filePath": "D:/s/abc.py", "group": "默认分组", "extraInfo": "note", "copyIndex": 1}
    ],
    "groups": [
        {"name": "趋势", "createTime": "2020-12-01T09:00:00"},
        {"name": "默认分组", "createTime": null}
    ],
    "locks": [
        "D:/s/abc.py"
    ],
    "instances": [
        {"instanceId": "1024", "runMode": 2, "fundAccount": "880001", "returnRegInfo": "ok",
         "startTime": "2026-12-01T09:30:00", "endTime": "2026-12-01T15:00:00"}
    ],
    "backtestDays": [
        {"instanceId": "1024", "date": "2026-12-01", "initialFunds": 100000, "endFunds": 101000.5}
    ],
    "lastProduct": "P001",
    "lastFundAccount": "880001",
    "runMode": 0,
    "pythonPath": "C:/Python311"
}
)";

// BaseBundle with `from` (once in it) replaced by `to`; an empty `from`
// stands for the whole document.
inline QByteArray changed(const QByteArray &from, const QByteArray &to)
{
    if (from.isEmpty())
        return to;
    QByteArray document = BaseBundle;
    if (document.count(from) != 1)
        qFatal("not once in the bundle: %s", from.constData());
    return document.replace(from, to);
}

inline QStringList described(const QList<StrategyLogic::BundleProblem> &problems)
{
    QStringList list;
    for (const StrategyLogic::BundleProblem &problem : problems)
        list << problem.pointer + QStringLiteral(": ") + problem.message;
    return list;
}

#endif // BUNDLESAMPLE_H
