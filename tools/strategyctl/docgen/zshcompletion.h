#ifndef ZSHCOMPLETION_H
#define ZSHCOMPLETION_H

#include <QString>

class CommandTable;

// The zsh completion script of strategyctl ('strategyctl completion zsh'):
// the functions of strategyctl.zsh.in, with the commands, options and
// values of the table filled in as entries of _arguments and _describe.
class ZshCompletion
{
public:
    static QString script(const CommandTable &table);
};

#endif // ZSHCOMPLETION_H
