#ifndef STRATEGYLOGICCHARTS_GLOBAL_H
#define STRATEGYLOGICCHARTS_GLOBAL_H

#include <QtGlobal>

/// \file
/// The export macro of the chart library (StrategyLogic::Charts).

/// Marks what the chart library exports: StrategyLogic::EquityChart,
/// StrategyLogic::ComparisonChart and StrategyLogic::reportHtml();
/// everything else stays inside the library.
#if defined(STRATEGYLOGICCHARTS_BUILDING)
#define STRATEGYLOGICCHARTS_EXPORT Q_DECL_EXPORT
#else
#define STRATEGYLOGICCHARTS_EXPORT Q_DECL_IMPORT
#endif

#endif // STRATEGYLOGICCHARTS_GLOBAL_H
