// Rewrites one user's fixed-strategy data file over and over, for tests
// that kill the process in the middle of a rewrite.
//
//   datafilewriter APPDIR USER COUNT BASE
//
// Points the store at APPDIR and loads USER's data file. When it holds
// fewer than COUNT records, adds records named "rec-000", "rec-001", ... up
// to COUNT and writes the file. Prints "ready", then for round = BASE,
// BASE+1, ...: gives record number (round - BASE) % COUNT (in name order)
// the free text "round-<round>-" followed by padding, rewrites the file and,
// once the rewrite has returned, prints "rewrite <round>". Exits 0 after
// 100000 rounds; exits 1 on bad arguments.

#include "storage/strategysqlite.h"

#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool countOk = false;
    bool baseOk = false;
    const int count = args.value(3).toInt(&countOk);
    const int base = args.value(4).toInt(&baseOk);
    if (args.size() != 5 || !countOk || !baseOk || count < 1) {
        std::fprintf(stderr, "usage: datafilewriter APPDIR USER COUNT BASE\n");
        return 1;
    }
    QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=false\nzq.sqlite.debug=false"));
    ZqApplicationDir::setPath(args.at(1));
    const QString user = args.at(2);

    StrategySqlite store;
    QList<FixedStrategyInfo> records = store.queryFixedStrategyInfoList(user);
    for (int n = records.size(); n < count; ++n) {
        store.insertStrategyInfo(QStringLiteral("rec-%1").arg(n, 3, 10, QLatin1Char('0')), QStringLiteral("D:/s/a.py"),
                                 QStringLiteral("默认分组"), QStringLiteral("initial"), 0);
    }
    store.writeFixedStrategyInfoToFile(user);
    records = store.queryFixedStrategyInfoList(user);
    std::sort(records.begin(), records.end(),
              [](const FixedStrategyInfo &a, const FixedStrategyInfo &b) { return a.name < b.name; });
    std::printf("ready\n");
    std::fflush(stdout);

    const QString padding(400, QLatin1Char('x'));
    for (int round = base; round < base + 100000; ++round) {
        FixedStrategyInfo info = records.at((round - base) % records.size());
        info.extraInfo = QStringLiteral("round-%1-").arg(round) + padding;
        store.modifyFixedStrategyInfo(info);
        store.writeFixedStrategyInfoToFile(user);
        std::printf("rewrite %d\n", round);
        std::fflush(stdout);
    }
    return 0;
}
