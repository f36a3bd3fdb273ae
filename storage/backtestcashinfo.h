#ifndef BACKTESTCASHINFO_H
#define BACKTESTCASHINFO_H

#include <QDate>
#include <QMetaType>
#include <QString>

// One backtest trading day of an instance: its initial and end funds.
struct BackTestCashInfo
{
    QDate date;
    QString instanceId;
    double initialFunds = 0;
    double endFunds = 0;

    bool operator==(const BackTestCashInfo &o) const
    {
        return date == o.date && instanceId == o.instanceId && initialFunds == o.initialFunds
               && endFunds == o.endFunds;
    }
    bool operator!=(const BackTestCashInfo &o) const { return !(*this == o); }
};

Q_DECLARE_METATYPE(BackTestCashInfo)

#endif // BACKTESTCASHINFO_H
