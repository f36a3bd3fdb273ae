// Timings of the plug-in's heavy paths against plain baselines measured in
// the same run on the same data:
//
//   load100k    LoadFixedStrategyInfo of a 100,000-record data file, against
//               reading the file and splitting it with std::string_view into
//               plain records (and an id index, as the store keeps one).
//   write100k   writeFixedStrategyInfoToFile of 100,000 records, against
//               formatting plain records into one buffer and replacing the
//               file the same way (QSaveFile).
//   flush10k    flushPendingData of 10,000 pending instance rows, against one
//               prepared INSERT with bound parameters in one transaction.
//   initialize  StrategyFileLogicHandler::initialize() over 10,000 fixed
//               strategies, 10,000 instances and 10,000 day-cash rows (in a
//               fresh child process each run), against reading the same file
//               and tables into plain structs.
//
// Usage: strategylogic_bench [--json] [--runs N] [--tz-unset]
//        strategylogic_bench --prepare-start DIR    (then --initialize-in DIR --ids DIR/ids, to profile)
// Prints a table (scenario, ours ms, baseline ms, ratio): the median of N runs.

#include <StrategyLogic/strategyfilelogichandler.h>
#include "storage/fixedstrategyfile.h"
#include "storage/atomicfile.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/strategysqlite.h"

#include <interprocidservice.h>
#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
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
        info.group = i % 3 ? QStringLiteral("默认分组") : QStringLiteral("趋势跟踪");
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

struct Row
{
    QString scenario;
    double ours;
    double baseline;
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
    return {QStringLiteral("load100k"), median(ours), median(base)};
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
    return {QStringLiteral("write100k"), median(ours), median(base)};
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
    return {QStringLiteral("flush10k"), median(ours), median(base)};
}

void prepareStart(const QString &app)
{
    QDir().mkpath(app);
    writeDataFile(app, 10000, DemoUser);
    const QByteArray dbPath = (app + QStringLiteral("/sarvek.db")).toUtf8();
    sqlite3 *db = nullptr;
    sqlite3_open(dbPath.constData(), &db);
    const QByteArray today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toUtf8();
    sqlite3_exec(db,
                 "create table  if not exists instance_info( instance_id varchar(120)  primary key ,  run_mode varchar(4), "
                 "fund_account varchar(255), return_reginfo varchar(255), create_date varchar(255),start_time "
                 "varchar(255),end_time varchar(255));"
                 "create table  if not exists backtest_daycash( instance_id varchar(120)   ,  date varchar(255), "
                 "fund_account varchar(255), initial_funds varchar(255), end_funds varchar(255), create_date "
                 "varchar(255), primary key(instance_id, date) ); BEGIN",
                 nullptr, nullptr, nullptr);
    for (int n = 0; n < 10000; ++n) {
        const QByteArray sql =
            QStringLiteral("insert into instance_info values('%1',%2,'88%3','ok',%4,'%7','%8');"
                           "insert into backtest_daycash values('%5','%6',NULL,1000000,1012000.5,'%4');")
                .arg(100000 + n)
                .arg(n % 3)
                .arg(n % 100)
                .arg(QString::fromLatin1(today))
                .arg(200000 + n / 20)
                .arg(QDate(2026, 1, 1).addDays(n % 20).toString(QStringLiteral("yyyyMMdd")))
                .arg(1764725400000LL + n * 60000LL) // every instance its own times
                .arg(1764748800000LL + n * 60000LL)
                .toUtf8();
        sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double baselineStart(const QString &app)
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
        if (records.size() != 10000 || instances.size() != 10000 || cash.size() != 10000)
            qFatal("baseline start read %zu/%zu/%zu", records.size(), instances.size(), cash.size());
    });
}

Row benchInitialize(const QString &root, int runs)
{
    const QString app = root + QStringLiteral("/start");
    prepareStart(app);
    std::vector<double> ours;
    std::vector<double> base;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList childArgs{QStringLiteral("--initialize-in"), app, QStringLiteral("--ids"), root + QStringLiteral("/ids")};
        if (!qEnvironmentVariableIsSet("TZ"))
            childArgs << QStringLiteral("--tz-unset");
        child.start(QCoreApplication::applicationFilePath(), childArgs);
        if (!child.waitForFinished(120000) || child.exitCode() != 0)
            qFatal("the initialize child failed");
        ours.push_back(child.readAllStandardOutput().trimmed().toDouble());
        base.push_back(baselineStart(app));
    }
    return {QStringLiteral("initialize"), median(ours), median(base)};
}

// Child mode: one initialize() in a fresh process; prints its time in ms.
int initializeChild(const QString &app)
{
    ZqApplicationDir::setPath(app);
    QDir::setCurrent(app);
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    const double ms = timeMs([&] { plugin.initialize(); });
    const int loaded = plugin.getFixedStrategyList().size();
    QList<BackTestCashInfo> days;
    if (loaded != 10000 || plugin.getInstanceRunMode(QStringLiteral("100000")) != 0
        || !plugin.queryBackTestCashInfo(QStringLiteral("200000"), days) || days.size() != 20) {
        std::fprintf(stderr, "initialize loaded %d strategies, %d days\n", loaded, int(days.size()));
        return 1;
    }
    std::printf("%.3f\n", ms);
    plugin.exit();
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    // As strategyctl does: with TZ unset glibc checks /etc/localtime at every
    // local-time conversion. --tz-unset measures that case.
    const bool tzUnset = std::find_if(argv, argv + argc, [](const char *a) { return std::strcmp(a, "--tz-unset") == 0; })
                         != argv + argc;
    if (tzUnset)
        qunsetenv("TZ");
    else if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("strategylogic=false\nzq.*=false"));
    const QStringList args = QCoreApplication::arguments();
    const int idsAt = args.indexOf(QStringLiteral("--ids"));
    const int childAt = args.indexOf(QStringLiteral("--initialize-in"));
    if (childAt > 0) {
        InterProcIdService::instance().setStorageDirectory(args.value(idsAt + 1));
        return initializeChild(args.value(childAt + 1));
    }
    const int prepareAt = args.indexOf(QStringLiteral("--prepare-start"));
    if (prepareAt > 0) {
        // For profiling: the folder initialize() is measured on, kept.
        InterProcIdService::instance().setStorageDirectory(args.value(prepareAt + 1) + QStringLiteral("/ids"));
        prepareStart(args.value(prepareAt + 1));
        return 0;
    }
    const bool json = args.contains(QStringLiteral("--json"));
    const int runsAt = args.indexOf(QStringLiteral("--runs"));
    const int runs = runsAt > 0 ? qMax(1, args.value(runsAt + 1).toInt()) : 5;

    QTemporaryDir root;
    if (!root.isValid())
        qFatal("no temporary folder: %s", qPrintable(root.errorString()));
    InterProcIdService::instance().setStorageDirectory(root.path() + QStringLiteral("/ids"));

    QList<Row> rows;
    rows << benchLoad(root.path(), runs) << benchWrite(root.path(), runs) << benchFlush(root.path(), runs)
         << benchInitialize(root.path(), runs);

    if (json) {
        QJsonArray array;
        for (const Row &row : rows)
            array.append(QJsonObject{{QStringLiteral("scenario"), row.scenario},
                                     {QStringLiteral("oursMs"), row.ours},
                                     {QStringLiteral("baselineMs"), row.baseline},
                                     {QStringLiteral("ratio"), row.ours / row.baseline}});
        std::printf("%s", QJsonDocument(array).toJson().constData());
    } else {
        std::printf("%-12s %12s %12s %8s\n", "scenario", "ours ms", "baseline ms", "ratio");
        for (const Row &row : rows)
            std::printf("%-12s %12.2f %12.2f %8.2f\n", qPrintable(row.scenario), row.ours, row.baseline,
                        row.ours / row.baseline);
    }
    return 0;
}
