#include "zqfolderlock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
struct Hold
{
    int fd = -1;
    int count = 0;
};

struct LockTable
{
    QMutex mutex;
    QHash<QString, Hold> holds; // by cleaned absolute folder path
};

// Never destroyed: holds may be released while the process shuts down.
LockTable &table()
{
    static LockTable *t = new LockTable;
    return *t;
}

// One name per folder, also when it is reached through a link.
QString key(const QString &folder)
{
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QByteArray lockPath(const QString &folderKey)
{
    return QFile::encodeName(folderKey + QLatin1Char('/') + QLatin1String(ZqFolderLock::FileName));
}

int lockNonBlocking(int fd, int operation)
{
    int rc;
    do {
        rc = ::flock(fd, operation | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

ZqFolderLock::Holder readHolder(int fd)
{
    ZqFolderLock::Holder holder;
    char buf[1024] = {};
    const ssize_t n = ::pread(fd, buf, sizeof(buf) - 1, 0);
    if (n <= 0)
        return holder;
    const QList<QByteArray> lines = QByteArray(buf, int(n)).split('\n');
    for (const QByteArray &line : lines) {
        const int eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray name = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (name == "pid")
            holder.pid = value.toLongLong();
        else if (name == "host")
            holder.hostName = value;
        else if (name == "program")
            holder.program = value;
        else if (name == "since")
            holder.since = QDateTime::fromString(value, Qt::ISODate);
    }
    return holder;
}

// Best effort: the lock is held whether or not the description lands (a
// full disk may refuse it).
void writeHolder(int fd)
{
    char host[256] = {};
    ::gethostname(host, sizeof(host) - 1);
    char program[64] = {};
    if (FILE *comm = std::fopen("/proc/self/comm", "r")) {
        if (std::fgets(program, sizeof(program), comm))
            program[std::strcspn(program, "\n")] = '\0';
        std::fclose(comm);
    }
    const QByteArray text = "pid=" + QByteArray::number(qint64(::getpid())) + "\nhost="
                            + QByteArray(host) + "\nprogram=" + QByteArray(program) + "\nsince="
                            + QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toUtf8() + '\n';
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, text.constData(), size_t(text.size()), 0) == text.size())
        ::fdatasync(fd);
}
} // namespace

QString ZqFolderLock::Holder::describe() const
{
    if (pid <= 0)
        return QStringLiteral("another process");
    QStringList details;
    if (!program.isEmpty())
        details.append(hostName.isEmpty() ? program : program + QLatin1String(" on ") + hostName);
    else if (!hostName.isEmpty())
        details.append(QLatin1String("on ") + hostName);
    if (since.isValid())
        details.append(QLatin1String("since ") + since.toString(Qt::ISODate));
    QString text = QStringLiteral("pid %1").arg(pid);
    if (!details.isEmpty())
        text += QLatin1String(" (") + details.join(QLatin1String(", ")) + QLatin1Char(')');
    return text;
}

ZqFolderLock::Outcome ZqFolderLock::acquire(const QString &folder, Holder *holder, QString *error)
{
    LockTable &t = table();
    const QString folderKey = key(folder);
    QMutexLocker locker(&t.mutex);
    auto it = t.holds.find(folderKey);
    if (it != t.holds.end()) {
        ++it->count;
        return Acquired;
    }

    const QByteArray path = lockPath(folderKey);
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC); // a read-only folder may still be locked
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(QFile::decodeName(path), QString::fromLocal8Bit(strerror(errno)));
        return Failed;
    }
    if (lockNonBlocking(fd, LOCK_EX) != 0) {
        const int code = errno;
        if (code == EWOULDBLOCK) {
            if (holder)
                *holder = readHolder(fd);
            ::close(fd);
            return Busy;
        }
        ::close(fd);
        if (error)
            *error = QStringLiteral("cannot lock %1: %2").arg(QFile::decodeName(path), QString::fromLocal8Bit(strerror(code)));
        return Failed;
    }
    writeHolder(fd);
    t.holds.insert(folderKey, Hold{fd, 1});
    return Acquired;
}

void ZqFolderLock::release(const QString &folder)
{
    LockTable &t = table();
    QMutexLocker locker(&t.mutex);
    auto it = t.holds.find(key(folder));
    if (it == t.holds.end() || --it->count > 0)
        return;
    // The description goes first, so that nobody reads a holder that is gone.
    // A lock file opened read-only keeps its text; the flock is what counts.
    const int cleared = ::ftruncate(it->fd, 0);
    Q_UNUSED(cleared)
    ::close(it->fd); // drops the flock
    t.holds.erase(it);
}

bool ZqFolderLock::isHeld(const QString &folder)
{
    LockTable &t = table();
    QMutexLocker locker(&t.mutex);
    return t.holds.contains(key(folder));
}

bool ZqFolderLock::isHeldElsewhere(const QString &folder)
{
    if (isHeld(folder))
        return false;
    const int fd = ::open(lockPath(key(folder)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A shared lock is granted only while nobody holds the exclusive one.
    const bool held = lockNonBlocking(fd, LOCK_SH) != 0;
    ::close(fd);
    return held;
}

ZqFolderLock::Holder ZqFolderLock::holder(const QString &folder)
{
    const int fd = ::open(lockPath(key(folder)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Holder();
    Holder result;
    // A shared lock is granted only while nobody holds the exclusive one.
    if (lockNonBlocking(fd, LOCK_SH) != 0)
        result = readHolder(fd);
    ::close(fd); // also drops the probe's shared lock
    return result;
}
