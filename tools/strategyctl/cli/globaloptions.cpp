#include "globaloptions.h"

#include <zqapplicationdir.h>

#include <QDir>
#include <QFileInfo>

namespace {
bool jsonRequested(const QStringList &arguments)
{
    for (const QString &arg : arguments.mid(1)) {
        if (arg == QLatin1String("--"))
            return false;
        if (arg == QLatin1String("--json"))
            return true;
    }
    return false;
}
} // namespace

GlobalOptions::GlobalOptions(const QStringList &arguments)
    : m_homeOption(QStringLiteral("home"), QString(), QStringLiteral("DIR"))
    , m_jsonOption(QStringLiteral("json"))
    , m_verboseOption(QStringList{QStringLiteral("v"), QStringLiteral("verbose")})
    , m_waitOption(QStringLiteral("wait"), QString(), QStringLiteral("SECONDS"))
    , m_version(QStringList{QStringLiteral("V"), QStringLiteral("version")})
    , m_help(QStringList{QStringLiteral("h"), QStringLiteral("help")})
{
    m_parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    m_parser.addOptions({m_homeOption, m_jsonOption, m_verboseOption, m_waitOption, m_version, m_help});
    if (m_parser.parse(arguments))
        m_words = m_parser.positionalArguments();
    m_json = jsonRequested(arguments);
}

bool GlobalOptions::take(const ParsedCommand &parsed, QString *error)
{
    m_home = parsed.globals.value(QStringLiteral("home"), m_parser.value(m_homeOption));
    const QString waitText = parsed.globals.value(
        QStringLiteral("wait"), m_parser.isSet(m_waitOption) ? m_parser.value(m_waitOption) : QStringLiteral("10"));
    m_verbose = m_parser.isSet(m_verboseOption) || parsed.globals.contains(QStringLiteral("verbose"));
    bool ok = false;
    m_waitSeconds = waitText.toInt(&ok);
    if (ok && m_waitSeconds >= 0)
        return true;
    *error = QStringLiteral("--wait needs a number of seconds, not '%1'").arg(waitText);
    return false;
}

QString GlobalOptions::dataFolder() const
{
    if (!m_home.isEmpty())
        return QFileInfo(m_home).absoluteFilePath();
    return ZqApplicationDir::defaultDataFolder();
}
