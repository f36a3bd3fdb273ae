#include "datedbackup.h"

#include "storage/atomicfile.h"

#include <QFile>
#include <QFileInfo>

QString DatedBackup::nameFor(const QString &path, const QDateTime &when)
{
    const QString base = path + QLatin1String(".bak-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

bool DatedBackup::copy(const QString &path, const QDateTime &when, QString *backup, QString *error)
{
    *backup = nameFor(path, when);
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    const QByteArray content = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        *error = source.errorString();
        return false;
    }
    return AtomicFile::replace(*backup, content, error);
}
