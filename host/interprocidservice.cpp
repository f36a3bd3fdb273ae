#include "interprocidservice.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcIdService, "zq.idservice")

namespace {
// Closes the descriptor, which also drops the flock.
struct FdGuard
{
    int fd;
    ~FdGuard()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool validName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return re.match(name).hasMatch() && name != QLatin1String(".") && name != QLatin1String("..");
}
} // namespace

InterProcIdService &InterProcIdService::instance()
{
    // Never destroyed: ids may be drawn while the process shuts down.
    static InterProcIdService *service = new InterProcIdService;
    return *service;
}

void InterProcIdService::setStorageDirectory(const QString &dir)
{
    QMutexLocker locker(&m_mutex);
    m_storageDir = dir;
}

QString InterProcIdService::storageDirectory()
{
    QMutexLocker locker(&m_mutex);
    if (!m_storageDir.isEmpty())
        return m_storageDir;
    const QByteArray env = qgetenv("STRATEGYLOGIC_ID_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QLatin1String("/StrategyHost/ids");
}

bool InterProcIdService::registerIdService(const QString &name, qint64 first)
{
    return advance(name, first > 0 ? first - 1 : 0, false) >= 0;
}

qint64 InterProcIdService::getId(const QString &name)
{
    const qint64 id = advance(name, 0, true);
    return id > 0 ? id : 0;
}

bool InterProcIdService::raiseFloor(const QString &name, qint64 id)
{
    return advance(name, qBound<qint64>(0, id, MaxId), false) >= 0;
}

// Under the file lock: reads the counter (the last id handed out), raises
// it to `floor`, and when `draw` is set hands out the next id. Returns the
// id drawn, the counter when not drawing, or -1 on failure.
qint64 InterProcIdService::advance(const QString &name, qint64 floor, bool draw)
{
    if (!validName(name)) {
        qCWarning(lcIdService) << "invalid id sequence name" << name;
        return -1;
    }
    const QString dir = storageDirectory();
    if (!QDir().mkpath(dir)) {
        qCWarning(lcIdService) << "cannot create id folder" << dir;
        return -1;
    }
    const QByteArray path = QFile::encodeName(dir + QLatin1Char('/') + name + QLatin1String(".seq"));
    FdGuard guard{::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)};
    if (guard.fd < 0) {
        qCWarning(lcIdService) << "cannot open id counter" << path << strerror(errno);
        return -1;
    }
    int rc;
    do {
        rc = ::flock(guard.fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        qCWarning(lcIdService) << "cannot lock id counter" << path << strerror(errno);
        return -1;
    }

    char buf[32] = {};
    const ssize_t n = ::pread(guard.fd, buf, sizeof(buf) - 1, 0);
    if (n < 0) {
        qCWarning(lcIdService) << "cannot read id counter" << path << strerror(errno);
        return -1;
    }
    qint64 last = 0;
    const QByteArray text = QByteArray(buf, int(n)).trimmed();
    if (!text.isEmpty()) {
        bool ok = false;
        last = text.toLongLong(&ok);
        if (!ok || last < 0) {
            // Starting again from 1 would repeat ids: refuse instead.
            qCWarning(lcIdService) << "id counter" << path << "is damaged:" << text;
            return -1;
        }
    }
    const qint64 before = last;
    last = qMax(last, floor);
    qint64 result = last;
    if (draw) {
        if (last >= MaxId) {
            qCWarning(lcIdService) << "id sequence" << name << "is exhausted";
            return -1;
        }
        result = ++last;
    }
    if (last != before || text.isEmpty()) {
        char out[32];
        const int len = std::snprintf(out, sizeof(out), "%lld\n", static_cast<long long>(last));
        if (::pwrite(guard.fd, out, size_t(len), 0) != len || ::ftruncate(guard.fd, len) != 0
            || ::fdatasync(guard.fd) != 0) {
            qCWarning(lcIdService) << "cannot write id counter" << path << strerror(errno);
            return -1;
        }
    }
    return result;
}
