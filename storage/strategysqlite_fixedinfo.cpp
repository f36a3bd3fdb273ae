// The fixed-strategy store of StrategySqlite: the records of the logged-in
// user, their data file, id allocation and the legacy-table migration.

#include "storage/atomicfile.h"
#include "storage/fixedstrategyfile.h"
#include "storage/installationlayout.h"
#include "storage/setasidefile.h"
#include "storage/strategylogging.h"
#include "storage/strategyschema.h"
#include "storage/strategysqlite.h"

#include <interprocidservice.h>
#include <zqapplicationdir.h>
#include <zqmemsqlitemgr.h>

#include <QDateTime>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {
} // namespace

QString StrategySqlite::getFixedStrategyFilePath(QString userFolder)
{
    return FixedStrategyFile::path(ZqApplicationDir::path(), userFolder);
}

QString StrategySqlite::formatFixedStrategyLine(const FixedStrategyInfo &info)
{
    return FixedStrategyFile::formatLine(info);
}

qint64 StrategySqlite::allocateFixedStrategyId()
{
    InterProcIdService &ids = InterProcIdService::instance();
    qint64 id = ids.getId(InstallationLayout::IdService);
    if (id == 0)
        id = ids.getId(InstallationLayout::IdService);
    return id;
}

QList<FixedStrategyInfo> StrategySqlite::queryFixedStrategyInfoList(QString userFolder)
{
    const QList<FixedStrategyInfo> list = fixedStrategyRecords(userFolder).toList();
    SL_DEBUG << "StrategySqlite::queryFixedStrategyInfoList" << list.size();
    return list;
}

QVector<FixedStrategyInfo> StrategySqlite::fixedStrategyRecords(const QString &userFolder)
{
    {
        QReadLocker locker(&m_fixedInfoLock);
        if (m_fixedInfoLoaded)
            return m_fixedInfo;
    }
    return loadFixedStrategyRecords(userFolder);
}

QList<FixedStrategyInfo> StrategySqlite::LoadFixedStrategyInfo(QString userFolder)
{
    return loadFixedStrategyRecords(userFolder).toList();
}

QVector<FixedStrategyInfo> StrategySqlite::loadFixedStrategyRecords(const QString &userFolder)
{
    SL_DEBUG << "StrategySqlite::LoadFixedStrategyInfo" << userFolder;
    QVector<FixedStrategyInfo> list;
    const QString path = getFixedStrategyFilePath(userFolder);
    bool unreadable = false;
    if (!FixedStrategyFile::isValidUserFolder(userFolder)) {
        // It would lead out of the user's folder (or be work/ itself).
        SL_CRITICAL << "StrategySqlite::LoadFixedStrategyInfo" << "the user folder name" << userFolder
                    << "cannot be used: no fixed strategies are loaded or written";
    } else if (QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            SL_CRITICAL << "open fix strategy file failed:" << file.errorString();
            unreadable = true;
        } else {
            const QByteArray content = file.readAll();
            if (file.error() != QFileDevice::NoError) {
                SL_CRITICAL << "open fix strategy file failed:" << file.errorString();
                unreadable = true;
            } else {
                FixedStrategyFile::Skipped skipped;
                list = FixedStrategyFile::parseRecords(content, &skipped);
                if (skipped.lines > 0) {
                    // Its good lines are loaded; the whole file is kept
                    // aside before the first rewrite, which would drop the rest.
                    SL_WARNING << "StrategySqlite::LoadFixedStrategyInfo" << path << ":" << skipped.lines
                               << "lines skipped, the first is line" << skipped.firstLine;
                    unreadable = true;
                }
            }
            file.close();
        }
    }

    qint64 highestId = 0;
    {
        QWriteLocker locker(&m_fixedInfoLock);
        // The store keeps its records in ascending ids, one per id: a later
        // line of the same id replaces an earlier one (the list keeps
        // both). A file this store wrote is in that order already, and the
        // store then shares the list itself.
        bool rising = true;
        for (int i = 1; i < list.size() && rising; ++i)
            rising = list.at(i).id > list.at(i - 1).id;
        QVector<FixedStrategyInfo> records = list;
        if (!rising) {
            std::stable_sort(records.begin(), records.end(),
                             [](const FixedStrategyInfo &a, const FixedStrategyInfo &b) { return a.id < b.id; });
            // Of each run of one id, the last line.
            int kept = 0;
            for (int i = 0; i < records.size(); ++i) {
                if (i + 1 < records.size() && records.at(i + 1).id == records.at(i).id)
                    continue;
                if (kept != i)
                    records[kept] = records.at(i);
                ++kept;
            }
            records.erase(records.begin() + kept, records.end());
        }
        if (!records.isEmpty())
            highestId = records.constLast().id;
        if (m_fixedInfo.isEmpty()) {
            m_fixedInfo = records;
        } else {
            for (const FixedStrategyInfo &info : qAsConst(records))
                putLocked(info);
        }
        if (unreadable)
            m_unreadableDataFile = path;
        m_fixedInfoLoaded = true;
    }
    // A data file may come from another machine, whose ids this machine's
    // sequence has not reached yet: new ids start above the stored ones.
    if (highestId > 0 && !InterProcIdService::instance().raiseFloor(InstallationLayout::IdService, highestId))
        SL_WARNING << "StrategySqlite::LoadFixedStrategyInfo" << "cannot raise the id sequence above" << highestId;
    return list;
}

qint64 StrategySqlite::insertStrategyInfo(QString name, QString filePath, QString group, QString extraInfo,
                                          int copyIndex)
{
    const qint64 id = allocateFixedStrategyId();
    // An id the id service should never give (0 on failure, or one already
    // held) is handed back for the caller to reject; the store keeps what it
    // has, so that memory and the data file never lose a record over it.
    if (id < 1) {
        SL_WARNING << "StrategySqlite::insertStrategyInfo" << "the id service gave no id:" << id;
        return id;
    }
    FixedStrategyInfo info;
    info.id = id;
    info.name = name;
    info.filePath = filePath;
    info.group = group;
    info.extraInfo = extraInfo;
    info.copyIndex = copyIndex;

    QWriteLocker locker(&m_fixedInfoLock);
    if (indexOfLocked(id) >= 0) {
        SL_WARNING << "StrategySqlite::insertStrategyInfo" << "the id service repeated id" << id;
        return id;
    }
    putLocked(info);
    m_fixedInfoDirty = true;
    return id;
}

int StrategySqlite::indexOfLocked(qint64 id) const
{
    // New ids are above every stored one, as a rule: no search then.
    if (m_fixedInfo.isEmpty() || id > m_fixedInfo.constLast().id)
        return -1;
    const auto at = std::lower_bound(m_fixedInfo.cbegin(), m_fixedInfo.cend(), id,
                                     [](const FixedStrategyInfo &info, qint64 value) { return info.id < value; });
    return at != m_fixedInfo.cend() && at->id == id ? int(at - m_fixedInfo.cbegin()) : -1;
}

void StrategySqlite::putLocked(const FixedStrategyInfo &info)
{
    if (m_fixedInfo.isEmpty() || info.id > m_fixedInfo.constLast().id) {
        m_fixedInfo.append(info);
        return;
    }
    const auto at = std::lower_bound(m_fixedInfo.begin(), m_fixedInfo.end(), info.id,
                                     [](const FixedStrategyInfo &record, qint64 value) { return record.id < value; });
    if (at != m_fixedInfo.end() && at->id == info.id)
        *at = info;
    else
        m_fixedInfo.insert(at, info);
}

bool StrategySqlite::delFixedStrategyInfo(qint64 id)
{
    QWriteLocker locker(&m_fixedInfoLock);
    const int at = indexOfLocked(id);
    if (at >= 0) {
        m_fixedInfo.removeAt(at);
        m_fixedInfoDirty = true;
    }
    return true;
}

bool StrategySqlite::modifyFixedStrategyInfo(const FixedStrategyInfo &info)
{
    QWriteLocker locker(&m_fixedInfoLock);
    const int at = indexOfLocked(info.id);
    if (at >= 0) {
        m_fixedInfo[at] = info;
        m_fixedInfoDirty = true;
    }
    return true;
}

bool StrategySqlite::modifyFixedStrategyFilePath(qint64 id, QString filePath)
{
    QWriteLocker locker(&m_fixedInfoLock);
    const int at = indexOfLocked(id);
    if (at >= 0) {
        m_fixedInfo[at].filePath = filePath;
        m_fixedInfoDirty = true;
    }
    return true;
}

bool StrategySqlite::keepUnreadableDataFileLocked()
{
    const QString unreadable = m_unreadableDataFile;
    if (!QFileInfo::exists(unreadable)) {
        m_unreadableDataFile.clear();
        return true;
    }
    const QString aside = SetAsideFile::move(unreadable);
    if (aside.isEmpty()) {
        SL_UNSAVED_CRITICAL << "StrategySqlite::writeFixedStrategyInfoToFile"
                            << "the data file could not be read and cannot be moved aside; not rewriting it:" << unreadable;
        return false;
    }
    SL_CRITICAL << "StrategySqlite::writeFixedStrategyInfoToFile" << "the data file could not be read whole; kept as"
                << aside;
    m_unreadableDataFile.clear();
    return true;
}

bool StrategySqlite::writeFixedStrategyInfoToFile(QString userFolder)
{
    // Held for writing across the rewrite: two rewrites never interleave,
    // and no change slips in between the snapshot and the clean flag.
    QWriteLocker locker(&m_fixedInfoLock);
    if (!m_fixedInfoDirty)
        return true;
    if (!FixedStrategyFile::isValidUserFolder(userFolder)) {
        SL_UNSAVED << "StrategySqlite::writeFixedStrategyInfoToFile" << "the user folder name" << userFolder
                   << "cannot be used; not written";
        return false;
    }
    const QString path = getFixedStrategyFilePath(userFolder);
    SL_DEBUG << "StrategySqlite::writeFixedStrategyInfoToFile" << userFolder << path;
    if (!m_unreadableDataFile.isEmpty() && !keepUnreadableDataFileLocked())
        return false;

    // Formatted straight into one buffer of UTF-8 bytes.
    QByteArray bytes;
    bytes.reserve(m_fixedInfo.size() * 96);
    for (const FixedStrategyInfo &info : qAsConst(m_fixedInfo))
        FixedStrategyFile::appendLineUtf8(bytes, info);
    QString error;
    if (!AtomicFile::replace(path, bytes, &error)) {
        SL_UNSAVED << "open file failed:" << path << error;
        return false;
    }
    m_fixedInfoDirty = false;
    return true;
}

void StrategySqlite::raiseIdsAboveDataFiles()
{
    // The ids of the legacy rows' users' data files (one brought from
    // another machine, or a fresh id folder) must not be handed out again:
    // a row whose new id a file already holds would count as moved.
    int err = 0;
    CppSQLite3Query rows = m_dbMgr->execQuery("select * from fixedstrategyinfo", err);
    QSet<QString> folders;
    for (; err == 0 && !rows.eof(); rows.nextRow())
        folders.insert(QString::fromUtf8(rows.fieldValue(StrategySchema::LegacyUserFolder)).toLower());
    qint64 highest = 0;
    for (const QString &folder : qAsConst(folders)) {
        if (!FixedStrategyFile::isValidUserFolder(folder))
            continue;
        QFile file(getFixedStrategyFilePath(folder));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const FixedStrategyInfo &info : FixedStrategyFile::parse(file.readAll()))
            highest = qMax(highest, info.id);
    }
    if (highest > 0 && !InterProcIdService::instance().raiseFloor(InstallationLayout::IdService, highest))
        SL_WARNING << "StrategySqlite::backupFixStrategyInfo" << "cannot raise the id sequence above" << highest;
}

void StrategySqlite::backupFixStrategyInfo()
{
    if (!m_dbMgr->tableExists(StrategySchema::LegacyTable))
        return;

    // Each legacy row is given its new id once, and the id is kept beside
    // the row until the row is removed: a start that dies after writing
    // some data files finds those ids there and does not add the rows twice.
    int err = 0;
    m_dbMgr->execDML("alter table fixedstrategyinfo add column migrated_id INTEGER", err);
    err = 0;
    CppSQLite3Query pending = m_dbMgr->execQuery("select rowid from fixedstrategyinfo where migrated_id is null", err);
    if (err != 0)
        return;
    if (!pending.eof())
        raiseIdsAboveDataFiles();
    if (!pending.eof() && m_dbMgr->transaction() == 0) {
        for (; !pending.eof(); pending.nextRow()) {
            const qint64 id = allocateFixedStrategyId();
            if (id < 1)
                break; // the rest waits for the next start
            err = 0;
            const QByteArray sql = QStringLiteral("update fixedstrategyinfo set migrated_id=%1 where rowid=%2")
                                       .arg(QString::number(id), QString::fromUtf8(pending.fieldValue(0)))
                                       .toUtf8();
            m_dbMgr->execDML(sql.constData(), err);
        }
        if (m_dbMgr->commit() != 0)
            return;
    }

    const char *select = "select * from fixedstrategyinfo;";
    err = 0;
    CppSQLite3Query query = m_dbMgr->execQuery(select, err);
    if (err != 0)
        return;
    SL_INFO << "queryFixedStrategyInfoListOld 1" << select;
    const int idColumn = query.fieldIndex("migrated_id");
    if (idColumn < 0)
        return;
    auto column = [&](int col) {
        return col < idColumn ? QString::fromUtf8(query.fieldValue(col)) : QString();
    };

    QMap<QString, QList<FixedStrategyInfo>> byFolder;
    for (; !query.eof(); query.nextRow()) {
        const char *migratedId = query.fieldValue(idColumn);
        if (!migratedId)
            continue;
        FixedStrategyInfo info;
        info.id = QByteArray(migratedId).toLongLong();
        info.name = column(StrategySchema::LegacyName);
        info.filePath = column(StrategySchema::LegacyFilePath);
        info.group = column(StrategySchema::LegacyGroup);
        info.extraInfo = column(StrategySchema::LegacyExtraInfo);
        info.copyIndex = 0;
        if (info.group.isEmpty())
            info.group = InstallationLayout::DefaultGroup;
        const QString folder = column(StrategySchema::LegacyUserFolder).toLower();
        if (!FixedStrategyFile::isValidUserFolder(folder) || !FixedStrategyFile::canHold(info)) {
            // Written as it is, it would land outside the user's folder or
            // shift its fields: it stays in the table, whole.
            SL_WARNING << "StrategySqlite::backupFixStrategyInfo" << "legacy row kept in the table, its user folder"
                       << folder << "or a text cannot be stored:" << info.name << info.filePath;
            continue;
        }
        byFolder[folder].append(info);
        SL_DEBUG << "db item:" << info.id << info.name << info.filePath << info.group << info.extraInfo
                << info.copyIndex;
    }
    query.finalize();

    QStringList written;
    for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it) {
        const QString path = getFixedStrategyFilePath(it.key());
        QByteArray content;
        if (QFileInfo::exists(path)) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                SL_CRITICAL << "StrategySqlite::backupFixStrategyInfo" << "cannot read" << path << file.errorString()
                            << "- its legacy rows stay in the database";
                continue;
            }
            content = file.readAll();
        }
        QSet<qint64> present;
        const QList<FixedStrategyInfo> existing = FixedStrategyFile::parse(content);
        for (const FixedStrategyInfo &info : existing)
            present.insert(info.id);
        if (!content.isEmpty() && !content.endsWith('\n'))
            content += '\n';
        QString text;
        for (const FixedStrategyInfo &info : it.value()) {
            if (!present.contains(info.id))
                FixedStrategyFile::appendLine(text, info);
        }
        const QByteArray added = text.toUtf8();
        QString error;
        if (!added.isEmpty() && !AtomicFile::replace(path, content + added, &error)) {
            SL_WARNING << "StrategySqlite::backupFixStrategyInfo" << "cannot write" << path << error
                       << "- its legacy rows stay in the database";
            continue;
        }
        SL_INFO << "write file over:" << it.key() << QString::fromUtf8(added);
        for (const FixedStrategyInfo &info : it.value())
            written.append(QString::number(info.id));
    }

    // Rows leave the legacy table only once their data file holds them.
    for (int from = 0; from < written.size(); from += 500) {
        err = 0;
        const QByteArray sql = QStringLiteral("delete from fixedstrategyinfo where migrated_id in (%1)")
                                   .arg(written.mid(from, 500).join(QLatin1Char(',')))
                                   .toUtf8();
        m_dbMgr->execDML(sql.constData(), err);
    }
    err = 0;
    CppSQLite3Query left = m_dbMgr->execQuery("select count(*) from fixedstrategyinfo", err);
    if (err == 0 && !left.eof() && QByteArray(left.fieldValue(0)).toLongLong() == 0) {
        err = 0;
        m_dbMgr->execDML("DROP TABLE fixedstrategyinfo", err);
        SL_INFO << "drop table fixedstrategyinfo return:" << err;
    }
}
