#ifndef STRATEGYDIRHANDLER_H
#define STRATEGYDIRHANDLER_H

#include "strategylogic_global.h"

#include <QString>

// Makes the client's installation folder the process's working directory
// for the guard's lifetime and puts the previous one back afterwards.
//
// The working directory belongs to the whole process: while a guard lives,
// relative paths on every thread resolve against the installation folder.
class STRATEGYLOGIC_EXPORT StrategyDirHandler
{
public:
    StrategyDirHandler();
    StrategyDirHandler(const StrategyDirHandler &other);
    StrategyDirHandler &operator=(const StrategyDirHandler &other);
    ~StrategyDirHandler();

    // Goes back to the saved folder now; the guard still restores it again
    // when it ends.
    void restore();

private:
    QString m_savedPath;
};

#endif // STRATEGYDIRHANDLER_H
