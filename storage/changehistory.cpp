#include "changehistory.h"

#include "storage/strategylogging.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTimeZone>

#include <zqappendfile.h>

#include <cstdio>

namespace {
// A text as a JSON string: quotes, backslashes and control characters
// escaped, so that no value can end a line.
QByteArray jsonString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Local time in `zone` with milliseconds and the offset from UTC, "+00:00"
// included. Worked out by Qt's own time-zone data: the C library's local
// time would re-read the zone at every call and share its state with every
// thread of the process.
QByteArray localTime(qint64 msecs, const QTimeZone &zone)
{
    const int offset = zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
    const int minutes = qAbs(offset) / 60;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    const QDateTime shifted = QDateTime::fromMSecsSinceEpoch(msecs + qint64(offset) * 1000, Qt::UTC);
    return QLocale::c().toString(shifted, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")).toLatin1() + suffix;
}

// The reason of the file's last failed call, for the log.
QString systemError(const char *what, const ZqAppendFile &file)
{
    return QStringLiteral("%1 %2: %3").arg(QLatin1String(what), file.fileName(), file.errorString());
}
} // namespace

void ChangeHistory::setFilePath(const QString &path)
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    QMutexLocker file(&m_fileMutex);
    m_path = path;
    m_tailChecked = false;
    QMutexLocker locker(&m_mutex);
    m_zone = zone;
}

QString ChangeHistory::filePath() const
{
    QMutexLocker locker(&m_fileMutex);
    return m_path;
}

QByteArray ChangeHistory::strategyRecord(const FixedStrategyInfo &info)
{
    return "{\"id\":" + QByteArray::number(info.id) + ",\"name\":" + jsonString(info.name)
           + ",\"filePath\":" + jsonString(info.filePath) + ",\"group\":" + jsonString(info.group)
           + ",\"extraInfo\":" + jsonString(info.extraInfo) + ",\"copyIndex\":" + QByteArray::number(info.copyIndex)
           + '}';
}

QByteArray ChangeHistory::groupRecord(const SarvekGroupInfo &group)
{
    return "{\"name\":" + jsonString(group.name) + ",\"createTime\":" + QByteArray::number(group.createTime) + '}';
}

QByteArray ChangeHistory::lockRecord(const QString &filePath)
{
    return "{\"filePath\":" + jsonString(filePath) + '}';
}

void ChangeHistory::record(int targets, const char *operation, const QByteArray &before, const QByteArray &after)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QByteArray none = QByteArrayLiteral("null");
    const QByteArray rest = "\",\"pid\":" + QByteArray::number(QCoreApplication::applicationPid())
                            + ",\"operation\":\"" + QByteArray(operation) + "\",\"before\":"
                            + (before.isEmpty() ? none : before) + ",\"after\":" + (after.isEmpty() ? none : after)
                            + "}\n";
    QMutexLocker locker(&m_mutex);
    m_pending.append(Entry{targets, "{\"time\":\"" + localTime(now, m_zone) + rest});
}

void ChangeHistory::stored(int targets)
{
    QString error;
    {
        QMutexLocker file(&m_fileMutex);
        QList<QByteArray> lines;
        {
            QMutexLocker locker(&m_mutex);
            for (auto it = m_pending.begin(); it != m_pending.end();) {
                it->waitsFor &= ~targets;
                if (it->waitsFor == 0) {
                    lines.append(it->line);
                    it = m_pending.erase(it);
                } else {
                    ++it;
                }
            }
        }
        if (lines.isEmpty() || m_path.isEmpty())
            return;
        error = appendLocked(lines);
        if (error.isEmpty() || m_warned)
            return;
        m_warned = true;
    }
    // Logged outside the lock, and not as "unsaved": the change itself is
    // stored, only its history line is missing.
    SL_WARNING << "ChangeHistory" << "cannot write the history of changes:" << error
               << "- changes are made and stored without it (said once per process)";
}

QString ChangeHistory::appendLocked(const QList<QByteArray> &lines)
{
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    const QString olderPath = folder + QLatin1Char('/') + QLatin1String(OlderFileName);

    bool created = !QFileInfo::exists(m_path) && !QFileInfo(m_path).isSymLink();
    ZqAppendFile file(m_path);
    if (!file.open())
        return systemError("cannot open", file);
    QString error;
    qint64 size = 0;
    bool regular = false;
    if (!file.status(&regular, &size)) {
        error = systemError("cannot examine", file);
    } else if (!regular) {
        error = QStringLiteral("%1 is not a regular file").arg(m_path);
    } else if (!m_tailChecked) {
        // Only this process writes the folder now: an unfinished last
        // line was left by one that died in the middle of a write.
        if (cutTornLineLocked(file, &size, &error))
            m_tailChecked = true;
    }

    for (int i = 0; error.isEmpty() && i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (size > 0 && size + line.size() > SizeLimit) {
            if (!file.rename(olderPath)) {
                error = systemError("cannot rotate", file);
                break;
            }
            size = 0;
            created = true;
            if (!file.open())
                return systemError("cannot open", file);
        }
        if (!file.append(line)) {
            error = systemError("cannot append to", file);
            // Whole lines only: a part that went in is taken back. Should
            // that fail too, the next append looks at the end again.
            if (!file.truncate(size))
                m_tailChecked = false;
            break;
        }
        size += line.size();
    }
    if (!error.isEmpty() && created && size == 0)
        file.remove(); // a failed first line leaves no empty file behind
    return error;
}

bool ChangeHistory::cutTornLineLocked(ZqAppendFile &file, qint64 *size, QString *error)
{
    if (*size == 0)
        return true;
    char last = 0;
    if (file.readAt(*size - 1, &last, 1) != 1) {
        *error = systemError("cannot read", file);
        return false;
    }
    if (last == '\n')
        return true;
    // Back to the last line feed, or to nothing when there is none.
    qint64 keep = 0;
    QByteArray chunk;
    for (qint64 end = *size - 1; end > 0;) {
        const qint64 begin = qMax<qint64>(0, end - 65536);
        chunk.resize(int(end - begin));
        if (file.readAt(begin, chunk.data(), chunk.size()) != chunk.size()) {
            *error = systemError("cannot read", file);
            return false;
        }
        const int at = chunk.lastIndexOf('\n');
        if (at >= 0) {
            keep = begin + at + 1;
            break;
        }
        end = begin;
    }
    if (!file.truncate(keep)) {
        *error = systemError("cannot cut the unfinished last line of", file);
        return false;
    }
    *size = keep;
    return true;
}
