// Strategy groups of StrategyFileLogicHandler and their file.

#include "facade/strategyfilelogichandler.h"

#include "facade/strategydirhandler.h"
#include "registry/groupchangerecord.h"
#include "registry/groupsfile.h"
#include "storage/atomicfile.h"
#include "storage/setasidefile.h"
#include "storage/strategysqlite.h"
#include "storage/utf8text.h"

#include <cardelconstants.h>
#include <zcore.h>
#include <zqapplicationdir.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMultiMap>

namespace {
const QString DefaultGroup = QStringLiteral("默认分组");
const QString AutoStartGroup = QStringLiteral("自动启动");
const QString BuiltInNameMessage = QStringLiteral("默认分组/自动启动分组为内置分组名，不允许手工创建！");
const QString GroupExistsMessage = QStringLiteral("新建分组失败：已存在相同名称分组！");
const QString NoSourceGroupMessage = QStringLiteral("修改分组名称失败：不存在原分组！");
const QString TargetExistsMessage = QStringLiteral("修改分组名称失败：已存在该分组名！");
const QString InvalidNameMessage = QStringLiteral("分组名称不能包含“,”或“;”！");
const QString UnstorableNameMessage = QStringLiteral("分组名称包含无法保存的字符！");
const QString NotInitialisedMessage = QStringLiteral("操作失败：策略插件未初始化！");
const QString WriteFailedMessage = QStringLiteral("保存失败：文件无法写入，修改未保存！");

bool isBuiltIn(const QString &name)
{
    return name == DefaultGroup || name == AutoStartGroup;
}

} // namespace

QString StrategyFileLogicHandler::groupsFilePath()
{
    // "./work/<user>/..." of the installation folder, read and written
    // there whatever the process's working directory is.
    return QStringLiteral("%1/work/%2/%3").arg(ZqApplicationDir::path(), getCurUserId(), QLatin1String(GroupsFile::FileName));
}

QString StrategyFileLogicHandler::groupChangeRecordPath()
{
    return QStringLiteral("%1/work/%2/%3")
        .arg(ZqApplicationDir::path(), getCurUserId(), QLatin1String(GroupChangeRecord::FileName));
}

void StrategyFileLogicHandler::readFixedStrategyGroups()
{
    QFile file(groupsFilePath());
    QString text;
    bool notText = false;
    QMap<QString, SarvekGroupInfo> groups;
    if (m_userFolderUsable && file.open(QIODevice::ReadOnly)) {
        const QByteArray content = file.readAll();
        bool isText = true;
        text = Utf8Text::decode(content.constData(), content.size(), &isText);
        notText = !isText;
        groups = GroupsFile::parse(content);
        file.close();
    }
    if (groups.isEmpty())
        groups.insert(DefaultGroup, SarvekGroupInfo{DefaultGroup, -1});

    {
        QMutexLocker saving(&m_groupsFileMutex);
        m_groupsFileText = file.exists() ? text : QString();
        m_groupsFileNotText = notText;
    }
    QWriteLocker locker(&m_fixedStrategyLock);
    m_groupMap = groups;
}

bool StrategyFileLogicHandler::saveFixedStrategyGroup()
{
    if (!m_userFolderUsable)
        return true; // nothing to save: no group can change (initialize() said why)
    QMutexLocker saving(&m_groupsFileMutex);
    QList<SarvekGroupInfo> groups;
    {
        QReadLocker locker(&m_fixedStrategyLock);
        groups = m_groupMap.values();
    }
    if (lcStrategyLogic().isDebugEnabled()) {
        QStringList names;
        for (const SarvekGroupInfo &group : qAsConst(groups))
            names.append(group.name);
        SL_DEBUG << "StrategyFileLogicHandler::saveFixedStrategyGroup" << names;
    }

    const QString path = groupsFilePath();
    const QString text = GroupsFile::format(groups);
    // The file already says this (a save at exit after no change): nothing
    // to write, and nothing fails in a folder that cannot be written.
    if (text == m_groupsFileText && QFileInfo::exists(path))
        return true;
    const StrategyDirHandler inApplicationDir;
    QString error;
    if (m_groupsFileNotText && QFileInfo::exists(path)) {
        // Bytes that were not UTF-8 text cannot be written back: the file
        // they came in is kept.
        const QString aside = SetAsideFile::move(path, &error);
        if (aside.isEmpty()) {
            SL_UNSAVED << "save SarvekFixedStrategyGroup failerd" << path << error;
            return false;
        }
        SL_CRITICAL << "StrategyFileLogicHandler::saveFixedStrategyGroup" << "the groups file was not UTF-8 text; kept as"
                    << aside;
        m_groupsFileNotText = false;
    }
    if (AtomicFile::replace(path, text.toUtf8(), &error)) {
        m_groupsFileText = text;
        return true;
    }
    SL_UNSAVED << "save SarvekFixedStrategyGroup failerd" << path << error;
    return false;
}

bool StrategyFileLogicHandler::readInterruptedGroupChange(GroupChangeRecord *change)
{
    if (!m_userFolderUsable)
        return false;
    const QString path = groupChangeRecordPath();
    QString error;
    switch (GroupChangeRecord::read(path, change, &error)) {
    case GroupChangeRecord::Missing:
        return false;
    case GroupChangeRecord::Damaged: {
        // Written whole or not at all, so this is not ours to guess at.
        const QString aside = SetAsideFile::move(path);
        SL_CRITICAL << "StrategyFileLogicHandler::initStrategyFileInfo" << "group change record" << path
                    << QStringLiteral("cannot be read (%1); kept as").arg(error) << (aside.isEmpty() ? path : aside);
        return false;
    }
    case GroupChangeRecord::Read:
        break;
    }
    SL_INFO << "StrategyFileLogicHandler::initStrategyFileInfo" << "finishing an interrupted group"
            << (change->kind == GroupChangeRecord::Rename ? "rename of" : "delete of") << change->group;
    return true;
}

// Each step is a no-op when the process got that far before it died.
void StrategyFileLogicHandler::redoGroupChangeOnGroups(const GroupChangeRecord &change)
{
    QWriteLocker locker(&m_fixedStrategyLock);
    m_groupMap.remove(change.group);
    if (change.kind == GroupChangeRecord::Rename)
        m_groupMap.insert(change.newName, SarvekGroupInfo{change.newName, change.createTime});
    else if (m_groupMap.isEmpty())
        m_groupMap.insert(DefaultGroup, SarvekGroupInfo{DefaultGroup, -1}); // as a start reads an empty groups file
}

void StrategyFileLogicHandler::redoGroupChangeOnRecords(const GroupChangeRecord &change,
                                                        QList<FixedStrategyInfo> *records)
{
    StrategySqlite &store = StrategySqlite::instance();
    for (auto it = records->begin(); it != records->end();) {
        if (it->group != change.group) {
            ++it;
        } else if (change.kind == GroupChangeRecord::Rename) {
            it->group = change.newName;
            store.modifyFixedStrategyInfo(*it);
            ++it;
        } else if (change.withStrategies) {
            store.delFixedStrategyInfo(it->id);
            it = records->erase(it);
        } else {
            ++it;
        }
    }
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
    if (refusesRegistryChange("StrategyFileLogicHandler::addGroup"))
        return NotInitialisedMessage;
    if (isBuiltIn(name))
        return BuiltInNameMessage;
    if (!GroupsFile::canHold(name))
        return InvalidNameMessage;
    if (name.contains(QChar(0)))
        return UnstorableNameMessage; // its strategies' lines could not name it
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (m_groupMap.contains(name))
            return GroupExistsMessage;
        m_groupMap.insert(name, SarvekGroupInfo{name, QDateTime::currentSecsSinceEpoch()});
    }
    return saveFixedStrategyGroup() ? QString() : WriteFailedMessage;
}

QString StrategyFileLogicHandler::renameGroup(const QString &oldName, const QString &newName)
{
    SL_DEBUG << "StrategyFileLogicHandler::renameGroup" << oldName << newName;
    if (refusesRegistryChange("StrategyFileLogicHandler::renameGroup"))
        return NotInitialisedMessage;
    if (isBuiltIn(newName))
        return BuiltInNameMessage;
    if (!GroupsFile::canHold(newName))
        return InvalidNameMessage;
    if (newName.contains(QChar(0)))
        return UnstorableNameMessage;
    GroupChangeRecord change;
    change.kind = GroupChangeRecord::Rename;
    change.group = oldName;
    change.newName = newName;
    {
        QReadLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.contains(oldName))
            return NoSourceGroupMessage;
        if (m_groupMap.contains(newName))
            return TargetExistsMessage;
        change.createTime = m_groupMap.value(oldName).createTime;
    }
    // Two files change: the record lets a start after a crash in between
    // finish the rename.
    const QString recordPath = groupChangeRecordPath();
    QString error;
    if (!change.write(recordPath, &error)) {
        SL_UNSAVED << "StrategyFileLogicHandler::renameGroup" << "cannot record the change in" << recordPath << error;
        return WriteFailedMessage;
    }
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        // The host serialises changes of the registry; should another one
        // have come in between, nothing is changed.
        if (!m_groupMap.contains(oldName) || m_groupMap.contains(newName)) {
            QFile::remove(recordPath);
            return m_groupMap.contains(newName) ? TargetExistsMessage : NoSourceGroupMessage;
        }
        moveGroupStrategiesLocked(oldName, newName);
        SarvekGroupInfo group = m_groupMap.take(oldName);
        group.name = newName;
        m_groupMap.insert(newName, group);
    }
    const bool written = writeDataFile();
    if (!saveFixedStrategyGroup() || !written)
        return WriteFailedMessage; // the record stays: the next start finishes the change
    QFile::remove(recordPath);
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
    if (refusesRegistryChange("StrategyFileLogicHandler::deleteGroup"))
        return false;
    {
        QReadLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.contains(name))
            return false;
    }
    // With its strategies the delete changes two files: recorded first, so
    // that a start after a crash in between finishes it.
    const QString recordPath = groupChangeRecordPath();
    if (deleteStrategies) {
        GroupChangeRecord change;
        change.kind = GroupChangeRecord::Delete;
        change.group = name;
        change.withStrategies = true;
        QString error;
        if (!change.write(recordPath, &error)) {
            SL_UNSAVED << "StrategyFileLogicHandler::deleteGroup" << "cannot record the change in" << recordPath << error;
            return false;
        }
    }
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.remove(name)) {
            if (deleteStrategies)
                QFile::remove(recordPath);
            return false;
        }
        if (deleteStrategies)
            removeGroupStrategiesLocked(name);
    }
    bool written = !deleteStrategies || writeDataFile();
    written = saveFixedStrategyGroup() && written;
    if (written && deleteStrategies)
        QFile::remove(recordPath);
    return written;
}

bool StrategyFileLogicHandler::cleanupGroup(const QString &name)
{
    SL_DEBUG << "StrategyFileLogicHandler::cleanupGroup" << name;
    if (refusesRegistryChange("StrategyFileLogicHandler::cleanupGroup"))
        return false;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.contains(name))
            return false;
        removeGroupStrategiesLocked(name);
    }
    return writeDataFile();
}

bool StrategyFileLogicHandler::regroupAllStrategy(const QString &fromGroup, const QString &toGroup, bool removeFrom)
{
    SL_DEBUG << "StrategyFileLogicHandler::regroupAllStrategy" << fromGroup << toGroup << removeFrom;
    if (refusesRegistryChange("StrategyFileLogicHandler::regroupAllStrategy"))
        return false;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        if (!m_groupMap.contains(fromGroup) || !m_groupMap.contains(toGroup))
            return false;
        moveGroupStrategiesLocked(fromGroup, toGroup);
        if (removeFrom)
            m_groupMap.remove(fromGroup);
    }
    return writeDataFile();
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
