#ifndef GLOBALOPTIONS_H
#define GLOBALOPTIONS_H

#include "commandspec.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

// The options of strategyctl itself: --home, --json, --verbose, --wait,
// --version and --help. They stand before the command; from the command on,
// every word is the command's (negative numbers included), and --home,
// --json, --verbose and --wait written there are taken too (take()).
// Thread: main.
class GlobalOptions
{
public:
    // Reads the options before the command of `arguments` (the program's
    // name first, as QCoreApplication::arguments() gives them).
    explicit GlobalOptions(const QStringList &arguments);

    // The usage error in the options before the command, or empty.
    QString error() const { return m_parser.errorText(); }
    // Whether --json stands anywhere among the arguments (before a "--"):
    // even a usage error found before the rest is parsed is then answered
    // in JSON.
    bool json() const { return m_json; }
    bool version() const { return m_parser.isSet(m_version); }
    bool help() const { return m_parser.isSet(m_help); }
    // The command and everything after it; empty after an error.
    const QStringList &words() const { return m_words; }
    bool isShell() const { return m_words.value(0) == QLatin1String("shell"); }

    // Takes --home, --wait and --verbose given after the command words,
    // which win over those before. False after setting `error` when --wait
    // is not a number of seconds.
    bool take(const ParsedCommand &parsed, QString *error);
    bool verbose() const { return m_verbose; }
    int waitSeconds() const { return m_waitSeconds; }
    // Where the data lives: --home, else $STRATEGYLOGIC_HOME, else
    // $XDG_DATA_HOME/StrategyLogic (~/.local/share/StrategyLogic); absolute.
    QString dataFolder() const;

private:
    QCommandLineParser m_parser;
    const QCommandLineOption m_homeOption;
    const QCommandLineOption m_jsonOption;
    const QCommandLineOption m_verboseOption;
    const QCommandLineOption m_waitOption;
    const QCommandLineOption m_version;
    const QCommandLineOption m_help;
    QStringList m_words;
    bool m_json = false;
    QString m_home;
    bool m_verbose = false;
    int m_waitSeconds = 10;
};

#endif // GLOBALOPTIONS_H
