#ifndef STRATEGYLOGIC_REPORTHTML_H
#define STRATEGYLOGIC_REPORTHTML_H

#include <StrategyLogic/backtestreport.h>
#include <StrategyLogic/strategylogiccharts_global.h>

#include <QByteArray>
#include <QString>

/// \file
/// The backtest report as one self-contained HTML page.

namespace StrategyLogic {

/// One self-contained HTML page of `report`: the title with the instance,
/// the period, `svg` (a chart such as EquityChart::toSvg() makes, inlined
/// without its XML declaration; none when empty), the figures, the day
/// table and the notes. Every text of the report is escaped, control
/// characters shown as escapes (BacktestReport::printable()), so that an
/// instance id or a note cannot add markup. Needs no QGuiApplication.
/// Thread-safe.
STRATEGYLOGICCHARTS_EXPORT QString reportHtml(const BacktestReport &report, const QByteArray &svg);

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_REPORTHTML_H
