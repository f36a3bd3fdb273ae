// strategydesk: the strategy screens of a trading client on the plug-in.
//
//   strategydesk [--home DIR] [--lang en|zh_CN]
//
// DIR is the data folder, as for strategyctl (default $STRATEGYLOGIC_HOME,
// else $XDG_DATA_HOME/StrategyLogic, else ~/.local/share/StrategyLogic).
// The language is the locale's (LANG: zh_CN.UTF-8, or any Chinese locale,
// gives Simplified Chinese) unless --lang names one.

#include "app/desklanguage.h"
#include "app/desktimezone.h"
#include "app/deskoptions.h"
#include "app/pluginsession.h"
#include "ui/mainwindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    DeskTimeZone::pinSystemZone();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("strategydesk"));
    QApplication::setOrganizationName(QStringLiteral("StrategyLogic"));
    QApplication::setApplicationDisplayName(QStringLiteral("StrategyDesk"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/strategydesk/strategydesk.svg")));

    DeskOptions options;
    if (!options.parse(QApplication::arguments()))
        return options.exitStatus();
    if (!DeskLanguage::apply(options.language()))
        std::fprintf(stderr, "strategydesk: the translation %s is missing: the screens are in English\n",
                     qPrintable(options.language()));

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
