// A client of the plug-in, as an integrator writes one: create the
// application, point the plug-in at an installation folder, initialise it,
// add a fixed strategy, take the bundle of the user's state, exit, check the
// data file and run the installation check the way a client shows it. Exits 0 when all went as it should, 1
// otherwise (saying what did not).

#include <StrategyLogic/strategybundle.h>
#include <StrategyLogic/strategydoctor.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategylogic_version.h>

#include <StrategyHost/interprocidservice.h>
#include <StrategyHost/zqapplicationdir.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
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
    for (const StrategyLogic::DoctorFinding &finding : StrategyLogic::checkInstallation(folder.path())) {
        if (finding.severity == StrategyLogic::DoctorSeverity::Error) {
            std::fprintf(stderr, "installation check: %s: %s\n", qPrintable(finding.id), qPrintable(finding.message));
            return 1;
        }
    }
    std::printf("StrategyLogic %s: initialised, added, bundled, exited; the data file holds the strategy; the check "
                "finds no error\n",
                StrategyLogic::version());
    return 0;
}
