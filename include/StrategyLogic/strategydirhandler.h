#ifndef STRATEGYDIRHANDLER_H
#define STRATEGYDIRHANDLER_H

#include <StrategyLogic/strategylogic_global.h>

#include <QString>

/// \file
/// A scoped guard of the working directory.

/// Makes the client's installation folder the process's working directory
/// for the guard's lifetime and puts the previous one back afterwards.
///
/// The working directory belongs to the whole process: while a guard lives,
/// relative paths on every thread resolve against the installation folder.
class STRATEGYLOGIC_EXPORT StrategyDirHandler
{
public:
    /// Saves the working directory and enters the installation folder.
    StrategyDirHandler();
    /// A guard that restores the same saved folder.
    StrategyDirHandler(const StrategyDirHandler &other);
    /// Takes the other guard's saved folder.
    StrategyDirHandler &operator=(const StrategyDirHandler &other);
    /// Goes back to the saved folder.
    ~StrategyDirHandler();

    /// Goes back to the saved folder now; the guard still restores it again
    /// when it ends.
    void restore();

private:
    QString m_savedPath;
};

#endif // STRATEGYDIRHANDLER_H
