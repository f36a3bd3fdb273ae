#ifndef DESKOPTIONS_H
#define DESKOPTIONS_H

#include <QLocale>
#include <QString>
#include <QStringList>

// The command line of strategydesk: --home DIR, --lang CODE, --help,
// --version. Errors and help go to the terminal, as for any program.
// Thread: main.
class DeskOptions
{
public:
    // The locale that chooses the language when --lang is not given.
    explicit DeskOptions(const QLocale &system = QLocale::system())
        : m_system(system)
    {
    }

    // False when the program should end now, with exitStatus().
    bool parse(const QStringList &arguments);
    int exitStatus() const { return m_exitStatus; }
    // What was wrong with the command line; empty when nothing was.
    QString errorText() const { return m_error; }
    // The data folder: --home, else the reference hosts' default.
    QString dataFolder() const;
    // The language of the screens, a code of DeskLanguage::codes(): --lang,
    // else the one of the locale.
    QString language() const { return m_language; }

private:
    bool usageError(const QString &text);

    QLocale m_system;
    QString m_home;
    QString m_language;
    QString m_error;
    int m_exitStatus = 0;
};

#endif // DESKOPTIONS_H
