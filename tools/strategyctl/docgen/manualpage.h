#ifndef MANUALPAGE_H
#define MANUALPAGE_H

#include <QString>

class CommandTable;

// The manual page strategyctl.1 ('strategyctl manpage'): the sections of
// strategyctl.1.in, with the synopsis, the options, the commands and the
// exit statuses made from the table, so that it lists every command and
// option the program has.
class ManualPage
{
public:
    static QString page(const CommandTable &table, const QString &version);
};

#endif // MANUALPAGE_H
