#ifndef STRATEGYLOGIC_STRATEGYHISTORY_H
#define STRATEGYLOGIC_STRATEGYHISTORY_H

#include <StrategyLogic/strategylogic_global.h>

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

/// \file
/// Reading the history of changes of a user's fixed strategies, groups and
/// strategy-file locks, which the plug-in appends to
/// `work/<user>/history.jsonl` (and `history.1.jsonl`, its older part;
/// docs/formats.md describes the lines).

namespace StrategyLogic {

/// One change of one record, as a line of the history holds it.
struct HistoryEntry
{
    /// When the change was made, as written: local time with milliseconds
    /// and the offset from UTC, "2026-12-03T09:30:00.125+08:00".
    QString timeText;
    /// The same as a time, with the offset it was written with; invalid
    /// when the line holds no time that can be read.
    QDateTime time;
    qint64 pid = 0;    ///< the process that made the change; 0 when the line names none
    QString operation; ///< "strategy.add", "group.rename", "lock.off", ... (docs/formats.md lists them)
    QJsonObject before; ///< the record before the change; empty for a record that is new
    QJsonObject after;  ///< the record after the change; empty for a record that is gone
    /// What changed, on one line for people, as `strategyctl history` shows
    /// it: "#17 abc (D:/s/abc.py) in 趋势" for a fixed strategy added,
    /// "#17 abc (D:/s/abc.py)" for one removed, "#17 abc: name abc -> abd,
    /// copyIndex 0 -> 1" for one changed, "group 趋势 -> 动量", "group 趋势",
    /// "D:/s/abc.py" for a lock. A value holding blanks or quotes is quoted
    /// the way a shell reads it back ('a b'), an empty one is '', control
    /// characters are shown as escapes (\\n, \\x1b). Empty for a record of
    /// no kind the plug-in writes.
    QString summary;
    /// The whole line as read, keys the plug-in does not write included.
    QJsonObject line;
};

/// The order of HistoryReadResult::entries.
enum class HistoryOrder {
    OldestFirst, ///< as the changes were stored (the files' order)
    NewestFirst, ///< the last change first, as a history view shows it
};

/// Which entries readHistory() gives, and in which order.
struct HistoryFilter
{
    /// When set, only the changes whose record before or after is the
    /// fixed strategy with this id.
    std::optional<qint64> strategyId;
    /// When valid, only the changes made on this day (local time) or later;
    /// a line without a readable time is then left out.
    QDate since;
    HistoryOrder order = HistoryOrder::OldestFirst; ///< the order of the entries
};

/// What readHistory() found.
struct HistoryReadResult
{
    /// Whether the history could be read.
    enum Outcome {
        Read,         ///< read; files that do not exist yet hold no changes
        NoUserFolder, ///< the user id names no folder below work/: the user has no history
        Unreadable,   ///< a file of the history exists but cannot be read: see `path` and `error`
    };

    Outcome outcome = Read; ///< whether the history could be read
    /// The entries that pass the filter, in its order; empty unless Read.
    QList<HistoryEntry> entries;
    /// Lines that are not entries (not one JSON object): a line cut short by
    /// a process that died while writing it, or one damaged or added by
    /// another program. They are left out of `entries` whatever the filter.
    int skippedLines = 0;
    QString path;  ///< Unreadable: the file that cannot be read, absolute
    /// Unreadable: "cannot read the history <path>: <reason>" (the reason
    /// is "it is a folder" or the system's), in English, for people.
    QString error;
};

/// Reads the history of changes of the user `userId` (as
/// StrategyFileLogicHandler::getCurUserId() gives it) in the installation
/// folder `appDir`: `work/<user>/history.1.jsonl`, then `history.jsonl`,
/// lines that are not entries skipped and counted.
///
/// Reads only: it creates, changes and takes nothing, so it may run while
/// the plug-in of this process or of another one holds the folder and
/// appends. The entries are those stored when the read began; a line being
/// written at that moment may count as skipped. A file of the history
/// that exists and cannot be read (no access, a folder in its place) makes
/// the whole read Unreadable, with no entries. Thread-safe; blocks for the
/// reads of the two files (the plug-in keeps each below 4 MiB).
STRATEGYLOGIC_EXPORT HistoryReadResult readHistory(const QString &appDir, const QString &userId,
                                                   const HistoryFilter &filter = HistoryFilter());

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_STRATEGYHISTORY_H
