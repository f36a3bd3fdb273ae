#include <StrategyLogic/reporthtml.h>

#include <QJsonObject>

namespace StrategyLogic {

QString reportHtml(const BacktestReport &report, const QByteArray &svg)
{
    auto escaped = [](const QString &text) { return text.toHtmlEscaped(); };
    const QString title =
        QStringLiteral("Backtest report: instance %1").arg(escaped(BacktestReport::printable(report.instanceId())));
    QString html;
    html += QStringLiteral(
                "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>")
            + title
            + QStringLiteral(
                "</title>\n<style>\n"
                "body { font-family: \"DejaVu Sans\", Verdana, sans-serif; color: #1d2330; margin: 2em auto; "
                "max-width: 1000px; padding: 0 1em; }\n"
                "h1 { font-size: 1.5em; margin-bottom: 0.2em; }\n"
                "h2 { font-size: 1.15em; margin-top: 1.6em; }\n"
                ".period { color: #5b6475; margin-top: 0; }\n"
                ".chart svg { width: 100%; height: auto; border: 1px solid #e3e6ec; }\n"
                "table { border-collapse: collapse; font-variant-numeric: tabular-nums; }\n"
                "th, td { padding: 0.25em 0.9em; border-bottom: 1px solid #e3e6ec; }\n"
                "th { text-align: left; font-weight: 600; }\n"
                "td.number { text-align: right; }\n"
                ".gain { color: #1b7f3b; } .loss { color: #c0392b; }\n"
                ".notes { color: #8a5a00; }\n"
                "</style>\n</head>\n<body>\n<h1>")
            + title + QStringLiteral("</h1>\n");
    const BacktestReport::Figures &f = report.figures();
    if (f.days > 0)
        html += QStringLiteral("<p class=\"period\">%1</p>\n").arg(escaped(report.period()));

    // The SVG is inlined without its XML declaration, which HTML does not take.
    const int start = svg.indexOf("<svg");
    if (start >= 0)
        html += QStringLiteral("<div class=\"chart\">\n") + QString::fromUtf8(svg.mid(start)).trimmed()
                + QStringLiteral("\n</div>\n");

    auto signClass = [](std::optional<double> value) {
        if (!value || *value == 0)
            return QString();
        return *value > 0 ? QStringLiteral(" gain") : QStringLiteral(" loss");
    };
    const QJsonObject texts = report.figuresText();
    html += QStringLiteral("<h2>Figures</h2>\n<table class=\"figures\">\n");
    for (const QString &key : BacktestReport::figureKeys()) {
        QString cls = QStringLiteral("number");
        if (key == QLatin1String("totalReturn"))
            cls += signClass(f.totalReturn);
        else if (key == QLatin1String("annualReturn"))
            cls += signClass(f.annualReturn);
        html += QStringLiteral("<tr><th>%1</th><td class=\"%2\">%3</td></tr>\n")
                    .arg(escaped(BacktestReport::figureLabel(key)), cls, escaped(texts.value(key).toString()));
    }
    html += QStringLiteral("</table>\n<h2>Days</h2>\n<table class=\"days\">\n<thead><tr>");
    for (const QString &label : {QStringLiteral("Date"), QStringLiteral("Start"), QStringLiteral("End"),
                                 QStringLiteral("Return"), QStringLiteral("Drawdown")})
        html += QStringLiteral("<th>%1</th>").arg(label);
    html += QStringLiteral("</tr></thead>\n<tbody>\n");
    for (const BacktestReport::Day &day : report.days()) {
        const QJsonObject cells = BacktestReport::dayText(day);
        html += QStringLiteral("<tr>");
        for (const QString &key : BacktestReport::dayKeys()) {
            QString cls = key == QLatin1String("date") ? QString() : QStringLiteral("number");
            if (key == QLatin1String("return"))
                cls += signClass(day.dayReturn);
            cls = cls.trimmed();
            const QString cell = escaped(cells.value(key).toString());
            html += cls.isEmpty() ? QStringLiteral("<td>%1</td>").arg(cell)
                                  : QStringLiteral("<td class=\"%1\">%2</td>").arg(cls, cell);
        }
        html += QStringLiteral("</tr>\n");
    }
    html += QStringLiteral("</tbody>\n</table>\n");
    if (!report.notes().isEmpty()) {
        html += QStringLiteral("<h2>Notes</h2>\n<ul class=\"notes\">\n");
        for (const QString &note : report.notes())
            html += QStringLiteral("<li>%1</li>\n").arg(escaped(note));
        html += QStringLiteral("</ul>\n");
    }
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}

} // namespace StrategyLogic
