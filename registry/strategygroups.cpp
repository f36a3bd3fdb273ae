#include "strategygroups.h"

#include "registry/fixedstrategyregistry.h"
#include "registry/groupchangerecord.h"
#include "registry/groupsfile.h"
#include "storage/atomicfile.h"
#include "storage/changehistory.h"
#include "storage/installationlayout.h"
#include "storage/setasidefile.h"
#include "storage/strategylogging.h"
#include "storage/strategysqlite.h"
#include "storage/utf8text.h"


#include <cardelconstants.h>
#include <zcore.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMultiMap>

namespace {
using InstallationLayout::AutoStartGroup;
using InstallationLayout::DefaultGroup;
const QString GroupExistsMessage = QStringLiteral("新建分组失败：已存在相同名称分组！");
const QString NoSourceGroupMessage = QStringLiteral("修改分组名称失败：不存在原分组！");
const QString TargetExistsMessage = QStringLiteral("修改分组名称失败：已存在该分组名！");
const QString InvalidNameMessage = QStringLiteral("分组名称不能包含“,”或“;”！");
const QString UnstorableNameMessage = QStringLiteral("分组名称包含无法保存的字符！");
const QString WriteFailedMessage = QStringLiteral("保存失败：文件无法写入，修改未保存！");

bool isBuiltIn(const QString &name)
{
    return name == DefaultGroup || name == AutoStartGroup;
}

// Why a name cannot be a group's; empty when it can.
QString refusalOf(const QString &name)
{
    if (isBuiltIn(name))
        return QStringLiteral("%1/%2分组为内置分组名，不允许手工创建！").arg(DefaultGroup, AutoStartGroup);
    if (!GroupsFile::canHold(name))
        return InvalidNameMessage;
    if (name.contains(QChar(0)))
        return UnstorableNameMessage; // its strategies' lines could not name it
    return QString();
}
} // namespace

StrategyGroups::StrategyGroups(FixedStrategyRegistry &registry, ChangeHistory &history)
    : m_registry(registry)
    , m_history(history)
{
}

QString StrategyGroups::writeFailedMessage()
{
    return WriteFailedMessage;
}

StrategyLogic::RefusalCode StrategyGroups::refusalCodeOf(const QString &message)
{
    using StrategyLogic::RefusalCode;
    if (message.isEmpty())
        return RefusalCode::None;
    if (message == GroupExistsMessage || message == TargetExistsMessage)
        return RefusalCode::NameTaken;
    if (message == NoSourceGroupMessage)
        return RefusalCode::NoSuchGroup;
    if (message == InvalidNameMessage || message == UnstorableNameMessage)
        return RefusalCode::NotStorable;
    if (message == WriteFailedMessage)
        return RefusalCode::NotWritable;
    if (message == notInitialisedMessage())
        return RefusalCode::NotInitialised;
    return RefusalCode::BuiltInName;
}

QString StrategyGroups::notInitialisedMessage()
{
    return QStringLiteral("操作失败：策略插件未初始化！");
}

void StrategyGroups::setLocation(const QString &folder, const QString &userId, bool usable)
{
    m_folder = folder;
    m_userId = userId;
    m_usable = usable;
}

QString StrategyGroups::filePath() const
{
    // "./work/<user>/..." of the installation folder, read and written
    // there whatever the process's working directory is.
    return QStringLiteral("%1/work/%2/%3").arg(m_folder, m_userId, QLatin1String(GroupsFile::FileName));
}

QString StrategyGroups::changeRecordPath() const
{
    return QStringLiteral("%1/work/%2/%3").arg(m_folder, m_userId, QLatin1String(GroupChangeRecord::FileName));
}

void StrategyGroups::read()
{
    QFile file(filePath());
    QString text;
    bool notText = false;
    QMap<QString, SarvekGroupInfo> groups;
    if (m_usable && file.open(QIODevice::ReadOnly)) {
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
    QWriteLocker locker(&m_groupLock);
    m_groupMap = groups;
}

bool StrategyGroups::save()
{
    if (!saveFile())
        return false;
    m_history.stored(ChangeHistory::Groups); // after m_groupsFileMutex is let go
    return true;
}

bool StrategyGroups::saveFile()
{
    if (!m_usable)
        return true; // nothing to save: no group can change (the start said why)
    QMutexLocker saving(&m_groupsFileMutex);
    QList<SarvekGroupInfo> groups;
    {
        QReadLocker locker(&m_groupLock);
        groups = m_groupMap.values();
    }
    if (lcStrategyLogic().isDebugEnabled()) {
        QStringList names;
        for (const SarvekGroupInfo &group : qAsConst(groups))
            names.append(group.name);
        SL_DEBUG << "StrategyFileLogicHandler::saveFixedStrategyGroup" << names;
    }

    const QString path = filePath();
    const QString text = GroupsFile::format(groups);
    // The file already says this (a save at exit after no change): nothing
    // to write, and nothing fails in a folder that cannot be written.
    if (text == m_groupsFileText && QFileInfo::exists(path))
        return true;
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

bool StrategyGroups::readInterruptedChange(GroupChangeRecord *change)
{
    if (!m_usable)
        return false;
    const QString path = changeRecordPath();
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
void StrategyGroups::redoOnGroups(const GroupChangeRecord &change)
{
    const char *operation = change.kind == GroupChangeRecord::Rename ? "group.rename" : "group.delete";
    QWriteLocker locker(&m_groupLock);
    const bool hadOld = m_groupMap.contains(change.group);
    const SarvekGroupInfo old = m_groupMap.value(change.group);
    const QByteArray before = hadOld ? ChangeHistory::groupRecord(old) : QByteArray();
    if (change.kind == GroupChangeRecord::Rename) {
        const SarvekGroupInfo renamed{change.newName, change.createTime};
        // The history has what the redo really changes: nothing when the
        // groups file had the rename already.
        const bool done = hadOld ? old == renamed
                                 : m_groupMap.contains(change.newName) && m_groupMap.value(change.newName) == renamed;
        if (!done)
            m_history.record(ChangeHistory::StrategiesAndGroups, operation, before,
                             ChangeHistory::groupRecord(renamed));
        m_groupMap.remove(change.group);
        m_groupMap.insert(change.newName, renamed);
    } else {
        m_groupMap.remove(change.group);
        if (!before.isEmpty())
            m_history.record(ChangeHistory::StrategiesAndGroups, operation, before, QByteArray());
        if (m_groupMap.isEmpty())
            m_groupMap.insert(DefaultGroup, SarvekGroupInfo{DefaultGroup, -1}); // as a start reads an empty groups file
    }
}

void StrategyGroups::redoOnRecords(const GroupChangeRecord &change, QVector<FixedStrategyInfo> *records)
{
    StrategySqlite &store = StrategySqlite::instance();
    for (auto it = records->begin(); it != records->end();) {
        if (it->group != change.group) {
            ++it;
        } else if (change.kind == GroupChangeRecord::Rename) {
            const QByteArray before = ChangeHistory::strategyRecord(*it);
            it->group = change.newName;
            store.modifyFixedStrategyInfo(*it);
            if (change.newName != change.group)
                m_history.record(ChangeHistory::StrategiesAndGroups, "group.rename", before,
                                 ChangeHistory::strategyRecord(*it));
            ++it;
        } else if (change.withStrategies) {
            store.delFixedStrategyInfo(it->id);
            m_history.record(ChangeHistory::StrategiesAndGroups, "group.delete", ChangeHistory::strategyRecord(*it),
                             QByteArray());
            it = records->erase(it);
        } else {
            ++it;
        }
    }
}

void StrategyGroups::finishChange()
{
    if (m_usable)
        QFile::remove(changeRecordPath());
}

bool StrategyGroups::checkAndAddAutoStart()
{
    const bool autoStart = ZCore::instance()
                               ->settings(CardelConstants::SettingFieldName::SarvekSetting::SarvekStragyAutoStart,
                                          QString(), QString(), QSettings::UserScope)
                               .toBool();
    if (!autoStart)
        return false;
    QWriteLocker locker(&m_groupLock);
    if (m_groupMap.contains(AutoStartGroup))
        return false;
    const SarvekGroupInfo group{AutoStartGroup, -1};
    m_groupMap.insert(AutoStartGroup, group);
    m_history.record(ChangeHistory::Groups, "group.add", QByteArray(), ChangeHistory::groupRecord(group));
    return true;
}

bool StrategyGroups::addMissing(const QStringList &names)
{
    bool added = false;
    QWriteLocker locker(&m_groupLock);
    for (const QString &name : names) {
        if (!m_groupMap.contains(name)) {
            const SarvekGroupInfo group{name, QDateTime::currentSecsSinceEpoch()};
            m_groupMap.insert(name, group);
            m_history.record(ChangeHistory::Groups, "group.add", QByteArray(), ChangeHistory::groupRecord(group));
            added = true;
        }
    }
    return added;
}

bool StrategyGroups::writeChangeRecord(const GroupChangeRecord &change, const char *function)
{
    const QString path = changeRecordPath();
    QString error;
    if (change.write(path, &error))
        return true;
    SL_UNSAVED << function << "cannot record the change in" << path << error;
    return false;
}

QString StrategyGroups::add(const QString &name)
{
    return add(name, QDateTime::currentSecsSinceEpoch());
}

QString StrategyGroups::add(const QString &name, qint64 createTime)
{
    const QString refused = refusalOf(name);
    if (!refused.isEmpty())
        return refused;
    {
        QWriteLocker locker(&m_groupLock);
        if (m_groupMap.contains(name))
            return GroupExistsMessage;
        const SarvekGroupInfo group{name, createTime > 0 ? createTime : QDateTime::currentSecsSinceEpoch()};
        m_groupMap.insert(name, group);
        m_history.record(ChangeHistory::Groups, "group.add", QByteArray(), ChangeHistory::groupRecord(group));
    }
    return save() ? QString() : WriteFailedMessage;
}

QString StrategyGroups::rename(const QString &oldName, const QString &newName)
{
    const QString refused = refusalOf(newName);
    if (!refused.isEmpty())
        return refused;
    GroupChangeRecord change;
    change.kind = GroupChangeRecord::Rename;
    change.group = oldName;
    change.newName = newName;
    {
        QReadLocker locker(&m_groupLock);
        if (!m_groupMap.contains(oldName))
            return NoSourceGroupMessage;
        if (m_groupMap.contains(newName))
            return TargetExistsMessage;
        change.createTime = m_groupMap.value(oldName).createTime;
    }
    // Two files change: the record lets a start after a crash in between
    // finish the rename.
    QMutexLocker oneChange(&m_twoFileChangeMutex);
    if (!writeChangeRecord(change, "StrategyFileLogicHandler::renameGroup"))
        return WriteFailedMessage;
    {
        QWriteLocker locker(&m_groupLock);
        // The host serialises changes of the registry; should another one
        // have come in between, nothing is changed.
        if (!m_groupMap.contains(oldName) || m_groupMap.contains(newName)) {
            finishChange();
            return m_groupMap.contains(newName) ? TargetExistsMessage : NoSourceGroupMessage;
        }
        SarvekGroupInfo group = m_groupMap.take(oldName);
        const QByteArray before = ChangeHistory::groupRecord(group);
        group.name = newName;
        m_groupMap.insert(newName, group);
        m_history.record(ChangeHistory::StrategiesAndGroups, "group.rename", before, ChangeHistory::groupRecord(group));
        m_registry.moveGroupRecords(oldName, newName, "group.rename", ChangeHistory::StrategiesAndGroups);
    }
    const bool written = m_registry.writeDataFile();
    if (!save() || !written)
        return WriteFailedMessage; // the record stays: the next start finishes the change
    finishChange();
    return QString();
}

bool StrategyGroups::remove(const QString &name, bool withStrategies)
{
    {
        QReadLocker locker(&m_groupLock);
        if (!m_groupMap.contains(name))
            return false;
    }
    // With its strategies the delete changes two files: recorded first, so
    // that a start after a crash in between finishes it.
    QMutexLocker oneChange(&m_twoFileChangeMutex);
    if (withStrategies) {
        GroupChangeRecord change;
        change.kind = GroupChangeRecord::Delete;
        change.group = name;
        change.withStrategies = true;
        if (!writeChangeRecord(change, "StrategyFileLogicHandler::deleteGroup"))
            return false;
    }
    {
        QWriteLocker locker(&m_groupLock);
        const auto group = m_groupMap.find(name);
        if (group == m_groupMap.end()) {
            if (withStrategies)
                finishChange();
            return false;
        }
        m_history.record(withStrategies ? ChangeHistory::StrategiesAndGroups : ChangeHistory::Groups, "group.delete",
                         ChangeHistory::groupRecord(*group), QByteArray());
        m_groupMap.erase(group);
        if (withStrategies)
            m_registry.removeGroupRecords(name, "group.delete", ChangeHistory::StrategiesAndGroups);
    }
    bool written = !withStrategies || m_registry.writeDataFile();
    written = save() && written;
    if (written && withStrategies)
        finishChange();
    return written;
}

bool StrategyGroups::cleanup(const QString &name)
{
    if (!whileExists(name, [&] { m_registry.removeGroupRecords(name, "group.cleanup", ChangeHistory::Strategies); }))
        return false;
    return m_registry.writeDataFile();
}

bool StrategyGroups::regroup(const QString &from, const QString &to, bool removeFrom)
{
    {
        QWriteLocker locker(&m_groupLock);
        if (!m_groupMap.contains(from) || !m_groupMap.contains(to))
            return false;
        m_registry.moveGroupRecords(from, to, "group.merge", ChangeHistory::Strategies);
        if (removeFrom) {
            // The file keeps it until the next save, and so does the history.
            m_history.record(ChangeHistory::Groups, "group.merge", ChangeHistory::groupRecord(m_groupMap.value(from)),
                             QByteArray());
            m_groupMap.remove(from);
        }
    }
    return m_registry.writeDataFile();
}

QList<SarvekGroupInfo> StrategyGroups::list()
{
    QReadLocker locker(&m_groupLock);
    return m_groupMap.values();
}

QStringList StrategyGroups::sortedNames()
{
    QMultiMap<qint64, QString> byTime;
    {
        QReadLocker locker(&m_groupLock);
        // insert() puts a name in front of those with an equal time: among
        // equal times the greater name comes first.
        for (const SarvekGroupInfo &group : qAsConst(m_groupMap))
            byTime.insert(group.createTime, group.name);
    }
    return byTime.values();
}

QStringList StrategyGroups::names()
{
    QReadLocker locker(&m_groupLock);
    return m_groupMap.keys();
}

bool StrategyGroups::whileExists(const QString &name, const std::function<void()> &work)
{
    QReadLocker locker(&m_groupLock);
    if (!m_groupMap.contains(name))
        return false;
    work();
    return true;
}
