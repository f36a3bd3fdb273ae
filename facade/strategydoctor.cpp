// The health check of an installation folder. It reads the files the way
// the plug-in's start reads them (the same parsers), but starts nothing:
// the start creates, migrates and repairs files, which would hide what is
// wrong. Repairs are limited to what cannot lose anything: a higher id
// sequence, groups added to the groups file, leftover temporary files.

#include <StrategyLogic/strategydoctor.h>

#include "registry/groupchangerecord.h"
#include "registry/groupsfile.h"
#include "services/pendingjournal.h"
#include "storage/atomicfile.h"
#include "storage/datedbackup.h"
#include "storage/fixedstrategyfile.h"
#include "storage/strategylogging.h"
#include "storage/utf8text.h"

#include <cbusinessdatabase.h>
#include <interprocidservice.h>
#include <tavrix_fields.h>
#include <zqfolderlock.h>
#include <zqmemsqlitemgr.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>

using namespace StrategyLogic;

namespace {
const QString DefaultGroup = QStringLiteral("默认分组");
const QString AutoStartGroup = QStringLiteral("自动启动");
constexpr char IdSequence[] = "FixStrategyIDSrv";
constexpr char DatabaseFile[] = "sarvek.db";
constexpr char LegacyTable[] = "fixedstrategyinfo";
// The reference host's profile; a client's libraries keep their own data
// and have no such file.
constexpr char HostProfileFile[] = "StrategyHostProfile.json";
constexpr char PythonIniFile[] = "ZqProEngineConfig.ini";
constexpr char PythonPathKey[] = "ZqProEngineConfig/Sarvek_PythonInstallPath";
// How many examples a message names before it says "and N more".
constexpr int Examples = 3;

constexpr int SqliteCorrupt = 11;
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteNotADatabase = 26;

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// "a, b, c and 2 more".
QString someOf(const QStringList &items)
{
    QString text = items.mid(0, Examples).join(QLatin1String(", "));
    if (items.size() > Examples)
        text += QStringLiteral(" and %1 more").arg(items.size() - Examples);
    return text;
}

QString plural(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// The names the writers give their temporary copies: "<file>.XXXXXX".
QRegularExpression temporaryNames(const QStringList &names)
{
    QStringList patterns;
    for (const QString &name : names)
        patterns.append(QRegularExpression::escape(name) + QLatin1String("\\.[A-Za-z0-9]{6}"));
    return QRegularExpression(QLatin1String("^(") + patterns.join(QLatin1Char('|')) + QLatin1String(")$"));
}

// The columns of the plug-in's tables, and whether its start adds a column
// that a table of an older version lacks.
struct Column
{
    const char *name;
    bool addedAtStart;
};

struct Table
{
    const char *name;
    QList<Column> columns;
};

const QList<Table> &tables()
{
    static const QList<Table> list = {
        {"strategyfileinfo", {{"file_path", false}}},
        {"instance_info",
         {{"instance_id", false},
          {"run_mode", false},
          {"fund_account", true},
          {"return_reginfo", true},
          {"create_date", true},
          {"start_time", true},
          {"end_time", true}}},
        {"backtest_daycash",
         {{"instance_id", false},
          {"date", false},
          {"fund_account", false},
          {"initial_funds", false},
          {"end_funds", false},
          {"create_date", false}}},
    };
    return list;
}

// Everything the checks learnt, the findings and what the repairs need.
struct Survey
{
    QList<DoctorFinding> findings;
    QString userDir; // empty when the user id names no folder

    // The groups file as the plug-in's start reads it.
    QString groupsPath;
    bool groupsFileExists = false;
    bool groupsFileChangeable = true; // readable UTF-8 text, no group change waiting for the next start
    QMap<QString, SarvekGroupInfo> groups;
    bool defaultGroupMissing = false;
    QStringList missingGroups; // named by records, absent from the groups file, storable as group names

    // The id sequence.
    QString idSequencePath;
    qint64 highestStoredId = 0;
    bool idSequenceBehind = false;

    QStringList staleTemporaryFiles;
};

class Doctor
{
public:
    // `heldByDoctor`: the caller holds the folder for the repairs, so that
    // nobody else writes there.
    Doctor(const QString &appDir, bool heldByDoctor)
        : m_appDir(appDir)
        , m_heldByDoctor(heldByDoctor)
    {
    }

    Survey run()
    {
        if (checkFolder()) {
            checkDatabase();
            checkJournal();
            checkUser();
            if (!m_survey.userDir.isEmpty()) {
                checkChangeRecord();
                checkGroupsFile();
                checkDataFile();
            }
            checkIdSequence();
            checkKeptAside();
            checkTemporaryFiles();
            checkPythonPath();
        }
        return m_survey;
    }

private:
    void add(const QString &id, DoctorSeverity severity, const QString &message, const QString &path,
             const QString &fix = QString())
    {
        m_survey.findings.append(DoctorFinding{id, severity, message, fix, path});
    }

    void checkWritable(const QString &dir, const QString &what)
    {
        const QFileInfo info(dir);
        if (info.isDir() && !info.isWritable())
            add(QStringLiteral("folder-not-writable"), DoctorSeverity::Error,
                QStringLiteral("%1 %2 is not writable: changes cannot be stored").arg(what, dir), dir);
    }

    bool checkFolder()
    {
        const QFileInfo info(m_appDir);
        if (!info.isDir()) {
            add(QStringLiteral("folder-missing"), DoctorSeverity::Error,
                QStringLiteral("the installation folder %1 %2: the plug-in cannot start there")
                    .arg(m_appDir,
                         info.exists() ? QStringLiteral("is not a folder") : QStringLiteral("does not exist")),
                m_appDir);
            return false;
        }
        checkWritable(m_appDir, QStringLiteral("the installation folder"));
        checkWritable(m_appDir + QLatin1String("/work"), QStringLiteral("the folder"));
        if (m_heldByDoctor)
            return true;
        if (ZqFolderLock::isHeld(m_appDir)) {
            m_inUse = true;
            add(QStringLiteral("folder-in-use"), DoctorSeverity::Info,
                QStringLiteral("this process holds the installation folder (its plug-in is initialised): its files "
                               "may change while they are checked"),
                m_appDir);
        } else if (ZqFolderLock::isHeldElsewhere(m_appDir)) {
            m_inUse = true;
            add(QStringLiteral("folder-in-use"), DoctorSeverity::Info,
                QStringLiteral("the installation folder is in use by %1: its files may change while they are checked")
                    .arg(ZqFolderLock::holder(m_appDir).describe()),
                m_appDir + QLatin1Char('/') + QLatin1String(ZqFolderLock::FileName));
        }
        return true;
    }

    void checkDatabase()
    {
        const QString path = m_appDir + QLatin1Char('/') + QLatin1String(DatabaseFile);
        const QFileInfo info(path);
        const QString aside = QStringLiteral("the next start keeps it aside as %1.unreadable-<time> and creates a new, "
                                             "empty database: its locks, instances and day cash are no longer seen")
                                  .arg(QLatin1String(DatabaseFile));
        if (!info.exists()) {
            add(QStringLiteral("db-missing"), DoctorSeverity::Info,
                QStringLiteral("%1 does not exist yet; the next start creates it").arg(QLatin1String(DatabaseFile)),
                path);
            return;
        }
        if (info.isDir()) {
            add(QStringLiteral("db-not-a-database"), DoctorSeverity::Error,
                QStringLiteral("a folder stands in the place of %1; %2").arg(QLatin1String(DatabaseFile), aside), path);
            return;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            add(QStringLiteral("db-unreadable"), DoctorSeverity::Error,
                QStringLiteral("%1 cannot be read: %2").arg(QLatin1String(DatabaseFile), file.errorString()), path);
            return;
        }
        // SQLite's own header; checked first so that a file of another kind
        // is named as such (an empty file is an empty database).
        const QByteArray header = file.read(16);
        file.close();
        if (!header.isEmpty() && header != QByteArray("SQLite format 3\0", 16)) {
            add(QStringLiteral("db-not-a-database"), DoctorSeverity::Error,
                QStringLiteral("%1 is not an SQLite database; %2").arg(QLatin1String(DatabaseFile), aside), path);
            return;
        }

        // Read only: the file is never created, written, or given another
        // journal mode from here.
        ZqMemSqliteMgr db;
        db.setDbFilePathReadOnly(path.toUtf8().constData());
        if (!db.getConn().isOpen()) {
            const int code = db.openError();
            if (code == SqliteNotADatabase || code == SqliteCorrupt)
                add(QStringLiteral("db-not-a-database"), DoctorSeverity::Error,
                    QStringLiteral("%1 cannot be opened (%2); %3")
                        .arg(QLatin1String(DatabaseFile), ZqMemSqliteMgr::errorText(code), aside),
                    path);
            else
                add(QStringLiteral("db-unreadable"), DoctorSeverity::Error,
                    QStringLiteral("%1 cannot be opened: %2")
                        .arg(QLatin1String(DatabaseFile), ZqMemSqliteMgr::errorText(code)),
                    path);
            return;
        }
        int err = 0;
        CppSQLite3Query integrity = db.execQuery("PRAGMA integrity_check", err);
        if (err == SqliteBusy || err == SqliteLocked) {
            add(QStringLiteral("db-busy"), DoctorSeverity::Warning,
                QStringLiteral("another program holds %1, which could not be checked; try again when it is done")
                    .arg(QLatin1String(DatabaseFile)),
                path);
            return;
        }
        if (err != 0) {
            add(QStringLiteral("db-integrity"), DoctorSeverity::Error,
                QStringLiteral("the integrity check of %1 failed: %2")
                    .arg(QLatin1String(DatabaseFile), ZqMemSqliteMgr::errorText(err)),
                path);
            return;
        }
        QStringList problems;
        for (; !integrity.eof(); integrity.nextRow())
            problems.append(QString::fromUtf8(integrity.fieldValue(0)));
        if (problems != QStringList{QStringLiteral("ok")})
            add(QStringLiteral("db-integrity"), DoctorSeverity::Error,
                QStringLiteral("%1 is damaged: %2; copy the file away before the client changes it further")
                    .arg(QLatin1String(DatabaseFile), someOf(problems)),
                path);

        for (const Table &table : tables())
            checkTable(db, table, path);
        checkLegacyTable(db, path);
    }

    // The table's column names, lower-cased; empty when there is no table.
    // False when the database did not answer.
    static bool columnsOf(ZqMemSqliteMgr &db, const char *table, QStringList *names)
    {
        int err = 0;
        const QByteArray sql = QByteArray("PRAGMA table_info(") + table + ')';
        CppSQLite3Query query = db.execQuery(sql.constData(), err);
        if (err != 0)
            return false;
        const int nameColumn = query.fieldIndex("name");
        for (; !query.eof() && nameColumn >= 0; query.nextRow())
            names->append(QString::fromUtf8(query.fieldValue(nameColumn)).toLower());
        return true;
    }

    void checkTable(ZqMemSqliteMgr &db, const Table &table, const QString &path)
    {
        const QString name = QLatin1String(table.name);
        QStringList present;
        if (!columnsOf(db, table.name, &present))
            return;
        if (present.isEmpty()) {
            add(QStringLiteral("db-missing-table"), DoctorSeverity::Warning,
                QStringLiteral("%1 has no table %2; the next start creates it, empty")
                    .arg(QLatin1String(DatabaseFile), name),
                path);
            return;
        }
        QStringList addedAtStart;
        QStringList lacking;
        for (const Column &column : table.columns) {
            if (present.contains(QLatin1String(column.name)))
                continue;
            (column.addedAtStart ? addedAtStart : lacking).append(QLatin1String(column.name));
        }
        if (!lacking.isEmpty())
            add(QStringLiteral("db-missing-column"), DoctorSeverity::Error,
                QStringLiteral("the table %1 lacks the column(s) %2, which no start adds: its rows cannot be "
                               "written or read")
                    .arg(name, lacking.join(QLatin1String(", "))),
                path);
        if (!addedAtStart.isEmpty())
            add(QStringLiteral("db-missing-column"), DoctorSeverity::Warning,
                QStringLiteral("the table %1 of an older version lacks the column(s) %2; the next start adds them")
                    .arg(name, addedAtStart.join(QLatin1String(", "))),
                path);
    }

    void checkLegacyTable(ZqMemSqliteMgr &db, const QString &path)
    {
        if (!db.tableExists(LegacyTable))
            return;
        int err = 0;
        CppSQLite3Query rows = db.execQuery("select * from fixedstrategyinfo", err);
        if (err != 0)
            return;
        // Columns by position, as the move reads them: 1 name, 2 path,
        // 3 user folder, 4 group, 5 free text.
        int count = 0;
        int stuck = 0;
        for (; !rows.eof(); rows.nextRow()) {
            ++count;
            auto text = [&rows](int col) { return QString::fromUtf8(rows.fieldValue(col)); };
            FixedStrategyInfo info;
            info.name = text(1);
            info.filePath = text(2);
            info.group = text(4);
            info.extraInfo = text(5);
            if (!FixedStrategyFile::isValidUserFolder(text(3).toLower()) || !FixedStrategyFile::canHold(info))
                ++stuck;
        }
        if (count == 0) {
            add(QStringLiteral("db-legacy-table"), DoctorSeverity::Info,
                QStringLiteral("the empty table %1 of an older version is left; the next start drops it")
                    .arg(QLatin1String(LegacyTable)),
                path);
            return;
        }
        QString message = QStringLiteral("the table %1 of an older version holds %2; the next start moves them into "
                                         "the users' data files")
                              .arg(QLatin1String(LegacyTable), plural(count, "row", "rows"));
        if (stuck > 0)
            message += QStringLiteral(", except %1 whose user folder or texts cannot be stored, which stay in the "
                                      "table")
                           .arg(stuck);
        add(QStringLiteral("db-legacy-table"), DoctorSeverity::Warning, message, path);
    }

    void checkJournal()
    {
        const QString path = PendingJournal::path(m_appDir);
        PendingJournal::Rows rows;
        QString error;
        switch (PendingJournal::read(path, &rows, &error)) {
        case PendingJournal::Missing:
            break;
        case PendingJournal::Read:
            add(QStringLiteral("pending-journal"), DoctorSeverity::Warning,
                QStringLiteral("%1 (%2 instances, %3 backtest days) wait in %4 for the database; the next start "
                               "writes them")
                    .arg(plural(rows.size(), "row", "rows"))
                    .arg(rows.instances.size())
                    .arg(rows.dayCash.size())
                    .arg(QLatin1String(PendingJournal::FileName)),
                path);
            break;
        case PendingJournal::Damaged:
            add(QStringLiteral("pending-journal-unreadable"), DoctorSeverity::Error,
                QStringLiteral("%1 cannot be read (%2): the next start keeps it aside and its rows do not reach the "
                               "database")
                    .arg(QLatin1String(PendingJournal::FileName), error),
                path);
            break;
        }
    }

    void checkUser()
    {
        const QString profilePath = m_appDir + QLatin1Char('/') + QLatin1String(HostProfileFile);
        if (QFileInfo::exists(profilePath)) {
            QFile file(profilePath);
            QString problem;
            if (!file.open(QIODevice::ReadOnly)) {
                problem = file.errorString();
            } else {
                QJsonParseError parseError;
                const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
                if (parseError.error != QJsonParseError::NoError)
                    problem = QStringLiteral("%1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
                else if (!doc.isObject())
                    problem = QStringLiteral("the document is not a JSON object");
            }
            if (!problem.isEmpty())
                add(QStringLiteral("host-profile-unreadable"), DoctorSeverity::Error,
                    QStringLiteral("the host profile %1 cannot be used (%2): the reference host falls back to its "
                                   "demo user, whose files are not this user's")
                        .arg(QLatin1String(HostProfileFile), problem),
                    profilePath);
        }

        CBusinessDataBase *business = CBusinessDataBase::GetInstance();
        const QString userId =
            business->GetLoginAccountDetail().value(QLatin1String(Tavrix_Fields::UserAccount::userID)).toString();
        const QString login = business->GetLoginAccount();
        const QString user = userId.toLower();
        if (!FixedStrategyFile::isValidUserFolder(user)) {
            add(QStringLiteral("user-id-invalid"), DoctorSeverity::Error,
                QStringLiteral("the user id %1 names no folder below work/: the plug-in neither loads nor changes "
                               "fixed strategies and groups")
                    .arg(quoted(userId)),
                QString());
            return;
        }
        if (login.toLower() != user)
            add(QStringLiteral("host-profile-user-mismatch"), DoctorSeverity::Error,
                QStringLiteral("the login account %1 and the user id %2 name different users; the plug-in uses "
                               "work/%3")
                    .arg(quoted(login), quoted(userId), user),
                QString());
        m_survey.userDir = m_appDir + QLatin1String("/work/") + user;
        checkWritable(m_survey.userDir, QStringLiteral("the user's folder"));
    }

    void checkChangeRecord()
    {
        const QString path = m_survey.userDir + QLatin1Char('/') + QLatin1String(GroupChangeRecord::FileName);
        GroupChangeRecord record;
        QString error;
        switch (GroupChangeRecord::read(path, &record, &error)) {
        case GroupChangeRecord::Missing:
            break;
        case GroupChangeRecord::Read:
            m_survey.groupsFileChangeable = false;
            add(QStringLiteral("group-change-pending"), DoctorSeverity::Warning,
                QStringLiteral("the %1 of the group %2 was interrupted; the next start finishes it in the data file "
                               "and the groups file")
                    .arg(record.kind == GroupChangeRecord::Rename ? QStringLiteral("rename") : QStringLiteral("delete"),
                         quoted(record.group)),
                path);
            break;
        case GroupChangeRecord::Damaged:
            m_survey.groupsFileChangeable = false;
            add(QStringLiteral("group-change-unreadable"), DoctorSeverity::Error,
                QStringLiteral("the record of an interrupted group change cannot be read (%1): the next start keeps it "
                               "aside without finishing the change")
                    .arg(error),
                path);
            break;
        }
    }

    void checkGroupsFile()
    {
        const QString path = m_survey.userDir + QLatin1Char('/') + QLatin1String(GroupsFile::FileName);
        m_survey.groupsPath = path;
        QFile file(path);
        if (file.exists()) {
            m_survey.groupsFileExists = true;
            if (!file.open(QIODevice::ReadOnly)) {
                m_survey.groupsFileChangeable = false;
                add(QStringLiteral("groups-file-unreadable"), DoctorSeverity::Error,
                    QStringLiteral("the groups file cannot be read (%1): the plug-in starts with the default group "
                                   "alone")
                        .arg(file.errorString()),
                    path);
            } else {
                const QByteArray content = file.readAll();
                if (!GroupsFile::isText(content)) {
                    m_survey.groupsFileChangeable = false;
                    add(QStringLiteral("groups-file-unreadable"), DoctorSeverity::Error,
                        QStringLiteral("the groups file is not UTF-8 text: names holding the bad bytes read as U+FFFD, "
                                       "and the plug-in keeps the file aside at its first rewrite"),
                        path);
                }
                m_survey.groups = GroupsFile::parse(content);
                checkGroupEntries(content, path);
            }
        }
        // An empty or missing file means the default group alone.
        if (m_survey.groups.isEmpty()) {
            m_survey.groups.insert(DefaultGroup, SarvekGroupInfo{DefaultGroup, -1});
        } else if (!m_survey.groups.contains(DefaultGroup)) {
            m_survey.defaultGroupMissing = true;
            add(QStringLiteral("groups-file-no-default-group"), DoctorSeverity::Warning,
                QStringLiteral("the groups file lacks the built-in group %1: unless a record names it, the start "
                               "does not add it and strategies cannot be added to it")
                    .arg(DefaultGroup),
                path, fixText(QStringLiteral("put %1 back into the groups file").arg(DefaultGroup)));
        }
    }

    // Entries the reader skips or reads otherwise than they are written.
    void checkGroupEntries(const QByteArray &content, const QString &path)
    {
        QStringList odd;
        QSet<QString> seen;
        const QStringList entries = Utf8Text::decode(content.constData(), content.size()).split(QLatin1Char(','));
        for (const QString &entry : entries) {
            if (entry.isEmpty())
                continue;
            const QStringList parts = entry.split(QLatin1Char(';'));
            if (parts.size() < 2) {
                odd.append(QStringLiteral("%1 has no time and is skipped").arg(quoted(entry)));
                continue;
            }
            bool number = false;
            parts.at(1).toLongLong(&number);
            if (!number)
                odd.append(QStringLiteral("%1: the time is not a number and reads as 0").arg(quoted(entry)));
            else if (parts.size() > 2)
                odd.append(QStringLiteral("%1: the parts after the time are dropped").arg(quoted(entry)));
            if (seen.contains(parts.at(0)))
                odd.append(QStringLiteral("%1 is listed again and replaces the first").arg(quoted(parts.at(0))));
            seen.insert(parts.at(0));
        }
        if (!odd.isEmpty())
            add(QStringLiteral("groups-file-bad-entries"), DoctorSeverity::Warning,
                QStringLiteral("%1 of the groups file %2 not read as written: %3")
                    .arg(plural(odd.size(), "entry", "entries"), QLatin1String(odd.size() == 1 ? "is" : "are"),
                         someOf(odd)),
                path);
    }

    // Why a line of the data file is skipped.
    static QString skipReason(const QByteArray &line)
    {
        if (line.contains('\0'))
            return QStringLiteral("holds a NUL byte");
        if (!GroupsFile::isText(line))
            return QStringLiteral("is not UTF-8 text");
        return QStringLiteral("has fewer than six fields");
    }

    // Why a record would be written back otherwise than its line reads;
    // empty when it would not.
    static QString rewriteDifference(const QByteArray &line, const FixedStrategyInfo &info)
    {
        if (FixedStrategyFile::formatLine(info).toUtf8() == line + '\n')
            return QString();
        const QStringList fields =
            Utf8Text::decode(line.constData(), line.size()).split(QLatin1String(FixedStrategyFile::Separator));
        QStringList why;
        if (fields.size() > 6)
            why.append(QStringLiteral("the fields after the sixth are dropped"));
        if (fields.value(0) != QString::number(info.id))
            why.append(QStringLiteral("the id %1 reads as %2").arg(quoted(fields.value(0))).arg(info.id));
        if (fields.value(5) != QString::number(info.copyIndex))
            why.append(
                QStringLiteral("the copy index %1 reads as %2").arg(quoted(fields.value(5))).arg(info.copyIndex));
        return why.join(QLatin1String(", "));
    }

    void checkDataFile()
    {
        const QString path = m_survey.userDir + QLatin1Char('/') + QLatin1String(FixedStrategyFile::FileName);
        QFile file(path);
        if (!file.exists())
            return;
        if (!file.open(QIODevice::ReadOnly)) {
            add(QStringLiteral("data-file-unreadable"), DoctorSeverity::Error,
                QStringLiteral("the data file cannot be read (%1): the user's fixed strategies are not shown")
                    .arg(file.errorString()),
                path);
            return;
        }
        QByteArray content = file.readAll();
        file.close();
        if (content.startsWith("\xEF\xBB\xBF"))
            content.remove(0, 3); // tolerated before the first line, dropped at the next rewrite

        // Line by line with the plug-in's own reader, so that every finding
        // can name its line.
        struct Line
        {
            int number;
            FixedStrategyInfo info;
        };
        QList<Line> records;
        QStringList skipped;
        QStringList badIds;
        QStringList lossy;
        const QList<QByteArray> lines = content.split('\n');
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray &bytes = lines.at(i);
            if (bytes.isEmpty())
                continue;
            const int number = i + 1;
            const QList<FixedStrategyInfo> parsed = FixedStrategyFile::parse(bytes);
            if (parsed.isEmpty()) {
                skipped.append(QStringLiteral("line %1 %2").arg(number).arg(skipReason(bytes)));
                continue;
            }
            const FixedStrategyInfo &info = parsed.first();
            records.append(Line{number, info});
            if (info.id < 1) {
                badIds.append(QStringLiteral("line %1").arg(number));
                continue;
            }
            const QString difference = rewriteDifference(bytes, info);
            if (!difference.isEmpty())
                lossy.append(QStringLiteral("line %1 (%2)").arg(number).arg(difference));
        }
        if (!skipped.isEmpty())
            add(QStringLiteral("data-file-skipped-lines"), DoctorSeverity::Error,
                QStringLiteral("%1 of the data file cannot be read and %2 not shown: %3; the plug-in keeps the file "
                               "aside before its first rewrite, and the lines are lost to it unless mended by hand")
                    .arg(plural(skipped.size(), "line", "lines"), QLatin1String(skipped.size() == 1 ? "is" : "are"),
                         someOf(skipped)),
                path);
        if (!badIds.isEmpty())
            add(QStringLiteral("data-file-invalid-id"), DoctorSeverity::Error,
                QStringLiteral("%1 of the data file %2 no id from 1 to 2147483647 (%3): such a record cannot be "
                               "changed or removed by its id")
                    .arg(plural(badIds.size(), "line", "lines"), QLatin1String(badIds.size() == 1 ? "has" : "have"),
                         someOf(badIds)),
                path);
        if (!lossy.isEmpty())
            add(QStringLiteral("data-file-lossy-values"), DoctorSeverity::Warning,
                QStringLiteral("%1 of the data file would not be written back as %2: %3")
                    .arg(plural(lossy.size(), "line", "lines"), QLatin1String(lossy.size() == 1 ? "it is" : "they are"),
                         someOf(lossy)),
                path);

        QMap<qint64, QList<int>> linesById;
        QMap<QPair<QString, QString>, QList<int>> linesByName;
        QStringList emptyNames;
        QStringList groupOrder;
        QHash<QString, int> recordsByGroup;
        for (const Line &line : qAsConst(records)) {
            const FixedStrategyInfo &info = line.info;
            if (info.id > 0)
                linesById[info.id].append(line.number);
            if (info.name.isEmpty())
                emptyNames.append(QStringLiteral("line %1").arg(line.number));
            else
                linesByName[qMakePair(info.filePath, info.name)].append(line.number);
            if (!m_survey.groups.contains(info.group)) {
                if (!recordsByGroup.contains(info.group))
                    groupOrder.append(info.group);
                ++recordsByGroup[info.group];
            }
            m_survey.highestStoredId = qMax(m_survey.highestStoredId, info.id);
        }

        QStringList duplicateIds;
        for (auto it = linesById.cbegin(); it != linesById.cend(); ++it) {
            if (it.value().size() > 1)
                duplicateIds.append(QStringLiteral("id %1 on lines %2").arg(it.key()).arg(numbers(it.value())));
        }
        if (!duplicateIds.isEmpty())
            add(QStringLiteral("data-file-duplicate-id"), DoctorSeverity::Error,
                QStringLiteral("%1 of the data file %2 more than one record: %3; the plug-in shows the first of "
                               "each, and its next rewrite keeps only the last")
                    .arg(plural(duplicateIds.size(), "id", "ids"),
                         QLatin1String(duplicateIds.size() == 1 ? "names" : "name"),
                         someOf(duplicateIds)),
                path);
        if (!emptyNames.isEmpty())
            add(QStringLiteral("data-file-empty-name"), DoctorSeverity::Warning,
                QStringLiteral("%1 of the data file %2 an empty name (%3): the screens show nothing to pick it by")
                    .arg(plural(emptyNames.size(), "record", "records"),
                         QLatin1String(emptyNames.size() == 1 ? "has" : "have"), someOf(emptyNames)),
                path);
        QStringList duplicateNames;
        for (auto it = linesByName.cbegin(); it != linesByName.cend(); ++it) {
            if (it.value().size() > 1)
                duplicateNames.append(QStringLiteral("%1 for %2 on lines %3")
                                          .arg(quoted(it.key().second), quoted(it.key().first), numbers(it.value())));
        }
        if (!duplicateNames.isEmpty())
            add(QStringLiteral("data-file-duplicate-name"), DoctorSeverity::Warning,
                QStringLiteral("%1 of the data file %2 used twice for one strategy file: %3")
                    .arg(plural(duplicateNames.size(), "name", "names"),
                         QLatin1String(duplicateNames.size() == 1 ? "is" : "are"), someOf(duplicateNames)),
                path);

        if (!groupOrder.isEmpty()) {
            QStringList named;
            QStringList unstorable;
            for (const QString &group : qAsConst(groupOrder)) {
                named.append(QStringLiteral("%1 (%2)").arg(
                    quoted(group), plural(recordsByGroup.value(group), "record", "records")));
                if (GroupsFile::canHold(group))
                    m_survey.missingGroups.append(group);
                else
                    unstorable.append(quoted(group));
            }
            QString message = QStringLiteral("%1 that records name %2 missing from the groups file: %3; the next "
                                             "start adds them")
                                  .arg(plural(groupOrder.size(), "group", "groups"),
                                       QLatin1String(groupOrder.size() == 1 ? "is" : "are"), someOf(named));
            if (!unstorable.isEmpty())
                message += QStringLiteral(", but %1 cannot be stored there (a name holding ',' or ';')")
                               .arg(unstorable.join(QLatin1String(", ")));
            const QString fix = m_survey.missingGroups.isEmpty()
                                    ? QString()
                                    : fixText(QStringLiteral("add %1 to the groups file")
                                                  .arg(plural(m_survey.missingGroups.size(), "group", "groups")));
            add(QStringLiteral("data-file-missing-group"), DoctorSeverity::Warning, message, path, fix);
        }
    }

    // A fix of the groups file, unless the file cannot take one now.
    QString fixText(const QString &fix) const
    {
        return m_survey.groupsFileChangeable ? fix : QString();
    }

    static QString numbers(const QList<int> &lines)
    {
        QStringList texts;
        for (int line : lines)
            texts.append(QString::number(line));
        return texts.join(QLatin1String(", "));
    }

    void checkIdSequence()
    {
        const QString path = InterProcIdService::instance().storageDirectory() + QLatin1Char('/')
                             + QLatin1String(IdSequence) + QLatin1String(".seq");
        m_survey.idSequencePath = path;
        qint64 last = 0;
        QFile file(path);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly)) {
                add(QStringLiteral("id-sequence-unreadable"), DoctorSeverity::Error,
                    QStringLiteral("the id sequence %1 cannot be read (%2): no strategy can be added")
                        .arg(QLatin1String(IdSequence), file.errorString()),
                    path);
                return;
            }
            const QByteArray text = file.read(64).trimmed();
            bool number = text.isEmpty();
            if (!text.isEmpty())
                last = text.toLongLong(&number);
            if (!number || last < 0) {
                add(QStringLiteral("id-sequence-unreadable"), DoctorSeverity::Error,
                    QStringLiteral("the id sequence %1 is damaged (it holds %2): no id is handed out, so no strategy "
                                   "can be added; write the highest id ever handed out into it")
                        .arg(QLatin1String(IdSequence), quoted(QString::fromUtf8(text))),
                    path);
                return;
            }
        }
        if (last >= InterProcIdService::MaxId) {
            add(QStringLiteral("id-sequence-exhausted"), DoctorSeverity::Error,
                QStringLiteral("the id sequence %1 has handed out its last id: no strategy can be added")
                    .arg(QLatin1String(IdSequence)),
                path);
            return;
        }
        if (last < m_survey.highestStoredId) {
            m_survey.idSequenceBehind = true;
            add(QStringLiteral("id-sequence-behind"), DoctorSeverity::Error,
                QStringLiteral("the id sequence %1 stands at %2, below the highest stored id %3: new strategies would "
                               "be given ids that are taken")
                    .arg(QLatin1String(IdSequence))
                    .arg(last)
                    .arg(m_survey.highestStoredId),
                path, QStringLiteral("raise the id sequence to %1").arg(m_survey.highestStoredId));
        }
    }

    // Files the plug-in could not use, renamed out of its way: nobody
    // removes them but a person.
    void checkKeptAside()
    {
        QStringList folders{m_appDir};
        if (!m_survey.userDir.isEmpty())
            folders.append(m_survey.userDir);
        for (const QString &folder : qAsConst(folders)) {
            const QStringList names =
                QDir(folder)
                    .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)
                    .filter(QStringLiteral(".unreadable-"));
            if (!names.isEmpty())
                add(QStringLiteral("set-aside-files"), DoctorSeverity::Warning,
                    QStringLiteral("%1 in %2 %3 kept aside because the plug-in could not use %4: %5; look into them "
                                   "and remove them when done")
                        .arg(plural(names.size(), "file", "files"), folder,
                             QLatin1String(names.size() == 1 ? "was" : "were"),
                             QLatin1String(names.size() == 1 ? "it" : "them"), someOf(names)),
                    folder);
        }
    }

    void checkTemporaryFiles()
    {
        // While another process holds the folder, a temporary file may be
        // its write in progress.
        if (m_inUse)
            return;
        QList<QPair<QString, QStringList>> places = {
            {m_appDir, {QLatin1String(PendingJournal::FileName), QLatin1String(PythonIniFile)}}};
        if (!m_survey.userDir.isEmpty())
            places.append({m_survey.userDir,
                           {QLatin1String(FixedStrategyFile::FileName), QLatin1String(GroupsFile::FileName),
                            QLatin1String(GroupChangeRecord::FileName)}});
        for (const auto &[folder, names] : qAsConst(places)) {
            const QRegularExpression leftover = temporaryNames(names);
            QStringList found;
            const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
            for (const QString &entry : entries) {
                if (leftover.match(entry).hasMatch()) {
                    found.append(entry);
                    m_survey.staleTemporaryFiles.append(folder + QLatin1Char('/') + entry);
                }
            }
            if (!found.isEmpty())
                add(QStringLiteral("stale-temporary-files"), DoctorSeverity::Warning,
                    QStringLiteral("%1 in %2 %3 left by a writer that was killed: %4; the next start removes them")
                        .arg(plural(found.size(), "temporary file", "temporary files"), folder,
                             QLatin1String(found.size() == 1 ? "was" : "were"), someOf(found)),
                    folder, QStringLiteral("remove them"));
        }
    }

    void checkPythonPath()
    {
        const QString ini = m_appDir + QLatin1Char('/') + QLatin1String(PythonIniFile);
        if (!QFileInfo(ini).isFile())
            return;
        // Read only: QSettings writes nothing back while nothing was set.
        const QString python = QSettings(ini, QSettings::IniFormat).value(QLatin1String(PythonPathKey)).toString();
        if (!python.isEmpty() && !QFileInfo(QDir(m_appDir), python).exists())
            add(QStringLiteral("python-path-missing"), DoctorSeverity::Warning,
                QStringLiteral("the Python installation path %1 of %2 does not exist on this machine: strategies "
                               "cannot run until it is set again")
                    .arg(quoted(python), QLatin1String(PythonIniFile)),
                ini);
    }

    const QString m_appDir;
    const bool m_heldByDoctor;
    bool m_inUse = false;
    Survey m_survey;
};

// A dated copy of `path` (DatedBackup); the copy's name, or empty with the
// reason.
QString backUp(const QString &path, QString *error)
{
    QString backup;
    QString reason;
    if (!DatedBackup::copy(path, QDateTime::currentDateTime(), &backup, &reason)) {
        *error = QStringLiteral("cannot copy %1 to %2: %3").arg(path, backup, reason);
        return QString();
    }
    return backup;
}

void raiseIdSequence(const Survey &survey, DoctorFixResult *result)
{
    const QString id = QStringLiteral("id-sequence-behind");
    QString backup;
    if (QFileInfo::exists(survey.idSequencePath)) {
        QString error;
        backup = backUp(survey.idSequencePath, &error);
        if (backup.isEmpty()) {
            result->failures.append(QStringLiteral("%1: %2").arg(id, error));
            return;
        }
    }
    if (!InterProcIdService::instance().raiseFloor(QLatin1String(IdSequence), survey.highestStoredId)) {
        result->failures.append(
            QStringLiteral("%1: the id sequence %2 could not be raised (see the log of zq.idservice)")
                .arg(id, survey.idSequencePath));
        return;
    }
    result->repairs.append(
        DoctorRepair{id,
                     QStringLiteral("raised the id sequence %1 to %2")
                         .arg(QLatin1String(IdSequence))
                         .arg(survey.highestStoredId),
                     survey.idSequencePath, backup});
}

void completeGroups(const Survey &survey, DoctorFixResult *result)
{
    QMap<QString, SarvekGroupInfo> groups = survey.groups;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (survey.defaultGroupMissing)
        groups.insert(DefaultGroup, SarvekGroupInfo{DefaultGroup, -1});
    for (const QString &name : survey.missingGroups) {
        const bool builtIn = name == DefaultGroup || name == AutoStartGroup;
        groups.insert(name, SarvekGroupInfo{name, builtIn ? -1 : now});
    }
    QString error;
    QString backup;
    if (survey.groupsFileExists) {
        backup = backUp(survey.groupsPath, &error);
        if (backup.isEmpty()) {
            result->failures.append(QStringLiteral("groups file: %1").arg(error));
            return;
        }
    }
    if (!AtomicFile::replace(survey.groupsPath, GroupsFile::format(groups.values()).toUtf8(), &error)) {
        result->failures.append(QStringLiteral("groups file: cannot write %1: %2").arg(survey.groupsPath, error));
        return;
    }
    if (survey.defaultGroupMissing)
        result->repairs.append(DoctorRepair{QStringLiteral("groups-file-no-default-group"),
                                            QStringLiteral("put the built-in group %1 back").arg(DefaultGroup),
                                            survey.groupsPath, backup});
    if (!survey.missingGroups.isEmpty()) {
        QStringList names;
        for (const QString &name : survey.missingGroups)
            names.append(quoted(name));
        result->repairs.append(DoctorRepair{QStringLiteral("data-file-missing-group"),
                                            QStringLiteral("added the %1 %2")
                                                .arg(QLatin1String(names.size() == 1 ? "group" : "groups"),
                                                     names.join(QLatin1String(", "))),
                                            survey.groupsPath, backup});
    }
}

void removeTemporaryFiles(const Survey &survey, DoctorFixResult *result)
{
    for (const QString &path : survey.staleTemporaryFiles) {
        QFile file(path);
        if (file.remove())
            result->repairs.append(DoctorRepair{QStringLiteral("stale-temporary-files"),
                                                QStringLiteral("removed the temporary file"), path, QString()});
        else
            result->failures.append(
                QStringLiteral("stale-temporary-files: cannot remove %1: %2").arg(path, file.errorString()));
    }
}

QString absoluteFolder(const QString &appDir)
{
    return QDir::cleanPath(QFileInfo(appDir).absoluteFilePath());
}
} // namespace

QList<DoctorFinding> StrategyLogic::checkInstallation(const QString &appDir)
{
    return Doctor(absoluteFolder(appDir), false).run().findings;
}

DoctorFixResult StrategyLogic::fixInstallation(const QString &appDir)
{
    const QString folder = absoluteFolder(appDir);
    DoctorFixResult result;
    // A folder that is not there is not made: nothing in it needs a repair.
    if (!QFileInfo(folder).isDir()) {
        result.findings = checkInstallation(folder);
        return result;
    }
    // Holds nest within a process: taking the folder would succeed while
    // this process's plug-in writes there.
    if (ZqFolderLock::isHeld(folder)) {
        result.outcome = DoctorFixResult::Busy;
        result.reason = QStringLiteral("this process (its plug-in is initialised)");
        result.findings = checkInstallation(folder);
        return result;
    }
    ZqFolderLock::Holder holder;
    QString error;
    switch (ZqFolderLock::acquire(folder, &holder, &error)) {
    case ZqFolderLock::Acquired:
        break;
    case ZqFolderLock::Busy:
        result.outcome = DoctorFixResult::Busy;
        result.reason = holder.describe();
        result.findings = checkInstallation(folder);
        return result;
    case ZqFolderLock::Failed:
        result.outcome = DoctorFixResult::Failed;
        result.reason = error;
        result.findings = checkInstallation(folder);
        return result;
    }
    // Checked again under the lock: what a process left before it let go
    // counts, and nobody writes while the repairs run.
    const Survey survey = Doctor(folder, true).run();
    if (survey.idSequenceBehind)
        raiseIdSequence(survey, &result);
    if ((survey.defaultGroupMissing || !survey.missingGroups.isEmpty()) && survey.groupsFileChangeable)
        completeGroups(survey, &result);
    removeTemporaryFiles(survey, &result);
    ZqFolderLock::release(folder);
    for (const DoctorRepair &repair : qAsConst(result.repairs))
        SL_INFO << "fixInstallation" << repair.id << repair.action << repair.path << repair.backup;
    for (const QString &failure : qAsConst(result.failures))
        SL_WARNING << "fixInstallation" << failure;
    result.findings = checkInstallation(folder);
    return result;
}

QString StrategyLogic::doctorSeverityName(DoctorSeverity severity)
{
    switch (severity) {
    case DoctorSeverity::Info:
        break;
    case DoctorSeverity::Warning:
        return QStringLiteral("warning");
    case DoctorSeverity::Error:
        return QStringLiteral("error");
    }
    return QStringLiteral("info");
}
