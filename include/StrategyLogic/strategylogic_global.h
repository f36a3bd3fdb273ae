#ifndef STRATEGYLOGIC_GLOBAL_H
#define STRATEGYLOGIC_GLOBAL_H

#include <QStringList>
#include <QtGlobal>

/// \file
/// The export macro of the plug-in and the run modes shared by its API.

/// Marks what the plug-in exports: StrategyFileLogicHandler,
/// StrategyDirHandler and the functions of namespace StrategyLogic (the
/// version query, the installation check, reading the history of
/// changes); everything else stays inside
/// the library.
#if defined(STRATEGYLOGIC_BUILDING)
#define STRATEGYLOGIC_EXPORT Q_DECL_EXPORT
#else
#define STRATEGYLOGIC_EXPORT Q_DECL_IMPORT
#endif

/// Run mode of the plug-in and of each strategy instance. The numbers are
/// stored in the local database and travel in signals as `int`.
enum OPERATEMODE {
    OPERATE_LIVE = 0,     ///< live trading, "实盘"
    OPERATE_SIMULATE = 1, ///< simulated trading, "模拟交易"
    OPERATE_BACKTEST = 2, ///< backtest, "回测"
    OPERATE_UNKNOWN = 3,  ///< unknown: the answer for an instance the plug-in does not hold, "未知"
};

/// Display texts of the run modes: a mode's value is its position.
inline const QStringList OperateModeNames = {
    QStringLiteral("实盘"),
    QStringLiteral("模拟交易"),
    QStringLiteral("回测"),
    QStringLiteral("未知"),
};

#endif // STRATEGYLOGIC_GLOBAL_H
