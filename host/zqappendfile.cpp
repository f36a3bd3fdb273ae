#include "zqappendfile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ZqAppendFile::ZqAppendFile(const QString &fileName)
    : m_fileName(fileName)
    , m_encodedName(QFile::encodeName(fileName))
{
}

ZqAppendFile::~ZqAppendFile()
{
    close();
}

QString ZqAppendFile::fileName() const
{
    return m_fileName;
}

bool ZqAppendFile::open()
{
    if (m_fd >= 0)
        return true;
    int fd;
    do {
        fd = ::open(m_encodedName.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(errno);
    m_fd = fd;
    return true;
}

bool ZqAppendFile::isOpen() const
{
    return m_fd >= 0;
}

void ZqAppendFile::close()
{
    if (m_fd < 0)
        return;
    // Nothing is buffered here, and an append is whole once write() has
    // answered: a failing close() (EINTR, EIO of a network file system)
    // changes nothing the caller could act on.
    ::close(m_fd);
    m_fd = -1;
}

bool ZqAppendFile::status(bool *isRegular, qint64 *size)
{
    struct stat st;
    if (m_fd < 0)
        return fail(EBADF);
    if (::fstat(m_fd, &st) != 0)
        return fail(errno);
    if (isRegular)
        *isRegular = S_ISREG(st.st_mode);
    if (size)
        *size = qint64(st.st_size);
    return true;
}

qint64 ZqAppendFile::readAt(qint64 offset, char *data, qint64 size)
{
    if (m_fd < 0) {
        fail(EBADF);
        return -1;
    }
    ssize_t got;
    do {
        got = ::pread(m_fd, data, size_t(size), off_t(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        fail(errno);
        return -1;
    }
    return qint64(got);
}

bool ZqAppendFile::append(const QByteArray &data)
{
    if (m_fd < 0)
        return fail(EBADF);
    ssize_t written;
    do {
        written = ::write(m_fd, data.constData(), size_t(data.size()));
    } while (written < 0 && errno == EINTR);
    if (written == data.size())
        return true;
    // A short write: the disk, or the file size limit, took only part.
    return fail(written < 0 ? errno : ENOSPC);
}

bool ZqAppendFile::truncate(qint64 size)
{
    if (m_fd < 0)
        return fail(EBADF);
    int rc;
    do {
        rc = ::ftruncate(m_fd, off_t(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || fail(errno);
}

bool ZqAppendFile::rename(const QString &newName)
{
    close();
    return ::rename(m_encodedName.constData(), QFile::encodeName(newName).constData()) == 0 || fail(errno);
}

bool ZqAppendFile::remove()
{
    close();
    return ::unlink(m_encodedName.constData()) == 0 || fail(errno);
}

int ZqAppendFile::error() const
{
    return m_error;
}

QString ZqAppendFile::errorString() const
{
    return qt_error_string(m_error);
}

bool ZqAppendFile::fail(int code)
{
    m_error = code;
    return false;
}
