#include "atomicfile.h"

#include <StrategyLogic/wholefile.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

bool AtomicFile::replace(const QString &path, const QByteArray &content, QString *error, Folder folder)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (folder == CreateFolder && !QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create folder %1").arg(dir);
        return false;
    }
    // Unbuffered, and written to the last byte before commit(): commit()
    // takes a failure of its own final flush (a full disk, a file size
    // limit) for success and would rename a short file into place, and a
    // short write is no error to QFileDevice, so the rest is written again
    // until the system names the failure.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    for (qint64 written = 0; written < content.size();) {
        const qint64 n = file.write(content.constData() + written, content.size() - written);
        if (n <= 0) {
            *error = n < 0 ? file.errorString() : QStringLiteral("nothing more could be written");
            file.cancelWriting();
            return false;
        }
        written += n;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool StrategyLogic::writeWholeFile(const QString &path, const QByteArray &content, QString *error)
{
    QString reason;
    const bool written = AtomicFile::replace(path, content, &reason);
    if (!written && error)
        *error = reason;
    return written;
}
