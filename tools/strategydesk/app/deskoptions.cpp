#include "app/deskoptions.h"

#include <StrategyLogic/strategylogic_version.h>

#include <zqapplicationdir.h>

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

bool DeskOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The strategy screens of a trading client on the StrategyLogic "
                                                    "plug-in."));
    const QCommandLineOption home(QStringLiteral("home"),
                                  QStringLiteral("The data folder (default: $STRATEGYLOGIC_HOME, else "
                                                 "$XDG_DATA_HOME/StrategyLogic)."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the version and ends."));
    parser.addOption(home);
    parser.addOption(version);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "strategydesk: %s\nTry 'strategydesk --help'.\n", qPrintable(parser.errorText()));
        m_exitStatus = 2;
        return false;
    }
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return false;
    }
    if (parser.isSet(version)) {
        std::printf("strategydesk %s\n", STRATEGYLOGIC_VERSION_STRING);
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "strategydesk: unexpected argument '%s'\nTry 'strategydesk --help'.\n",
                     qPrintable(parser.positionalArguments().first()));
        m_exitStatus = 2;
        return false;
    }
    m_home = parser.value(home);
    return true;
}

QString DeskOptions::dataFolder() const
{
    return m_home.isEmpty() ? ZqApplicationDir::defaultDataFolder() : QFileInfo(m_home).absoluteFilePath();
}
