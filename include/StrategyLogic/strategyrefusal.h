#ifndef STRATEGYLOGIC_STRATEGYREFUSAL_H
#define STRATEGYLOGIC_STRATEGYREFUSAL_H

#include <StrategyLogic/strategylogic_global.h>

#include <QString>

/// \file
/// Why the plug-in refused the last change asked of it on this thread.

namespace StrategyLogic {

/// The cause of a refusal.
enum class RefusalCode {
    None,           ///< the last change asked on this thread was made
    NotInitialised, ///< the plug-in is not initialised, or the user id names no folder for the user's files
    NoSuchGroup,    ///< the group named does not exist
    NameTaken,      ///< the name is in use: a fixed strategy of the same file, or a group
    BuiltInName,    ///< a built-in group's name, which no group can be given by hand
    IdRefused,      ///< the id service gave no usable id for a new fixed strategy
    NotFound,       ///< no fixed strategy, file or instance of that id or path
    NotStorable,    ///< a value the files or the database cannot hold faithfully (a NUL, a separator, ...)
    NotWritable,    ///< the change could not be written to its file or table; it stays in memory
};

/// A refusal of a changing method of StrategyFileLogicHandler.
struct Refusal
{
    RefusalCode code = RefusalCode::None; ///< the cause; None after a change that was made
    /// For the user, in the plug-in's language, as its screens show it
    /// (for the group methods the message they return).
    QString message;
    QString reason;   ///< the cause and the values concerned, in English, as the warning logged it
    QString function; ///< the method that refused, "StrategyFileLogicHandler::addFixedStrategy"
    /// Whether the last change was refused.
    bool isRefused() const { return code != RefusalCode::None; }
};

/// The refusal of the last changing method called on this thread: every
/// method of StrategyFileLogicHandler that changes the plug-in's state
/// (adds, modifies, removes, locks, regroups, registers, records, sets)
/// clears it when it starts and sets it when it refuses, or when what it
/// changed could not be written, in which case it also logs one warning
/// line naming the cause. A host shows `message` beside its own "failed".
/// Thread-safe: each thread has its own.
STRATEGYLOGIC_EXPORT Refusal lastRefusal();

/// A stable name of a code, for logs and scripts: "none",
/// "not-initialised", "no-such-group", "name-taken", "built-in-name",
/// "id-refused", "not-found", "not-storable", "not-writable".
STRATEGYLOGIC_EXPORT QString refusalCodeName(RefusalCode code);

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_STRATEGYREFUSAL_H
