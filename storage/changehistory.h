#ifndef CHANGEHISTORY_H
#define CHANGEHISTORY_H

#include "storage/installationlayout.h"

#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/sarvekgroupinfo.h>

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QTimeZone>

class ZqAppendFile;

// The history of changes of the user's fixed strategies, groups and
// strategy-file locks: "work/<user>/history.jsonl", one JSON object per line
// and per record changed (docs/formats.md). Owned by the plug-in object;
// the registry, the groups and the lock list record what they change.
//
// A change is recorded where it is made and its line is appended once the
// change has reached its files or table (stored() for each of its targets):
// a change that could not be written yet waits in memory with it, and goes
// to the history when a later write of that file succeeds, or not at all. A
// refused change records nothing. Lines go out in the order their changes
// were stored, those stored together in the order they were made.
//
// Lines are appended through the host's ZqAppendFile, each with a single
// write of the system, so that a crash leaves whole lines; the first append
// of the process cuts back a torn last line, and a line the disk took only
// partly is cut back at once. At SizeLimit the file becomes
// history.1.jsonl (replacing an older one). The history never makes a
// change fail: its own failure is a warning under "strategylogic", once
// per process, and the lines concerned are dropped.
//
// Threads: any thread. m_mutex guards the lines waiting in memory and is a
// leaf lock, held for no file access: record() may be called under the
// registry's, the groups' or the lock list's lock and never waits for a
// disk. m_fileMutex keeps one append at a time, from taking the lines to
// writing them, so that lines keep their order; lock order: m_fileMutex, then
// m_mutex. Nothing is called out of this class (no logging either) while
// either is held.
class ChangeHistory
{
public:
    static constexpr const char *FileName = InstallationLayout::HistoryFile;
    static constexpr const char *OlderFileName = InstallationLayout::OlderHistoryFile;
    static constexpr qint64 SizeLimit = 4 * 1024 * 1024;

    // Which file or table holds the changed record: the data file, the
    // groups file, the lock table; a group rename or a delete with strategies
    // is whole when both files hold it.
    enum Target { Strategies = 0x1, Groups = 0x2, Locks = 0x4, StrategiesAndGroups = Strategies | Groups };

    // The file appended to; empty: nothing is written (no usable user
    // folder), and recorded lines are dropped at stored().
    void setFilePath(const QString &path);
    QString filePath() const;

    // Notes a change made now: the targets that must hold it before its line
    // is written (both for a change of the data file and the groups file
    // together), `operation` ("strategy.add", ...) and the record before and
    // after as JSON texts (record texts below; empty for none, written as
    // null).
    void record(int targets, const char *operation, const QByteArray &before, const QByteArray &after);
    // The changes of these targets are in their files: appends their lines,
    // in the order they were recorded. Call without holding a lock of the
    // registry, the groups or the lock list.
    void stored(int targets);

    // The records as the history writes them, keys in this order.
    static QByteArray strategyRecord(const FixedStrategyInfo &info); // {id,name,filePath,group,extraInfo,copyIndex}
    static QByteArray groupRecord(const SarvekGroupInfo &group);     // {name,createTime}
    static QByteArray lockRecord(const QString &filePath);           // {filePath}

private:
    struct Entry
    {
        int waitsFor;    // the targets not yet stored since the change
        QByteArray line; // line feed included
    };

    // Appends the lines; an error text for the log, or empty.
    QString appendLocked(const QList<QByteArray> &lines);
    bool cutTornLineLocked(ZqAppendFile &file, qint64 *size, QString *error);

    // State below is protected by m_fileMutex.
    mutable QMutex m_fileMutex;
    QString m_path;
    bool m_tailChecked = false; // the first append of the process looked at the file's end
    bool m_warned = false;      // a failure was logged

    // State below is protected by m_mutex.
    QMutex m_mutex;
    QTimeZone m_zone; // the local one, read by setFilePath(); UTC until then
    QList<Entry> m_pending;
};

#endif // CHANGEHISTORY_H
