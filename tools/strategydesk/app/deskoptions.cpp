#include "app/deskoptions.h"

#include "app/desklanguage.h"

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
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("The language of the screens: %1 (default: the one of the "
                                                 "locale, LANG).")
                                      .arg(DeskLanguage::codes().join(QStringLiteral(", "))),
                                  QStringLiteral("CODE"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Shows the version and ends."));
    parser.addOption(home);
    parser.addOption(lang);
    parser.addOption(version);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return false;
    }
    if (parser.isSet(version)) {
        std::printf("strategydesk %s\n", STRATEGYLOGIC_VERSION_STRING);
        return false;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    m_language = parser.isSet(lang) ? parser.value(lang) : DeskLanguage::forLocale(m_system);
    if (!DeskLanguage::codes().contains(m_language))
        return usageError(QStringLiteral("unknown language '%1' for --lang: use one of %2")
                              .arg(m_language, DeskLanguage::codes().join(QStringLiteral(", "))));
    m_home = parser.value(home);
    return true;
}

bool DeskOptions::usageError(const QString &text)
{
    m_error = text;
    std::fprintf(stderr, "strategydesk: %s\nTry 'strategydesk --help'.\n", qPrintable(text));
    m_exitStatus = 2;
    return false;
}

QString DeskOptions::dataFolder() const
{
    return m_home.isEmpty() ? ZqApplicationDir::defaultDataFolder() : QFileInfo(m_home).absoluteFilePath();
}
