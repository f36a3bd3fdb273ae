// strategylogic_stress: experiments on strategyctl that take too long, or
// need too many processes, for the unit tests. Each one runs the real
// command-line host (and the dblocker helper) in installation folders of
// its own below a temporary folder, disturbs it the way a user's machine
// does (kill -9, an import killed, six processes at once, a database locked by another
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

#include <QtCore>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iterator>
#include <numeric>
#include <random>

#include <sys/mount.h>
#include <unistd.h>

namespace {

const QString DefaultGroup = QStringLiteral("默认分组");
constexpr int ProcessTimeoutMs = 120000;

// fmt("round %1: %2", round, text): the values replace the placeholders in
// one pass, so that a value that itself contains "%1" stays as it is.
QString str(const QString &text) { return text; }
QString str(const char *text) { return QString::fromUtf8(text); }
QString str(const QByteArray &text) { return QString::fromUtf8(text); }
template<typename Number>
QString str(Number number) { return QString::number(number); }
template<typename... Values>
QString fmt(const char *format, const Values &...values) { return QString::fromUtf8(format).arg(str(values)...); }

// One generator per experiment, seeded from the run's seed and the
// experiment's number, so that a change to one experiment does not shift
// the choices of the others.
struct Random
{
    std::mt19937_64 engine;

    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine); }
    bool chance(int percent) { return between(0, 99) < percent; }
    template<typename List>
    auto pick(const List &list) -> decltype(list.at(0)) { return list.at(between(0, int(list.size()) - 1)); }
};

// ---------------------------------------------------------------------------
// Processes

struct Result
{
    int exitCode = -1;
    bool crashed = false; // ended by a signal, timed out or never started
    QByteArray out, err;

    bool exited(int code) const { return !crashed && exitCode == code; }
    QString describe() const
    {
        return fmt("exit %1%2, stderr: %3", exitCode, crashed ? " (crashed or timed out)" : "",
                   QString::fromUtf8(err).trimmed().left(400));
    }
};

// Waits for a started process to end (killing it after `timeoutMs`) and
// collects what it left.
Result finish(QProcess &process, int timeoutMs = ProcessTimeoutMs)
{
    const bool timedOut = process.state() != QProcess::NotRunning && !process.waitForFinished(timeoutMs);
    if (timedOut) {
        process.kill();
        process.waitForFinished(10000);
    }
    const bool unstarted = process.error() == QProcess::FailedToStart;
    return Result{process.exitCode(), timedOut || unstarted || process.exitStatus() != QProcess::NormalExit,
                  process.readAllStandardOutput(),
                  process.readAllStandardError() + (unstarted ? process.errorString().toUtf8() : QByteArray())};
}

// The answers of a strategyctl --json shell to its commands, in order: one
// {"ok": true} or {"error": ...} line per command; the "event" lines in
// between are skipped. Refusals are the errors other than "nothing changed"
// and "not found", which a command with nothing to do answers.
// A line cut short by a kill is not an answer.
struct Answers
{
    explicit Answers(const QByteArray &out)
    {
        for (const QByteArray &line : out.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.contains("ok")) {
                ok.append(object.value("ok").toBool());
            } else if (object.contains("error")) {
                // A command that found nothing to do says so: not a refusal.
                const QJsonObject error = object.value("error").toObject();
                const QString kind = error.value("kind").toString();
                ok.append(false);
                if (kind != "unchanged" && kind != "notFound")
                    refusals.append(error.value("message").toString());
            }
        }
    }
    int accepted() const { return int(ok.count(true)); }

    QVector<bool> ok;
    QStringList refusals;
};

// Reads a process's stdout until it has answered `count` commands, it
// ended, or the timeout passed. Answers whether the count was reached.
bool waitForAnswers(QProcess &process, QByteArray *out, int count, int timeoutMs = 30000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (Answers(*out += process.readAllStandardOutput()).ok.size() < count) {
        if (process.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        process.waitForReadyRead(100);
    }
    return true;
}

// One installation folder of strategyctl.
struct Home
{
    QString path;

    // Starts `strategyctl --home PATH ARGS` and hands it `input`. Written
    // into the pipe now: without an event loop, QProcess writes only while
    // someone waits on this very process. stdin stays open unless `close`.
    void start(QProcess &process, const QStringList &args, const QByteArray &input = {}, bool close = false) const
    {
        process.start(STRATEGYCTL_PATH, QStringList{"--home", path} + args);
        process.waitForStarted(10000);
        process.write(input);
        process.waitForBytesWritten(10000);
        if (close)
            process.closeWriteChannel();
    }

    Result run(const QStringList &args, const QByteArray &input = {}) const
    {
        QProcess process;
        start(process, args, input, true);
        return finish(process);
    }

    // The array `strategyctl --json ARGS` prints; when the command fails or
    // prints something else, what it did is added to `error`.
    QJsonArray list(const QStringList &args, QString *error) const
    {
        const Result result = run(QStringList{"--json"} + args);
        const QJsonDocument document = QJsonDocument::fromJson(result.out);
        if (!result.exited(0) || !document.isArray())
            *error += fmt("%1: %2. ", args.join(' '), result.describe());
        return document.array();
    }
};

// ---------------------------------------------------------------------------
// Files

// The files and folders below `root`, relative to it; folders end in '/'.
QStringList entries(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        found.append(QDir(root).relativeFilePath(it.filePath()) + (it.fileInfo().isDir() ? "/" : ""));
    }
    return found;
}

// Keeps a copy of a folder as it is now, for a failure's details.
void copyTree(const QString &from, const QString &to) { QProcess::execute("cp", {"-a", from, to}); }

// Files a restart must not leave behind: the temporary files of a whole-file
// replacement (<file>.XXXXXX), a group change record not yet finished.
const QRegularExpression Leftover(
    "(^|/)((SarvekFixStrategy\\.dat|SarvekFixedStrategyGroups\\.txt|sarvek\\.pending\\.json)\\.[A-Za-z0-9]{6}"
    "|SarvekFixedStrategyGroups\\.redo)$");
// Files the plug-in set aside because it could not read them.
const QRegularExpression SetAside("\\.unreadable-[^/]*$");

// Every file and folder below `root` but for the names in `ignored`, files
// with a hash of their content: two snapshots are equal when nothing
// changed byte for byte, appeared or went. compare() tells what did.
QStringList snapshot(const QString &root, const QStringList &ignored)
{
    QStringList found = entries(root);
    for (const QString &name : ignored)
        found.removeAll(name);
    for (QString &entry : found) {
        QFile file(root + '/' + entry);
        if (!entry.endsWith('/'))
            entry += ' '
                + (file.open(QIODevice::ReadOnly)
                       ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex().left(12)
                       : QByteArray("unreadable"));
    }
    return found;
}

// ---------------------------------------------------------------------------
// The fixed strategies and groups, and a model of them

struct Record
{
    qint64 id = 0; // 0: not known (added since the last listing)
    QString name, path, group;
};

// The registry as a new process finds it: `strategy list` and `group list`,
// two starts of the plug-in. `error` says what failed, if anything.
struct Registry
{
    QVector<Record> records;
    QStringList groups;
    QString error;
};

Registry readRegistry(const Home &home)
{
    Registry registry;
    const QJsonArray records = home.list({"strategy", "list"}, &registry.error),
                     groups = home.list({"group", "list"}, &registry.error);
    for (const QJsonValue &value : records) {
        const QJsonObject o = value.toObject();
        registry.records.append(Record{qint64(o.value("id").toDouble()), o.value("name").toString(),
                                       o.value("filePath").toString(), o.value("group").toString()});
    }
    for (const QJsonValue &value : groups)
        registry.groups.append(value.toObject().value("name").toString());
    return registry;
}

// A registry in a form that compares: "record NAME|PATH|GROUP" per record
// (ids come from a machine-wide sequence and are left out) and "group NAME"
// per group, sorted.
QStringList viewOf(const QVector<Record> &records, const QStringList &groups)
{
    QStringList view;
    for (const Record &r : records)
        view.append("record " + r.name + '|' + r.path + '|' + r.group);
    for (const QString &group : groups)
        view.append("group " + group);
    view.sort();
    return view;
}

// How many items `seen` lacks or has beyond `expected`; the first few of
// them go to `text`.
int compare(const QStringList &expected, const QStringList &seen, QString *text)
{
    QStringList missing = expected, extra;
    for (const QString &item : seen) {
        if (!missing.removeOne(item))
            extra.append(item);
    }
    *text = fmt("missing [%1] extra [%2]", missing.mid(0, 8).join(", "), extra.mid(0, 8).join(", "));
    return missing.size() + extra.size();
}

// The registry as the plug-in keeps it in memory, changed by the commands
// the model itself chooses: only commands the plug-in must accept.
class Model
{
public:
    void reset(const Registry &registry)
    {
        m_records = registry.records;
        m_groups = QSet<QString>(registry.groups.cbegin(), registry.groups.cend());
    }

    // What a start finds after the commands so far: the saved groups (the
    // default group alone when none are saved) and every group a record
    // names, which a start creates again when the groups file lacks it.
    QStringList restartView() const
    {
        QSet<QString> groups = m_groups.isEmpty() ? QSet<QString>{DefaultGroup} : m_groups;
        for (const Record &r : m_records)
            groups.insert(r.group);
        return viewOf(m_records, QStringList(groups.cbegin(), groups.cend()));
    }

    // Chooses a command that is valid now, applies it to the model and
    // answers its shell line.
    QString next(Random &random)
    {
        // Weights of the cases below, which keep the registry between a
        // handful and a few hundred records and below about fifteen groups.
        const bool many = m_records.size() > 250, manyGroups = m_groups.size() > 14;
        const int weights[] = {many ? 5 : 30, many ? 25 : 10, many ? 12 : 5, manyGroups ? 1 : 12,
                               10,            manyGroups ? 14 : 5, 4, 8};
        const int groupsNeeded[] = {1, 0, 0, 0, 1, 1, 1, 2};
        QStringList groups(m_groups.cbegin(), m_groups.cend());
        groups.sort(); // the same seed gives the same choices
        const auto somePath = [&] { return fmt("D:/s/p%1.py", random.between(1, 8)); };
        const auto freshName = [&](const char *ascii, const char *chinese) {
            return fmt("%1%2", random.chance(20) ? chinese : ascii, ++m_serial);
        };
        for (;;) {
            int roll = random.between(0, std::accumulate(std::begin(weights), std::end(weights), 0) - 1), kind = 0;
            while (roll >= weights[kind])
                roll -= weights[kind++];
            if (groups.size() < groupsNeeded[kind])
                continue;
            switch (kind) {
            case 0: { // strategy add; now and then a name removed earlier, which must be free again
                const QString group = random.pick(groups);
                QString path = somePath(), name = freshName("s", "策略");
                int count = random.between(1, 5);
                if (!m_removed.isEmpty() && random.chance(25)) {
                    const Record &old = random.pick(m_removed);
                    if (std::none_of(m_records.cbegin(), m_records.cend(),
                                     [&](const Record &r) { return r.path == old.path && r.name == old.name; })) {
                        path = old.path;
                        name = old.name;
                        count = 1;
                    }
                }
                for (int i = 0; i < count; ++i)
                    m_records.append(Record{0, i == 0 ? name : name + '_' + QString::number(i), path, group});
                const bool named = group != DefaultGroup || random.chance(50);
                return fmt("strategy add %1 %2 --count %3%4", path, name, count,
                           named ? QString(" --group " + group) : "");
            }
            case 1: { // strategy remove ID, of a record whose id is known
                QVector<qint64> known;
                for (const Record &r : qAsConst(m_records))
                    known.append(r.id);
                known.removeAll(0);
                if (known.isEmpty())
                    continue;
                const qint64 id = random.pick(known);
                forgetWhere([&](const Record &r) { return r.id == id; });
                return fmt("strategy remove %1", id);
            }
            case 2: { // strategy remove --path, usually of a path with records; one without is a valid no-op
                const QString path = !m_records.isEmpty() && random.chance(90) ? random.pick(m_records).path
                                                                                : somePath();
                forgetWhere([&](const Record &r) { return r.path == path; });
                return "strategy remove --path " + path;
            }
            case 3: // group add
                return "group add " + *m_groups.insert(freshName("g", "组"));
            case 5:   // group delete, with or without its strategies
            case 6: { // group cleanup: its strategies go, the group stays
                const QString group = random.pick(groups);
                const bool withStrategies = kind == 6 || random.chance(50);
                if (kind == 5)
                    m_groups.remove(group);
                if (withStrategies)
                    forgetWhere([&](const Record &r) { return r.group == group; });
                return fmt("group %1 %2%3", kind == 6 ? "cleanup" : "delete", group,
                           kind == 5 && withStrategies ? " --with-strategies" : "");
            }
            default: { // group rename (4): to a fresh name, or to one that only records still name
                       // (their group was deleted without them), whom the renamed group's strategies
                       // join; group merge (7): the strategies move, the source group stays
                const QString from = random.pick(groups);
                QString to = kind == 4 ? freshName("g", "组") : random.pick(groups);
                if (kind == 4) {
                    QStringList orphaned;
                    for (const Record &r : qAsConst(m_records))
                        orphaned.append(m_groups.contains(r.group) || r.group == DefaultGroup ? QString() : r.group);
                    orphaned.removeAll(QString());
                    orphaned.removeDuplicates();
                    if (!orphaned.isEmpty() && random.chance(30))
                        to = random.pick(orphaned);
                    m_groups.remove(from);
                    m_groups.insert(to);
                } else if (from == to) {
                    continue;
                }
                for (Record &r : m_records)
                    r.group = r.group == from ? to : r.group;
                return fmt("group %1 %2 %3", kind == 4 ? "rename" : "merge", from, to);
            }
            }
        }
    }

private:
    // Removes the matching records; the most recent removals are kept, as
    // their names may come back.
    template<typename Predicate>
    void forgetWhere(Predicate predicate)
    {
        for (int i = m_records.size() - 1; i >= 0; --i) {
            if (predicate(m_records.at(i)))
                m_removed.append(m_records.takeAt(i));
        }
        m_removed = m_removed.mid(qMax(0, m_removed.size() - 50));
    }

    QVector<Record> m_records;
    QSet<QString> m_groups;
    QVector<Record> m_removed;
    int m_serial = 0;
};

// ---------------------------------------------------------------------------
// Experiments

// What an experiment works with: a temporary folder, kept when the
// experiment fails so that its files can be looked at; its own random
// choices; its share of the time budget. An experiment fails when it
// reported a failure.
struct Experiment
{
    Home home(const QString &name) const
    {
        QDir().mkpath(dir.filePath(name));
        return Home{dir.filePath(name)};
    }

    // A failure, counted in `figure` when the experiment's line shows it.
    // Its details go to stderr, for the first few of an experiment only.
    void fail(const QString &text, int *figure = nullptr)
    {
        if (figure)
            ++*figure;
        if (++failures <= 5)
            std::fprintf(stderr, "  %s\n", qPrintable(text));
    }

    QTemporaryDir dir;
    Random random;
    QDeadlineTimer deadline;
    int failures = 0;
};

// Starts strategyctl on one folder once per argument list, all at once,
// with the input of the same index, and waits for every one.
QVector<Result> runAtOnce(const Home &home, const QVector<QStringList> &args, const QVector<QByteArray> &inputs)
{
    std::deque<QProcess> processes(args.size());
    for (int k = 0; k < args.size(); ++k)
        home.start(processes[k], args.at(k), inputs.at(k), true);
    QVector<Result> results;
    for (QProcess &process : processes)
        results.append(finish(process, 2 * ProcessTimeoutMs));
    return results;
}

// A shell receives a random valid sequence of registry commands and is
// killed with SIGKILL at a random moment. A restart must show the state
// after some prefix of the sequence at least as long as what was
// acknowledged, with every file readable and no temporary file left.
// One folder carries on over a series of rounds, so the files grow; the
// model starts each round from what the last restart showed.
QString killDuringRewrites(Experiment &e)
{
    constexpr int RoundsPerSeries = 25;
    int kills = 0, insideWrite = 0, outsidePrefix = 0, failedRestarts = 0, refused = 0, leftovers = 0, setAside = 0,
        hung = 0, early = 0;
    Model model;
    Home home;
    qint64 commandMicroseconds = 1000;

    for (int round = 0; !e.deadline.hasExpired(); ++round) {
        if (round % RoundsPerSeries == 0) {
            home = e.home(fmt("series-%1", round / RoundsPerSeries + 1));
            const Registry fresh = readRegistry(home);
            if (!fresh.error.isEmpty())
                e.fail("a fresh folder cannot be listed: " + fresh.error, &failedRestarts);
            model.reset(fresh);
        }
        QStringList lines, numbered;
        QVector<QStringList> views{model.restartView()}; // views[k]: after the first k commands
        const int commands = e.random.between(10, 60);
        for (int i = 0; i < commands; ++i) {
            lines.append(model.next(e.random));
            numbered.append(fmt("%1: %2", i + 1, lines.last()));
            views.append(model.restartView());
        }

        // stdin stays open: the shell would otherwise finish by itself.
        QProcess shell;
        QElapsedTimer running;
        running.start();
        home.start(shell, {"--json", "shell"}, lines.join('\n').toUtf8() + '\n');
        QByteArray out;
        const int target = e.random.between(0, commands - 1);
        if (!waitForAnswers(shell, &out, target) && shell.state() != QProcess::NotRunning)
            e.fail(fmt("round %1: no answer to command %2 within 30 s", round, target), &hung);
        // The kill lands anywhere in the next command or two: the delay
        // follows how long a command takes on this disk.
        if (target >= 5)
            commandMicroseconds = qBound<qint64>(100, running.nsecsElapsed() / 1000 / target, 25000);
        QThread::usleep(e.random.between(0, int(2 * commandMicroseconds)));
        const bool alive = shell.state() != QProcess::NotRunning;
        shell.kill();
        const Result killed = finish(shell, 10000);
        const Answers answers(out + killed.out);
        ++kills;
        if (!alive)
            e.fail(fmt("round %1: the shell ended before the kill: exit %2, stderr: %3", round, killed.exitCode,
                       killed.err.trimmed().left(300)),
                   &early);
        for (const QString &refusal : answers.refusals)
            e.fail(fmt("round %1: a valid command refused: %2", round, refusal), &refused);
        // A temporary file or a change record still there: the kill came
        // in the middle of replacing a file or of a two-file change.
        insideWrite += !entries(home.path).filter(Leftover).isEmpty();

        const Registry seen = readRegistry(home);
        const QString evidence = e.dir.filePath(fmt("evidence-round-%1", round));
        if (!seen.error.isEmpty()) {
            e.fail(fmt("round %1: restart failed: %2; files in %3", round, seen.error, evidence), &failedRestarts);
            copyTree(home.path, evidence);
            round = (round / RoundsPerSeries + 1) * RoundsPerSeries - 1; // a new folder for the next round
            continue;
        }
        for (const QString &file : entries(home.path).filter(Leftover))
            e.fail(fmt("round %1: left after the restart: %2", round, file), &leftovers);
        for (const QString &file : entries(home.path).filter(SetAside))
            e.fail(fmt("round %1: set aside by the restart: %2", round, file), &setAside);

        const QStringList view = viewOf(seen.records, seen.groups);
        int k = answers.ok.size();
        while (k <= commands && views.at(k) != view)
            ++k;
        if (k > commands) {
            // The prefix whose state is nearest to what the restart shows.
            QString nearest;
            int closest = qMin(int(answers.ok.size()), commands);
            for (int j = closest + 1; j <= commands; ++j) {
                if (compare(views.at(j), view, &nearest) < compare(views.at(closest), view, &nearest))
                    closest = j;
            }
            compare(views.at(closest), view, &nearest);
            e.fail(fmt("round %1: %2 of %3 commands answered, but the restart shows the state after no prefix of "
                       "at least that length; nearest is the state after %4 commands, against which it has %5. "
                       "Files after the restart in %6. Commands: %7",
                       round, answers.ok.size(), commands, closest, nearest, evidence, numbered.join(" / ")),
                   &outsidePrefix);
            copyTree(home.path, evidence);
        }
        model.reset(seen);
    }
    return fmt("%1 kills (%2 inside a write), %3 states outside a command prefix, %4 failed restarts, %5 refused "
               "valid commands, %6 leftover temporary files, %7 files set aside as unreadable, %8 hung shells, "
               "%9 shells ended before the kill",
               kills, insideWrite, outsidePrefix, failedRestarts, refused, leftovers, setAside, hung, early);
}

// What a start shows of a folder, for the import experiment: its export
// without the time of the export, and the fixed strategies' ids as their
// ranks (every run draws ids from the same sequence).
QString exportedState(const Home &home, const QString &file)
{
    const Result r = home.run({"export", file});
    if (!r.exited(0))
        return "export failed: " + r.describe();
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    o.remove("exportedAt");
    QJsonArray strategies = o.value("fixedStrategies").toArray();
    for (int i = 0; i < strategies.size(); ++i) {
        QJsonObject s = strategies.at(i).toObject();
        s.insert("id", i + 1);
        strategies.replace(i, s);
    }
    o.insert("fixedStrategies", strategies);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// A bundle of `strategies` fixed strategies (some copies of one file, so
// that copy indexes are set), three groups, locks, instances with times,
// days and a remembered product.
QByteArray importBundle(int strategies)
{
    QJsonArray list, locks, instances, days;
    for (int i = 0; i < strategies; ++i) {
        const QString file = fmt("D:/b/s%1.py", i / 3);
        list.append(QJsonObject{{"id", i + 1}, {"name", fmt("s%1", i)}, {"filePath", file},
                                {"group", fmt("组%1", i % 3)}, {"extraInfo", fmt("e%1", i)}, {"copyIndex", i % 3}});
        if (i % 20 == 0)
            locks.append(file);
    }
    for (int i = 0; i < 20; ++i) {
        const QString id = QString::number(5000 + i);
        instances.append(QJsonObject{{"instanceId", id}, {"runMode", 2}, {"fundAccount", "880001"},
                                     {"returnRegInfo", "ok"}, {"startTime", "2026-12-01T09:30:00"},
                                     {"endTime", "2026-12-01T15:00:00"}});
        days.append(QJsonObject{{"instanceId", id}, {"date", "2026-12-01"}, {"initialFunds", 1000 + i},
                                {"endFunds", 1100.5 + i}});
    }
    QJsonArray groups;
    for (int g = 0; g < 3; ++g)
        groups.append(QJsonObject{{"name", fmt("组%1", g)}, {"createTime", "2026-01-02T03:04:05"}});
    groups.append(QJsonObject{{"name", DefaultGroup}, {"createTime", QJsonValue()}});
    const QJsonObject o{{"format", "strategylogic-bundle"}, {"version", 1}, {"exportedAt", "2026-12-07T09:30:00"},
                        {"user", "demo01"}, {"fixedStrategies", list}, {"groups", groups}, {"locks", locks},
                        {"instances", instances}, {"backtestDays", days}, {"lastProduct", "P001"},
                        {"lastFundAccount", ""}, {"runMode", 0}, {"pythonPath", "/opt/py"}};
    return QJsonDocument(o).toJson();
}

// strategyctl import --merge or --replace killed with SIGKILL at a random
// moment of its run. A restart (which finishes an interrupted import) must
// show the state before the import or after all of it; a merge run again
// afterwards must give the state of one merge.
QString killDuringImports(Experiment &e)
{
    int runs = 0, befores = 0, afters = 0, other = 0, rerunsOff = 0, early = 0;
    const QString bundle = e.dir.filePath("bundle.json");
    const QString stateFile = e.dir.filePath("state.json");
    QFile out(bundle);
    if (!out.open(QIODevice::WriteOnly) || out.write(importBundle(60)) < 0)
        return "cannot write the bundle";
    out.close();
    const Home seeded = e.home("seeded");
    const Result seed = seeded.run({"shell"}, "group add 旧组\nstrategy add D:/o/s.py s --group 旧组 --count 2\n"
                                              "strategy add D:/o/old.py old\nlock on D:/o/old.py\n"
                                              "instance add 5000 1 --account 1\n");
    if (!seed.exited(0))
        return "cannot seed the folder: " + seed.describe();
    struct Mode { const char *name; QString before, after; qint64 micros = 0; } modes[] = {{"--merge"}, {"--replace"}};
    for (Mode &mode : modes) {
        const Home before = e.home(fmt("before%1", mode.name));
        const Home after = e.home(fmt("after%1", mode.name));
        copyTree(seeded.path + "/.", before.path);
        copyTree(seeded.path + "/.", after.path);
        mode.before = exportedState(before, stateFile);
        QElapsedTimer timer;
        timer.start();
        const Result whole = after.run({"import", mode.name, bundle});
        mode.micros = timer.nsecsElapsed() / 1000;
        if (!whole.exited(0))
            return fmt("import %1 failed: %2", mode.name, whole.describe());
        mode.after = exportedState(after, stateFile);
    }
    for (int round = 0; !e.deadline.hasExpired(); ++round) {
        const Mode &mode = modes[round % 2];
        const Home home = e.home(fmt("round-%1", round));
        copyTree(seeded.path + "/.", home.path);
        QProcess import;
        home.start(import, {"import", mode.name, bundle}, {}, true);
        QThread::usleep(e.random.between(0, int(qMin<qint64>(mode.micros * 6 / 5, 20000000))));
        const bool alive = import.state() != QProcess::NotRunning;
        import.kill();
        finish(import, 10000);
        ++runs;
        early += !alive;
        const QString seen = exportedState(home, stateFile);
        if (seen == mode.before) {
            ++befores;
        } else if (seen == mode.after) {
            ++afters;
        } else {
            e.fail(fmt("round %1 (%2): the restart shows neither the state before nor after the import; files in %3",
                       round, mode.name, home.path),
                   &other);
            continue;
        }
        if (qstrcmp(mode.name, "--merge") == 0) {
            home.run({"import", mode.name, bundle});
            if (exportedState(home, stateFile) != mode.after)
                e.fail(fmt("round %1: the merge run again gives another state than one merge; files in %2", round,
                           home.path),
                       &rerunsOff);
        }
        if (other == 0 && rerunsOff == 0)
            QDir(home.path).removeRecursively();
    }
    return fmt("%1 runs, %2 states other than before or after (%3 before, %4 after, %5 ended before the kill), "
               "%6 merges run again that differ from one merge",
               runs, other, befores, afters, early, rerunsOff);
}

// Six one-shot `strategy add ... --count 50` on one folder, started at
// once. A process that answered 0 stored all its records, one that
// answered otherwise stored none. Every other round passes --wait 0, so
// that some are turned away (exit 3) while another holds the folder; the
// others wait up to a minute for their turn.
QString concurrentWriters(Experiment &e)
{
    constexpr int Writers = 6, Copies = 50;
    int rounds = 0, lost = 0, acknowledged = 0, refused = 0, storedByRefused = 0, crashed = 0, unexpected = 0;

    for (; rounds < 2 || !e.deadline.hasExpired(); ++rounds) {
        const Home home = e.home(fmt("round-%1", rounds + 1));
        QVector<QStringList> args;
        for (int k = 1; k <= Writers; ++k)
            args.append({"--wait", rounds % 2 ? "0" : "60", "strategy", "add", fmt("D:/s/p%1.py", k), fmt("n%1", k),
                         "--count", QString::number(Copies)});
        const QVector<Result> results = runAtOnce(home, args, QVector<QByteArray>(Writers));
        const Registry registry = readRegistry(home);
        if (!registry.error.isEmpty())
            e.fail(fmt("round %1: the folder cannot be listed: %2", rounds + 1, registry.error), &unexpected);
        QMap<QString, QStringList> names; // of the stored records, by path
        for (const Record &r : registry.records)
            names[r.path].append(r.name);
        for (int k = 1; k <= Writers; ++k) {
            const Result &result = results.at(k - 1);
            const QString label = fmt("round %1 writer %2", rounds + 1, k);
            QStringList stored = names.value(fmt("D:/s/p%1.py", k));
            if (result.crashed) {
                e.fail(label + ": " + result.describe(), &crashed);
            } else if (result.exitCode == 0) {
                acknowledged += Copies;
                int missing = 0;
                for (int i = 0; i < Copies; ++i)
                    missing += stored.removeOne(i == 0 ? fmt("n%1", k) : fmt("n%1_%2", k, i)) ? 0 : 1;
                lost += missing;
                if (missing || !stored.isEmpty())
                    e.fail(fmt("%1 answered 0 but %2 of its %3 records are missing, %4 extra are stored", label,
                               missing, Copies, stored.size()),
                           &unexpected);
            } else {
                // The plug-in has no reason to refuse these adds: only
                // "folder in use" is expected.
                ++refused;
                storedByRefused += stored.size();
                if (result.exitCode != 3)
                    e.fail(label + ": " + result.describe(), &unexpected);
                if (!stored.isEmpty())
                    e.fail(fmt("%1 was refused but %2 of its records are stored", label, stored.size()));
            }
        }
    }
    return fmt("%1 rounds, lost %2 of %3 acknowledged records, %4 writers refused (folder in use), %5 records "
               "stored by refused writers, %6 crashed, %7 unexpected answers",
               rounds, lost, acknowledged, refused, storedByRefused, crashed, unexpected);
}

// Six shells on one folder, started at once, each adding 20 groups; they
// take turns holding the folder. Every group whose add was answered ok is
// in the groups a later start lists.
QString concurrentShells(Experiment &e)
{
    constexpr int Shells = 6, Groups = 20;
    int rounds = 0, lost = 0, acknowledged = 0, refused = 0, badExits = 0;

    for (; rounds < 1 || !e.deadline.hasExpired(); ++rounds) {
        const Home home = e.home(fmt("round-%1", rounds + 1));
        QVector<QByteArray> inputs(Shells);
        for (int i = 0; i < Shells * Groups; ++i)
            inputs[i / Groups] += fmt("group add w%1x%2\n", i / Groups + 1, i % Groups + 1).toUtf8();
        const QVector<Result> results
            = runAtOnce(home, QVector<QStringList>(Shells, {"--json", "--wait", "120", "shell"}), inputs);
        const Registry registry = readRegistry(home);
        if (!registry.error.isEmpty())
            e.fail(fmt("round %1: the folder cannot be listed: %2", rounds + 1, registry.error), &lost);
        for (int k = 1; k <= Shells; ++k) {
            const Result &result = results.at(k - 1);
            if (!result.exited(0))
                e.fail(fmt("round %1 shell %2: %3", rounds + 1, k, result.describe()), &badExits);
            const Answers answers(result.out);
            for (const QString &refusal : answers.refusals)
                e.fail(fmt("round %1 shell %2 refused: %3", rounds + 1, k, refusal), &refused);
            for (int i = 1; i <= answers.ok.size(); ++i) {
                acknowledged += answers.ok.at(i - 1);
                if (answers.ok.at(i - 1) && !registry.groups.contains(fmt("w%1x%2", k, i)))
                    e.fail(fmt("round %1: group w%2x%3 was answered ok but is not stored", rounds + 1, k, i), &lost);
            }
        }
    }
    return fmt("%1 rounds, lost %2 of %3 acknowledged groups, %4 refused, %5 shells not exiting 0", rounds, lost,
               acknowledged, refused, badExits);
}

// The rows of a table as `db TABLE --json` prints them, by instance id
// (and "/DATE" where the table has a date). A failure is added to `error`.
QMap<QString, QJsonObject> tableRows(const Home &home, const QString &table, QString *error)
{
    QMap<QString, QJsonObject> byKey;
    for (const QJsonValue &value : home.list({"db", table}, error)) {
        const QJsonObject row = value.toObject();
        const QString date = row.value("date").toVariant().toString();
        byKey.insert(row.value("instance_id").toVariant().toString() + (date.isEmpty() ? QString() : QString("/" + date)),
                     row);
    }
    return byKey;
}

QByteArray compact(const QJsonObject &object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

// Another program holds sarvek.db locked while a shell registers 150
// instances and 150 finished backtest days, and until that shell has
// ended. Once the lock is let go, the next start of strategyctl must bring
// every row into the tables. Runs with an exclusive lock (nobody may
// read) and an immediate one (others may read, not write).
QString databaseHeldElsewhere(Experiment &e)
{
    constexpr int Rows = 150;
    int lost = 0, expected = 0, problems = 0;
    QStringList shellExits;

    for (const char *mode : {"exclusive", "immediate"}) {
        const Home home = e.home(mode);
        QProcess locker;
        locker.start(TEST_HELPER_DIR "/dblocker", {home.path + "/sarvek.db", mode});
        QByteArray said;
        while (!said.contains("locked\n") && locker.waitForReadyRead(10000))
            said += locker.readAllStandardOutput();
        if (!said.contains("locked\n")) {
            locker.kill();
            e.fail(fmt("%1: dblocker did not take the lock: %2", mode, finish(locker, 10000).err), &problems);
            continue;
        }
        QByteArray input;
        for (int i = 1; i <= Rows; ++i)
            input += fmt("instance add %1 2\ncash init %1 2024-03-01 %2\ncash end %1 2024-03-01 %3\n", 5000 + i,
                         10000 + i, 20000 + i)
                         .toUtf8();
        const Result shell = home.run({"--json", "shell"}, input);
        const int accepted = Answers(shell.out).accepted();
        shellExits.append(fmt("%1 %2", mode, shell.crashed ? "crashed" : QString::number(shell.exitCode)));
        if (shell.crashed || accepted != 3 * Rows)
            e.fail(fmt("%1: the shell answered %2 of %3 commands ok: %4", mode, accepted, 3 * Rows, shell.describe()),
                   &problems);
        locker.closeWriteChannel(); // lets the lock go
        finish(locker, 30000);

        const Result start = home.run({"status"});
        QString error = start.exited(0) ? QString() : "the start after the lock was let go: " + start.describe();
        const QMap<QString, QJsonObject> instances = tableRows(home, "instance_info", &error),
                                         days = tableRows(home, "backtest_daycash", &error);
        if (!error.isEmpty())
            e.fail(fmt("%1: %2", mode, error), &problems);
        for (int i = 1; i <= Rows; ++i) {
            const QString id = QString::number(5000 + i);
            const QJsonObject instance = instances.value(id), day = days.value(id + "/20240301");
            if (instance.value("run_mode").toVariant().toString() != "2")
                e.fail(fmt("%1: instance %2 is missing or wrong: %3", mode, id, compact(instance)), &lost);
            if (day.value("initial_funds").toVariant().toDouble() != 10000 + i
                || day.value("end_funds").toVariant().toDouble() != 20000 + i)
                e.fail(fmt("%1: the day cash of %2 is missing or wrong: %3", mode, id, compact(day)), &lost);
        }
        expected += 2 * Rows;
    }
    return fmt("lost %1 of %2 rows, %3 other problems, shells exited %4", lost, expected, problems,
               shellExits.join(", "));
}

// A shell registers instances and gets SIGTERM, SIGINT or SIGHUP with its
// stdin still open: once after every command was answered, once at a
// random moment. It must end with 128 + the signal, and every instance it
// acknowledged must be in instance_info.
QString signalsEndShells(Experiment &e)
{
    constexpr int Instances = 80;
    const std::pair<int, const char *> kinds[] = {{SIGTERM, "TERM"}, {SIGINT, "INT"}, {SIGHUP, "HUP"}};
    const int shells = 2 * int(std::size(kinds));
    int wrongExits = 0, lost = 0, acknowledged = 0, problems = 0;

    for (const auto &kind : kinds) {
        for (const bool whenDone : {true, false}) {
            const QString label
                = fmt("SIG%1 %2", kind.second, whenDone ? "after the last answer" : "at a random moment");
            const Home home = e.home(fmt("%1-%2", kind.second, whenDone ? "done" : "random"));
            QByteArray input;
            for (int i = 1; i <= Instances; ++i)
                input += fmt("instance add %1 %2\n", 7000 + i, i % 3).toUtf8();
            QProcess shell;
            home.start(shell, {"--json", "shell"}, input);
            // At least one answer first: before then the process may not yet
            // have its signal handlers.
            QByteArray out;
            waitForAnswers(shell, &out, whenDone ? Instances : e.random.between(1, Instances - 1));
            if (!whenDone)
                QThread::usleep(e.random.between(0, 2000));
            // processId() is 0 for a process known to have ended, and
            // kill(0, ...) would signal this whole process group.
            if (shell.state() != QProcess::NotRunning)
                ::kill(pid_t(shell.processId()), kind.first);
            const Result result = finish(shell, 60000);
            const Answers answers(out + result.out);
            if (!result.exited(128 + kind.first))
                e.fail(label + ": " + result.describe(), &wrongExits);
            if (whenDone && answers.accepted() != Instances)
                e.fail(fmt("%1: %2 of %3 commands answered ok", label, answers.accepted(), Instances), &problems);
            QString error;
            const QMap<QString, QJsonObject> instances = tableRows(home, "instance_info", &error);
            if (!error.isEmpty())
                e.fail(label + ": " + error, &problems);
            for (int i = 1; i <= answers.ok.size(); ++i) {
                const QString mode = instances.value(QString::number(7000 + i)).value("run_mode").toVariant().toString();
                acknowledged += answers.ok.at(i - 1);
                if (answers.ok.at(i - 1) && mode != QString::number(i % 3))
                    e.fail(fmt("%1: instance %2 was answered ok but is not stored", label, 7000 + i), &lost);
            }
        }
    }
    return fmt("%1 of %2 shells exited 128+N, lost %3 of %4 acknowledged instance rows, %5 other problems",
               shells - wrongExits, shells, lost, acknowledged, problems);
}

// File systems mounted on one folder, unmounted when the object goes, also
// when the experiment fails half way.
struct Mounts
{
    QByteArray path;
    bool mounted = false;

    // Answers the error of mount(2), empty if none.
    QString mount(const char *source, const char *type, unsigned long flags, const char *data)
    {
        if (::mount(source, path, type, flags, data) != 0)
            return QString::fromLocal8Bit(std::strerror(errno));
        mounted = true;
        return {};
    }

    ~Mounts()
    {
        if (mounted && ::umount2(path, 0) != 0)
            ::umount2(path, MNT_DETACH); // something still has a file open there
    }
};

// The folder on a 2 MiB tmpfs filled to the last byte, or mounted read-only
// over itself. It is filled first with fixed strategies, groups, an
// instance and its day, a locked file and the settings, so that every
// changing command has something to change. Each changing command must
// fail and leave every file as it was, byte for byte; on the read-only
// folder the reading commands still work.
QString unwritableFolder(Experiment &e, bool readOnly)
{
    if (::geteuid() != 0)
        return "skipped, mounting needs root";
    const Home home = e.home("home");
    Mounts mounts{QFile::encodeName(home.path)};
    QString error = readOnly ? QString() : mounts.mount("tmpfs", "tmpfs", 0, "size=2m");
    if (!error.isEmpty())
        return "skipped, cannot mount a tmpfs (" + error + ")";
    const QByteArray setup = "strategy add D:/s/a.py a --count 3\ngroup add g1\ngroup add g2\ngroup add g3\n"
                             "strategy add D:/s/b.py b --count 2 --group g1\nstrategy add D:/s/c.py c --group g2\n"
                             "instance add 5 2\ncash init 5 2024-03-01 1000\ncash end 5 2024-03-01 1100\n"
                             "lock on D:/s/a.py\npython set C:/Python311\nproduct set P1\nfundaccount set F1\n";
    const Result filled = home.run({"--json", "shell"}, setup);
    const Registry registry = readRegistry(home);
    int refused = 0, answered = 0;
    if (!filled.exited(0) || Answers(filled.out).accepted() != setup.count('\n') || !registry.error.isEmpty()) {
        e.fail("setting up the folder: " + filled.describe() + "; " + registry.error);
        return "the folder could not be set up";
    }
    QStringList ignored;
    if (readOnly) {
        // A bind mount takes the read-only flag only in a remount. A failed
        // remount leaves the bind mount in place, to be undone.
        error = mounts.mount(mounts.path, nullptr, MS_BIND, nullptr);
        if (error.isEmpty())
            error = mounts.mount(nullptr, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
        if (!error.isEmpty())
            return "skipped, cannot bind-mount the folder read-only (" + error + ")";
    } else {
        // Unbuffered, so that the write that finds the disk full fails here.
        QFile filler(home.path + "/filler");
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            e.fail("cannot create the filler: " + filler.errorString());
            return "the disk could not be filled";
        }
        const QByteArray chunk(64 * 1024, 'x');
        while (filler.write(chunk) == chunk.size()) {}
        // Every start writes its name into the folder lock while it holds it.
        ignored = QStringList{"filler", "sarvek.lock"};
    }

    // `shell` is fed a day's cash, since a day is written only once its end
    // is reported.
    const char *const changing[] = {
        "strategy add D:/s/fresh.py fresh", "strategy add D:/s/fresh.py many --count 3 --group g1",
        "strategy modify {a_1} --name renamed", "strategy modify {a_1} --group g2",
        "strategy move D:/s/a.py D:/s/moved.py", "strategy remove {c}", "strategy remove --path D:/s/a.py",
        "group add g9", "group rename g1 g8", "group delete g1 --with-strategies", "group delete g3",
        "group cleanup g1", "group merge g1 g2", "python set C:/Other", "product set P9", "fundaccount set F9",
        "instance add 77 1", "lock on D:/s/new.py", "lock off D:/s/a.py", "shell"};
    const QByteArray cashSession = "instance add 78 2\ncash init 78 2024-03-02 500\ncash end 78 2024-03-02 600\n";
    const QStringList before = snapshot(home.path, ignored);
    for (const char *line : changing) {
        QString text = line;
        for (const Record &r : registry.records)
            text.replace("{" + r.name + "}", QString::number(r.id));
        const QStringList command = text.split(' ');
        const Result result = home.run(command, command.first() == "shell" ? cashSession : QByteArray());
        QString changed;
        const int changes = compare(before, snapshot(home.path, ignored), &changed);
        if (result.crashed || result.exitCode == 0)
            e.fail(fmt("'%1' %2", command.join(' '), result.exited(0) ? "answered 0" : result.describe()));
        if (changes)
            e.fail(fmt("'%1' changed the folder: %2", command.join(' '), changed));
        refused += !result.crashed && result.exitCode != 0 && !changes;
    }
    const QString figures = fmt("%1 of %2 changing commands refused with the folder unchanged byte for byte", refused,
                                int(std::size(changing)));
    if (!readOnly)
        return figures;

    const char *const reading[]
        = {"strategy list", "group list", "db instance_info", "db backtest_daycash", "python", "lock status D:/s/a.py"};
    for (const char *command : reading) {
        const Result result = home.run(QString(command).split(' '));
        answered += result.exited(0);
        if (!result.exited(0))
            e.fail(fmt("'%1': %2", command, result.describe()));
    }
    return figures + fmt(", %1 of %2 reading commands answered", answered, int(std::size(reading)));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    quint64 seed = QRandomGenerator::system()->generate64();
    int seconds = 180;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); i += 2) {
        bool ok = false;
        const qulonglong value = args.value(i + 1).toULongLong(&ok);
        if (ok && args.at(i) == "--seed") {
            seed = value;
        } else if (ok && args.at(i) == "--seconds" && value > 0 && value < 1000000) {
            seconds = int(value);
        } else {
            std::fprintf(stderr, "strategylogic_stress: '%s %s': unknown option or not a number\n"
                         "usage: strategylogic_stress [--seconds N] [--seed N]\n",
                         qPrintable(args.at(i)), qPrintable(args.value(i + 1)));
            return 2;
        }
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as soon as it is known, also into a pipe
    std::printf("strategylogic_stress: seed %llu, %d s (repeat with --seed %llu)\n", seed, seconds, seed);

    // The kill experiment gets the largest share of the budget. The others
    // take theirs and about 15 s of fixed cost, which leaves room for a
    // slower machine within the budget.
    const struct { const char *name, *title; int budgetPercent; QString (*run)(Experiment &); } experiments[] = {
        {"kill", "kill -9 during rewrites", 48, killDuringRewrites},
        {"import", "import killed", 12, killDuringImports},
        {"writers", "6 concurrent one-shot writers", 7, concurrentWriters},
        {"shells", "6 concurrent shells adding 20 groups each", 5, concurrentShells},
        {"dblock", "database held by another program (exclusive, immediate)", 0, databaseHeldElsewhere},
        {"signals", "signals (TERM, INT, HUP; after the last answer and at random)", 0, signalsEndShells},
        {"fulldisk", "full disk (2 MiB tmpfs)", 0, [](Experiment &e) { return unwritableFolder(e, false); }},
        {"readonly", "read-only folder", 0, [](Experiment &e) { return unwritableFolder(e, true); }},
    };
    int failures = 0;
    QElapsedTimer elapsed, lap;
    elapsed.start();
    for (const auto &entry : experiments) {
        lap.start();
        Experiment e{QTemporaryDir(QDir::tempPath() + "/strategylogic-stress-" + entry.name + "-XXXXXX"),
                     Random{std::mt19937_64(seed + quint64(&entry - experiments) + 1)},
                     QDeadlineTimer(qint64(seconds) * 10 * entry.budgetPercent)};
        // The id sequence of strategyctl lives in a folder of the
        // experiment, never in the user's own.
        qputenv("STRATEGYLOGIC_ID_DIR", QFile::encodeName(e.dir.filePath("ids")));
        const QString line = e.dir.isValid() ? entry.run(e) : "no temporary folder: " + e.dir.errorString();
        const bool failed = e.failures > 0 || !e.dir.isValid();
        e.dir.setAutoRemove(!failed);
        if (failed && e.dir.isValid())
            std::fprintf(stderr, "  files kept in %s\n", qPrintable(e.dir.path()));
        failures += failed;
        std::printf("%s %s: %s (%.0f s)\n", failed ? "FAIL" : "ok  ", entry.title, qPrintable(line),
                    lap.elapsed() / 1000.0);
    }
    std::printf("strategylogic_stress: %s in %.0f s (seed %llu)\n",
                failures ? qPrintable(fmt("%1 experiments FAILED", failures)) : "all experiments passed",
                elapsed.elapsed() / 1000.0, seed);
    return failures ? 1 : 0;
}
