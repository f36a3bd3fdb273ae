#include "zqapplicationdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QReadWriteLock>

namespace {
struct AppDirState
{
    QReadWriteLock lock;
    QString overridePath;
    QString seenAppPath;
};

// Never destroyed: shutdown code running after static destruction has begun
// may still ask for the folder.
AppDirState &state()
{
    static AppDirState *s = new AppDirState;
    return *s;
}
} // namespace

QString ZqApplicationDir::path()
{
    AppDirState &s = state();
    {
        QReadLocker locker(&s.lock);
        if (!s.overridePath.isEmpty())
            return s.overridePath;
        if (!QCoreApplication::instance() && !s.seenAppPath.isEmpty())
            return s.seenAppPath;
    }
    QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                               : QDir::currentPath();
    QWriteLocker locker(&s.lock);
    if (QCoreApplication::instance())
        s.seenAppPath = dir;
    return dir;
}

void ZqApplicationDir::setPath(const QString &dir)
{
    QString clean;
    if (!dir.isEmpty())
        clean = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    QWriteLocker locker(&state().lock);
    state().overridePath = clean;
}

QString ZqApplicationDir::defaultDataFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("STRATEGYLOGIC_HOME");
    if (!fromEnvironment.isEmpty())
        return QFileInfo(fromEnvironment).absoluteFilePath();
    QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (xdg.isEmpty() || QDir::isRelativePath(xdg))
        xdg = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(xdg + QStringLiteral("/StrategyLogic"));
}
