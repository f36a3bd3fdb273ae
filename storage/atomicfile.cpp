#include "atomicfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

bool AtomicFile::replace(const QString &path, const QByteArray &content, QString *error)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create folder %1").arg(dir);
        return false;
    }
    QSaveFile file(path);
    // flush() before commit(): commit() takes a failure of its own final
    // flush (a full disk) for success and renames a short file into place.
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush()
        || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
