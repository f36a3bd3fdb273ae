// strategylogic_tsan_stress: several threads use the plug-in object at once,
// the way a client's threads do, while the service writes its pending rows;
// built for ThreadSanitizer (`make tsan`), which reports any data race or
// lock-order inversion the run reaches.
//
//   strategylogic_tsan_stress [--seconds N] [--threads N] [--seed N]
//
// The plug-in works in an installation folder of its own (a temporary
// folder, as the tests' TestHome makes). The main thread initialises it,
// which makes the main thread the service's thread, and then runs the event
// loop that drives the service's periodic flush. Beside it run:
// - N workers (default 4), each drawing operations at random until the time
//   is up: fixed strategies added, changed, moved to another file and
//   removed; groups added, renamed, deleted and merged; strategy files
//   locked and unlocked; the registry's getters; instances registered and
//   given start and end times; backtest day cash reported and queried.
//   File paths and group names come from small shared pools, so the threads
//   meet on the same records; each worker has instances of its own, so that
//   what the database holds for them can be checked at the end;
// - a flusher that writes the pending rows again and again;
// - a listener thread whose event loop receives the plug-in's signals
//   through queued connections (the instance signals come relayed through
//   the plug-in's own thread). It only counts them: a slot that called back
//   into the plug-in would order the emitting threads with each other in
//   ThreadSanitizer's eyes (see QtTsanShim) and could hide a race between
//   them.
// The workers synchronise with nothing but the plug-in: their stop flag and
// counters are relaxed atomics, which order nothing.
//
// At the end the plug-in is shut down with exit() and the files are checked
// against what the plug-in answers: the data file parses and holds exactly
// getFixedStrategyList(); the name lists agree with the records; the groups
// file holds the groups; the database holds the workers' instances and
// finished days as the plug-in answers them, and the locked files; nothing
// is left pending. Prints the seed, one line of figures and the outcome;
// exits 1 when an invariant does not hold, 2 on a usage error.

#include "testsupport.h"

#include "registry/groupsfile.h"
#include "services/pendingjournal.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/fixedstrategyfile.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

const QString DefaultGroup = QStringLiteral("默认分组");
constexpr int PathCount = 8;
constexpr int GroupCount = 6;
constexpr int InstancesPerWorker = 12;
constexpr int CashInstancesPerWorker = 4;
constexpr int CashDays = 8;
const QDate FirstCashDay(2026, 3, 2);
constexpr qint64 FirstStartMs = 1764725400000;

QString poolPath(int i)
{
    return QStringLiteral("D:/strategies/s%1.py").arg(i);
}

QString poolGroup(int i)
{
    return QStringLiteral("G%1").arg(i);
}

// Instance ids are decimal numbers, as the client's are.
QString instanceId(int worker, int i)
{
    return QString::number(10000 + worker * 100 + i);
}

QString cashInstanceId(int worker, int i)
{
    return QString::number(20000 + worker * 100 + i);
}

// Counts of what the run did, shared by the threads without ordering them.
struct Figures
{
    std::atomic<qint64> operations{0};
    std::atomic<qint64> changesAccepted{0};
    std::atomic<qint64> flushes{0};
    std::atomic<qint64> signalsReceived{0};
    std::atomic<qint64> relayedSignals{0};
    std::atomic<int> criticalMessages{0};
};

Figures g_figures;
QtMessageHandler g_previousHandler = nullptr;

// Critical lines mean the plug-in lost or refused something it should not
// have; they are counted, and shown like every warning.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        ++g_figures.criticalMessages;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

// What one worker registered that only it changes: its instances and the
// days of its cash instances that have end funds.
struct WorkerRecord
{
    QStringList instances;
    QList<QPair<QString, QDate>> finishedDays;
};

class Worker
{
public:
    Worker(int index, quint64 seed, QDeadlineTimer deadline)
        : m_index(index)
        , m_random(seed)
        , m_deadline(deadline)
    {
    }

    void run()
    {
        while (!m_deadline.hasExpired()) {
            step();
            ++g_figures.operations;
        }
    }

    const WorkerRecord &record() const { return m_record; }

private:
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    bool chance(int percent) { return between(0, 99) < percent; }
    QString anyPath() { return poolPath(between(0, PathCount - 1)); }
    QString anyGroup() { return chance(20) ? DefaultGroup : poolGroup(between(0, GroupCount - 1)); }

    void accepted(bool ok)
    {
        if (ok)
            ++g_figures.changesAccepted;
    }

    // A record of the registry, or a default one (id -1) when it is empty.
    FixedStrategyInfo anyStrategy(StrategyFileLogicHandler &plugin)
    {
        const QList<FixedStrategyInfo> list = plugin.getFixedStrategyList();
        return list.isEmpty() ? FixedStrategyInfo() : list.at(between(0, list.size() - 1));
    }

    void step()
    {
        StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
        ++m_counter;
        switch (between(0, 19)) {
        case 0:
        case 1:
        case 2: {
            const QString path = anyPath();
            const QString name = chance(70) ? plugin.GetDefaultFixedStrategyName(path)
                                            : QStringLiteral("n%1_%2").arg(m_index).arg(m_counter);
            accepted(plugin.addFixedStrategy(path, name, anyGroup(), QStringLiteral("extra %1").arg(m_counter),
                                             between(1, 3)));
            break;
        }
        case 3: {
            FixedStrategyInfo info = anyStrategy(plugin);
            if (info.id < 0)
                break;
            info.extraInfo = QStringLiteral("changed by %1 at %2").arg(m_index).arg(m_counter);
            if (chance(30))
                info.group = anyGroup();
            if (chance(20))
                info.name = plugin.GetDefaultFixedStrategyName(info.filePath);
            accepted(plugin.modifyFixedStrategyInfo(int(info.id), info));
            break;
        }
        case 4:
            if (chance(30))
                accepted(plugin.modifyeStrategyFilePath(anyPath(), anyPath()));
            break;
        case 5: {
            const FixedStrategyInfo info = anyStrategy(plugin);
            if (info.id >= 0)
                accepted(plugin.delFixedStrategyInfoByID(info.id));
            break;
        }
        case 6:
            if (chance(25))
                accepted(plugin.delFixedStrategyInfoByFilePath(anyPath()));
            break;
        case 7:
            switch (between(0, 3)) {
            case 0:
                accepted(plugin.addGroup(poolGroup(between(0, GroupCount - 1))).isEmpty());
                break;
            case 1:
                accepted(plugin.renameGroup(poolGroup(between(0, GroupCount - 1)), poolGroup(between(0, GroupCount - 1)))
                             .isEmpty());
                break;
            case 2:
                accepted(plugin.deleteGroup(poolGroup(between(0, GroupCount - 1)), chance(50)));
                break;
            case 3:
                accepted(plugin.regroupAllStrategy(poolGroup(between(0, GroupCount - 1)), anyGroup(), chance(30)));
                break;
            }
            break;
        case 8:
            accepted(plugin.changeFileLockState(anyPath(), chance(50)));
            break;
        case 9:
        case 10: {
            const QString path = anyPath();
            plugin.getFixedStrategyList();
            plugin.getAllStrategyGroupNameSorted();
            plugin.GetDefaultFixedStrategyName(path);
            plugin.isFixedStrategy(path);
            plugin.getFixedStrateNameList(path);
            plugin.getFileLockState(path);
            plugin.getAllStrategyGroups();
            break;
        }
        case 11:
        case 12:
        case 13: {
            const QString id = instanceId(m_index, between(0, InstancesPerWorker - 1));
            accepted(plugin.addInstanceRunMode(id, between(0, 3), QStringLiteral("88000%1").arg(m_index),
                                               QStringLiteral("reg %1").arg(m_counter)));
            if (!m_record.instances.contains(id))
                m_record.instances.append(id);
            break;
        }
        case 14: {
            if (m_record.instances.isEmpty())
                break;
            const QString id = m_record.instances.at(between(0, m_record.instances.size() - 1));
            const QDateTime start = QDateTime::fromMSecsSinceEpoch(FirstStartMs + m_counter * 1000, Qt::UTC);
            accepted(plugin.setInstanceStartEndTime(id, start, start.addSecs(between(60, 3600))));
            break;
        }
        case 15: {
            if (m_record.instances.isEmpty())
                break;
            const QString id = m_record.instances.at(between(0, m_record.instances.size() - 1));
            plugin.getInstanceInfo(id);
            plugin.getInstanceRunMode(id);
            plugin.getLastReturnInstanceRegInfo();
            break;
        }
        case 16:
        case 17: {
            // A day is reported whole, initial funds then end funds, so that
            // its last report always finishes it.
            const QString id = cashInstanceId(m_index, between(0, CashInstancesPerWorker - 1));
            const QDate day = FirstCashDay.addDays(between(0, CashDays - 1));
            const int initial = between(1000, 99999);
            plugin.addBackTestInitCashInfo(id, day, initial);
            plugin.addBackTestInitCashEndInfo(id, day, initial + between(-500, 500));
            const QPair<QString, QDate> key(id, day);
            if (!m_record.finishedDays.contains(key))
                m_record.finishedDays.append(key);
            break;
        }
        case 18:
        case 19: {
            const QString id = cashInstanceId(m_index, between(0, CashInstancesPerWorker - 1));
            QList<BackTestCashInfo> days;
            plugin.queryBackTestCashInfo(id, days);
            double initial = 0, end = 0;
            plugin.queryBackTestCashInfo(id, FirstCashDay.addDays(between(0, CashDays - 1)), initial, end);
            break;
        }
        }
    }

    int m_index;
    std::mt19937_64 m_random;
    QDeadlineTimer m_deadline;
    qint64 m_counter = 0;
    WorkerRecord m_record;
};

// ---------------------------------------------------------------------------
// Checks after exit()

class Checks
{
public:
    void expect(bool condition, const QString &what)
    {
        if (condition)
            return;
        ++m_failures;
        std::fprintf(stderr, "invariant broken: %s\n", qPrintable(what));
    }
    int failures() const { return m_failures; }

private:
    int m_failures = 0;
};

QString describe(const FixedStrategyInfo &info)
{
    return QStringLiteral("{%1, %2, %3, %4, %5, %6}")
        .arg(info.id)
        .arg(info.name, info.filePath, info.group, info.extraInfo)
        .arg(info.copyIndex);
}

void checkRegistry(StrategyFileLogicHandler &plugin, const TestHome &home, Checks &checks)
{
    const auto byId = [](const FixedStrategyInfo &a, const FixedStrategyInfo &b) { return a.id < b.id; };
    QList<FixedStrategyInfo> registry = plugin.getFixedStrategyList();
    std::sort(registry.begin(), registry.end(), byId);

    const QString dataPath = FixedStrategyFile::path(home.path(), plugin.getCurUserId());
    const QByteArray content = readFile(dataPath);
    checks.expect(QFileInfo::exists(dataPath) || registry.isEmpty(), QStringLiteral("no data file at ") + dataPath);
    FixedStrategyFile::Skipped skipped;
    QList<FixedStrategyInfo> stored = FixedStrategyFile::parse(content, &skipped);
    std::sort(stored.begin(), stored.end(), byId);
    checks.expect(skipped.lines == 0, QStringLiteral("the data file has %1 lines that do not parse, the first is line %2")
                                          .arg(skipped.lines)
                                          .arg(skipped.firstLine));
    checks.expect(stored.size() == registry.size(), QStringLiteral("the data file holds %1 records, the registry %2")
                                                         .arg(stored.size())
                                                         .arg(registry.size()));
    for (int i = 0; i < std::min(stored.size(), registry.size()); ++i) {
        if (stored.at(i) != registry.at(i)) {
            checks.expect(false, QStringLiteral("the data file holds %1 where the registry has %2")
                                     .arg(describe(stored.at(i)), describe(registry.at(i))));
            break;
        }
    }
    for (int i = 1; i < stored.size(); ++i)
        checks.expect(stored.at(i - 1).id != stored.at(i).id, QStringLiteral("id %1 twice in the data file").arg(stored.at(i).id));

    // Every record's name is listed under its file, and nothing else is.
    QMap<QString, QStringList> names;
    for (const FixedStrategyInfo &info : qAsConst(registry))
        names[info.filePath].append(info.name);
    for (int i = 0; i < PathCount; ++i)
        names[poolPath(i)];
    for (auto it = names.begin(); it != names.end(); ++it) {
        QStringList expected = it.value(), listed = plugin.getFixedStrateNameList(it.key());
        expected.sort();
        listed.sort();
        checks.expect(listed == expected, QStringLiteral("names listed for %1: %2; names of its records: %3")
                                              .arg(it.key(), listed.join(QLatin1Char('|')), expected.join(QLatin1Char('|'))));
        checks.expect(plugin.isFixedStrategy(it.key()) == !expected.isEmpty(),
                      QStringLiteral("isFixedStrategy(%1) disagrees with the records").arg(it.key()));
    }

    QStringList groups;
    for (const SarvekGroupInfo &group : plugin.getAllStrategyGroups())
        groups.append(group.name);
    groups.sort();
    const QString groupsPath = QFileInfo(dataPath).absolutePath() + QLatin1Char('/') + QLatin1String(GroupsFile::FileName);
    QStringList storedGroups = GroupsFile::parse(readFile(groupsPath)).keys();
    storedGroups.sort();
    checks.expect(storedGroups == groups, QStringLiteral("the groups file holds %1, the plug-in %2")
                                              .arg(storedGroups.join(QLatin1Char('|')), groups.join(QLatin1Char('|'))));
}

QString msecsText(const QDateTime &time)
{
    return time.isValid() ? QString::number(time.toMSecsSinceEpoch()) : QStringLiteral("NULL");
}

void checkDatabase(StrategyFileLogicHandler &plugin, const TestHome &home, const std::vector<WorkerRecord> &records,
                   Checks &checks)
{
    const QString db = home.filePath(QStringLiteral("sarvek.db"));
    for (const WorkerRecord &record : records) {
        for (const QString &id : record.instances) {
            const InstanceInfo info = plugin.getInstanceInfo(id);
            const QList<QStringList> rows = querySql(
                db, QStringLiteral("select run_mode, fund_account, return_reginfo, start_time, end_time from "
                                   "instance_info where instance_id = '%1'")
                        .arg(id));
            const QStringList expected = {QString::number(info.runMode), info.fundAccount, info.returnRegInfo,
                                          msecsText(info.startTime), msecsText(info.endTime)};
            checks.expect(rows == QList<QStringList>{expected},
                          QStringLiteral("instance %1: the database holds %2, the plug-in answers %3")
                              .arg(id, rows.isEmpty() ? QStringLiteral("no row") : rows.first().join(QLatin1Char('|')),
                                   expected.join(QLatin1Char('|'))));
        }
        for (const auto &[id, day] : record.finishedDays) {
            double initial = 0, end = 0;
            checks.expect(plugin.queryBackTestCashInfo(id, day, initial, end),
                          QStringLiteral("the plug-in does not know day %1 of %2").arg(day.toString(Qt::ISODate), id));
            const QList<QStringList> rows =
                querySql(db, QStringLiteral("select initial_funds, end_funds from backtest_daycash where instance_id = "
                                            "'%1' and date = '%2'")
                                 .arg(id, day.toString(QStringLiteral("yyyyMMdd"))));
            checks.expect(rows.size() == 1 && rows.first().size() == 2 && rows.first().at(0).toDouble() == initial
                              && rows.first().at(1).toDouble() == end,
                          QStringLiteral("day %1 of %2: the database holds %3, the plug-in answers %4|%5")
                              .arg(day.toString(Qt::ISODate), id,
                                   rows.isEmpty() ? QStringLiteral("no row") : rows.first().join(QLatin1Char('|')))
                              .arg(initial)
                              .arg(end));
        }
    }
    QStringList locked, lockedRows;
    for (int i = 0; i < PathCount; ++i) {
        if (plugin.getFileLockState(poolPath(i)))
            locked.append(poolPath(i));
    }
    for (const QStringList &row : querySql(db, QStringLiteral("select file_path from strategyfileinfo")))
        lockedRows.append(row.value(0));
    locked.sort();
    lockedRows.sort();
    checks.expect(lockedRows == locked, QStringLiteral("locked files in the database: %1; in the plug-in: %2")
                                            .arg(lockedRows.join(QLatin1Char('|')), locked.join(QLatin1Char('|'))));

    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    checks.expect(service->pendingInstanceCount() == 0 && service->pendingCashCount() == 0,
                  QStringLiteral("rows still pending after exit(): %1 instances, %2 days")
                      .arg(service->pendingInstanceCount())
                      .arg(service->pendingCashCount()));
    checks.expect(!QFileInfo::exists(PendingJournal::path(home.path())),
                  QStringLiteral("a journal of pending rows was left: ") + PendingJournal::path(home.path()));
}

bool parseArguments(const QStringList &args, int *seconds, int *threads, quint64 *seed)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (i + 1 >= args.size())
            return false;
        bool ok = false;
        if (arg == QLatin1String("--seconds"))
            *seconds = args.at(++i).toInt(&ok);
        else if (arg == QLatin1String("--threads"))
            *threads = args.at(++i).toInt(&ok);
        else if (arg == QLatin1String("--seed"))
            *seed = args.at(++i).toULongLong(&ok);
        if (!ok)
            return false;
    }
    return *seconds > 0 && *threads > 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int seconds = 30, threads = 4;
    quint64 seed = quint64(QDateTime::currentMSecsSinceEpoch());
    if (!parseArguments(app.arguments(), &seconds, &threads, &seed)) {
        std::fprintf(stderr, "usage: strategylogic_tsan_stress [--seconds N] [--threads N] [--seed N]\n");
        return 2;
    }
    std::printf("strategylogic_tsan_stress: seed %llu, %d s, %d workers\n", static_cast<unsigned long long>(seed),
                seconds, threads);
    std::fflush(stdout);

    // Debug lines would be most of the run's work (the flush of a row
    // already in the database logs its failing INSERT each time).
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\nstrategylogic.info=false"));
    g_previousHandler = qInstallMessageHandler(messageHandler);

    TestHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder: %s\n", qPrintable(home.errorString()));
        return 1;
    }
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize(); // on this thread: the service and its flush timer live here
    if (!plugin.isInitialized()) {
        std::fprintf(stderr, "the plug-in did not initialise\n");
        return 1;
    }
    for (int i = 0; i < GroupCount / 2; ++i)
        plugin.addGroup(poolGroup(i));

    // The listener: an event loop of its own, the plug-in's signals queued to it.
    QThread listenerThread;
    auto *listener = new QObject;
    listener->moveToThread(&listenerThread);
    QObject::connect(&listenerThread, &QThread::finished, listener, &QObject::deleteLater);
    const auto count = [] { ++g_figures.signalsReceived; };
    QObject::connect(&plugin, &StrategyFileLogicHandler::signalAddStrategy, listener, count);
    QObject::connect(&plugin, &StrategyFileLogicHandler::signalStrategyModifyed, listener, count);
    QObject::connect(&plugin, &StrategyFileLogicHandler::signalFixedStrategyFileChanged, listener, count);
    QObject::connect(&plugin, &StrategyFileLogicHandler::signalFixedStrategyFileRemoved, listener, count);
    QObject::connect(&plugin, &StrategyFileLogicHandler::signalChangeFileLockState, listener, count);
    QObject::connect(&plugin, &StrategyFileLogicHandler::sigInstanceRunModeChange, listener, [](const QString &id, int) {
        if (!id.isEmpty())
            ++g_figures.relayedSignals;
    });
    listenerThread.start();

    std::atomic<bool> stopFlushing{false};
    std::unique_ptr<QThread> flusher(QThread::create([&stopFlushing] {
        StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
        while (!stopFlushing.load(std::memory_order_relaxed)) {
            service->flushPendingData();
            service->pendingInstanceCount();
            ++g_figures.flushes;
            QThread::yieldCurrentThread();
        }
    }));
    flusher->start();

    const QDeadlineTimer deadline(qint64(seconds) * 1000);
    std::vector<std::unique_ptr<Worker>> workers;
    std::vector<std::unique_ptr<QThread>> workerThreads;
    int running = threads;
    for (int i = 0; i < threads; ++i) {
        workers.emplace_back(new Worker(i, seed + quint64(i), deadline));
        Worker *worker = workers.back().get();
        workerThreads.emplace_back(QThread::create([worker] { worker->run(); }));
        // The last worker to finish ends the event loop.
        QObject::connect(workerThreads.back().get(), &QThread::finished, &app, [&running] {
            if (--running == 0)
                QCoreApplication::quit();
        });
    }
    for (auto &thread : workerThreads)
        thread->start();
    app.exec();

    for (auto &thread : workerThreads)
        thread->wait();
    stopFlushing.store(true, std::memory_order_relaxed);
    flusher->wait();
    listenerThread.quit();
    listenerThread.wait();

    plugin.exit();

    std::vector<WorkerRecord> records;
    for (const auto &worker : workers)
        records.push_back(worker->record());
    Checks checks;
    checkRegistry(plugin, home, checks);
    checkDatabase(plugin, home, records, checks);
    checks.expect(g_figures.criticalMessages.load() == 0,
                  QStringLiteral("%1 critical log lines").arg(g_figures.criticalMessages.load()));
    checks.expect(g_figures.relayedSignals.load() > 0,
                  QStringLiteral("no instance signal reached the listener through the plug-in's thread"));

    int instances = 0, days = 0;
    for (const WorkerRecord &record : records) {
        instances += record.instances.size();
        days += record.finishedDays.size();
    }
    std::printf("operations %lld (%lld changes accepted), flushes %lld, signals received %lld (%lld relayed), "
                "at the end %d strategies, %d groups, %d instances, %d finished days\n",
                static_cast<long long>(g_figures.operations.load()),
                static_cast<long long>(g_figures.changesAccepted.load()), static_cast<long long>(g_figures.flushes.load()),
                static_cast<long long>(g_figures.signalsReceived.load() + g_figures.relayedSignals.load()),
                static_cast<long long>(g_figures.relayedSignals.load()), int(plugin.getFixedStrategyList().size()),
                int(plugin.getAllStrategyGroups().size()), instances, days);
    if (checks.failures() > 0) {
        std::printf("FAILED: %d invariants broken\n", checks.failures());
        return 1;
    }
    std::printf("all invariants hold\n");
    return 0;
}
