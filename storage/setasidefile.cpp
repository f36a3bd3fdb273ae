#include "setasidefile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

QString SetAsideFile::move(const QString &path, QString *error)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QString base = path + QLatin1String(".unreadable-") + stamp;
    QString aside = base;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = base + QLatin1Char('-') + QString::number(n);
    if (!QDir().rename(path, aside)) {
        if (error)
            *error = QStringLiteral("cannot rename %1 to %2").arg(path, aside);
        return QString();
    }
    return aside;
}
