#ifndef DESKOPTIONS_H
#define DESKOPTIONS_H

#include <QString>
#include <QStringList>

// The command line of strategydesk: --home DIR, --help, --version. Errors
// and help go to the terminal, as for any program. Thread: main.
class DeskOptions
{
public:
    // False when the program should end now, with exitStatus().
    bool parse(const QStringList &arguments);
    int exitStatus() const { return m_exitStatus; }
    // The data folder: --home, else the reference hosts' default.
    QString dataFolder() const;

private:
    QString m_home;
    int m_exitStatus = 0;
};

#endif // DESKOPTIONS_H
