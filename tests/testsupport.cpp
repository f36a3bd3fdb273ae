#include "testsupport.h"

#include <hostprofile.h>
#include <interprocidservice.h>
#include <zqapplicationdir.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

TestHome::TestHome()
    : m_savedCwd(QDir::currentPath())
{
    if (!m_dir.isValid())
        return;
    m_appDir = m_dir.path() + QLatin1String("/app");
    m_idDir = m_dir.path() + QLatin1String("/ids");
    QDir().mkpath(m_appDir);
    QDir().mkpath(m_idDir);
    ZqApplicationDir::setPath(m_appDir);
    QDir::setCurrent(m_appDir);
    InterProcIdService::instance().setStorageDirectory(m_idDir);
    HostProfile::current().loadDemo();
}

TestHome::~TestHome()
{
    QDir::setCurrent(m_savedCwd);
}

QString TestHome::switchToNewFolder(const QString &name)
{
    m_appDir = m_dir.path() + QLatin1Char('/') + name;
    QDir().mkpath(m_appDir);
    ZqApplicationDir::setPath(m_appDir);
    QDir::setCurrent(m_appDir);
    return m_appDir;
}

QProcessEnvironment TestHome::processEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("STRATEGYLOGIC_ID_DIR"), m_idDir);
    return env;
}

namespace {
LogCapture *s_capture = nullptr;
QMutex s_captureMutex;

ProcessResult runProgram(const TestHome &home, const QString &program, const QStringList &args,
                         const QByteArray &input, int timeoutMs)
{
    return runProcess(program, args, home.processEnvironment(), home.path(), input, timeoutMs);
}
} // namespace

QString ProcessResult::describe() const
{
    const QString how = crashed ? QStringLiteral(" (crashed or timed out)") : QString();
    return QStringLiteral("exit %1%2\nstdout: %3\nstderr: %4").arg(exitCode).arg(how, outText(), errText());
}

ProcessResult runProcess(const QString &program, const QStringList &args, const QProcessEnvironment &env,
                         const QString &workingDirectory, const QByteArray &input, int timeoutMs)
{
    ProcessResult result;
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDirectory);
    process.start(program, args);
    if (!process.waitForStarted(timeoutMs)) {
        result.err = process.errorString().toUtf8();
        return result;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.crashed = true;
    }
    result.out = process.readAllStandardOutput();
    result.err += process.readAllStandardError();
    result.crashed = result.crashed || process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    return result;
}

QProcessEnvironment bareEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"STRATEGYLOGIC_HOME", "XDG_DATA_HOME", "STRATEGYLOGIC_ID_DIR"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("PATH"), QFileInfo(QStringLiteral(STRATEGYCTL_PATH)).absolutePath() + QLatin1Char(':')
                                           + env.value(QStringLiteral("PATH")));
    return env;
}

LogCapture::LogCapture()
{
    QMutexLocker locker(&s_captureMutex);
    s_capture = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    QMutexLocker locker(&s_captureMutex);
    qInstallMessageHandler(m_previous);
    s_capture = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    QMutexLocker locker(&s_captureMutex);
    if (!s_capture)
        return;
    QMutexLocker entries(&s_capture->m_mutex);
    s_capture->m_entries.append(Entry{type, QString::fromUtf8(context.category), msg});
}

QStringList LogCapture::texts() const
{
    QMutexLocker locker(&m_mutex);
    QStringList list;
    for (const Entry &e : m_entries)
        list.append(e.text);
    return list;
}

QList<LogCapture::Entry> LogCapture::entries() const
{
    QMutexLocker locker(&m_mutex);
    return m_entries;
}

bool LogCapture::contains(const QString &needle, int type) const
{
    QMutexLocker locker(&m_mutex);
    for (const Entry &e : m_entries) {
        if ((type < 0 || int(e.type) == type) && e.text.contains(needle))
            return true;
    }
    return false;
}

int LogCapture::count(const QString &needle) const
{
    return texts().filter(needle).size();
}

ProcessResult runStrategyctl(const TestHome &home, const QStringList &args, const QByteArray &input, int timeoutMs)
{
    return runProgram(home, QStringLiteral(STRATEGYCTL_PATH), QStringList{QStringLiteral("--home"), home.path()} + args,
                      input, timeoutMs);
}

ProcessResult runStrategyctlIn(const TestHome &home, const QString &folder, const QStringList &args,
                               const QByteArray &input, int timeoutMs)
{
    return runProgram(home, QStringLiteral(STRATEGYCTL_PATH), QStringList{QStringLiteral("--home"), folder} + args, input,
                      timeoutMs);
}

ProcessResult runShell(const TestHome &home, const QString &commandLine, int timeoutMs)
{
    return runProgram(home, QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine}, QByteArray(), timeoutMs);
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    ::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
    rlimit limit = {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_saved[0] = qint64(limit.rlim_cur);
    m_saved[1] = qint64(limit.rlim_max);
    limit.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    const rlimit limit = {rlim_t(m_saved[0]), rlim_t(m_saved[1])};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

ReadOnlyFolder::ReadOnlyFolder(const QString &path)
    : m_path(path)
{
    if (::geteuid() != 0)
        return;
    const QByteArray p = QFile::encodeName(path);
    if (::mount(p.constData(), p.constData(), nullptr, MS_BIND, nullptr) != 0)
        return;
    m_mounted = ::mount(nullptr, p.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    if (!m_mounted)
        ::umount(p.constData());
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted)
        ::umount(QFile::encodeName(m_path).constData());
}

QMap<QString, QByteArray> folderContents(const QString &path, const QStringList &except)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(path).relativeFilePath(it.next());
        if (!except.contains(relative))
            files.insert(relative, readFile(it.filePath()));
    }
    return files;
}

QString helperPath(const QString &name)
{
    return QStringLiteral(TEST_HELPER_DIR) + QLatin1Char('/') + name;
}

ProcessResult runHelper(const TestHome &home, const QString &name, const QStringList &args, int timeoutMs)
{
    return runProgram(home, helperPath(name), args, QByteArray(), timeoutMs);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

bool execSql(const QString &dbPath, const QString &sql)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        qWarning("cannot open %s", qPrintable(dbPath));
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, 5000);
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK)
        qWarning("statement failed: %s: %s", message ? message : "", qPrintable(sql));
    sqlite3_free(message);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

QList<QStringList> querySql(const QString &dbPath, const QString &sql)
{
    QList<QStringList> rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return rows;
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const unsigned char *text = sqlite3_column_text(stmt, i);
                row.append(text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QStringLiteral("NULL"));
            }
            rows.append(row);
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

bool writeSimuTradeDatabase(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const bool ok = sqlite3_exec(db,
                                 "create table order_info (order_id text, symbol text, date_time text, batch_no text,"
                                 " order_qty text, leave_qty text, cum_qty text, side text, status text, type text,"
                                 " px text, avg_px text, style text, fund_account text, enturst_prop text, text text,"
                                 " inst_id text);"
                                 "create table deal_info (order_id text, symbol text, exchange_matchDate text,"
                                 " exec_id text, last_qty text, side text, last_px text, fund_account text,"
                                 " inst_id integer);"
                                 "insert into order_info values ('O1','600000','20261208 09:30:01','B1','100','0',"
                                 "'100','1','8','1','10.5','10.5','1','880001','0',null,'42');"
                                 "insert into order_info values ('O2','IF2412','20261208 09:31:00','B2','2','1',"
                                 "'1','2','7','1','3900','3900','1','990001','0','part','42');"
                                 "insert into order_info values ('O3','10007890','20261208 09:32:00','B3','5','5',"
                                 "'0','1','2','1','0.25','0','1','990002','0','','42');"
                                 "insert into order_info values ('O9','600000','20261208 10:00:00','B9','1','1',"
                                 "'0','1','2','1','10','0','1','880001','0','','7');"
                                 "insert into deal_info values ('O1','600000','20261208 09:30:02','E1','100','1',"
                                 "'10.5','880001',42);"
                                 "insert into deal_info values ('O2','IF2412','20261208 09:31:05','E2','1','2',"
                                 "'3900','990001',42);",
                                 nullptr, nullptr, nullptr)
        == SQLITE_OK;
    return sqlite3_close(db) == SQLITE_OK && ok;
}
