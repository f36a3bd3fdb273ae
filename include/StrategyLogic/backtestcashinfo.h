#ifndef BACKTESTCASHINFO_H
#define BACKTESTCASHINFO_H

#include <QDate>
#include <QMetaType>
#include <QString>

/// \file
/// The record of a backtest day.

/// One backtest trading day of an instance: its initial and end funds.
struct BackTestCashInfo
{
    QDate date;              ///< the trading day
    QString instanceId;      ///< the instance id
    double initialFunds = 0; ///< funds at the start of the day
    double endFunds = 0;     ///< funds at the end of the day; 0 while the day is not finished

    /// Equal in every field.
    bool operator==(const BackTestCashInfo &o) const
    {
        return date == o.date && instanceId == o.instanceId && initialFunds == o.initialFunds
               && endFunds == o.endFunds;
    }
    /// Different in some field.
    bool operator!=(const BackTestCashInfo &o) const { return !(*this == o); }
};

Q_DECLARE_METATYPE(BackTestCashInfo)

#endif // BACKTESTCASHINFO_H
