#ifndef STRATEGYLOGIC_DISPLAYTEXT_H
#define STRATEGYLOGIC_DISPLAYTEXT_H

#include <StrategyLogic/strategylogic_global.h>

#include <QString>

/// \file
/// Values shown to people in a terminal, a log or a message: the form the
/// plug-in's own messages (bundle problems, history summaries, report
/// notes) give them, for hosts that show values beside them.

namespace StrategyLogic {

/// `text` with its control characters as visible escapes: "\n", "\t", "\r",
/// and "\x1b" for the others of C0, DEL and C1; every other character as it
/// is. No value shown so can move a terminal's cursor or end a line.
/// Thread-safe.
STRATEGYLOGIC_EXPORT QString visibleText(const QString &text);

/// `text` as one word a POSIX shell reads back, made visible: as it is when
/// it is not empty and holds no blank and no quote; else in single quotes;
/// in double quotes, with "\" and the double quote escaped, when it holds a
/// single quote. Thread-safe.
STRATEGYLOGIC_EXPORT QString shellQuoted(const QString &text);

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_DISPLAYTEXT_H
