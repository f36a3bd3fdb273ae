// A client of the plug-in, as an integrator writes one: create the
// application, point the plug-in at an installation folder, initialise it,
// add a fixed strategy, take the bundle of the user's state, exit, check the
// data file and the history of changes and run the installation check the
// way a client shows it; then compute a backtest report and draw its chart
// with the chart library. Exits 0 when all went as it should, 1
// otherwise (saying what did not).

#include <StrategyLogic/backtestreport.h>
#include <StrategyLogic/equitychart.h>
#include <StrategyLogic/strategybundle.h>
#include <StrategyLogic/strategydoctor.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategyhistory.h>
#include <StrategyLogic/strategylogic_version.h>

#include <StrategyHost/interprocidservice.h>
#include <StrategyHost/zqapplicationdir.h>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
// Two backtest days of instance 7: +2 %, then 102 down to 101.
bool drawsAReport()
{
    QList<BackTestCashInfo> days;
    for (const auto &row : {std::make_pair(100.0, 102.0), std::make_pair(102.0, 101.0)}) {
        BackTestCashInfo day;
        day.instanceId = QStringLiteral("7");
        day.date = QDate(2026, 12, 1).addDays(days.size());
        day.initialFunds = row.first;
        day.endFunds = row.second;
        days.append(day);
    }
    const StrategyLogic::BacktestReport report = StrategyLogic::BacktestReport::compute(QStringLiteral("7"), days);
    const QString total = StrategyLogic::BacktestReport::signedPercent(report.figures().totalReturn);
    const QString drawdown = StrategyLogic::BacktestReport::percent(report.figures().maxDrawdown);
    if (total != QLatin1String("+1.00%") || drawdown != QLatin1String("0.98%") || report.equity().size() != 3) {
        std::fprintf(stderr, "report: total %s, drawdown %s, %d points\n", qPrintable(total), qPrintable(drawdown),
                     int(report.equity().size()));
        return false;
    }
    if (!StrategyLogic::EquityChart::canDraw()) {
        std::fprintf(stderr, "chart: no QGuiApplication\n");
        return false;
    }
    const StrategyLogic::EquityChart chart(report);
    QString error;
    const QByteArray svg = chart.toSvg(&error);
    if (!svg.contains("<svg") || !svg.contains("Equity of instance 7")) {
        std::fprintf(stderr, "chart: %s\n", svg.isEmpty() ? qPrintable(error) : "no chart in the SVG");
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    // The chart draws text: a QGuiApplication (offscreen unless
    // QT_QPA_PLATFORM names another platform).
    const std::unique_ptr<QGuiApplication> app = StrategyLogic::EquityChart::createApplication(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    ZqApplicationDir::setPath(folder.path());
    InterProcIdService::instance().setStorageDirectory(folder.filePath(QStringLiteral("ids")));
    if (std::strcmp(StrategyLogic::version(), STRATEGYLOGIC_VERSION_STRING) != 0) {
        std::fprintf(stderr, "version %s, built against %s\n", StrategyLogic::version(), STRATEGYLOGIC_VERSION_STRING);
        return 1;
    }

    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    if (!plugin.isInitialized()) {
        std::fprintf(stderr, "the plug-in did not start\n");
        return 1;
    }
    bool added = false;
    QObject::connect(&plugin, &StrategyFileLogicHandler::signalAddStrategy, [&] { added = true; });
    const bool stored = plugin.addFixedStrategy(QStringLiteral("D:/s/abc.py"), QStringLiteral("abc"),
                                                QStringLiteral("默认分组"), QString(), 1);
    const QString user = plugin.getCurUserId();
    const QByteArray bundle = StrategyLogic::bundleText();
    const QList<StrategyLogic::BundleProblem> problems = StrategyLogic::checkBundle(bundle);
    plugin.exit();
    if (!problems.isEmpty() || !bundle.contains("\"name\": \"abc\"")) {
        std::fprintf(stderr, "bundle with %d problems: %s\n", int(problems.size()), bundle.constData());
        return 1;
    }

    QFile data(folder.filePath(QStringLiteral("work/demo01/SarvekFixStrategy.dat")));
    const QByteArray content = data.open(QIODevice::ReadOnly) ? data.readAll() : QByteArray();
    const QByteArray expected = QStringLiteral(",%&abc,%&D:/s/abc.py,%&默认分组,%&,%&0\n").toUtf8();
    if (!stored || !added || !content.endsWith(expected) || content.count('\n') != 1) {
        std::fprintf(stderr, "added %d, signalled %d, data file: %s\n", stored, added, content.constData());
        return 1;
    }
    const StrategyLogic::HistoryReadResult history = StrategyLogic::readHistory(folder.path(), user);
    if (history.outcome != StrategyLogic::HistoryReadResult::Read || history.entries.size() != 1
        || history.entries.first().operation != QLatin1String("strategy.add")) {
        std::fprintf(stderr, "history: outcome %d, %d entries %s\n", int(history.outcome), int(history.entries.size()),
                     qPrintable(history.error));
        return 1;
    }
    for (const StrategyLogic::DoctorFinding &finding : StrategyLogic::checkInstallation(folder.path())) {
        if (finding.severity == StrategyLogic::DoctorSeverity::Error) {
            std::fprintf(stderr, "installation check: %s: %s\n", qPrintable(finding.id), qPrintable(finding.message));
            return 1;
        }
    }
    if (!drawsAReport())
        return 1;
    std::printf("StrategyLogic %s: initialised, added, bundled, exited; the data file and the history hold the "
                "strategy; the check finds no error; a report drawn\n",
                StrategyLogic::version());
    return 0;
}
