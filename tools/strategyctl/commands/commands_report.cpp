// The performance report of a backtest instance: figures, day table and charts.

#include "commands.h"
#include "commandtable.h"

#include <StrategyLogic/backtestreport.h>
#include <StrategyLogic/equitychart.h>
#include <StrategyLogic/reporthtml.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <QFileInfo>

namespace {
using StrategyLogic::BacktestReport;
using StrategyLogic::EquityChart;

const QStringList FileOptions{QStringLiteral("svg"), QStringLiteral("png"), QStringLiteral("html")};

// Two options naming the same file would leave only the last one written.
QString checkFiles(const ParsedCommand &parsed)
{
    QMap<QString, QString> seen;
    for (const QString &option : FileOptions) {
        if (!parsed.options.contains(option))
            continue;
        const QString value = parsed.options.value(option);
        if (value.isEmpty())
            return QStringLiteral("--%1 needs a file name").arg(option);
        const QString path = QFileInfo(CommandContext::localFile(value)).absoluteFilePath();
        if (seen.contains(path))
            return QStringLiteral("--%1 and --%2 name the same file '%3'").arg(seen.value(path), option, value);
        seen.insert(path, option);
    }
    return QString();
}

int report(CommandContext &c)
{
    const QString id = c.args.at(0);
    QList<BackTestCashInfo> days;
    if (!c.facade().queryBackTestCashInfo(id, days) || days.isEmpty())
        return c.notFound(QStringLiteral("no cash recorded for instance %1").arg(id));
    const BacktestReport result = BacktestReport::compute(id, days);

    // Every file is made in memory first: a drawing that fails writes nothing.
    QList<QPair<QString, QByteArray>> files;
    bool drawing = false;
    for (const QString &option : FileOptions)
        drawing = drawing || c.parser.isSet(option);
    if (drawing) {
        if (!EquityChart::canDraw())
            return c.refuse(QStringLiteral("charts are drawn by a one-shot 'strategyctl report'; this process has no "
                                           "font database to draw text with"));
        const EquityChart chart(result);
        QString error;
        QByteArray svg;
        if (c.parser.isSet(QStringLiteral("svg")) || c.parser.isSet(QStringLiteral("html"))) {
            svg = chart.toSvg(&error);
            if (svg.isEmpty())
                return c.unavailable(QStringLiteral("io"), error);
        }
        if (c.parser.isSet(QStringLiteral("svg")))
            files.append({c.parser.value(QStringLiteral("svg")), svg});
        if (c.parser.isSet(QStringLiteral("png"))) {
            const QByteArray png = chart.toPng(&error);
            if (png.isEmpty())
                return c.unavailable(QStringLiteral("io"), error);
            files.append({c.parser.value(QStringLiteral("png")), png});
        }
        if (c.parser.isSet(QStringLiteral("html")))
            files.append({c.parser.value(QStringLiteral("html")), StrategyLogic::reportHtml(result, svg).toUtf8()});
    }
    for (const auto &file : qAsConst(files)) {
        QString error;
        if (!EquityChart::writeDocument(CommandContext::localFile(file.first), file.second, &error))
            return c.unavailable(QStringLiteral("io"), QStringLiteral("cannot write %1: %2").arg(file.first, error));
    }

    if (c.out.isJson()) {
        c.out.printJson(result.toJson());
        return CommandContext::Success;
    }
    QJsonObject figures = result.figuresText();
    figures.insert(QStringLiteral("instanceId"), id);
    c.out.printRecord(QStringList{QStringLiteral("instanceId")} + BacktestReport::figureKeys(), figures);
    QList<QJsonObject> rows;
    for (const BacktestReport::Day &day : result.days())
        rows.append(BacktestReport::dayText(day));
    c.out.printLine(QString());
    c.out.printRecords(BacktestReport::dayKeys(), rows);
    for (const QString &note : result.notes())
        c.out.printLine(QStringLiteral("note: ") + note);
    return CommandContext::Success;
}
} // namespace

void registerReportCommands(CommandTable &table)
{
    CommandTable::Command &command = table.add(
        QStringLiteral("report"), QStringLiteral("ID"),
        QStringLiteral("Shows a backtest instance's performance: returns, volatility, Sharpe ratio, drawdown."),
        report,
        {{QStringLiteral("svg"), QStringLiteral("FILE"), ValueType::File,
          QStringLiteral("Also draws the equity chart as an SVG file."), {}, QString()},
         {QStringLiteral("png"), QStringLiteral("FILE"), ValueType::File,
          QStringLiteral("Also draws the equity chart as a PNG file."), {}, QString()},
         {QStringLiteral("html"), QStringLiteral("FILE"), ValueType::File,
          QStringLiteral("Also writes a self-contained HTML page: chart, figures and days."), {}, QString()}});
    command.details = QStringLiteral(
        "From the instance's backtest days: each day's return (end / start - 1), the total and annualised return "
        "(252 trading days a year), the annualised volatility and Sharpe ratio (risk-free rate 0; none for one day "
        "or returns that never vary), the maximum drawdown of the end-of-day funds (the first day's start counts as "
        "the first peak), the best and worst day and the share of winning days. A day whose start is not above 0, "
        "or that has not ended (end funds 0), is listed but left out of the figures, with a note.\n"
        "FILE is relative to the folder strategyctl was started in; a file is replaced whole or not at all. Charts "
        "are drawn by a one-shot run, not inside the shell.");
    command.db = DbAccess::Reads;
    command.check = checkFiles;

}
