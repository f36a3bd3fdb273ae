// Strategy groups of StrategyFileLogicHandler and their file.

#include "facade/strategyfilelogichandler.h"

#include "facade/strategydirhandler.h"
#include "storage/strategysqlite.h"

#include <cardelconstants.h>
#include <zcore.h>
#include <zqapplicationdir.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMultiMap>
#include <QSaveFile>
#include <QTextStream>

namespace {
const QString DefaultGroup = QStringLiteral("默认分组");
const QString AutoStartGroup = QStringLiteral("自动启动");
const QString BuiltInNameMessage = QStringLiteral("默认分组/自动启动分组为内置分组名，不允许手工创建！");
const QString GroupExistsMessage = QStringLiteral("新建分组失败：已存在相同名称分组！");
const QString NoSourceGroupMessage = QStringLiteral("修改分组名称失败：不存在原分组！");
const QString TargetExistsMessage = QStringLiteral("修改分组名称失败：已存在该分组名！");
const QString InvalidNameMessage = QStringLiteral("分组名称不能包含“,”或“;”！");
constexpr char GroupsFileName[] = "SarvekFixedStrategyGroups.txt";

bool isBuiltIn(const QString &name)
{
    return name == DefaultGroup || name == AutoStartGroup;
}

// The groups file separates entries with "," and fields with ";".
bool groupsFileCanHold(const QString &name)
{
    return !name.contains(QLatin1Char(',')) && !name.contains(QLatin1Char(';'));
}
} // namespace

QString StrategyFileLogicHandler::groupsFilePath()
{
    return QStringLiteral("./work/%1/%2").arg(getCurUserId(), QLatin1String(GroupsFileName));
}

void StrategyFileLogicHandler::readFixedStrategyGroups()
{
    QMap<QString, SarvekGroupInfo> groups;
    QFile file(groupsFilePath());
    if (file.open(QIODevice::ReadOnly)) {
        QTextStream stream(&file);
        stream.setCodec("UTF-8");
        const QStringList entries = stream.readAll().split(QLatin1Char(','));
        for (const QString &entry : entries) {
            const QStringList parts = entry.split(QLatin1Char(';'));
            if (parts.size() < 2)
                continue;
            groups.insert(parts.at(0), SarvekGroupInfo{parts.at(0), parts.at(1).toLongLong()});
        }
        file.close();
    }
    if (groups.isEmpty())
        groups.insert(DefaultGroup, SarvekGroupInfo{DefaultGroup, -1});

    QWriteLocker locker(&m_fixedStrategyLock);
    m_groupMap = groups;
}

void StrategyFileLogicHandler::saveFixedStrategyGroup()
{
    QMutexLocker saving(&m_groupsFileMutex);
    QList<SarvekGroupInfo> groups;
    {
        QReadLocker locker(&m_fixedStrategyLock);
        groups = m_groupMap.values();
    }
    QStringList names;
    QStringList entries;
    for (const SarvekGroupInfo &group : qAsConst(groups)) {
        names.append(group.name);
        entries.append(group.name + QLatin1Char(';') + QString::number(group.createTime));
    }
    SL_DEBUG << "StrategyFileLogicHandler::saveFixedStrategyGroup" << names;

    const QString path = groupsFilePath();
    const StrategyDirHandler inApplicationDir;
    QString error;
    // The relative path must not land in whatever folder happens to be
    // current when the installation folder cannot be entered (gone, no access).
    if (QDir::current() != QDir(ZqApplicationDir::path())) {
        error = QStringLiteral("cannot enter the installation folder %1").arg(ZqApplicationDir::path());
    } else if (!QDir().mkpath(QFileInfo(path).path())) {
        error = QStringLiteral("cannot create folder %1").arg(QFileInfo(path).absolutePath());
    } else {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            QTextStream stream(&file);
            stream.setCodec("UTF-8");
            stream << entries.join(QLatin1Char(','));
            stream.flush();
            if (stream.status() == QTextStream::Ok && file.commit())
                return;
        }
        error = file.errorString();
        file.cancelWriting();
    }
    SL_WARNING << "save SarvekFixedStrategyGroup failerd" << path << error;
}

bool StrategyFileLogicHandler::checkAndAddAutoStart()
{
    const bool autoStart = ZCore::instance()
                               ->settings(CardelConstants::SettingFieldName::SarvekSetting::SarvekStragyAutoStart,
                                          QString(), QString(), QSettings::UserScope)
                               .toBool();
    if (!autoStart)
        return false;
    QWriteLocker locker(&m_fixedStrategyLock);
    if (m_groupMap.contains(AutoStartGroup))
        return false;
    m_groupMap.insert(AutoStartGroup, SarvekGroupInfo{AutoStartGroup, -1});
    return true;
}

void StrategyFileLogicHandler::checkAutoStart()
{
    if (checkAndAddAutoStart())
        emit signalAddStrategy();
}

QString StrategyFileLogicHandler::addGroup(const QString &name)
{
    SL_DEBUG << "StrategyFileLogicHandler::addGroup" << name;
    if (isBuiltIn(name))
        return BuiltInNameMessage;
    if (!groupsFileCanHold(name))
        return InvalidNameMessage;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (m_groupMap.contains(name))
            return GroupExistsMessage;
        m_groupMap.insert(name, SarvekGroupInfo{name, QDateTime::currentSecsSinceEpoch()});
    }
    saveFixedStrategyGroup();
    return QString();
}

QString StrategyFileLogicHandler::renameGroup(const QString &oldName, const QString &newName)
{
    SL_DEBUG << "StrategyFileLogicHandler::renameGroup" << oldName << newName;
    if (isBuiltIn(newName))
        return BuiltInNameMessage;
    if (!groupsFileCanHold(newName))
        return InvalidNameMessage;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.contains(oldName))
            return NoSourceGroupMessage;
        if (m_groupMap.contains(newName))
            return TargetExistsMessage;
        moveGroupStrategiesLocked(oldName, newName);
        SarvekGroupInfo group = m_groupMap.take(oldName);
        group.name = newName;
        m_groupMap.insert(newName, group);
    }
    writeDataFile();
    saveFixedStrategyGroup();
    return QString();
}

void StrategyFileLogicHandler::moveGroupStrategiesLocked(const QString &from, const QString &to)
{
    StrategySqlite &store = StrategySqlite::instance();
    for (FixedStrategyInfo &info : m_fixedStrategyMap) {
        if (info.group == from) {
            info.group = to;
            store.modifyFixedStrategyInfo(info);
        }
    }
}

void StrategyFileLogicHandler::removeGroupStrategiesLocked(const QString &group)
{
    StrategySqlite &store = StrategySqlite::instance();
    for (auto it = m_fixedStrategyMap.begin(); it != m_fixedStrategyMap.end();) {
        if (it->group != group) {
            ++it;
            continue;
        }
        store.delFixedStrategyInfo(it.key());
        auto names = m_fixedSrategyNameMap.find(it->filePath);
        if (names != m_fixedSrategyNameMap.end()) {
            names->removeOne(it->name);
            if (names->isEmpty())
                m_fixedSrategyNameMap.erase(names);
        }
        it = m_fixedStrategyMap.erase(it);
    }
}

bool StrategyFileLogicHandler::deleteGroup(QString name, bool deleteStrategies)
{
    SL_DEBUG << "StrategyFileLogicHandler::deleteGroup" << name << deleteStrategies;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.remove(name))
            return false;
        if (deleteStrategies)
            removeGroupStrategiesLocked(name);
    }
    if (deleteStrategies)
        writeDataFile();
    saveFixedStrategyGroup();
    return true;
}

bool StrategyFileLogicHandler::cleanupGroup(const QString &name)
{
    SL_DEBUG << "StrategyFileLogicHandler::cleanupGroup" << name;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.contains(name))
            return false;
        removeGroupStrategiesLocked(name);
    }
    writeDataFile();
    return true;
}

bool StrategyFileLogicHandler::regroupAllStrategy(const QString &fromGroup, const QString &toGroup, bool removeFrom)
{
    SL_DEBUG << "StrategyFileLogicHandler::regroupAllStrategy" << fromGroup << toGroup << removeFrom;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.contains(fromGroup) || !m_groupMap.contains(toGroup))
            return false;
        moveGroupStrategiesLocked(fromGroup, toGroup);
        if (removeFrom)
            m_groupMap.remove(fromGroup);
    }
    writeDataFile();
    return true;
}

QList<SarvekGroupInfo> StrategyFileLogicHandler::getAllStrategyGroups()
{
    QReadLocker locker(&m_fixedStrategyLock);
    return m_groupMap.values();
}

QStringList StrategyFileLogicHandler::getAllStrategyGroupNameSorted()
{
    QMultiMap<qint64, QString> byTime;
    {
        QReadLocker locker(&m_fixedStrategyLock);
        // insert() puts a name in front of those with an equal time: among
        // equal times the greater name comes first.
        for (const SarvekGroupInfo &group : qAsConst(m_groupMap))
            byTime.insert(group.createTime, group.name);
    }
    return byTime.values();
}
