#ifndef BASHCOMPLETION_H
#define BASHCOMPLETION_H

#include <QString>

class CommandTable;

// The bash completion script of strategyctl ('strategyctl completion
// bash'): the functions of strategyctl.bash.in, with the commands, options
// and values of the table filled in.
class BashCompletion
{
public:
    static QString script(const CommandTable &table);
};

#endif // BASHCOMPLETION_H
