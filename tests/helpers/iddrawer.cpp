// Draws ids from a named sequence of the id service, the way another
// process of the machine does.
//
//   iddrawer NAME COUNT [PROCESSES]
//
// Prints each id on a line of its own (0 for a failed draw) and exits 0.
// With PROCESSES above 1 it starts that many drawers at once, each drawing
// COUNT ids, and prints all their ids once every one has finished; it exits
// 1 when one of them failed. The id folder comes from STRATEGYLOGIC_ID_DIR.

#include <interprocidservice.h>

#include <QCoreApplication>
#include <QProcess>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: iddrawer NAME COUNT [PROCESSES]\n");
        return 2;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    const int processes = argc > 3 ? std::atoi(argv[3]) : 1;
    if (processes > 1) {
        QCoreApplication app(argc, argv);
        std::vector<std::unique_ptr<QProcess>> drawers;
        for (int i = 0; i < processes; ++i) {
            drawers.emplace_back(new QProcess);
            drawers.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            drawers.back()->start(QCoreApplication::applicationFilePath(), {name, QString::number(count)});
        }
        int status = 0;
        for (const auto &drawer : drawers) {
            if (!drawer->waitForFinished(60000) || drawer->exitStatus() != QProcess::NormalExit
                || drawer->exitCode() != 0)
                status = 1;
            const QByteArray out = drawer->readAllStandardOutput();
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        }
        std::fflush(stdout);
        return status;
    }
    for (int i = 0; i < count; ++i)
        std::printf("%lld\n", static_cast<long long>(InterProcIdService::instance().getId(name)));
    std::fflush(stdout);
    return 0;
}
