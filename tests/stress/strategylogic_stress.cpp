// strategylogic_stress: experiments on strategyctl that take too long, or
// need too many processes, for the unit tests. Each one runs the real
// command-line host (and the dblocker helper) in installation folders of
// its own below a temporary folder, disturbs it the way a user's machine
// does (kill -9, six processes at once, a database locked by another
// program, signals, a full disk, a read-only folder) and then checks what a
// restart finds on disk.
//
//   strategylogic_stress [--seconds N] [--seed N]
//
// Prints the seed, one line of figures per experiment and a summary; exits
// 1 when an experiment lost data or left an inconsistent state, 2 on a
// usage error. Details of a failure go to stderr, and the temporary folder
// of a failed experiment is kept for inspection.
//
// The time budget is shared out in main(); the experiments with a fixed
// cost (the locked database waits out SQLite's busy timeouts) need about
// 15 s whatever the budget. --seed repeats the random choices (command
// sequences, kill points counted in answers); where a kill lands inside a
// command still depends on the machine.

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QVector>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <sys/mount.h>
#include <unistd.h>

namespace {

const QString DefaultGroup = QStringLiteral("默认分组");
constexpr int ProcessTimeoutMs = 120000;

// ---------------------------------------------------------------------------
// Options, randomness and time

struct Options
{
    quint64 seed = 0;
    int seconds = 180;
};

bool parseOptions(const QStringList &arguments, Options *options, QString *error)
{
    options->seed = QRandomGenerator::system()->generate64();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        const QString value = arguments.value(i + 1);
        bool ok = false;
        if (arg == QLatin1String("--seed")) {
            options->seed = value.toULongLong(&ok);
        } else if (arg == QLatin1String("--seconds")) {
            options->seconds = value.toInt(&ok);
            ok = ok && options->seconds > 0;
        } else {
            *error = QStringLiteral("unknown argument '%1'").arg(arg);
            return false;
        }
        if (!ok) {
            *error = QStringLiteral("%1 needs a number, not '%2'").arg(arg, value);
            return false;
        }
        ++i;
    }
    return true;
}

// One generator per experiment, seeded from the run's seed and the
// experiment's number, so that a change to one experiment does not shift
// the choices of the others.
class Random
{
public:
    explicit Random(quint64 seed)
        : m_engine(seed)
    {
    }

    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    bool chance(int percent) { return between(0, 99) < percent; }
    template<typename List>
    auto pick(const List &list) -> decltype(list.at(0))
    {
        return list.at(between(0, int(list.size()) - 1));
    }

private:
    std::mt19937_64 m_engine;
};

class Deadline
{
public:
    explicit Deadline(qint64 milliseconds)
        : m_milliseconds(milliseconds)
    {
        m_timer.start();
    }
    bool passed() const { return m_timer.elapsed() >= m_milliseconds; }

private:
    QElapsedTimer m_timer;
    qint64 m_milliseconds;
};

// ---------------------------------------------------------------------------
// Processes

struct ProcessResult
{
    int exitCode = -1;
    bool crashed = false; // ended by a signal, timed out or never started
    QByteArray out;
    QByteArray err;

    bool exited(int code) const { return !crashed && exitCode == code; }
    QString describe() const
    {
        return QStringLiteral("exit %1%2, stderr: %3")
            .arg(exitCode)
            .arg(crashed ? QStringLiteral(" (crashed or timed out)") : QString(),
                 QString::fromUtf8(err).trimmed().left(400));
    }
};

ProcessResult collect(QProcess &process, int timeoutMs)
{
    ProcessResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(10000);
        result.crashed = true;
    }
    result.crashed = result.crashed || process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

ProcessResult runProcess(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                         const QByteArray &input = QByteArray(), int timeoutMs = ProcessTimeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        ProcessResult result;
        result.crashed = true;
        result.err = process.errorString().toUtf8();
        return result;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    return collect(process, timeoutMs);
}

// The answers of a strategyctl --json shell to its commands, in order: one
// {"ok": ...} line per command; the "event" lines in between are skipped.
// A line cut short by a kill is not an answer.
struct ShellAnswers
{
    QVector<bool> ok;
    QStringList refusals;

    int count() const { return ok.size(); }
    int accepted() const { return int(ok.count(true)); }
};

ShellAnswers readAnswers(const QByteArray &out)
{
    ShellAnswers answers;
    for (const QByteArray &line : out.split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (!object.contains(QLatin1String("ok")))
            continue;
        const bool ok = object.value(QLatin1String("ok")).toBool();
        answers.ok.append(ok);
        if (!ok)
            answers.refusals.append(object.value(QLatin1String("message")).toString());
    }
    return answers;
}

// Reads a process's stdout until it has answered `answers` commands, it
// ended, or the timeout passed. Answers whether the count was reached.
bool waitForAnswers(QProcess &process, QByteArray *out, int answers, int timeoutMs = 30000)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        *out += process.readAllStandardOutput();
        if (readAnswers(*out).count() >= answers)
            return true;
        if (process.state() == QProcess::NotRunning || waited.elapsed() > timeoutMs)
            return false;
        process.waitForReadyRead(100);
    }
}

// ---------------------------------------------------------------------------
// Installation folders

// One installation folder of strategyctl. The id sequence lives in a
// folder of the experiment, never in the user's own.
class Installation
{
public:
    Installation(const QString &home, const QString &idDir)
        : m_home(home)
        , m_idDir(idDir)
    {
        QDir().mkpath(m_home);
    }

    QString home() const { return m_home; }
    QString filePath(const QString &relative) const { return m_home + QLatin1Char('/') + relative; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("STRATEGYLOGIC_ID_DIR"), m_idDir);
        return environment;
    }

    QStringList arguments(const QStringList &args) const
    {
        return QStringList{QStringLiteral("--home"), m_home} + args;
    }

    ProcessResult run(const QStringList &args, const QByteArray &input = QByteArray()) const
    {
        return runProcess(QStringLiteral(STRATEGYCTL_PATH), arguments(args), environment(), input);
    }

    void start(QProcess &process, const QStringList &args) const
    {
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(STRATEGYCTL_PATH), arguments(args));
        process.waitForStarted(10000);
    }

    // `strategyctl --json ARGS`, its output parsed; an empty document when
    // the command failed or printed something that is not JSON.
    QJsonDocument json(const QStringList &args, ProcessResult *result = nullptr) const
    {
        const ProcessResult r = run(QStringList{QStringLiteral("--json")} + args);
        if (result)
            *result = r;
        return r.exited(0) ? QJsonDocument::fromJson(r.out) : QJsonDocument();
    }

private:
    QString m_home;
    QString m_idDir;
};

// The temporary folder of one experiment; kept when the experiment fails,
// so that its files can be looked at.
class Workspace
{
public:
    explicit Workspace(const QString &name)
        : m_dir(QDir::tempPath() + QStringLiteral("/strategylogic-stress-") + name + QStringLiteral("-XXXXXX"))
    {
    }

    bool isValid() const { return m_dir.isValid(); }
    QString errorString() const { return m_dir.errorString(); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    Installation installation(const QString &name) const
    {
        return Installation(path(name), path(QStringLiteral("ids")));
    }

    void keep()
    {
        if (m_dir.autoRemove())
            std::fprintf(stderr, "  files kept in %s\n", qPrintable(m_dir.path()));
        m_dir.setAutoRemove(false);
    }

private:
    QTemporaryDir m_dir;
};

void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(file, target);
    }
}

// Files a restart must not leave behind: the temporary files of a whole-file
// replacement (<file>.XXXXXX), a group change record not yet finished.
QStringList leftoverFiles(const QString &home)
{
    static const QRegularExpression temporary(QStringLiteral(
        "^(SarvekFixStrategy\\.dat|SarvekFixedStrategyGroups\\.txt|sarvek\\.pending\\.json)\\.[A-Za-z0-9]{6}$"));
    QStringList found;
    QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QFileInfo(it.next()).fileName();
        if (temporary.match(name).hasMatch() || name == QLatin1String("SarvekFixedStrategyGroups.redo"))
            found.append(QDir(home).relativeFilePath(it.filePath()));
    }
    return found;
}

// Files the plug-in set aside because it could not read them.
QStringList setAsideFiles(const QString &home)
{
    QStringList found;
    QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (QFileInfo(it.next()).fileName().contains(QLatin1String(".unreadable-")))
            found.append(QDir(home).relativeFilePath(it.filePath()));
    }
    return found;
}

// Every file and folder below `root` with its content, but for the names
// in `ignored`: two snapshots are equal when nothing changed byte for byte,
// appeared or went.
QMap<QString, QByteArray> snapshot(const QString &root, const QStringList &ignored)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (ignored.contains(relative))
            continue;
        if (it.fileInfo().isDir()) {
            files.insert(relative + QLatin1Char('/'), QByteArray());
            continue;
        }
        QFile file(path);
        files.insert(relative, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<unreadable>"));
    }
    return files;
}

QStringList differences(const QMap<QString, QByteArray> &before, const QMap<QString, QByteArray> &after)
{
    QStringList changed;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changed.append(it.key() + QStringLiteral(" went"));
        else if (after.value(it.key()) != it.value())
            changed.append(it.key() + QStringLiteral(" changed"));
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            changed.append(it.key() + QStringLiteral(" appeared"));
    }
    return changed;
}

// ---------------------------------------------------------------------------
// The fixed strategies and groups, and a model of them

struct StrategyRecord
{
    qint64 id = 0; // 0: not known (added since the last listing)
    QString name;
    QString path;
    QString group;
};

// What a start of the plug-in shows of the registry, in a form that
// compares: the records as sorted "name|path|group" texts (ids come from a
// machine-wide sequence and are left out), the group names sorted.
struct RegistryView
{
    QStringList records;
    QStringList groups;

    bool operator==(const RegistryView &other) const { return records == other.records && groups == other.groups; }
};

RegistryView viewOf(const QVector<StrategyRecord> &records, QStringList groups)
{
    RegistryView view;
    for (const StrategyRecord &record : records)
        view.records.append(record.name + QLatin1Char('|') + record.path + QLatin1Char('|') + record.group);
    view.records.sort();
    groups.sort();
    view.groups = groups;
    return view;
}

// How `seen` differs from `expected`: the records and groups missing and
// extra, as text, and how many there are in all.
struct Difference
{
    int size = 0;
    QString text;
};

Difference compare(const RegistryView &expected, const RegistryView &seen)
{
    Difference difference;
    auto diff = [&difference](const QStringList &want, const QStringList &have) {
        QStringList missing = want;
        QStringList extra;
        for (const QString &item : have) {
            if (!missing.removeOne(item))
                extra.append(item);
        }
        difference.size += missing.size() + extra.size();
        return QStringLiteral("missing [%1] extra [%2]")
            .arg(missing.mid(0, 6).join(QLatin1String(", ")), extra.mid(0, 6).join(QLatin1String(", ")));
    };
    const QString records = diff(expected.records, seen.records);
    const QString groups = diff(expected.groups, seen.groups);
    difference.text = QStringLiteral("records %1; groups %2").arg(records, groups);
    return difference;
}

// Reads the registry as a new process finds it: `strategy list` and
// `group list`, two starts of the plug-in. Both must succeed.
bool readRegistry(const Installation &installation, QVector<StrategyRecord> *records, QStringList *groups,
                  QString *error)
{
    ProcessResult result;
    const QJsonDocument list = installation.json({QStringLiteral("strategy"), QStringLiteral("list")}, &result);
    if (!list.isArray()) {
        *error = QStringLiteral("strategy list: %1").arg(result.describe());
        return false;
    }
    const QJsonDocument groupList = installation.json({QStringLiteral("group"), QStringLiteral("list")}, &result);
    if (!groupList.isArray()) {
        *error = QStringLiteral("group list: %1").arg(result.describe());
        return false;
    }
    records->clear();
    for (const QJsonValue &value : list.array()) {
        const QJsonObject object = value.toObject();
        records->append(StrategyRecord{
            qint64(object.value(QLatin1String("id")).toDouble()), object.value(QLatin1String("name")).toString(),
            object.value(QLatin1String("filePath")).toString(), object.value(QLatin1String("group")).toString()});
    }
    groups->clear();
    for (const QJsonValue &value : groupList.array())
        groups->append(value.toObject().value(QLatin1String("name")).toString());
    return true;
}

// The registry as the plug-in keeps it in memory, changed by the commands
// the model itself chooses: only commands the plug-in must accept.
class RegistryModel
{
public:
    void reset(const QVector<StrategyRecord> &records, const QStringList &groups)
    {
        m_records = records;
        m_groups = QSet<QString>(groups.cbegin(), groups.cend());
    }

    // What a start finds after the commands so far: the saved groups (the
    // default group alone when none are saved) and every group a record
    // names, which a start creates again when the groups file lacks it.
    RegistryView restartView() const
    {
        QSet<QString> groups = m_groups;
        if (groups.isEmpty())
            groups.insert(DefaultGroup);
        for (const StrategyRecord &record : m_records)
            groups.insert(record.group);
        return viewOf(m_records, QStringList(groups.cbegin(), groups.cend()));
    }

    // Chooses a command that is valid now, applies it to the model and
    // answers its shell line.
    QString nextCommand(Random &random)
    {
        // Weights keep the registry between a handful and a few hundred
        // records and below about fifteen groups.
        const bool many = m_records.size() > 250;
        const bool manyGroups = m_groups.size() > 14;
        const int weights[]
            = {many ? 5 : 30, many ? 25 : 10, many ? 12 : 5, manyGroups ? 1 : 12, 10, manyGroups ? 14 : 5, 4, 8};
        int total = 0;
        for (int w : weights)
            total += w;
        for (;;) {
            int roll = random.between(0, total - 1);
            int kind = 0;
            while (roll >= weights[kind])
                roll -= weights[kind++];
            const QString line = command(kind, random);
            if (!line.isEmpty())
                return line;
        }
    }

private:
    QString command(int kind, Random &random)
    {
        switch (kind) {
        case 0: return addStrategies(random);
        case 1: return removeById(random);
        case 2: return removeByPath(random);
        case 3: return addGroup(random);
        case 4: return renameGroup(random);
        case 5: return deleteGroup(random);
        case 6: return cleanupGroup(random);
        default: return mergeGroups(random);
        }
    }

    QString freshName(Random &random, const char *ascii, const char *chinese)
    {
        ++m_serial;
        return QString::fromUtf8(random.chance(20) ? chinese : ascii) + QString::number(m_serial);
    }

    QStringList groupList() const
    {
        QStringList groups(m_groups.cbegin(), m_groups.cend());
        groups.sort(); // the same seed gives the same choices
        return groups;
    }

    bool nameTaken(const QString &path, const QString &name) const
    {
        for (const StrategyRecord &record : m_records) {
            if (record.path == path && record.name == name)
                return true;
        }
        return false;
    }

    QString addStrategies(Random &random)
    {
        if (m_groups.isEmpty())
            return QString();
        const QString group = random.pick(groupList());
        QString path = QStringLiteral("D:/s/p%1.py").arg(random.between(1, 8));
        QString name = freshName(random, "s", "策略");
        int count = random.between(1, 5);
        // Now and then a name that was removed earlier, which must be free again.
        if (!m_removed.isEmpty() && random.chance(25)) {
            const StrategyRecord &old = random.pick(m_removed);
            if (!nameTaken(old.path, old.name)) {
                path = old.path;
                name = old.name;
                count = 1;
            }
        }
        for (int i = 0; i < count; ++i) {
            const QString copy = i == 0 ? name : name + QLatin1Char('_') + QString::number(i);
            m_records.append(StrategyRecord{0, copy, path, group});
        }
        QString line = QStringLiteral("strategy add %1 %2 --count %3").arg(path, name).arg(count);
        if (group != DefaultGroup || random.chance(50))
            line += QStringLiteral(" --group ") + group;
        return line;
    }

    void forget(int index)
    {
        m_removed.append(m_records.at(index));
        if (m_removed.size() > 50)
            m_removed.removeFirst();
        m_records.remove(index);
    }

    QString removeById(Random &random)
    {
        QVector<int> known;
        for (int i = 0; i < m_records.size(); ++i) {
            if (m_records.at(i).id > 0)
                known.append(i);
        }
        if (known.isEmpty())
            return QString();
        const int index = random.pick(known);
        const qint64 id = m_records.at(index).id;
        forget(index);
        return QStringLiteral("strategy remove %1").arg(id);
    }

    QString removeByPath(Random &random)
    {
        // Usually a path that has records; a path without any is a valid no-op.
        const QString path = !m_records.isEmpty() && random.chance(90)
            ? random.pick(m_records).path
            : QStringLiteral("D:/s/p%1.py").arg(random.between(1, 8));
        for (int i = m_records.size() - 1; i >= 0; --i) {
            if (m_records.at(i).path == path)
                forget(i);
        }
        return QStringLiteral("strategy remove --path %1").arg(path);
    }

    QString addGroup(Random &random)
    {
        const QString name = freshName(random, "g", "组");
        m_groups.insert(name);
        return QStringLiteral("group add %1").arg(name);
    }

    // The new name is fresh, or one that only records still name (their
    // group was deleted without them): the renamed group's strategies join them.
    QString renameGroup(Random &random)
    {
        if (m_groups.isEmpty())
            return QString();
        const QString from = random.pick(groupList());
        QString to = freshName(random, "g", "组");
        QStringList orphaned;
        for (const StrategyRecord &record : qAsConst(m_records)) {
            if (!m_groups.contains(record.group) && record.group != DefaultGroup && !orphaned.contains(record.group))
                orphaned.append(record.group);
        }
        if (!orphaned.isEmpty() && random.chance(30))
            to = random.pick(orphaned);
        for (StrategyRecord &record : m_records) {
            if (record.group == from)
                record.group = to;
        }
        m_groups.remove(from);
        m_groups.insert(to);
        return QStringLiteral("group rename %1 %2").arg(from, to);
    }

    QString deleteGroup(Random &random)
    {
        if (m_groups.isEmpty())
            return QString();
        const QString group = random.pick(groupList());
        const bool withStrategies = random.chance(50);
        m_groups.remove(group);
        if (withStrategies)
            dropGroupRecords(group);
        return QStringLiteral("group delete %1%2")
            .arg(group, withStrategies ? QStringLiteral(" --with-strategies") : QString());
    }

    QString cleanupGroup(Random &random)
    {
        if (m_groups.isEmpty())
            return QString();
        const QString group = random.pick(groupList());
        dropGroupRecords(group);
        return QStringLiteral("group cleanup %1").arg(group);
    }

    QString mergeGroups(Random &random)
    {
        if (m_groups.size() < 2)
            return QString();
        const QString from = random.pick(groupList());
        const QString to = random.pick(groupList());
        if (from == to)
            return QString();
        for (StrategyRecord &record : m_records) {
            if (record.group == from)
                record.group = to;
        }
        return QStringLiteral("group merge %1 %2").arg(from, to);
    }

    void dropGroupRecords(const QString &group)
    {
        for (int i = m_records.size() - 1; i >= 0; --i) {
            if (m_records.at(i).group == group)
                forget(i);
        }
    }

    QVector<StrategyRecord> m_records;
    QSet<QString> m_groups;
    QVector<StrategyRecord> m_removed; // recent removals, whose names may come back
    int m_serial = 0;
};

// ---------------------------------------------------------------------------
// Experiments

struct Outcome
{
    QString line;
    bool failed = false;
};

// A detail of a failure, on stderr; the first few of an experiment only.
class FailureLog
{
public:
    void operator()(const QString &text)
    {
        if (++m_count <= 5)
            std::fprintf(stderr, "  %s\n", qPrintable(text));
    }

private:
    int m_count = 0;
};

// 1. A shell receives a random valid sequence of registry commands and is
// killed with SIGKILL at a random moment. A restart must show the state
// after some prefix of the sequence at least as long as what was
// acknowledged, with every file readable and no temporary file left.
// One folder carries on over a series of rounds, so the files grow; the
// model starts each round from what the last restart showed.
Outcome killDuringRewrites(const Deadline &deadline, Random &random)
{
    Workspace workspace(QStringLiteral("kill"));
    if (!workspace.isValid())
        return {QStringLiteral("kill -9 during rewrites: no temporary folder: %1").arg(workspace.errorString()), true};
    FailureLog fail;
    int kills = 0, insideWrite = 0, outsidePrefix = 0, failedRestarts = 0, refused = 0, leftovers = 0, setAside = 0,
        hung = 0;
    constexpr int RoundsPerSeries = 25;
    RegistryModel model;
    std::unique_ptr<Installation> installation;
    qint64 commandMicroseconds = 1000;
    bool failed = false;

    for (int round = 0; !deadline.passed(); ++round) {
        if (round % RoundsPerSeries == 0) {
            installation = std::make_unique<Installation>(
                workspace.installation(QStringLiteral("series-%1").arg(round / RoundsPerSeries + 1)));
            QVector<StrategyRecord> records;
            QStringList groups;
            QString error;
            if (!readRegistry(*installation, &records, &groups, &error)) {
                fail(QStringLiteral("a fresh folder cannot be listed: %1").arg(error));
                ++failedRestarts;
                break;
            }
            model.reset(records, groups);
        }

        QStringList lines;
        QVector<RegistryView> views{model.restartView()};
        const int commands = random.between(10, 60);
        for (int i = 0; i < commands; ++i) {
            lines.append(model.nextCommand(random));
            views.append(model.restartView());
        }

        // stdin stays open: the shell would otherwise finish by itself.
        QProcess shell;
        QElapsedTimer running;
        running.start();
        installation->start(shell, {QStringLiteral("--json"), QStringLiteral("shell")});
        shell.write(QByteArray(lines.join(QLatin1Char('\n')).toUtf8() + '\n'));
        shell.waitForBytesWritten(10000);
        QByteArray out;
        const int target = random.between(0, commands - 1);
        if (!waitForAnswers(shell, &out, target) && shell.state() != QProcess::NotRunning)
            ++hung;
        // The kill lands anywhere in the next command or two: the delay
        // follows how long a command takes on this disk.
        if (target >= 5)
            commandMicroseconds = qBound<qint64>(100, running.nsecsElapsed() / 1000 / target, 25000);
        QThread::usleep(random.between(0, int(2 * commandMicroseconds)));
        const bool alive = shell.state() != QProcess::NotRunning;
        shell.kill();
        shell.waitForFinished(10000);
        out += shell.readAllStandardOutput();
        ++kills;
        if (!alive) {
            fail(QStringLiteral("round %1: the shell ended before the kill: exit %2, stderr: %3")
                     .arg(round)
                     .arg(shell.exitCode())
                     .arg(QString::fromUtf8(shell.readAllStandardError()).trimmed().left(300)));
            failed = true;
        }
        const ShellAnswers answers = readAnswers(out);
        if (!answers.refusals.isEmpty()) {
            refused += answers.refusals.size();
            fail(QStringLiteral("round %1: valid commands refused: %2")
                     .arg(round)
                     .arg(answers.refusals.join(QLatin1String("; "))));
        }
        // A temporary file or a change record still there: the kill came
        // in the middle of replacing a file or of a two-file change.
        if (!leftoverFiles(installation->home()).isEmpty())
            ++insideWrite;

        QVector<StrategyRecord> records;
        QStringList groups;
        QString error;
        if (!readRegistry(*installation, &records, &groups, &error)) {
            ++failedRestarts;
            fail(QStringLiteral("round %1: restart failed: %2").arg(round).arg(error));
            copyTree(installation->home(), workspace.path(QStringLiteral("evidence-round-%1").arg(round)));
            round = (round / RoundsPerSeries + 1) * RoundsPerSeries - 1; // a new folder for the next round
            continue;
        }
        const QStringList left = leftoverFiles(installation->home());
        const QStringList aside = setAsideFiles(installation->home());
        leftovers += left.size();
        setAside += aside.size();
        if (!left.isEmpty() || !aside.isEmpty())
            fail(QStringLiteral("round %1: after the restart: %2")
                     .arg(round)
                     .arg((left + aside).join(QLatin1String(", "))));

        const RegistryView seen = viewOf(records, groups);
        bool matched = false;
        for (int k = answers.count(); k <= commands && !matched; ++k)
            matched = views.at(k) == seen;
        if (!matched) {
            ++outsidePrefix;
            int closest = qMin(answers.count(), commands);
            Difference nearest = compare(views.at(closest), seen);
            for (int k = closest + 1; k <= commands; ++k) {
                const Difference difference = compare(views.at(k), seen);
                if (difference.size < nearest.size) {
                    closest = k;
                    nearest = difference;
                }
            }
            QStringList numbered;
            for (int i = 0; i < lines.size(); ++i)
                numbered.append(QStringLiteral("%1: %2").arg(i + 1).arg(lines.at(i)));
            const QString evidence = workspace.path(QStringLiteral("evidence-round-%1").arg(round));
            fail(QStringLiteral("round %1: %2 of %3 commands answered, but the restart shows the state after no "
                                "prefix of at least that length; nearest is the state after %4 commands, against "
                                "which it has %5. Files after the restart in %6. Commands: %7")
                     .arg(round)
                     .arg(answers.count())
                     .arg(commands)
                     .arg(closest)
                     .arg(nearest.text, evidence, numbered.join(QLatin1String(" / "))));
            copyTree(installation->home(), evidence);
        }
        model.reset(records, groups);
    }

    failed = failed || outsidePrefix || failedRestarts || refused || leftovers || setAside || hung;
    if (failed)
        workspace.keep();
    return {QStringLiteral("kill -9 during rewrites: %1 kills (%2 inside a write), %3 states outside a command prefix, "
                           "%4 failed restarts, %5 refused valid commands, %6 leftover temporary files, %7 files set "
                           "aside as unreadable, %8 hung shells")
                .arg(kills)
                .arg(insideWrite)
                .arg(outsidePrefix)
                .arg(failedRestarts)
                .arg(refused)
                .arg(leftovers)
                .arg(setAside)
                .arg(hung),
            failed};
}

// 2a. Six one-shot `strategy add ... --count 50` on one folder, started at
// once. A process that answered 0 stored all its records, one that
// answered otherwise stored none. Every other round passes --wait 0, so
// that some are turned away while another holds the folder; the others
// wait up to a minute for their turn.
Outcome concurrentWriters(const Deadline &deadline)
{
    Workspace workspace(QStringLiteral("writers"));
    if (!workspace.isValid())
        return {QStringLiteral("6 concurrent one-shot writers: no temporary folder: %1").arg(workspace.errorString()),
                true};
    FailureLog fail;
    constexpr int Writers = 6;
    constexpr int Copies = 50;
    int rounds = 0, lost = 0, acknowledged = 0, refused = 0, storedByRefused = 0, crashed = 0, unexpected = 0;

    for (; rounds < 2 || !deadline.passed(); ++rounds) {
        const Installation installation = workspace.installation(QStringLiteral("round-%1").arg(rounds + 1));
        const bool impatient = rounds % 2 == 1;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int k = 1; k <= Writers; ++k) {
            QStringList args;
            args << QStringLiteral("--wait") << (impatient ? QStringLiteral("0") : QStringLiteral("60"));
            args << QStringLiteral("strategy") << QStringLiteral("add") << QStringLiteral("D:/s/p%1.py").arg(k)
                 << QStringLiteral("n%1").arg(k) << QStringLiteral("--count") << QString::number(Copies);
            processes.push_back(std::make_unique<QProcess>());
            installation.start(*processes.back(), args);
        }
        QVector<ProcessResult> results;
        for (auto &process : processes)
            results.append(collect(*process, ProcessTimeoutMs));

        QVector<StrategyRecord> records;
        QStringList groups;
        QString error;
        if (!readRegistry(installation, &records, &groups, &error)) {
            fail(QStringLiteral("round %1: the folder cannot be listed: %2").arg(rounds + 1).arg(error));
            ++unexpected;
            continue;
        }
        for (int k = 1; k <= Writers; ++k) {
            const ProcessResult &result = results.at(k - 1);
            QStringList expected;
            for (int i = 0; i < Copies; ++i)
                expected.append(i == 0 ? QStringLiteral("n%1").arg(k) : QStringLiteral("n%1_%2").arg(k).arg(i));
            QStringList stored;
            for (const StrategyRecord &record : qAsConst(records)) {
                if (record.path == QStringLiteral("D:/s/p%1.py").arg(k))
                    stored.append(record.name);
            }
            stored.sort();
            expected.sort();
            if (result.crashed) {
                ++crashed;
                fail(QStringLiteral("round %1 writer %2: %3").arg(rounds + 1).arg(k).arg(result.describe()));
            } else if (result.exitCode == 0) {
                acknowledged += Copies;
                int missing = 0;
                for (const QString &name : qAsConst(expected))
                    missing += stored.contains(name) ? 0 : 1;
                lost += missing;
                if (stored != expected) {
                    ++unexpected;
                    fail(
                        QStringLiteral("round %1 writer %2 answered 0 but %3 of its %4 records are stored (%5 missing)")
                            .arg(rounds + 1)
                            .arg(k)
                            .arg(stored.size())
                            .arg(Copies)
                            .arg(missing));
                }
            } else {
                ++refused;
                storedByRefused += stored.size();
                if (!stored.isEmpty() || result.exitCode != 3)
                    fail(QStringLiteral("round %1 writer %2: %3; %4 records stored")
                             .arg(rounds + 1)
                             .arg(k)
                             .arg(result.describe())
                             .arg(stored.size()));
                // The plug-in has no reason to refuse these adds: only
                // "folder in use" is expected.
                if (result.exitCode != 3)
                    ++unexpected;
            }
        }
    }
    const bool failed = lost || storedByRefused || crashed || unexpected;
    if (failed)
        workspace.keep();
    return {QStringLiteral("6 concurrent one-shot writers, %1 rounds: lost %2 of %3 acknowledged records, %4 writers "
                           "refused (folder in use), %5 records stored by refused writers, %6 crashed, %7 unexpected "
                           "answers")
                .arg(rounds)
                .arg(lost)
                .arg(acknowledged)
                .arg(refused)
                .arg(storedByRefused)
                .arg(crashed)
                .arg(unexpected),
            failed};
}

// 2b. Six shells on one folder, started at once, each adding 20 groups; they
// take turns holding the folder. Every group whose add was answered ok is
// in the groups a later start lists.
Outcome concurrentShells(const Deadline &deadline)
{
    Workspace workspace(QStringLiteral("shells"));
    if (!workspace.isValid())
        return {QStringLiteral("6 concurrent shells: no temporary folder: %1").arg(workspace.errorString()), true};
    FailureLog fail;
    constexpr int Shells = 6;
    constexpr int Groups = 20;
    int rounds = 0, lost = 0, acknowledged = 0, refused = 0, badExits = 0;

    for (; rounds < 1 || !deadline.passed(); ++rounds) {
        const Installation installation = workspace.installation(QStringLiteral("round-%1").arg(rounds + 1));
        std::vector<std::unique_ptr<QProcess>> shells;
        for (int k = 1; k <= Shells; ++k) {
            QByteArray input;
            for (int i = 1; i <= Groups; ++i)
                input += QStringLiteral("group add w%1x%2\n").arg(k).arg(i).toUtf8();
            shells.push_back(std::make_unique<QProcess>());
            installation.start(
                *shells.back(),
                {QStringLiteral("--json"), QStringLiteral("--wait"), QStringLiteral("120"), QStringLiteral("shell")});
            // Into the pipe now: without an event loop, QProcess writes
            // only while someone waits on this very process.
            shells.back()->write(input);
            shells.back()->waitForBytesWritten(10000);
            shells.back()->closeWriteChannel();
        }
        QStringList answered;
        for (int k = 1; k <= Shells; ++k) {
            const ProcessResult result = collect(*shells.at(k - 1), ProcessTimeoutMs + 120000);
            if (!result.exited(0)) {
                ++badExits;
                fail(QStringLiteral("round %1 shell %2: %3").arg(rounds + 1).arg(k).arg(result.describe()));
            }
            const ShellAnswers answers = readAnswers(result.out);
            refused += answers.refusals.size();
            for (int i = 0; i < answers.count(); ++i) {
                if (answers.ok.at(i))
                    answered.append(QStringLiteral("w%1x%2").arg(k).arg(i + 1));
            }
        }
        acknowledged += answered.size();

        QVector<StrategyRecord> records;
        QStringList groups;
        QString error;
        if (!readRegistry(installation, &records, &groups, &error)) {
            fail(QStringLiteral("round %1: the folder cannot be listed: %2").arg(rounds + 1).arg(error));
            lost += answered.size();
            continue;
        }
        for (const QString &group : qAsConst(answered)) {
            if (!groups.contains(group)) {
                ++lost;
                fail(QStringLiteral("round %1: group %2 was answered ok but is not stored").arg(rounds + 1).arg(group));
            }
        }
    }
    const bool failed = lost || refused || badExits;
    if (failed)
        workspace.keep();
    return {QStringLiteral("6 concurrent shells adding 20 groups each, %1 rounds: lost %2 of %3 acknowledged groups, "
                           "%4 refused, %5 shells not exiting 0")
                .arg(rounds)
                .arg(lost)
                .arg(acknowledged)
                .arg(refused)
                .arg(badExits),
            failed};
}

// The rows of a table as `db TABLE --json` prints them.
QJsonArray tableRows(const Installation &installation, const QString &table, QString *error)
{
    ProcessResult result;
    const QJsonDocument rows = installation.json({QStringLiteral("db"), table}, &result);
    if (!rows.isArray())
        *error = QStringLiteral("db %1: %2").arg(table, result.describe());
    return rows.array();
}

double number(const QJsonValue &value)
{
    return value.isString() ? value.toString().toDouble() : value.toDouble();
}

// 3. Another program holds sarvek.db locked while a shell registers 150
// instances and 150 finished backtest days, and until that shell has
// ended. Once the lock is let go, the next start of strategyctl must bring
// every row into the tables. Runs with an exclusive lock (nobody may
// read) and an immediate one (others may read, not write).
Outcome databaseHeldElsewhere()
{
    Workspace workspace(QStringLiteral("dblock"));
    if (!workspace.isValid())
        return {
            QStringLiteral("database held by another program: no temporary folder: %1").arg(workspace.errorString()),
            true};
    FailureLog fail;
    constexpr int Rows = 150;
    const QString date = QStringLiteral("2024-03-01");
    int lost = 0, expected = 0, problems = 0;
    QStringList shellExits;

    for (const QString &mode : {QStringLiteral("exclusive"), QStringLiteral("immediate")}) {
        const Installation installation = workspace.installation(mode);
        QProcess locker;
        locker.setProcessEnvironment(installation.environment());
        locker.start(QStringLiteral(TEST_HELPER_DIR "/dblocker"),
                     {installation.filePath(QStringLiteral("sarvek.db")), mode});
        QByteArray said;
        while (!said.contains("locked\n") && locker.waitForReadyRead(10000))
            said += locker.readAllStandardOutput();
        if (!said.contains("locked\n")) {
            fail(QStringLiteral("%1: dblocker did not take the lock: %2")
                     .arg(mode, QString::fromUtf8(locker.readAllStandardError())));
            ++problems;
            locker.kill();
            locker.waitForFinished(10000);
            continue;
        }

        QByteArray input;
        for (int i = 1; i <= Rows; ++i) {
            const int id = 5000 + i;
            input += QStringLiteral("instance add %1 2\ncash init %1 %2 %3\ncash end %1 %2 %4\n")
                         .arg(id)
                         .arg(date)
                         .arg(10000 + i)
                         .arg(20000 + i)
                         .toUtf8();
        }
        const ProcessResult shell = installation.run({QStringLiteral("--json"), QStringLiteral("shell")}, input);
        const ShellAnswers answers = readAnswers(shell.out);
        shellExits.append(QStringLiteral("%1 %2").arg(mode).arg(shell.crashed ? QStringLiteral("crashed")
                                                                              : QString::number(shell.exitCode)));
        if (shell.crashed || answers.accepted() != 3 * Rows) {
            ++problems;
            fail(QStringLiteral("%1: the shell answered %2 of %3 commands ok: %4")
                     .arg(mode)
                     .arg(answers.accepted())
                     .arg(3 * Rows)
                     .arg(shell.describe()));
        }

        locker.write("\n");
        locker.closeWriteChannel();
        if (!locker.waitForFinished(30000)) {
            locker.kill();
            locker.waitForFinished(10000);
        }

        const ProcessResult start = installation.run({QStringLiteral("status")});
        if (!start.exited(0)) {
            ++problems;
            fail(QStringLiteral("%1: the start after the lock was let go: %2").arg(mode, start.describe()));
        }
        QString error;
        const QJsonArray instances = tableRows(installation, QStringLiteral("instance_info"), &error);
        const QJsonArray days = tableRows(installation, QStringLiteral("backtest_daycash"), &error);
        if (!error.isEmpty()) {
            ++problems;
            fail(QStringLiteral("%1: %2").arg(mode, error));
        }
        QMap<QString, QJsonObject> instanceRows;
        for (const QJsonValue &row : instances)
            instanceRows.insert(row.toObject().value(QLatin1String("instance_id")).toString(), row.toObject());
        QMap<QString, QJsonObject> dayRows;
        for (const QJsonValue &row : days)
            dayRows.insert(row.toObject().value(QLatin1String("instance_id")).toString() + QLatin1Char('/')
                               + row.toObject().value(QLatin1String("date")).toString(),
                           row.toObject());
        for (int i = 1; i <= Rows; ++i) {
            const QString id = QString::number(5000 + i);
            const QJsonObject instance = instanceRows.value(id);
            if (instance.value(QLatin1String("run_mode")).toString() != QLatin1String("2")) {
                ++lost;
                fail(QStringLiteral("%1: instance %2 is missing or wrong: %3")
                         .arg(mode, id, QString::fromUtf8(QJsonDocument(instance).toJson(QJsonDocument::Compact))));
            }
            const QJsonObject day = dayRows.value(id + QStringLiteral("/20240301"));
            if (number(day.value(QLatin1String("initial_funds"))) != 10000 + i
                || number(day.value(QLatin1String("end_funds"))) != 20000 + i) {
                ++lost;
                fail(QStringLiteral("%1: the day cash of %2 is missing or wrong: %3")
                         .arg(mode, id, QString::fromUtf8(QJsonDocument(day).toJson(QJsonDocument::Compact))));
            }
        }
        expected += 2 * Rows;
    }
    const bool failed = lost || problems;
    if (failed)
        workspace.keep();
    return {QStringLiteral("database held by another program (exclusive, immediate): lost %1 of %2 rows, %3 other "
                           "problems, shells exited %4")
                .arg(lost)
                .arg(expected)
                .arg(problems)
                .arg(shellExits.join(QLatin1String(", "))),
            failed};
}

// 4. A shell registers instances and gets SIGTERM, SIGINT or SIGHUP with
// its stdin still open: once after every command was answered, once at a
// random moment. It must end with 128 + the signal, and every instance it
// acknowledged must be in instance_info.
Outcome signalsEndShells(Random &random)
{
    Workspace workspace(QStringLiteral("signals"));
    if (!workspace.isValid())
        return {QStringLiteral("signals: no temporary folder: %1").arg(workspace.errorString()), true};
    FailureLog fail;
    constexpr int Instances = 80;
    const std::pair<int, const char *> kinds[] = {{SIGTERM, "TERM"}, {SIGINT, "INT"}, {SIGHUP, "HUP"}};
    int shells = 0, rightExits = 0, lost = 0, acknowledged = 0, problems = 0;

    for (const auto &kind : kinds) {
        for (const bool whenDone : {true, false}) {
            ++shells;
            const Installation installation
                = workspace.installation(QStringLiteral("%1-%2")
                                             .arg(QLatin1String(kind.second))
                                             .arg(whenDone ? QLatin1String("done") : QLatin1String("random")));
            QProcess shell;
            installation.start(shell, {QStringLiteral("--json"), QStringLiteral("shell")});
            QByteArray input;
            for (int i = 1; i <= Instances; ++i)
                input += QStringLiteral("instance add %1 %2\n").arg(7000 + i).arg(i % 3).toUtf8();
            shell.write(input);
            shell.waitForBytesWritten(10000);
            // At least one answer first: before then the process may not yet
            // have its signal handlers.
            QByteArray out;
            waitForAnswers(shell, &out, whenDone ? Instances : random.between(1, Instances - 1));
            if (!whenDone)
                QThread::usleep(random.between(0, 2000));
            ::kill(pid_t(shell.processId()), kind.first);
            const ProcessResult result = collect(shell, 60000);
            out += result.out;
            const ShellAnswers answers = readAnswers(out);
            const QString label
                = QStringLiteral("SIG%1 %2")
                      .arg(QLatin1String(kind.second),
                           whenDone ? QStringLiteral("after the last answer") : QStringLiteral("at a random moment"));
            if (result.exited(128 + kind.first))
                ++rightExits;
            else
                fail(QStringLiteral("%1: %2").arg(label, result.describe()));
            if (whenDone && answers.accepted() != Instances) {
                ++problems;
                fail(QStringLiteral("%1: %2 of %3 commands answered ok")
                         .arg(label)
                         .arg(answers.accepted())
                         .arg(Instances));
            }

            QString error;
            const QJsonArray rows = tableRows(installation, QStringLiteral("instance_info"), &error);
            QMap<QString, QString> modes;
            for (const QJsonValue &row : rows)
                modes.insert(row.toObject().value(QLatin1String("instance_id")).toString(),
                             row.toObject().value(QLatin1String("run_mode")).toString());
            if (!error.isEmpty()) {
                ++problems;
                fail(QStringLiteral("%1: %2").arg(label, error));
            }
            for (int i = 0; i < answers.count(); ++i) {
                if (!answers.ok.at(i))
                    continue;
                ++acknowledged;
                if (modes.value(QString::number(7000 + i + 1)) != QString::number((i + 1) % 3)) {
                    ++lost;
                    fail(QStringLiteral("%1: instance %2 was answered ok but is not stored")
                             .arg(label)
                             .arg(7000 + i + 1));
                }
            }
        }
    }
    const bool failed = lost || problems || rightExits != shells;
    if (failed)
        workspace.keep();
    return {QStringLiteral("signals (TERM, INT, HUP; after the last answer and at random): %1 of %2 shells exited "
                           "128+N, lost %3 of %4 acknowledged instance rows, %5 other problems")
                .arg(rightExits)
                .arg(shells)
                .arg(lost)
                .arg(acknowledged)
                .arg(problems),
            failed};
}

// A file system mounted by this process, unmounted when the object goes,
// also when the experiment fails half way.
class Mount
{
public:
    explicit Mount(const QString &path)
        : m_path(QFile::encodeName(path))
    {
    }
    ~Mount()
    {
        if (m_mounted && ::umount2(m_path.constData(), 0) != 0)
            ::umount2(m_path.constData(), MNT_DETACH); // something still has a file open there
    }
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;

    bool tmpfs(const char *options, QString *error)
    {
        return check(::mount("tmpfs", m_path.constData(), "tmpfs", 0, options), error);
    }

    // The folder over itself, then read-only (a bind mount takes the flag
    // only in a remount).
    bool readOnlyBind(QString *error)
    {
        if (!check(::mount(m_path.constData(), m_path.constData(), nullptr, MS_BIND, nullptr), error))
            return false;
        return check(::mount(nullptr, m_path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), error);
    }

private:
    // A failed remount leaves the bind mount in place: m_mounted stays set.
    bool check(int result, QString *error)
    {
        if (result != 0) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_mounted = true;
        return true;
    }

    QByteArray m_path;
    bool m_mounted = false;
};

// Fills the installation folder with fixed strategies, groups, an instance
// and its day, a locked file and the settings, so that every changing
// command below has something to change. Answers the ids of a few records.
bool populate(const Installation &installation, QMap<QString, qint64> *ids, QString *error)
{
    const QByteArray setup = "strategy add D:/s/a.py a --count 3\n"
                             "group add g1\n"
                             "group add g2\n"
                             "group add g3\n"
                             "strategy add D:/s/b.py b --count 2 --group g1\n"
                             "strategy add D:/s/c.py c --group g2\n"
                             "instance add 5 2\n"
                             "cash init 5 2024-03-01 1000\n"
                             "cash end 5 2024-03-01 1100\n"
                             "lock on D:/s/a.py\n"
                             "python set C:/Python311\n"
                             "product set P1\n"
                             "fundaccount set F1\n";
    const ProcessResult result = installation.run({QStringLiteral("--json"), QStringLiteral("shell")}, setup);
    if (!result.exited(0) || readAnswers(result.out).accepted() != setup.count('\n')) {
        *error = QStringLiteral("setting up the folder: %1").arg(result.describe());
        return false;
    }
    QVector<StrategyRecord> records;
    QStringList groups;
    if (!readRegistry(installation, &records, &groups, error))
        return false;
    for (const StrategyRecord &record : qAsConst(records))
        ids->insert(record.name, record.id);
    return true;
}

// Commands that change something in a populated folder; each must fail
// where nothing can be written. `cash` is a shell session, since a day is
// written only once its end is reported.
QVector<QStringList> changingCommands(const QMap<QString, qint64> &ids)
{
    const QString a1 = QString::number(ids.value(QStringLiteral("a_1")));
    const QString c = QString::number(ids.value(QStringLiteral("c")));
    return {
        {"strategy", "add", "D:/s/fresh.py", "fresh"},
        {"strategy", "add", "D:/s/fresh.py", "many", "--count", "3", "--group", "g1"},
        {"strategy", "modify", a1, "--name", "renamed"},
        {"strategy", "modify", a1, "--group", "g2"},
        {"strategy", "move", "D:/s/a.py", "D:/s/moved.py"},
        {"strategy", "remove", c},
        {"strategy", "remove", "--path", "D:/s/a.py"},
        {"group", "add", "g9"},
        {"group", "rename", "g1", "g8"},
        {"group", "delete", "g1", "--with-strategies"},
        {"group", "delete", "g3"},
        {"group", "cleanup", "g1"},
        {"group", "merge", "g1", "g2"},
        {"python", "set", "C:/Other"},
        {"product", "set", "P9"},
        {"fundaccount", "set", "F9"},
        {"instance", "add", "77", "1"},
        {"lock", "on", "D:/s/new.py"},
        {"lock", "off", "D:/s/a.py"},
        {"shell"}, // fed with a day's cash below
    };
}

const QByteArray CashSession = "instance add 78 2\ncash init 78 2024-03-02 500\ncash end 78 2024-03-02 600\n";

// Runs every changing command against a folder where writing fails and
// checks that each one says so and leaves every file as it was. Answers
// the number of commands that were refused and left the folder alone.
int refuseEveryChange(const Installation &installation, const QMap<QString, qint64> &ids, const QStringList &ignored,
                      const QString &label, FailureLog &fail, int *total)
{
    const QMap<QString, QByteArray> before = snapshot(installation.home(), ignored);
    int good = 0;
    const QVector<QStringList> commands = changingCommands(ids);
    *total = commands.size();
    for (const QStringList &command : commands) {
        const bool shell = command.first() == QLatin1String("shell");
        const ProcessResult result = installation.run(command, shell ? CashSession : QByteArray());
        const QStringList changed = differences(before, snapshot(installation.home(), ignored));
        if (result.crashed || result.exitCode == 0)
            fail(QStringLiteral("%1: '%2' %3")
                     .arg(label, command.join(QLatin1Char(' ')),
                          result.exitCode == 0 && !result.crashed ? QStringLiteral("answered 0") : result.describe()));
        if (!changed.isEmpty())
            fail(QStringLiteral("%1: '%2' changed the folder: %3")
                     .arg(label, command.join(QLatin1Char(' ')), changed.join(QLatin1String(", "))));
        if (!result.crashed && result.exitCode != 0 && changed.isEmpty())
            ++good;
    }
    return good;
}

// 5a. The folder on a 2 MiB tmpfs filled to the last byte.
Outcome fullDisk()
{
    const QString title = QStringLiteral("full disk (2 MiB tmpfs)");
    if (::geteuid() != 0)
        return {title + QStringLiteral(": skipped, mounting needs root")};
    Workspace workspace(QStringLiteral("fulldisk"));
    if (!workspace.isValid())
        return {title + QStringLiteral(": no temporary folder: %1").arg(workspace.errorString()), true};
    const Installation installation = workspace.installation(QStringLiteral("disk"));
    Mount mount(installation.home());
    QString error;
    if (!mount.tmpfs("size=2m", &error))
        return {title + QStringLiteral(": skipped, cannot mount a tmpfs (%1)").arg(error)};

    FailureLog fail;
    QMap<QString, qint64> ids;
    if (!populate(installation, &ids, &error)) {
        fail(error);
        return {title + QStringLiteral(": the folder could not be set up"), true};
    }
    // Unbuffered, so that the write that finds the disk full fails here.
    QFile filler(installation.filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {title + QStringLiteral(": cannot create the filler: %1").arg(filler.errorString()), true};
    const QByteArray chunk(64 * 1024, 'x');
    while (filler.write(chunk) == chunk.size()) {}
    filler.close();

    int total = 0;
    const int refused = refuseEveryChange(installation, ids, {QStringLiteral("filler"), QStringLiteral("sarvek.lock")},
                                          title, fail, &total);
    return {title
                + QStringLiteral(": %1 of %2 changing commands refused with the folder unchanged byte for byte")
                      .arg(refused)
                      .arg(total),
            refused != total};
}

// 5b. The folder mounted read-only over itself: every change is refused
// and changes nothing, the reading commands still work.
Outcome readOnlyFolder()
{
    const QString title = QStringLiteral("read-only folder");
    if (::geteuid() != 0)
        return {title + QStringLiteral(": skipped, mounting needs root")};
    Workspace workspace(QStringLiteral("readonly"));
    if (!workspace.isValid())
        return {title + QStringLiteral(": no temporary folder: %1").arg(workspace.errorString()), true};
    const Installation installation = workspace.installation(QStringLiteral("home"));
    FailureLog fail;
    QMap<QString, qint64> ids;
    QString error;
    if (!populate(installation, &ids, &error)) {
        fail(error);
        return {title + QStringLiteral(": the folder could not be set up"), true};
    }
    Mount mount(installation.home());
    if (!mount.readOnlyBind(&error))
        return {title + QStringLiteral(": skipped, cannot bind-mount the folder read-only (%1)").arg(error)};

    int total = 0;
    const int refused = refuseEveryChange(installation, ids, {}, title, fail, &total);
    const QVector<QStringList> reading
        = {{"strategy", "list"},       {"group", "list"}, {"db", "instance_info"},
           {"db", "backtest_daycash"}, {"python"},        {"lock", "status", "D:/s/a.py"}};
    int answered = 0;
    for (const QStringList &command : reading) {
        const ProcessResult result = installation.run(command);
        if (result.exited(0))
            ++answered;
        else
            fail(QStringLiteral("%1: '%2': %3").arg(title, command.join(QLatin1Char(' ')), result.describe()));
    }
    const bool failed = refused != total || answered != reading.size();
    return {title
                + QStringLiteral(": %1 of %2 changing commands refused with the folder unchanged byte for byte, "
                                 "%3 of %4 reading commands answered")
                      .arg(refused)
                      .arg(total)
                      .arg(answered)
                      .arg(reading.size()),
            failed};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    QString error;
    if (!parseOptions(QCoreApplication::arguments(), &options, &error)) {
        std::fprintf(stderr, "strategylogic_stress: %s\nusage: strategylogic_stress [--seconds N] [--seed N]\n",
                     qPrintable(error));
        return 2;
    }
    std::printf("strategylogic_stress: seed %llu, %d s (repeat with --seed %llu)\n",
                static_cast<unsigned long long>(options.seed), options.seconds,
                static_cast<unsigned long long>(options.seed));
    std::fflush(stdout);

    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 budget = qint64(options.seconds) * 1000;
    int failures = 0;
    QElapsedTimer lap;
    lap.start();
    auto report = [&failures, &lap](const Outcome &outcome) {
        failures += outcome.failed ? 1 : 0;
        std::printf("%s %s (%.0f s)\n", outcome.failed ? "FAIL" : "ok  ", qPrintable(outcome.line),
                    lap.restart() / 1000.0);
        std::fflush(stdout);
    };
    // The kill experiment gets the largest share. The others take theirs
    // and about 15 s of fixed cost, which leaves room for a slower machine
    // within the budget.
    Random killRandom(options.seed + 1);
    report(killDuringRewrites(Deadline(budget * 60 / 100), killRandom));
    report(concurrentWriters(Deadline(budget * 7 / 100)));
    report(concurrentShells(Deadline(budget * 5 / 100)));
    report(databaseHeldElsewhere());
    Random signalRandom(options.seed + 4);
    report(signalsEndShells(signalRandom));
    report(fullDisk());
    report(readOnlyFolder());

    std::printf("strategylogic_stress: %s in %.0f s (seed %llu)\n",
                failures ? qPrintable(QStringLiteral("%1 experiments FAILED").arg(failures)) : "all experiments passed",
                elapsed.elapsed() / 1000.0, static_cast<unsigned long long>(options.seed));
    return failures ? 1 : 0;
}
