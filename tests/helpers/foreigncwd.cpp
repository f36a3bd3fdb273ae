// Runs the plug-in for an installation folder while the process's working
// directory is another folder, as a client started from elsewhere does.
//
//   foreigncwd FOLDER WORKDIR GROUP PYTHONPATH
//
// Prints the group names it found at start (sorted by name, one line, joined
// by ",") and the Python path it read, then adds GROUP, sets PYTHONPATH and
// exits through exit().

#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: foreigncwd FOLDER WORKDIR GROUP PYTHONPATH\n");
        return 2;
    }
    const QStringList args = app.arguments();
    ZqApplicationDir::setPath(args.at(1));
    if (!QDir().mkpath(args.at(2)) || !QDir::setCurrent(args.at(2)))
        return 1;
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    QStringList groups;
    for (const SarvekGroupInfo &group : plugin.getAllStrategyGroups())
        groups.append(group.name);
    std::printf("%s\n%s\n", groups.join(QLatin1Char(',')).toUtf8().constData(),
                plugin.getPYInstallPath().toUtf8().constData());
    plugin.addGroup(args.at(3));
    plugin.setPYInstallPath(args.at(4));
    plugin.exit();
    return 0;
}
