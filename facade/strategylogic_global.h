#ifndef STRATEGYLOGIC_GLOBAL_H
#define STRATEGYLOGIC_GLOBAL_H

#include <QLoggingCategory>
#include <QStringList>
#include <QtGlobal>

// The plug-in exports StrategyFileLogicHandler and StrategyDirHandler;
// everything else stays inside the library.
#if defined(STRATEGYLOGIC_BUILDING)
#define STRATEGYLOGIC_EXPORT Q_DECL_EXPORT
#else
#define STRATEGYLOGIC_EXPORT Q_DECL_IMPORT
#endif

// Run mode of the plug-in and of each strategy instance. The numbers are
// stored in the local database and travel in signals as int.
enum OPERATEMODE {
    OPERATE_LIVE = 0,
    OPERATE_SIMULATE = 1,
    OPERATE_BACKTEST = 2,
    OPERATE_UNKNOWN = 3,
};

// Display texts of the run modes: a mode's value is its position.
inline const QStringList OperateModeNames = {
    QStringLiteral("实盘"),
    QStringLiteral("模拟交易"),
    QStringLiteral("回测"),
    QStringLiteral("未知"),
};

// Diagnostics of the plug-in; filter them with QT_LOGGING_RULES, for
// example "strategylogic.debug=false".
Q_DECLARE_LOGGING_CATEGORY(lcStrategyLogic)
// Warnings that a change the caller was answered for (or that was kept in
// memory) could not be written to its file or table: a host watches this
// category to learn that something was not stored.
Q_DECLARE_LOGGING_CATEGORY(lcStrategyLogicUnsaved)

#define SL_DEBUG qCDebug(lcStrategyLogic).noquote()
#define SL_INFO qCInfo(lcStrategyLogic).noquote()
#define SL_WARNING qCWarning(lcStrategyLogic).noquote()
#define SL_CRITICAL qCCritical(lcStrategyLogic).noquote()
#define SL_UNSAVED qCWarning(lcStrategyLogicUnsaved).noquote()
#define SL_UNSAVED_CRITICAL qCCritical(lcStrategyLogicUnsaved).noquote()

#endif // STRATEGYLOGIC_GLOBAL_H
