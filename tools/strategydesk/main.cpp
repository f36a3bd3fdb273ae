// strategydesk: the strategy screens of a trading client on the plug-in.
//
//   strategydesk [--home DIR]
//
// DIR is the data folder, as for strategyctl (default $STRATEGYLOGIC_HOME,
// else $XDG_DATA_HOME/StrategyLogic, else ~/.local/share/StrategyLogic).

#include "app/deskoptions.h"
#include "app/pluginsession.h"
#include "ui/mainwindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("strategydesk"));
    QApplication::setOrganizationName(QStringLiteral("StrategyLogic"));
    QApplication::setApplicationDisplayName(QStringLiteral("StrategyDesk"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/strategydesk/strategydesk.svg")));

    DeskOptions options;
    if (!options.parse(QApplication::arguments()))
        return options.exitStatus();

    PluginSession session(options.dataFolder());
    if (!session.start())
        return 3;
    int status = 0;
    {
        MainWindow window(session);
        window.show();
        status = QApplication::exec();
    }
    session.stop();
    return status;
}
