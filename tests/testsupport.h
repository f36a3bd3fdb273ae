#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

// A fresh installation folder for one test process: the plug-in's
// application folder, the working directory and the id-service folder all
// point into a temporary folder of its own, so parallel test runs never
// share a database, a work/ folder or an id counter. The host profile is
// the built-in demo profile unless a test changes it.
class TestHome
{
public:
    TestHome();
    ~TestHome();

    bool isValid() const { return m_dir.isValid(); }
    QString errorString() const { return m_dir.errorString(); }
    // The installation folder (the application directory of the plug-in).
    QString path() const { return m_appDir; }
    QString filePath(const QString &relative) const { return m_appDir + QLatin1Char('/') + relative; }
    QString idDir() const { return m_idDir; }

    // Points the plug-in at another, empty installation folder below this
    // one (for tests that construct their own store objects).
    QString switchToNewFolder(const QString &name);

    // The environment a strategyctl or helper process needs to share this
    // test's id service.
    QProcessEnvironment processEnvironment() const;

private:
    QTemporaryDir m_dir;
    QString m_appDir;
    QString m_idDir;
    QString m_savedCwd;
};

// Collects the messages of the Qt message logger while it lives.
// Thread-safe.
class LogCapture
{
public:
    struct Entry
    {
        QtMsgType type;
        QString category;
        QString text;
    };

    LogCapture();
    ~LogCapture();

    QStringList texts() const;
    QList<Entry> entries() const;
    // Whether some message contains `needle`; `type` -1 for any level.
    bool contains(const QString &needle, int type = -1) const;
    int count(const QString &needle) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg);
    mutable QMutex m_mutex;
    QList<Entry> m_entries;
    QtMessageHandler m_previous = nullptr;
};

struct ProcessResult
{
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
    QString outText() const { return QString::fromUtf8(out); }
    QString errText() const { return QString::fromUtf8(err); }
    // "exit N\nstdout: ...\nstderr: ..." for a failure message.
    QString describe() const;
};

// Checks that `result` (a process, or a call that starts one, run once)
// ended by itself with exit status `code`.
#define CHECK_EXIT(result, code) \
    do { \
        const ProcessResult checked_ = (result); \
        QVERIFY2(!checked_.crashed && checked_.exitCode == (code), qPrintable(checked_.describe())); \
    } while (false)

// Runs `program` in `workingDirectory` with the environment `env`, feeding
// `input` on stdin; waits up to `timeoutMs`.
ProcessResult runProcess(const QString &program, const QStringList &args, const QProcessEnvironment &env,
                         const QString &workingDirectory, const QByteArray &input = QByteArray(),
                         int timeoutMs = 60000);
// The environment of a user whose home folder is `home`, with strategyctl's
// folder first on PATH and none of the variables that choose its data
// folder or id sequences: strategyctl then keeps everything in
// `home`/.local/share/StrategyLogic.
QProcessEnvironment bareEnvironment(const QString &home);

// Runs build/bin/strategyctl with --home `home` and the arguments, feeding
// `input` on stdin; waits up to `timeoutMs`.
ProcessResult runStrategyctl(const TestHome &home, const QStringList &args, const QByteArray &input = QByteArray(),
                             int timeoutMs = 60000);
// The same in another installation folder, with the id service of `home`.
ProcessResult runStrategyctlIn(const TestHome &home, const QString &folder, const QStringList &args,
                               const QByteArray &input = QByteArray(), int timeoutMs = 60000);
// Runs a shell command line (sh -c) with the environment of `home`.
ProcessResult runShell(const TestHome &home, const QString &commandLine, int timeoutMs = 60000);

// While it lives, files of this process cannot grow beyond `bytes`: a
// write past the limit fails (EFBIG) as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();

private:
    qint64 m_saved[2];
};

// Mounts a folder read-only over itself while it lives (a bind mount; root
// only, since root writes through permissions). isValid() is false where
// mounting is not allowed: the test is then skipped.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &path);
    ~ReadOnlyFolder();
    bool isValid() const { return m_mounted; }

private:
    QString m_path;
    bool m_mounted = false;
};

// Every file below `path` with its content, by relative path; files named
// in `except` (relative paths) are left out.
QMap<QString, QByteArray> folderContents(const QString &path, const QStringList &except = {});
// Runs a helper program of tests/helpers by name.
ProcessResult runHelper(const TestHome &home, const QString &name, const QStringList &args,
                        int timeoutMs = 60000);
QString helperPath(const QString &name);

// Reads a whole file; an empty array when it cannot be read.
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &content);

// Runs one statement on an SQLite file outside the plug-in; false with a
// warning on failure. Rows of a SELECT are returned as lists of texts
// ("NULL" for NULL).
bool execSql(const QString &dbPath, const QString &sql);
QList<QStringList> querySql(const QString &dbPath, const QString &sql);

// Writes the simulated-trading engine's tables to a new SQLite file at
// `path`: orders and fills of instance 42 for a stock (600000), a futures
// (IF2412, an order text "part") and an option symbol (10007890), and one
// order of instance 7. False when the file cannot be written.
bool writeSimuTradeDatabase(const QString &path);

#endif // TESTSUPPORT_H
