// Timings and memory of the plug-in's heavy paths, each against a plain
// baseline measured in the same run on the same data, and how each path
// grows with the number of records.
//
// The table (the goal is a ratio to the baseline, or a bound in MB):
//
//   load100k       LoadFixedStrategyInfo of a 100,000-record data file, against
//                  reading the file and splitting it with std::string_view
//                  into a vector of plain structs plus an id hash index (as
//                  the store keeps one). Goal: at most 1.3 times.
//   rewrite100k    writeFixedStrategyInfoToFile of 100,000 records, against
//                  formatting the same plain records into one buffer and
//                  replacing the file with QSaveFile. Goal: at most 1.3 times.
//   flush10k       flushPendingData of 10,000 pending instance rows, against
//                  one prepared INSERT with bound parameters in one
//                  transaction. Goal: at most 1.5 times.
//   initialize10k  StrategyFileLogicHandler::initialize() over 10,000 fixed
//                  strategies, 10,000 instances and 10,000 day-cash rows (in a
//                  fresh process each run), against reading the same file and
//                  tables into plain structs. Goal: at most 2 times.
//   memory100k     peak resident memory of a process whose plug-in holds a
//                  user of 100,000 fixed strategies, minus that of one holding
//                  an empty user. Goal: at most 40 MB.
//   dryrun100k     importBundle() with the dry run of a bundle of 100,000 fixed
//                  strategies (and 10,000 instances and days) into an empty
//                  data folder, the read and check of the document included (in
//                  a fresh process each run). Goal: at most 5000 ms.
//   shell10mb      `strategyctl shell` fed a 10 MB unknown command between
//                  two commands, the whole process (its answer is a usage
//                  error, the line being over the 1 MiB bound). Goal: at
//                  most 1000 ms.
//   shell1mb       the same with an unknown command just under the bound,
//                  which is run and answered. Goal: at most 1000 ms.
//   deskstart100k  strategydesk (its probe, bench/deskprobe.cpp) over 100,000
//                  strategies, from the start of its process to the first
//                  paint of the whole list. Goal: at most 1500 ms.
//   deskfilter100k the worst keystroke of typing into its filter box and
//                  erasing the text, to the end of the repaint. Goal: at most
//                  50 ms.
//   deskmemory100k its peak resident memory, against that of `strategyctl
//                  strategy list` over the same user. Goal: at most 2 times.
//   deskinstances100k
//                  the probe opening on the Instances page over 100,000
//                  instances, from the start of its process to the first
//                  paint of the whole table. Goal: at most 1500 ms.
//   deskinstancefilter100k
//                  the worst keystroke of typing into the instance filter and
//                  erasing the text, to the end of the repaint. Goal: at most
//                  50 ms.
//   deskbacktest10k
//                  the Backtests page of that folder, from selecting one
//                  instance of 10,000 backtest days to the end of the paints
//                  of its chart and its days. Goal: at most 1000 ms.
//
// A row over its goal is marked OVER; the program still ends with status 0
// (it reports, it does not judge).
//
// The scale table: load, rewrite, add-one (addFixedStrategy of one record
// after initialize()), initialize (N strategies, N instances, N day-cash rows)
// and `strategyctl strategy list`, at 1k, 10k, 100k and 1M records, each run in
// a fresh process: the time (in the process for the plug-in's calls, the whole
// command for strategyctl) and the peak resident memory of that process
// (getrusage of a small launcher's child, so the bench's own memory is not
// counted). The growth per decade is time(10N) / time(N); above 13 the row is
// marked as growing faster than linearly. Then the bundle rows at 10k and
// 100k fixed strategies (N / 10 instances and days; above 64 MiB a document
// is refused, so not at 1M): bundle read (the text decoded and read as JSON),
// bundle check (checkBundle(), read and checked) and bundle dry run (as
// dryrun100k). Then the desk rows at 1k, 10k and 100k: desk start and desk
// filter (as deskstart100k and deskfilter100k, with the peak RSS of the
// client's process), desk instances and desk inst filter (as
// deskinstances100k and deskinstancefilter100k).
//
// Time zone: the bench leaves TZ as the environment has it and never sets it.
// The client runs with TZ unset, which is the case to measure (glibc then
// examines /etc/localtime at every local-time conversion).
//
// Usage: strategylogic_bench [--json] [--quick] [--desk] [--runs N] [--strategyctl PATH] [--deskprobe PATH]
//          --quick   the scale table at 1k..100k only (about a minute on 2
//                    cores); without it 1M too (a few minutes).
//          --desk    the desk rows only, of the table and of the scale.
//          --runs N  runs of each table row (default 5); the scale table runs
//                    each point 3 times (1M: once).
//        strategylogic_bench --prepare-start DIR [N]   N strategies, instances and days (N = 10000), to
//                                                     profile: --child initialize DIR 10000 DIR/ids;
//                                                     strategydesk_probe [--instances] DIR KEYS
//        strategylogic_bench --prepare-backtest DIR [DAYS]   adds instance 300000 with DAYS days
//                                                     (10000): strategydesk_probe --backtest DIR 300000

#include <StrategyLogic/strategybundle.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include "bundle/strictjsonreader.h"
#include "storage/fixedstrategyfile.h"
#include "storage/atomicfile.h"
#include "storage/installationlayout.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/strategyschema.h"
#include "storage/strategysqlite.h"

#include <interprocidservice.h>
#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {
constexpr char User[] = "bench";
// The data file initialize() reads: the demo host profile's user.
constexpr char DemoUser[] = "demo01";

struct PlainRecord
{
    long long id = 0;
    std::string name;
    std::string filePath;
    std::string group;
    std::string extraInfo;
    int copyIndex = 0;
};

struct PlainInstance
{
    std::string id;
    int runMode = 0;
    std::string fundAccount;
    std::string regInfo;
    long long start = 0;
    long long end = 0;
};

struct PlainCash
{
    std::string id;
    std::string date;
    double initial = 0;
    double end = 0;
};

// Median, minimum and maximum of the runs of one measurement.
struct Stat
{
    double median = 0;
    double min = 0;
    double max = 0;
    int runs = 0;
};

Stat stat(std::vector<double> values)
{
    Stat s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.median = values[values.size() / 2];
    s.min = values.front();
    s.max = values.back();
    s.runs = int(values.size());
    return s;
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

QString dataFilePath(const QString &app, const char *user = User)
{
    return FixedStrategyFile::path(app, QString::fromLatin1(user));
}

void writeDataFile(const QString &app, int records, const char *user = User)
{
    QString content;
    for (int i = 1; i <= records; ++i) {
        FixedStrategyInfo info;
        info.id = i;
        info.name = QStringLiteral("策略%1").arg(i);
        info.filePath = QStringLiteral("D:/strategies/group%1/strategy_%2.py").arg(i % 50).arg(i);
        info.group = i % 3 ? InstallationLayout::DefaultGroup : QStringLiteral("趋势跟踪");
        info.extraInfo = i % 2 ? QStringLiteral("{\"param\":%1}").arg(i) : QString();
        info.copyIndex = i % 4;
        FixedStrategyFile::appendLine(content, info);
    }
    QString error;
    if (!AtomicFile::replace(dataFilePath(app, user), content.toUtf8(), &error))
        qFatal("cannot write the data file: %s", qPrintable(error));
}

std::vector<PlainRecord> baselineParse(const std::string &content)
{
    std::vector<PlainRecord> records;
    std::string_view all(content);
    size_t lineStart = 0;
    while (lineStart < all.size()) {
        size_t lineEnd = all.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = all.size();
        const std::string_view line = all.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        std::string_view parts[6];
        size_t found = 0;
        size_t from = 0;
        while (found < 6) {
            const size_t at = line.find(",%&", from);
            if (at == std::string_view::npos) {
                parts[found++] = line.substr(from);
                break;
            }
            parts[found++] = line.substr(from, at - from);
            from = at + 3;
        }
        if (found < 6)
            continue;
        PlainRecord r;
        r.id = std::strtoll(std::string(parts[0]).c_str(), nullptr, 10);
        r.name = std::string(parts[1]);
        r.filePath = std::string(parts[2]);
        r.group = std::string(parts[3]);
        r.extraInfo = std::string(parts[4]);
        r.copyIndex = std::atoi(std::string(parts[5]).c_str());
        records.push_back(std::move(r));
    }
    return records;
}

std::string readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// One row of the table.
struct Row
{
    QString scenario;
    QString baselineText; // the baseline in words
    QString unit;         // "ms" or "MB"
    Stat ours;
    Stat baseline;        // runs == 0: no baseline, the goal is a bound
    double goal = 0;      // the highest ratio, or the highest value without a baseline

    double value() const { return baseline.runs ? ours.median / baseline.median : ours.median; }
    bool over() const { return value() > goal; }
};

Row benchLoad(const QString &root, int runs)
{
    const QString app = root + QStringLiteral("/load");
    QDir().mkpath(app);
    ZqApplicationDir::setPath(app);
    writeDataFile(app, 100000);
    std::vector<double> ours;
    std::vector<double> base;
    for (int i = 0; i < runs; ++i) {
        StrategySqlite store;
        int loaded = 0;
        ours.push_back(timeMs([&] { loaded = store.LoadFixedStrategyInfo(QString::fromLatin1(User)).size(); }));
        if (loaded != 100000)
            qFatal("loaded %d records", loaded);
        base.push_back(timeMs([&] {
            const std::vector<PlainRecord> records = baselineParse(readAll(dataFilePath(app)));
            std::unordered_map<long long, size_t> index;
            index.reserve(records.size());
            for (size_t r = 0; r < records.size(); ++r)
                index[records[r].id] = r;
            if (index.size() != 100000)
                qFatal("baseline parsed %zu records", index.size());
        }));
    }
    return {QStringLiteral("load100k"),
            QStringLiteral("the same file read whole and split with std::string_view into a vector of plain structs "
                           "plus an id hash index"),
            QStringLiteral("ms"), stat(ours), stat(base), 1.3};
}

Row benchWrite(const QString &root, int runs)
{
    const QString app = root + QStringLiteral("/write");
    QDir().mkpath(app);
    ZqApplicationDir::setPath(app);
    writeDataFile(app, 100000);
    StrategySqlite store;
    QList<FixedStrategyInfo> records = store.LoadFixedStrategyInfo(QString::fromLatin1(User));
    const std::vector<PlainRecord> plain = baselineParse(readAll(dataFilePath(app)));
    const QString basePath = app + QStringLiteral("/baseline.dat");
    std::vector<double> ours;
    std::vector<double> base;
    for (int i = 0; i < runs; ++i) {
        FixedStrategyInfo changed = records.first();
        changed.extraInfo = QString::number(i);
        store.modifyFixedStrategyInfo(changed); // makes the store dirty
        ours.push_back(timeMs([&] { store.writeFixedStrategyInfoToFile(QString::fromLatin1(User)); }));
        base.push_back(timeMs([&] {
            std::string out;
            out.reserve(plain.size() * 96);
            char number[32];
            for (const PlainRecord &r : plain) {
                out.append(number, size_t(std::snprintf(number, sizeof number, "%lld", r.id)));
                out += ",%&";
                out += r.name;
                out += ",%&";
                out += r.filePath;
                out += ",%&";
                out += r.group;
                out += ",%&";
                out += r.extraInfo;
                out += ",%&";
                out.append(number, size_t(std::snprintf(number, sizeof number, "%d", r.copyIndex)));
                out += '\n';
            }
            QSaveFile file(basePath);
            if (!file.open(QIODevice::WriteOnly) || file.write(out.data(), qint64(out.size())) != qint64(out.size())
                || !file.commit())
                qFatal("baseline write failed");
        }));
    }
    if (readAll(dataFilePath(app)).size() < readAll(basePath).size() - 100)
        qFatal("the rewrite lost records");
    return {QStringLiteral("rewrite100k"),
            QStringLiteral("the same 100k plain records formatted into one std::string and saved with QSaveFile"),
            QStringLiteral("ms"), stat(ours), stat(base), 1.3};
}

Row benchFlush(const QString &root, int runs)
{
    const QString app = root + QStringLiteral("/flush");
    QDir().mkpath(app);
    ZqApplicationDir::setPath(app);
    QDir::setCurrent(app);
    StrategySqlite &store = StrategySqlite::instance();
    ZqFolderLock::acquire(app); // the flush writes only a folder this process holds
    StrategyCompilerCommerFuncs service;
    const QByteArray dbPath = store.databasePath().toUtf8();
    sqlite3 *db = nullptr;
    sqlite3_open(dbPath.constData(), &db);
    sqlite3_busy_timeout(db, 5000);
    auto count = [&] {
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "select count(*) from instance_info", -1, &stmt, nullptr);
        sqlite3_step(stmt);
        const int n = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
        return n;
    };
    std::vector<double> ours;
    std::vector<double> base;
    for (int i = 0; i < runs; ++i) {
        sqlite3_exec(db, "delete from instance_info", nullptr, nullptr, nullptr);
        for (int n = 0; n < 10000; ++n)
            service.addInstanceRunMode(QString::number(100000 + n), n % 3, QStringLiteral("88%1").arg(n % 100, 4, 10, QLatin1Char('0')),
                                       QStringLiteral("registered %1").arg(n));
        ours.push_back(timeMs([&] { service.flushPendingData(); }));
        if (count() != 10000)
            qFatal("the flush wrote %d rows", count());

        sqlite3_exec(db, "delete from instance_info", nullptr, nullptr, nullptr);
        base.push_back(timeMs([&] {
            sqlite3_stmt *stmt = nullptr;
            sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
            sqlite3_prepare_v2(db,
                               "INSERT INTO instance_info (instance_id,run_mode,fund_account,return_reginfo,create_date) "
                               "VALUES (?1,?2,?3,?4,?5)",
                               -1, &stmt, nullptr);
            const int today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toInt();
            for (int n = 0; n < 10000; ++n) {
                const std::string id = std::to_string(100000 + n);
                char account[16];
                std::snprintf(account, sizeof account, "88%04d", n % 100);
                const std::string reg = "registered " + std::to_string(n);
                sqlite3_bind_text(stmt, 1, id.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(stmt, 2, n % 3);
                sqlite3_bind_text(stmt, 3, account, -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(stmt, 4, reg.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(stmt, 5, today);
                sqlite3_step(stmt);
                sqlite3_reset(stmt);
            }
            sqlite3_finalize(stmt);
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        }));
        if (count() != 10000)
            qFatal("the baseline wrote %d rows", count());
    }
    sqlite3_close(db);
    return {QStringLiteral("flush10k"),
            QStringLiteral("one prepared INSERT with bound parameters for the same 10k rows, in one transaction"),
            QStringLiteral("ms"), stat(ours), stat(base), 1.5};
}

// The local database of an installation folder with the plug-in's tables,
// created by its own statements when missing.
sqlite3 *openTables(const QString &app)
{
    const QByteArray dbPath = (app + QStringLiteral("/sarvek.db")).toUtf8();
    sqlite3 *db = nullptr;
    if (sqlite3_open(dbPath.constData(), &db) != SQLITE_OK)
        qFatal("cannot open %s", dbPath.constData());
    for (const StrategySchema::Table &table : StrategySchema::tables()) {
        if (sqlite3_exec(db, table.createStatement, nullptr, nullptr, nullptr) != SQLITE_OK)
            qFatal("cannot create %s: %s", table.name, sqlite3_errmsg(db));
    }
    return db;
}

// The create_date of rows made today: a start deletes the rows of earlier days.
QByteArray todayText()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toUtf8();
}

// An installation folder for initialize(): `strategies` fixed strategies of
// the demo user, `rows` instances and `rows` day-cash rows (20 days for each
// of rows / 20 back-test instances).
void prepareStart(const QString &app, int strategies, int rows)
{
    QDir().mkpath(app);
    writeDataFile(app, strategies, DemoUser);
    sqlite3 *db = openTables(app);
    const QByteArray today = todayText();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *instance = nullptr;
    sqlite3_stmt *cash = nullptr;
    sqlite3_prepare_v2(db, "insert into instance_info values(?1,?2,?3,'ok',?4,?5,?6)", -1, &instance, nullptr);
    sqlite3_prepare_v2(db, "insert into backtest_daycash values(?1,?2,NULL,1000000,1012000.5,?3)", -1, &cash, nullptr);
    std::vector<QByteArray> days;
    for (int d = 0; d < 20; ++d)
        days.push_back(QDate(2026, 1, 1).addDays(d).toString(QStringLiteral("yyyyMMdd")).toUtf8());
    for (int n = 0; n < rows; ++n) {
        const std::string id = std::to_string(100000 + n);
        const std::string account = "88" + std::to_string(n % 100);
        const std::string start = std::to_string(1764725400000LL + n * 60000LL); // every instance its own times
        const std::string end = std::to_string(1764748800000LL + n * 60000LL);
        sqlite3_bind_text(instance, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(instance, 2, n % 3);
        sqlite3_bind_text(instance, 3, account.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(instance, 4, today.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(instance, 5, start.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(instance, 6, end.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(instance);
        sqlite3_reset(instance);
        const std::string backtest = std::to_string(200000 + n / 20);
        sqlite3_bind_text(cash, 1, backtest.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(cash, 2, days[size_t(n % 20)].constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(cash, 3, today.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(cash);
        sqlite3_reset(cash);
    }
    sqlite3_finalize(instance);
    sqlite3_finalize(cash);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The backtest instance of the desk's Backtests row.
constexpr char BacktestInstance[] = "300000";

// Registers BacktestInstance as a backtest instance in the installation
// folder `app` with `days` consecutive days of day cash from 2000-01-03 on,
// the funds of a day starting where the day before ended; in one transaction.
void prepareBacktest(const QString &app, int days)
{
    QDir().mkpath(app);
    sqlite3 *db = openTables(app);
    const QByteArray today = todayText();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *instance = nullptr;
    sqlite3_prepare_v2(db, "insert or replace into instance_info values(?1,?2,'88001','ok',?3,NULL,NULL)", -1,
                       &instance, nullptr);
    sqlite3_bind_text(instance, 1, BacktestInstance, -1, SQLITE_STATIC);
    sqlite3_bind_int(instance, 2, OPERATE_BACKTEST);
    sqlite3_bind_text(instance, 3, today.constData(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(instance) != SQLITE_DONE)
        qFatal("cannot register the backtest instance: %s", sqlite3_errmsg(db));
    sqlite3_finalize(instance);
    sqlite3_stmt *cash = nullptr;
    sqlite3_prepare_v2(db, "insert or replace into backtest_daycash values(?1,?2,'88001',?3,?4,?5)", -1, &cash,
                       nullptr);
    const QDate first(2000, 1, 3);
    double funds = 1000000;
    unsigned seed = 12345;
    for (int d = 0; d < days; ++d) {
        // A day's return between -1% and +1.1%, the same in every run.
        seed = seed * 1103515245u + 12345u;
        const double end = funds * (1.0 + (double((seed >> 16) % 2101) - 1000.0) / 100000.0);
        const QByteArray date = first.addDays(d).toString(QStringLiteral("yyyyMMdd")).toUtf8();
        sqlite3_bind_text(cash, 1, BacktestInstance, -1, SQLITE_STATIC);
        sqlite3_bind_text(cash, 2, date.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(cash, 3, funds);
        sqlite3_bind_double(cash, 4, end);
        sqlite3_bind_text(cash, 5, today.constData(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(cash) != SQLITE_DONE)
            qFatal("cannot write a backtest day: %s", sqlite3_errmsg(db));
        sqlite3_reset(cash);
        funds = end;
    }
    sqlite3_finalize(cash);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("cannot commit the backtest days: %s", sqlite3_errmsg(db));
    sqlite3_close(db);
}

double baselineStart(const QString &app, size_t expected)
{
    return timeMs([&] {
        const std::vector<PlainRecord> records = baselineParse(readAll(dataFilePath(app, DemoUser)));
        std::vector<PlainInstance> instances;
        std::vector<PlainCash> cash;
        sqlite3 *db = nullptr;
        sqlite3_open_v2((app + QStringLiteral("/sarvek.db")).toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "select instance_id,run_mode,fund_account,return_reginfo,start_time,end_time from instance_info",
                           -1, &stmt, nullptr);
        auto text = [&](int col) {
            const unsigned char *t = sqlite3_column_text(stmt, col);
            return t ? std::string(reinterpret_cast<const char *>(t)) : std::string();
        };
        while (sqlite3_step(stmt) == SQLITE_ROW)
            instances.push_back({text(0), std::atoi(text(1).c_str()), text(2), text(3), std::atoll(text(4).c_str()),
                                 std::atoll(text(5).c_str())});
        sqlite3_finalize(stmt);
        sqlite3_prepare_v2(db, "select instance_id,date,initial_funds,end_funds from backtest_daycash", -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            cash.push_back({text(0), text(1), std::atof(text(2).c_str()), std::atof(text(3).c_str())});
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        if (records.size() != expected || instances.size() != expected || cash.size() != expected)
            qFatal("baseline start read %zu/%zu/%zu", records.size(), instances.size(), cash.size());
    });
}

// A bundle of `strategies` fixed strategies (four copies of each file, in
// three groups), strategies / 10 instances with their times and as many
// backtest days, laid out as export writes it.
void writeBundle(const QString &path, int strategies)
{
    QByteArray out = "{\n    \"format\": \"strategylogic-bundle\",\n    \"version\": 1,\n"
                     "    \"exportedAt\": \"2026-12-07T09:30:00\",\n    \"user\": \"demo01\",\n"
                     "    \"fixedStrategies\": [\n";
    out.reserve(strategies * 200);
    const char *groups[] = {"默认分组", "趋势跟踪", "套利"};
    for (int i = 1; i <= strategies; ++i) {
        out += "        {\"id\": " + QByteArray::number(i) + ", \"name\": \"策略" + QByteArray::number(i)
            + "\", \"filePath\": \"D:/strategies/group" + QByteArray::number(i % 50) + "/strategy_"
            + QByteArray::number((i + 3) / 4) + ".py\", \"group\": \"" + groups[i % 3] + "\", \"extraInfo\": \""
            + (i % 2 ? "{\\\"param\\\":" + QByteArray::number(i) + "}" : QByteArray()) + "\", \"copyIndex\": "
            + QByteArray::number((i - 1) % 4) + (i < strategies ? "},\n" : "}\n");
    }
    out += "    ],\n    \"groups\": [\n        {\"name\": \"套利\", \"createTime\": \"2026-01-05T10:00:00\"},\n"
           "        {\"name\": \"趋势跟踪\", \"createTime\": \"2026-01-05T10:00:01\"},\n"
           "        {\"name\": \"默认分组\", \"createTime\": null}\n    ],\n    \"locks\": [],\n    \"instances\": [\n";
    const int rows = strategies / 10;
    for (int n = 0; n < rows; ++n)
        out += "        {\"instanceId\": \"" + QByteArray::number(100000 + n) + "\", \"runMode\": 2, \"fundAccount\": \"88"
            + QByteArray::number(n % 100) + "\", \"returnRegInfo\": \"ok\", \"startTime\": \"2026-12-01T09:30:00\", "
            "\"endTime\": \"2026-12-01T15:00:00\"}" + (n + 1 < rows ? ",\n" : "\n");
    out += "    ],\n    \"backtestDays\": [\n";
    for (int n = 0; n < rows; ++n)
        out += "        {\"instanceId\": \"" + QByteArray::number(100000 + n) + "\", \"date\": \"2026-12-01\", "
            "\"initialFunds\": 1000000, \"endFunds\": 1012000.5}" + (n + 1 < rows ? ",\n" : "\n");
    out += "    ],\n    \"lastProduct\": \"P001\",\n    \"lastFundAccount\": \"\",\n    \"runMode\": 0,\n"
           "    \"pythonPath\": \"\"\n}\n";
    QString error;
    if (!AtomicFile::replace(path, out, &error))
        qFatal("cannot write the bundle: %s", qPrintable(error));
}

QString bundlePath(const QString &folder)
{
    return folder + QStringLiteral("/bundle.json");
}

// The bundle scenarios of a child: the time of reading, checking or a dry
// run of the bundle of `strategies` in `folder`, or -1.
double bundleChild(const QString &scenario, const QString &folder, int strategies)
{
    QFile file(bundlePath(folder));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    if (scenario == QLatin1String("bundleread")) {
        QJsonValue root;
        QList<StrategyLogic::BundleProblem> problems;
        BundleProblems noted(&problems);
        const double ms = timeMs([&] { StrictJsonReader(QString::fromUtf8(bytes)).read(&root, &noted); });
        const int read = root.toObject().value(QStringLiteral("fixedStrategies")).toArray().size();
        return problems.isEmpty() && read == strategies ? ms : -1;
    }
    if (scenario == QLatin1String("bundlecheck")) {
        QList<StrategyLogic::BundleProblem> problems;
        const double ms = timeMs([&] { problems = StrategyLogic::checkBundle(bytes); });
        return problems.isEmpty() ? ms : -1;
    }
    // The dry run, into the empty data folder of `folder`.
    const QString app = folder + QStringLiteral("/app");
    QDir().mkpath(app);
    ZqApplicationDir::setPath(app);
    QDir::setCurrent(folder);
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    StrategyLogic::BundleImportResult result;
    const double ms = timeMs([&] {
        result = StrategyLogic::importBundle(bundlePath(folder), StrategyLogic::BundleImportMode::Merge, true);
    });
    plugin.exit();
    const int expected = strategies + 2 + 2 * (strategies / 10) + 1; // two groups new, the product set
    if (result.outcome != StrategyLogic::BundleImportResult::DryRun || result.changes.size() < expected) {
        std::fprintf(stderr, "the dry run of %d strategies answered %d with %d changes\n", strategies,
                     int(result.outcome), int(result.changes.size()));
        return -1;
    }
    return ms;
}

// ---- Child processes ------------------------------------------------------

// Launcher mode, before anything else is set up so that it stays small:
// --spawn RESULT quiet|keep PROGRAM ARGS... runs PROGRAM (its output to
// /dev/null, or kept), waits for it and writes "<wait status> <peak RSS kB>
// <wall ms>" to RESULT. The child's peak RSS comes from wait4(): a child
// forked from the big bench process would carry the bench's own resident
// memory into its figure.
int spawnMain(int argc, char **argv)
{
    if (argc < 5)
        return 2;
    const char *result = argv[2];
    const bool quiet = std::strcmp(argv[3], "quiet") == 0;
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    const pid_t pid = fork();
    if (pid < 0)
        return 2;
    if (pid == 0) {
        if (quiet) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0)
                dup2(null, STDOUT_FILENO);
        }
        execv(argv[4], argv + 4);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    std::memset(&usage, 0, sizeof usage);
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return 2;
    }
    clock_gettime(CLOCK_MONOTONIC, &t1);
    const double ms = double(t1.tv_sec - t0.tv_sec) * 1e3 + double(t1.tv_nsec - t0.tv_nsec) / 1e6;
    FILE *out = std::fopen(result, "w");
    if (!out)
        return 2;
    std::fprintf(out, "%d %ld %.3f\n", status, long(usage.ru_maxrss), ms);
    std::fclose(out);
    return 0;
}

struct ChildRun
{
    bool ok = false;
    QByteArray output; // the child's standard output (unless quiet)
    double wallMs = 0;
    double peakMb = 0;
};

// Runs PROGRAM ARGS through the launcher (a fresh copy of this program),
// its stdin from the file `input` when one is named.
ChildRun runChild(const QString &resultPath, const QString &program, const QStringList &args, bool quiet,
                  const QString &input = QString())
{
    std::vector<QByteArray> words{QFile::encodeName(QCoreApplication::applicationFilePath()), QByteArray("--spawn"),
                                  QFile::encodeName(resultPath), QByteArray(quiet ? "quiet" : "keep"),
                                  QFile::encodeName(program)};
    for (const QString &arg : args)
        words.push_back(arg.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    ChildRun run;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        qFatal("pipe: %s", std::strerror(errno));
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0)
        qFatal("fork: %s", std::strerror(errno));
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        if (!input.isEmpty()) {
            const int in = open(QFile::encodeName(input).constData(), O_RDONLY);
            if (in < 0)
                _exit(127);
            dup2(in, STDIN_FILENO);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0)
            run.output.append(buffer, int(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    QFile result(resultPath);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !result.open(QIODevice::ReadOnly))
        return run;
    const QList<QByteArray> fields = result.readAll().simplified().split(' ');
    result.close();
    result.remove();
    if (fields.size() != 3)
        return run;
    const int childStatus = fields[0].toInt();
    run.ok = WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0;
    run.peakMb = fields[1].toDouble() / 1024.0;
    run.wallMs = fields[2].toDouble();
    return run;
}

// Child mode: --child SCENARIO APP N IDS, one measured call in a fresh
// process; prints its time in ms.
//   load        LoadFixedStrategyInfo of the demo user's N records
//   rewrite     writeFixedStrategyInfoToFile of the N records after one change
//   addone      addFixedStrategy of one record after initialize()
//   initialize  initialize() over N strategies, N instances, N day-cash rows
//   hold        initialize() over N strategies, checked by lookups, then nothing
// `records` when the first and the last record of a data file of that many
// are held, else 0.
int heldRecords(StrategyFileLogicHandler &plugin, int records)
{
    if (records == 0)
        return 0;
    const FixedStrategyInfo first = plugin.getFixedStrateyInfoByID(1);
    const FixedStrategyInfo last = plugin.getLastFixedStrategyInfo();
    return first.id == 1 && last.id == records && plugin.isFixedStrategy(last.filePath) ? records : 0;
}

int childMain(const QString &scenario, const QString &app, int records)
{
    ZqApplicationDir::setPath(app);
    QDir::setCurrent(app);
    const QString user = QString::fromLatin1(DemoUser);
    double ms = 0;
    if (scenario.startsWith(QLatin1String("bundle"))) {
        ms = bundleChild(scenario, app, records);
        if (ms < 0) {
            std::fprintf(stderr, "%s of %d strategies failed\n", qPrintable(scenario), records);
            return 1;
        }
    } else if (scenario == QLatin1String("load") || scenario == QLatin1String("rewrite")) {
        StrategySqlite store;
        QList<FixedStrategyInfo> loaded;
        const double loadMs = timeMs([&] { loaded = store.LoadFixedStrategyInfo(user); });
        if (loaded.size() < records) {
            std::fprintf(stderr, "loaded %d of %d records\n", int(loaded.size()), records);
            return 1;
        }
        ms = loadMs;
        if (scenario == QLatin1String("rewrite")) {
            FixedStrategyInfo changed = loaded.first();
            changed.extraInfo = QStringLiteral("changed");
            store.modifyFixedStrategyInfo(changed);
            bool written = false;
            ms = timeMs([&] { written = store.writeFixedStrategyInfoToFile(user); });
            if (!written) {
                std::fprintf(stderr, "the rewrite of %d records failed\n", records);
                return 1;
            }
        }
    } else {
        StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
        const double startMs = timeMs([&] { plugin.initialize(); });
        // Holding is checked by lookups: a list of all records would be a
        // copy of them, which a client makes only to show them.
        const int loaded = scenario == QLatin1String("hold") ? heldRecords(plugin, records)
                                                             : plugin.getFixedStrategyList().size();
        if (loaded < records) {
            std::fprintf(stderr, "initialize loaded %d of %d strategies\n", loaded, records);
            return 1;
        }
        ms = startMs;
        if (scenario == QLatin1String("initialize") && records >= 20) {
            QList<BackTestCashInfo> days;
            if (plugin.getInstanceRunMode(QStringLiteral("100000")) != 0
                || !plugin.queryBackTestCashInfo(QStringLiteral("200000"), days) || days.size() != 20) {
                std::fprintf(stderr, "initialize found %d days of instance 200000\n", int(days.size()));
                return 1;
            }
        } else if (scenario == QLatin1String("addone")) {
            static int serial = 0;
            const QString path = QStringLiteral("D:/strategies/added/added_%1_%2.py")
                                     .arg(QCoreApplication::applicationPid())
                                     .arg(++serial);
            bool added = false;
            ms = timeMs([&] {
                added = plugin.addFixedStrategy(path, QStringLiteral("added"), InstallationLayout::DefaultGroup, QString(), 1);
            });
            if (!added || plugin.getFixedStrategyList().size() != loaded + 1) {
                std::fprintf(stderr, "addFixedStrategy over %d records failed\n", loaded);
                return 1;
            }
        }
        plugin.exit();
    }
    std::printf("%.3f\n", ms);
    return 0;
}

// ---- The table and the scale ----------------------------------------------

struct Bench
{
    QString root;
    QString ids;
    QString strategyctl;
    QString deskProbe;

    QString resultPath() const { return root + QStringLiteral("/child.result"); }

    ChildRun child(const QString &scenario, const QString &app, int records) const
    {
        const ChildRun run = runChild(resultPath(), QCoreApplication::applicationFilePath(),
                                      {QStringLiteral("--child"), scenario, app, QString::number(records), ids}, false);
        if (!run.ok)
            qFatal("the %s child over %d records failed", qPrintable(scenario), records);
        return run;
    }
    double childMs(const ChildRun &run) const { return run.output.trimmed().toDouble(); }
};

Row benchInitialize(const Bench &bench, int runs)
{
    const QString app = bench.root + QStringLiteral("/start");
    prepareStart(app, 10000, 10000);
    std::vector<double> ours;
    std::vector<double> base;
    for (int i = 0; i < runs; ++i) {
        ours.push_back(bench.childMs(bench.child(QStringLiteral("initialize"), app, 10000)));
        base.push_back(baselineStart(app, 10000));
    }
    return {QStringLiteral("initialize10k"),
            QStringLiteral("the same data file split with std::string_view and both tables read with sqlite3 "
                           "selects, into plain structs"),
            QStringLiteral("ms"), stat(ours), stat(base), 2.0};
}

Row benchMemory(const Bench &bench, int runs)
{
    const QString empty = bench.root + QStringLiteral("/hold0");
    const QString full = bench.root + QStringLiteral("/hold100k");
    prepareStart(empty, 0, 0);
    prepareStart(full, 100000, 0);
    std::vector<double> emptyMb;
    std::vector<double> fullMb;
    for (int i = 0; i < runs; ++i) {
        emptyMb.push_back(bench.child(QStringLiteral("hold"), empty, 0).peakMb);
        fullMb.push_back(bench.child(QStringLiteral("hold"), full, 100000).peakMb);
    }
    const double emptyMedian = stat(emptyMb).median;
    for (double &mb : fullMb)
        mb -= emptyMedian;
    return {QStringLiteral("memory100k"),
            QStringLiteral("none, the goal is a bound: peak RSS of a process holding a 100k-record user minus "
                           "that of one holding an empty user (%1 MB)")
                .arg(emptyMedian, 0, 'f', 1),
            QStringLiteral("MB"), stat(fullMb), Stat(), 40.0};
}

Row benchDryRun(const Bench &bench, int runs)
{
    const QString folder = bench.root + QStringLiteral("/dryrun100k");
    QDir().mkpath(folder);
    writeBundle(bundlePath(folder), 100000);
    std::vector<double> ours;
    for (int i = 0; i < runs; ++i)
        ours.push_back(bench.childMs(bench.child(QStringLiteral("bundledryrun"), folder, 100000)));
    QDir(folder).removeRecursively();
    return {QStringLiteral("dryrun100k"),
            QStringLiteral("none, the goal is a bound: importBundle() dry run of a 100k-strategy bundle (%1 MB) into "
                           "an empty data folder, the read and check included")
                .arg(double(100000) * 190 / 1e6, 0, 'f', 0),
            QStringLiteral("ms"), stat(ours), Stat(), 5000.0};
}

// `strategyctl shell` fed `lineBytes` bytes of an unknown command between
// two commands; the whole process, in a fresh folder each run.
Row benchShellLine(const Bench &bench, int runs, const QString &scenario, int lineBytes)
{
    const QString input = bench.root + QStringLiteral("/shell-input");
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly)
        || file.write("group add before\n" + QByteArray(lineBytes, 'x') + "\ngroup add after\n") < lineBytes)
        qFatal("cannot write %s", qPrintable(input));
    file.close();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const QString app = bench.root + QStringLiteral("/shell%1").arg(i);
        QDir().mkpath(app);
        const ChildRun run = runChild(bench.resultPath(), bench.strategyctl,
                                      {QStringLiteral("--home"), app, QStringLiteral("shell")}, true, input);
        if (run.wallMs <= 0)
            qFatal("%s shell did not run", qPrintable(bench.strategyctl));
        ms.push_back(run.wallMs);
        QDir(app).removeRecursively();
    }
    QFile::remove(input);
    return {scenario,
            QStringLiteral("none, the goal is a bound: the whole process, a %1-byte unknown command between two "
                           "group add lines")
                .arg(lineBytes),
            QStringLiteral("ms"), stat(ms), Stat(), 1000.0};
}

struct ScalePoint
{
    int records = 0;
    Stat ms;
    double peakMb = 0; // the highest of the runs
};

struct ScaleRow
{
    QString scenario;
    QString what;
    std::vector<ScalePoint> points;
};

constexpr double FasterThanLinear = 13.0;

std::vector<ScaleRow> benchScale(const Bench &bench, const std::vector<int> &sizes)
{
    std::vector<ScaleRow> rows{{QStringLiteral("load"), QStringLiteral("LoadFixedStrategyInfo of N records"), {}},
                               {QStringLiteral("initialize"), QStringLiteral("initialize() over N strategies, N instances, N day-cash rows"), {}},
                               {QStringLiteral("strategy list"), QStringLiteral("strategyctl strategy list of N records, the whole command"), {}},
                               {QStringLiteral("rewrite"), QStringLiteral("writeFixedStrategyInfoToFile of N records"), {}},
                               {QStringLiteral("add-one"), QStringLiteral("addFixedStrategy of one record beside N"), {}}};
    for (int n : sizes) {
        const QString app = bench.root + QStringLiteral("/scale%1").arg(n);
        prepareStart(app, n, n);
        const int runs = n >= 1000000 ? 1 : 3;
        for (ScaleRow &row : rows) {
            std::vector<double> times;
            ScalePoint point;
            point.records = n;
            for (int i = 0; i < runs; ++i) {
                ChildRun run;
                if (row.scenario == QLatin1String("strategy list")) {
                    run = runChild(bench.resultPath(), bench.strategyctl,
                                   {QStringLiteral("--home"), app, QStringLiteral("strategy"), QStringLiteral("list")}, true);
                    if (!run.ok)
                        qFatal("%s --home %s strategy list failed", qPrintable(bench.strategyctl), qPrintable(app));
                    times.push_back(run.wallMs);
                } else {
                    const QString scenario = row.scenario == QLatin1String("add-one") ? QStringLiteral("addone") : row.scenario;
                    run = bench.child(scenario, app, n);
                    times.push_back(bench.childMs(run));
                }
                point.peakMb = std::max(point.peakMb, run.peakMb);
            }
            point.ms = stat(times);
            row.points.push_back(point);
        }
        QDir(app).removeRecursively();
    }
    return rows;
}

// The bundle rows: read, check and dry run of bundles of N strategies.
std::vector<ScaleRow> benchBundleScale(const Bench &bench, const std::vector<int> &sizes)
{
    std::vector<ScaleRow> rows{
        {QStringLiteral("bundle read"), QStringLiteral("the JSON of a bundle of N strategies read into values"), {}},
        {QStringLiteral("bundle check"), QStringLiteral("checkBundle() of a bundle of N strategies: read and checked"), {}},
        {QStringLiteral("bundle dry run"),
         QStringLiteral("importBundle() dry run of a bundle of N strategies into an empty data folder"), {}}};
    const QStringList scenarios{QStringLiteral("bundleread"), QStringLiteral("bundlecheck"),
                                QStringLiteral("bundledryrun")};
    for (int n : sizes) {
        const QString folder = bench.root + QStringLiteral("/bundle%1").arg(n);
        QDir().mkpath(folder);
        writeBundle(bundlePath(folder), n);
        for (size_t r = 0; r < rows.size(); ++r) {
            std::vector<double> times;
            ScalePoint point;
            point.records = n;
            for (int i = 0; i < 3; ++i) {
                const ChildRun run = bench.child(scenarios.at(int(r)), folder, n);
                times.push_back(bench.childMs(run));
                point.peakMb = std::max(point.peakMb, run.peakMb);
                QDir(folder + QStringLiteral("/app")).removeRecursively();
            }
            point.ms = stat(times);
            rows[r].points.push_back(point);
        }
        QDir(folder).removeRecursively();
    }
    return rows;
}

QString recordsText(int n)
{
    return n >= 1000000 ? QStringLiteral("%1M").arg(n / 1000000) : n >= 1000 ? QStringLiteral("%1k").arg(n / 1000) : QString::number(n);
}

// The desk rows: strategydesk_probe on a folder of N strategies (and N
// instances and days), three runs at each size: the time from the start of
// the process to the first paint of the whole list, the worst keystroke of
// typing DeskKeys into the filter and erasing it (each key narrows or widens
// the list), and the peak resident memory of the process; the same for the
// Instances page, its table and its filter (InstanceKeys). At the largest
// size the goals, the memory against that of `strategyctl strategy list`
// holding the same user; then one backtest instance of BacktestDays days is
// added to that folder, and the Backtests page is timed from selecting it to
// the paint of its chart and days.
constexpr char DeskKeys[] = "strategy_77";
// Ids are 100000 on, accounts 88 and two digits: "1" keeps nearly all rows,
// "10077" a few.
constexpr char InstanceKeys[] = "10077";
constexpr int BacktestDays = 10000;

// One run of the probe: its two lines, the second as numbers.
struct ProbeRun
{
    double first = 0;
    std::vector<double> second;
    double peakMb = 0;
};

ProbeRun runProbe(const Bench &bench, const QStringList &args)
{
    const ChildRun run = runChild(bench.resultPath(), bench.deskProbe, args, false);
    const QList<QByteArray> lines = run.output.trimmed().split('\n');
    if (!run.ok || lines.size() != 2)
        qFatal("%s %s failed", qPrintable(bench.deskProbe), qPrintable(args.join(QLatin1Char(' '))));
    ProbeRun probe;
    probe.first = lines.at(0).toDouble();
    for (const QByteArray &value : lines.at(1).split(' '))
        probe.second.push_back(value.toDouble());
    probe.peakMb = run.peakMb;
    return probe;
}

double worstOf(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

std::vector<ScaleRow> benchDesk(const Bench &bench, const std::vector<int> &sizes, QList<Row> &table)
{
    std::vector<ScaleRow> rows{
        {QStringLiteral("desk start"),
         QStringLiteral("strategydesk from the start of its process to the first paint of the list of N strategies"), {}},
        {QStringLiteral("desk filter"),
         QStringLiteral("strategydesk, the worst keystroke of typing \"%1\" into the filter over N strategies and "
                        "erasing it, to the end of its repaint")
             .arg(QLatin1String(DeskKeys)),
         {}},
        {QStringLiteral("desk instances"),
         QStringLiteral("strategydesk from the start of its process to the first paint of the table of N instances"),
         {}},
        {QStringLiteral("desk inst filter"),
         QStringLiteral("strategydesk, the worst keystroke of typing \"%1\" into the instance filter over N "
                        "instances and erasing it, to the end of its repaint")
             .arg(QLatin1String(InstanceKeys)),
         {}}};
    std::vector<double> start;
    std::vector<double> worstKey;
    std::vector<double> deskMb;
    std::vector<double> ctlMb;
    std::vector<double> instances;
    std::vector<double> worstInstanceKey;
    std::vector<double> backtest;
    for (int n : sizes) {
        const QString app = bench.root + QStringLiteral("/desk%1").arg(n);
        prepareStart(app, n, n);
        start.clear();
        worstKey.clear();
        deskMb.clear();
        ctlMb.clear();
        instances.clear();
        worstInstanceKey.clear();
        double instancesMb = 0;
        for (int i = 0; i < 3; ++i) {
            const ProbeRun run = runProbe(bench, {app, QLatin1String(DeskKeys)});
            start.push_back(run.first);
            worstKey.push_back(worstOf(run.second));
            deskMb.push_back(run.peakMb);
            const ChildRun ctl = runChild(bench.resultPath(), bench.strategyctl,
                                          {QStringLiteral("--home"), app, QStringLiteral("strategy"), QStringLiteral("list")}, true);
            if (!ctl.ok)
                qFatal("%s --home %s strategy list failed", qPrintable(bench.strategyctl), qPrintable(app));
            ctlMb.push_back(ctl.peakMb);
            const ProbeRun page = runProbe(bench, {QStringLiteral("--instances"), app, QLatin1String(InstanceKeys)});
            instances.push_back(page.first);
            worstInstanceKey.push_back(worstOf(page.second));
            instancesMb = std::max(instancesMb, page.peakMb);
        }
        const double peak = *std::max_element(deskMb.begin(), deskMb.end());
        rows[0].points.push_back({n, stat(start), peak});
        rows[1].points.push_back({n, stat(worstKey), peak});
        rows[2].points.push_back({n, stat(instances), instancesMb});
        rows[3].points.push_back({n, stat(worstInstanceKey), instancesMb});
        if (n == sizes.back()) {
            prepareBacktest(app, BacktestDays);
            for (int i = 0; i < 3; ++i) {
                const ProbeRun run = runProbe(bench, {QStringLiteral("--backtest"), app, QLatin1String(BacktestInstance)});
                backtest.push_back(run.second.front());
            }
        }
        QDir(app).removeRecursively();
    }
    const QString size = recordsText(sizes.back());
    table << Row{QStringLiteral("deskstart%1").arg(size),
                 QStringLiteral("none, the goal is a bound: strategydesk over %1 strategies, from the start of its "
                                "process to the first paint of the whole list").arg(size),
                 QStringLiteral("ms"), stat(start), Stat(), 1500.0}
          << Row{QStringLiteral("deskfilter%1").arg(size),
                 QStringLiteral("none, the goal is a bound: the worst keystroke of each run, typing \"%1\" into the "
                                "filter over %2 strategies and erasing it").arg(QLatin1String(DeskKeys), size),
                 QStringLiteral("ms"), stat(worstKey), Stat(), 50.0}
          << Row{QStringLiteral("deskmemory%1").arg(size),
                 QStringLiteral("the peak RSS of strategyctl strategy list over the same %1 strategies").arg(size),
                 QStringLiteral("MB"), stat(deskMb), stat(ctlMb), 2.0}
          << Row{QStringLiteral("deskinstances%1").arg(size),
                 QStringLiteral("none, the goal is a bound: strategydesk opening on the Instances page over %1 "
                                "instances, from the start of its process to the first paint of the whole table")
                     .arg(size),
                 QStringLiteral("ms"), stat(instances), Stat(), 1500.0}
          << Row{QStringLiteral("deskinstancefilter%1").arg(size),
                 QStringLiteral("none, the goal is a bound: the worst keystroke of each run, typing \"%1\" into the "
                                "instance filter over %2 instances and erasing it")
                     .arg(QLatin1String(InstanceKeys), size),
                 QStringLiteral("ms"), stat(worstInstanceKey), Stat(), 50.0}
          << Row{QStringLiteral("deskbacktest%1").arg(recordsText(BacktestDays)),
                 QStringLiteral("none, the goal is a bound: the Backtests page beside %1 instances, from selecting "
                                "one of %2 days to the end of the paints of its chart and days")
                     .arg(size, recordsText(BacktestDays)),
                 QStringLiteral("ms"), stat(backtest), Stat(), 1000.0};
    return rows;
}

QString cell(const QString &text, int width)
{
    return text.leftJustified(width);
}

QString number(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : value < 1000 ? 1 : 0);
}

QString spread(const Stat &s, const QString &unit)
{
    return QStringLiteral("%1 %2 (%3–%4)").arg(number(s.median), unit, number(s.min), number(s.max));
}

void printText(const QString &tz, const QList<Row> &rows, const std::vector<ScaleRow> &scale, double seconds)
{
    QString out;
    out += QStringLiteral("TZ: %1\n\n").arg(tz);
    out += cell(QStringLiteral("scenario"), 24) + cell(QStringLiteral("ours: median (min–max)"), 28)
           + cell(QStringLiteral("baseline: median (min–max)"), 28) + cell(QStringLiteral("ours/base"), 11)
           + cell(QStringLiteral("goal"), 10) + cell(QStringLiteral("runs"), 6) + QStringLiteral("\n");
    for (const Row &row : rows) {
        const bool ratio = row.baseline.runs > 0;
        out += cell(row.scenario, 24) + cell(spread(row.ours, row.unit), 28)
               + cell(ratio ? spread(row.baseline, row.unit) : QStringLiteral("-"), 28)
               + cell(ratio ? QStringLiteral("%1×").arg(row.value(), 0, 'f', 2) : QStringLiteral("-"), 11)
               + cell(ratio ? QStringLiteral("≤ %1×").arg(row.goal) : QStringLiteral("≤ %1 %2").arg(row.goal).arg(row.unit), 10)
               + cell(QString::number(row.ours.runs), 6) + (row.over() ? QStringLiteral("OVER") : QStringLiteral("ok"))
               + QStringLiteral("\n");
        out += QStringLiteral("    baseline: %1\n").arg(row.baselineText);
    }
    out += QStringLiteral("\nScale: one fresh process per run, time median (min–max), peak RSS of that process; "
                          "growth = time(10N) / time(N), above %1 marked\n")
               .arg(FasterThanLinear);
    out += cell(QStringLiteral("scenario"), 17) + cell(QStringLiteral("records"), 9) + cell(QStringLiteral("time"), 30)
           + cell(QStringLiteral("peak RSS"), 12) + cell(QStringLiteral("runs"), 6) + QStringLiteral("growth\n");
    for (const ScaleRow &row : scale) {
        for (size_t i = 0; i < row.points.size(); ++i) {
            const ScalePoint &p = row.points[i];
            QString growth;
            if (i > 0 && row.points[i - 1].ms.median > 0) {
                const double factor = p.ms.median / row.points[i - 1].ms.median;
                growth = QStringLiteral("×%1").arg(factor, 0, 'f', 1);
                if (factor > FasterThanLinear)
                    growth += QStringLiteral("  SUPERLINEAR");
            }
            out += cell(i == 0 ? row.scenario : QString(), 17) + cell(recordsText(p.records), 9)
                   + cell(spread(p.ms, QStringLiteral("ms")), 30) + cell(QStringLiteral("%1 MB").arg(p.peakMb, 0, 'f', 1), 12)
                   + cell(QString::number(p.ms.runs), 6) + growth + QStringLiteral("\n");
        }
        out += QStringLiteral("    %1\n").arg(row.what);
    }
    out += QStringLiteral("\nbench run time: %1 s\n").arg(seconds, 0, 'f', 0);
    std::fputs(out.toUtf8().constData(), stdout);
}

QJsonObject statJson(const Stat &s)
{
    return QJsonObject{{QStringLiteral("median"), s.median},
                       {QStringLiteral("min"), s.min},
                       {QStringLiteral("max"), s.max},
                       {QStringLiteral("runs"), s.runs}};
}

void printJson(const QString &tz, bool quick, const QList<Row> &rows, const std::vector<ScaleRow> &scale, double seconds)
{
    QJsonArray table;
    for (const Row &row : rows) {
        QJsonObject o{{QStringLiteral("scenario"), row.scenario},
                      {QStringLiteral("unit"), row.unit},
                      {QStringLiteral("ours"), statJson(row.ours)},
                      {QStringLiteral("baselineText"), row.baselineText},
                      {QStringLiteral("goal"), row.goal},
                      {QStringLiteral("over"), row.over()}};
        if (row.baseline.runs) {
            o.insert(QStringLiteral("baseline"), statJson(row.baseline));
            o.insert(QStringLiteral("ratio"), row.value());
        }
        table.append(o);
    }
    QJsonArray growth;
    for (const ScaleRow &row : scale) {
        QJsonArray points;
        for (size_t i = 0; i < row.points.size(); ++i) {
            const ScalePoint &p = row.points[i];
            QJsonObject o{{QStringLiteral("records"), p.records},
                          {QStringLiteral("ms"), statJson(p.ms)},
                          {QStringLiteral("peakRssMb"), p.peakMb}};
            if (i > 0 && row.points[i - 1].ms.median > 0) {
                const double factor = p.ms.median / row.points[i - 1].ms.median;
                o.insert(QStringLiteral("growth"), factor);
                o.insert(QStringLiteral("fasterThanLinear"), factor > FasterThanLinear);
            }
            points.append(o);
        }
        growth.append(QJsonObject{{QStringLiteral("scenario"), row.scenario},
                                  {QStringLiteral("what"), row.what},
                                  {QStringLiteral("points"), points}});
    }
    const QJsonObject doc{{QStringLiteral("tz"), tz},
                          {QStringLiteral("quick"), quick},
                          {QStringLiteral("table"), table},
                          {QStringLiteral("scale"), growth},
                          {QStringLiteral("fasterThanLinearAbove"), FasterThanLinear},
                          {QStringLiteral("seconds"), seconds}};
    std::printf("%s", QJsonDocument(doc).toJson().constData());
}
} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--spawn") == 0)
        return spawnMain(argc, argv);
    // TZ is left as the environment has it: the client runs with TZ unset.
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("strategylogic=false\nzq.*=false"));
    const QStringList args = QCoreApplication::arguments();
    const int childAt = args.indexOf(QStringLiteral("--child"));
    if (childAt > 0) {
        InterProcIdService::instance().setStorageDirectory(args.value(childAt + 4));
        return childMain(args.value(childAt + 1), args.value(childAt + 2), args.value(childAt + 3).toInt());
    }
    const int prepareAt = args.indexOf(QStringLiteral("--prepare-start"));
    if (prepareAt > 0) {
        // For profiling: the folder initialize() is measured on, kept (or
        // one of N strategies, instances and days).
        const int n = args.value(prepareAt + 2, QStringLiteral("10000")).toInt();
        prepareStart(args.value(prepareAt + 1), n, n);
        return 0;
    }
    const int backtestAt = args.indexOf(QStringLiteral("--prepare-backtest"));
    if (backtestAt > 0) {
        prepareBacktest(args.value(backtestAt + 1), args.value(backtestAt + 2, QString::number(BacktestDays)).toInt());
        return 0;
    }
    const bool deskOnly = args.contains(QStringLiteral("--desk"));
    const bool json = args.contains(QStringLiteral("--json"));
    const bool quick = args.contains(QStringLiteral("--quick"));
    const int runsAt = args.indexOf(QStringLiteral("--runs"));
    const int runs = runsAt > 0 ? qMax(1, args.value(runsAt + 1).toInt()) : 5;
    const int ctlAt = args.indexOf(QStringLiteral("--strategyctl"));
#ifdef STRATEGYLOGIC_BENCH_STRATEGYCTL
    const QString builtCtl = QStringLiteral(STRATEGYLOGIC_BENCH_STRATEGYCTL);
#else
    const QString builtCtl = QCoreApplication::applicationDirPath() + QStringLiteral("/strategyctl");
#endif
#ifdef STRATEGYLOGIC_BENCH_DESKPROBE
    const QString builtProbe = QStringLiteral(STRATEGYLOGIC_BENCH_DESKPROBE);
#else
    const QString builtProbe = QCoreApplication::applicationDirPath() + QStringLiteral("/strategydesk_probe");
#endif
    const QString tz = qEnvironmentVariableIsSet("TZ")
                           ? QStringLiteral("TZ=%1 (from the environment; the client runs with TZ unset)")
                                 .arg(qEnvironmentVariable("TZ"))
                           : QStringLiteral("unset (the client's case)");

    QElapsedTimer total;
    total.start();
    QTemporaryDir root;
    if (!root.isValid())
        qFatal("no temporary folder: %s", qPrintable(root.errorString()));
    const int probeAt = args.indexOf(QStringLiteral("--deskprobe"));
    Bench bench{root.path(), root.path() + QStringLiteral("/ids"), ctlAt > 0 ? args.value(ctlAt + 1) : builtCtl,
                probeAt > 0 ? args.value(probeAt + 1) : builtProbe};
    if (!QFileInfo(bench.strategyctl).isExecutable())
        qFatal("no strategyctl at %s (--strategyctl PATH)", qPrintable(bench.strategyctl));
    if (!QFileInfo(bench.deskProbe).isExecutable())
        qFatal("no strategydesk_probe at %s (--deskprobe PATH)", qPrintable(bench.deskProbe));
    // The client's probe draws offscreen unless told otherwise.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    InterProcIdService::instance().setStorageDirectory(bench.ids);

    QList<Row> rows;
    std::vector<ScaleRow> scale;
    if (!deskOnly) {
        rows << benchLoad(root.path(), runs) << benchWrite(root.path(), runs) << benchFlush(root.path(), runs)
             << benchInitialize(bench, runs) << benchMemory(bench, runs) << benchDryRun(bench, runs)
             << benchShellLine(bench, runs, QStringLiteral("shell10mb"), 10 * 1000 * 1000)
             << benchShellLine(bench, runs, QStringLiteral("shell1mb"), 1000 * 1000);
        std::vector<int> sizes{1000, 10000, 100000};
        if (!quick)
            sizes.push_back(1000000);
        scale = benchScale(bench, sizes);
    }
    for (ScaleRow &row : benchDesk(bench, {1000, 10000, 100000}, rows))
        scale.push_back(std::move(row));
    if (!deskOnly) {
        for (ScaleRow &row : benchBundleScale(bench, {10000, 100000}))
            scale.push_back(std::move(row));
    }
    const double seconds = double(total.elapsed()) / 1000.0;

    if (json)
        printJson(tz, quick, rows, scale, seconds);
    else
        printText(tz, rows, scale, seconds);
    return 0;
}
