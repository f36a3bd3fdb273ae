// strategyctl export and import end to end: every case runs strategyctl as
// its own process in a fresh installation folder, and looks at the bundle it
// wrote, what import printed, its exit status and the files it left behind.

#include "testsupport.h"

#include <QtTest> // with QtCore: QJsonDocument, QRandomGenerator

#include <memory>

namespace {
const QString DataFile = QStringLiteral("work/demo01/SarvekFixStrategy.dat");
const QString GroupsFile = QStringLiteral("work/demo01/SarvekFixedStrategyGroups.txt");

// A word as `strategyctl shell` reads it back.
QString word(const QString &text)
{
    if (!text.contains(QLatin1Char('\'')))
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QJsonArray sortedArray(const QJsonArray &array)
{
    QList<QByteArray> texts;
    for (const QJsonValue &value : array)
        texts.append(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    std::sort(texts.begin(), texts.end());
    QJsonArray sorted;
    for (const QByteArray &text : qAsConst(texts))
        sorted.append(QJsonDocument::fromJson(text).array().at(0));
    return sorted;
}

// A bundle without what an import does not carry over: the ids of the fixed
// strategies (it draws new ones) and the time of the export. With `sorted`,
// the lists in one order; with `anyGroupTime`, only whether a group has a
// creation time counts (a state built now has no known times).
QJsonObject comparable(QJsonObject doc, bool sorted = false, bool anyGroupTime = false)
{
    doc.remove(QStringLiteral("exportedAt"));
    QJsonArray strategies;
    for (const QJsonValue &value : doc.value(QStringLiteral("fixedStrategies")).toArray()) {
        QJsonObject strategy = value.toObject();
        strategy.remove(QStringLiteral("id"));
        strategies.append(strategy);
    }
    doc.insert(QStringLiteral("fixedStrategies"), strategies);
    QJsonArray groups;
    for (const QJsonValue &value : doc.value(QStringLiteral("groups")).toArray()) {
        QJsonObject group = value.toObject();
        if (anyGroupTime)
            group.insert(QStringLiteral("createTime"), !group.value(QStringLiteral("createTime")).isNull());
        groups.append(group);
    }
    doc.insert(QStringLiteral("groups"), groups);
    if (sorted) {
        for (const char *key : {"fixedStrategies", "groups", "locks", "instances", "backtestDays"})
            doc.insert(QLatin1String(key), sortedArray(doc.value(QLatin1String(key)).toArray()));
    }
    return doc;
}

QString pick(QRandomGenerator &rng, const QStringList &list)
{
    return list.at(rng.bounded(list.size()));
}

// A `strategyctl shell` script that builds a random state, and the bundle
// an export of that state is expected to give (as comparable(..., true, true)).
struct GeneratedState
{
    QByteArray script;
    QJsonObject expected;
};

GeneratedState generate(QRandomGenerator &rng)
{
    static const QStringList groupPool{"趋势", "套利", "it's mine", "%&组", "动量 2"};
    static const QStringList pathPool{"D:/s/abc.py", "D:/策略/均线.py", "D:/it's/a.b.py", "C:\\q\\x.py", "D:/s/ma.py"};
    static const QStringList namePool{"abc", "均线策略", "it's", "a b", "x%&y", "名字"};
    static const QStringList extraPool{"", "", "note", "备注 it's", "%&"};
    QStringList lines;
    QJsonArray strategies, groups, locks, instances, days;

    QStringList groupNames{"默认分组"};
    groups.append(QJsonObject{{"name", "默认分组"}, {"createTime", QJsonValue()}});
    QStringList pool = groupPool;
    for (int i = rng.bounded(4); i > 0; --i) {
        const QString name = pool.takeAt(rng.bounded(pool.size()));
        lines << QStringLiteral("group add ") + word(name);
        groupNames << name;
        groups.append(QJsonObject{{"name", name}, {"createTime", "a time"}});
    }
    for (int i = 0, n = 1 + rng.bounded(5); i < n; ++i) {
        const QString path = pick(rng, pathPool);
        const QString name = pick(rng, namePool) + QLatin1Char('-') + QString::number(i);
        const QString group = pick(rng, groupNames);
        const QString extra = pick(rng, extraPool);
        const int count = 1 + rng.bounded(3); // several copies of one file
        lines << QStringLiteral("strategy add %1 %2 --group %3 --extra %4 --count %5")
                     .arg(word(path), word(name), word(group), word(extra), QString::number(count));
        for (int copy = 0; copy < count; ++copy)
            strategies.append(QJsonObject{{"name", copy == 0 ? name : name + QLatin1Char('_') + QString::number(copy)},
                                          {"filePath", path},
                                          {"group", group},
                                          {"extraInfo", extra},
                                          {"copyIndex", copy}});
    }
    pool = pathPool;
    for (int i = rng.bounded(3); i > 0; --i) {
        const QString path = pool.takeAt(rng.bounded(pool.size()));
        lines << QStringLiteral("lock on ") + word(path);
        locks.append(path);
    }
    QStringList instanceIds;
    for (int i = 0, n = rng.bounded(4); i < n; ++i) {
        const bool decimal = rng.bounded(3) != 0;
        const QString id = decimal ? QString::number(1000 + 10 * i + rng.bounded(10)) : QStringLiteral("bt-%1").arg(i);
        const int mode = rng.bounded(3);
        const QString account = rng.bounded(2) ? QStringLiteral("88000%1").arg(i) : QString();
        const QString reg = rng.bounded(2) ? QStringLiteral("注册 it's ok") : QString();
        lines << QStringLiteral("instance add %1 %2 --account %3 --reg %4")
                     .arg(word(id), QString::number(mode), word(account), word(reg));
        QJsonValue start, end;
        // Times are kept for plain decimal ids; some with milliseconds.
        if (decimal && rng.bounded(2)) {
            start = QStringLiteral("2026-11-%1T09:30:00").arg(10 + i);
            end = rng.bounded(2) ? QStringLiteral("2026-11-%1T15:00:00.250").arg(10 + i)
                                 : QStringLiteral("2026-11-%1T15:00:00").arg(10 + i);
            lines << QStringLiteral("instance times %1 %2 %3").arg(id, start.toString(), end.toString());
        }
        instances.append(QJsonObject{{"instanceId", id},
                                     {"runMode", mode},
                                     {"fundAccount", account},
                                     {"returnRegInfo", reg},
                                     {"startTime", start},
                                     {"endTime", end}});
        instanceIds << id;
    }
    // Days of the instances, and of an id that was never registered.
    QSet<QString> dayKeys;
    for (int i = rng.bounded(5); i > 0; --i) {
        const QString id = instanceIds.isEmpty() || rng.bounded(4) == 0 ? QStringLiteral("77") : pick(rng, instanceIds);
        const QString date = QStringLiteral("2026-11-%1").arg(1 + rng.bounded(28), 2, 10, QLatin1Char('0'));
        if (dayKeys.contains(id + date))
            continue;
        dayKeys.insert(id + date);
        // Fractional and negative amounts, and whole ones.
        const auto amount = [&rng] {
            const qint64 cents = rng.bounded(-50000000, 50000000);
            return rng.bounded(3) ? QString::number(cents / 100.0, 'f', 2) : QString::number(cents);
        };
        const QString initial = amount();
        const QString endFunds = amount();
        lines << QStringLiteral("cash day %1 %2 %3 %4").arg(word(id), date, initial, endFunds);
        days.append(QJsonObject{{"instanceId", id},
                                {"date", date},
                                {"initialFunds", initial.toDouble()},
                                {"endFunds", endFunds.toDouble()}});
    }
    QJsonObject values{{"lastProduct", ""}, {"lastFundAccount", ""}, {"pythonPath", ""}};
    const QList<QPair<QString, QString>> setters{
        {"product set", "lastProduct"}, {"fundaccount set", "lastFundAccount"}, {"python set", "pythonPath"}};
    for (const auto &setter : setters) {
        if (rng.bounded(2)) {
            const QString value = setter.second == "pythonPath" ? QStringLiteral("C:/Python 3.11")
                                                                : QStringLiteral("P00%1").arg(rng.bounded(9));
            lines << setter.first + QLatin1Char(' ') + word(value);
            values.insert(setter.second, value);
        }
    }

    QJsonObject expected{{"format", "strategylogic-bundle"},
                         {"version", 1},
                         {"user", "demo01"},
                         {"runMode", 0},
                         {"fixedStrategies", strategies},
                         {"groups", groups},
                         {"locks", locks},
                         {"instances", instances},
                         {"backtestDays", days}};
    for (auto it = values.begin(); it != values.end(); ++it)
        expected.insert(it.key(), it.value());
    return {(lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8(), comparable(expected, true, true)};
}

// A valid bundle; the rows of tst_Bundle::problems break one thing in it.
const QByteArray BaseBundle = R"({
    "format": "strategylogic-bundle",
    "version": 1,
    "exportedAt": "2026-12-07T09:30:00",
    "user": "demo01",
    "fixedStrategies": [
        {"id": 17, "name": "abc", "filePath": "D:/s/abc.py", "group": "趋势", "extraInfo": "", "copyIndex": 0},
        {"id": 18, "name": "abc_1", "filePath": "D:/s/abc.py", "group": "默认分组", "extraInfo": "note", "copyIndex": 1}
    ],
    "groups": [
        {"name": "趋势", "createTime": "2026-12-01T09:00:00"},
        {"name": "默认分组", "createTime": null}
    ],
    "locks": [
        "D:/s/abc.py"
    ],
    "instances": [
        {"instanceId": "1024", "runMode": 2, "fundAccount": "880001", "returnRegInfo": "ok",
         "startTime": "2026-12-01T09:30:00", "endTime": "2026-12-01T15:00:00"}
    ],
    "backtestDays": [
        {"instanceId": "1024", "date": "2026-12-01", "initialFunds": 100000, "endFunds": 101000.5}
    ],
    "lastProduct": "P001",
    "lastFundAccount": "880001",
    "runMode": 0,
    "pythonPath": "C:/Python311"
}
)";

// "pointer action" of each change an import printed under --json.
QStringList actions(const QJsonObject &answer)
{
    QStringList list;
    for (const QJsonValue &change : answer.value(QStringLiteral("changes")).toArray()) {
        const QJsonObject o = change.toObject();
        list << (o.value(QStringLiteral("pointer")).toString() + QLatin1Char(' ')
                 + o.value(QStringLiteral("action")).toString());
    }
    return list;
}

// "name|filePath|group|extraInfo|copyIndex" of each fixed strategy, in id order.
QStringList strategyRows(const QJsonArray &list)
{
    QStringList rows;
    for (const QJsonValue &value : list) {
        const QJsonObject o = value.toObject();
        rows << QStringList{o.value("name").toString(), o.value("filePath").toString(), o.value("group").toString(),
                            o.value("extraInfo").toString(), QString::number(o.value("copyIndex").toInt())}
                    .join(QLatin1Char('|'));
    }
    return rows;
}
} // namespace

class tst_Bundle : public QObject
{
    Q_OBJECT

    QString newFolder()
    {
        static int n = 0;
        return m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++n));
    }
    ProcessResult run(const QString &folder, const QStringList &args, const QByteArray &input = {})
    {
        return runStrategyctlIn(m_home, folder, args, input);
    }
    QJsonDocument json(const QString &folder, QStringList args)
    {
        return QJsonDocument::fromJson(run(folder, args << QStringLiteral("--json")).out);
    }
    // A bundle file outside every installation folder.
    QString bundleFile(const QString &name, const QByteArray &content = {})
    {
        const QString path = m_files.filePath(name);
        if (!content.isNull())
            writeFile(path, content);
        return path;
    }
    // A folder with a state built by one shell session.
    QString folderWith(const QByteArray &script)
    {
        const QString folder = newFolder();
        const ProcessResult built = run(folder, {QStringLiteral("shell")}, script);
        return built.exitCode == 0 ? folder : QString();
    }

    TestHome m_home;
    QTemporaryDir m_files;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY2(m_files.isValid(), qPrintable(m_files.errorString()));
    }

    // Export, import into an empty folder, export again: the same document
    // but for what an import cannot carry over; and the first export is the
    // state the shell session built. Importing it once more adds nothing.
    void roundTrip()
    {
        QRandomGenerator rng(20261207);
        for (int round = 0; round < 15; ++round) {
            const GeneratedState state = generate(rng);
            const QString context = QStringLiteral("state %1:\n%2").arg(round).arg(QString::fromUtf8(state.script));
            const QString from = newFolder();
            CHECK_EXIT(run(from, {"shell"}, state.script), 0);
            const QString first = bundleFile(QStringLiteral("first-%1.json").arg(round), QByteArray());
            CHECK_EXIT(run(from, {"export", first}), 0);
            const QJsonObject exported = QJsonDocument::fromJson(readFile(first)).object();
            QVERIFY2(comparable(exported, true, true) == state.expected,
                     qPrintable(context + QString::fromUtf8(readFile(first))));

            const QString to = newFolder();
            const ProcessResult imported = run(to, {"--json", "import", first});
            CHECK_EXIT(imported, 0);
            QVERIFY2(!actions(QJsonDocument::fromJson(imported.out).object()).join('\n').contains(" rename"),
                     qPrintable(imported.describe()));
            const QString second = bundleFile(QStringLiteral("second-%1.json").arg(round), QByteArray());
            CHECK_EXIT(run(to, {"export", second}), 0);
            QVERIFY2(comparable(QJsonDocument::fromJson(readFile(second)).object()) == comparable(exported),
                     qPrintable(context + QString::fromUtf8(readFile(first)) + QString::fromUtf8(readFile(second))));

            const QMap<QString, QByteArray> before = folderContents(to, {"sarvek.lock"});
            const ProcessResult again = run(to, {"import", first});
            CHECK_EXIT(again, 1);
            QVERIFY2(again.errText().contains("nothing changed"), qPrintable(again.describe()));
            QVERIFY(folderContents(to, {"sarvek.lock"}) == before);
        }
    }

    void problems_data()
    {
        QTest::addColumn<QByteArray>("from"); // text of BaseBundle to replace; empty: the whole document
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QStringList>("options"); // of import
        QTest::addColumn<QStringList>("pointers");
        QTest::addColumn<QString>("message"); // a part of the first problem's message

        QTest::newRow("not JSON") << QByteArray("\"version\": 1,") << QByteArray("\"version\": 1,,") << QStringList()
                                  << QStringList{""} << "not JSON: a member name expected at line 3";
        QTest::newRow("not UTF-8") << QByteArray("\"user\": \"demo01\"") << QByteArray("\"user\": \"\xff\"")
                                   << QStringList() << QStringList{""} << "not UTF-8 text";
        QTest::newRow("not an object") << QByteArray() << QByteArray("[1, 2]") << QStringList() << QStringList{""}
                                       << "expected an object, not an array";
        QTest::newRow("another format") << QByteArray("\"strategylogic-bundle\"") << QByteArray("\"other\"")
                                        << QStringList() << QStringList{"/format"} << "the format is other";
        QTest::newRow("no format") << QByteArray("\"format\": \"strategylogic-bundle\",") << QByteArray()
                                   << QStringList() << QStringList{"/format"} << "missing";
        QTest::newRow("later version") << QByteArray("\"version\": 1") << QByteArray("\"version\": 2") << QStringList()
                                       << QStringList{"/version"} << "version 2 is not known";
        QTest::newRow("missing list") << QByteArray("\"locks\": [\n        \"D:/s/abc.py\"\n    ],") << QByteArray()
                                      << QStringList() << QStringList{"/locks"} << "missing";
        QTest::newRow("missing field") << QByteArray("\"extraInfo\": \"note\", ") << QByteArray() << QStringList()
                                       << QStringList{"/fixedStrategies/1/extraInfo"} << "missing";
        QTest::newRow("text for a number")
            << QByteArray("\"copyIndex\": 1}") << QByteArray("\"copyIndex\": \"1\"}") << QStringList()
            << QStringList{"/fixedStrategies/1/copyIndex"} << "expected a whole number, not a text";
        QTest::newRow("mistyped values") << QByteArray("\"lastFundAccount\": \"880001\",\n    \"runMode\": 0")
                                         << QByteArray("\"lastFundAccount\": 880001,\n    \"runMode\": \"0\"")
                                         << QStringList() << QStringList{"/lastFundAccount", "/runMode"}
                                         << "expected a text, not a number";
        QTest::newRow("separator in a name")
            << QByteArray("\"name\": \"abc\",") << QByteArray("\"name\": \"a,%&b\",") << QStringList()
            << QStringList{"/fixedStrategies/0/name"} << "a text holds \",%&\", which the data file cannot hold";
        QTest::newRow("carriage return") << QByteArray("\"extraInfo\": \"note\"")
                                         << QByteArray("\"extraInfo\": \"no\\rte\"") << QStringList()
                                         << QStringList{"/fixedStrategies/1/extraInfo"} << "a carriage return";
        QTest::newRow("line feed in a path")
            << QByteArray("\"filePath\": \"D:/s/abc.py\", \"group\": \"趋势\"")
            << QByteArray("\"filePath\": \"D:/s/\\nabc.py\", \"group\": \"趋势\"") << QStringList()
            << QStringList{"/fixedStrategies/0/filePath"} << "a line feed";
        QTest::newRow("NUL in a lock") << QByteArray("\"D:/s/abc.py\"\n    ]")
                                       << QByteArray("\"D:/s/\\u0000abc.py\"\n    ]") << QStringList()
                                       << QStringList{"/locks/0"} << "a NUL";
        QTest::newRow("semicolon in a group")
            << QByteArray("{\"name\": \"趋势\", \"createTime\"") << QByteArray("{\"name\": \"趋;势\", \"createTime\"")
            << QStringList() << QStringList{"/groups/0/name", "/fixedStrategies/0/group"}
            << "which the groups file cannot hold";
        QTest::newRow("built-in group with a time")
            << QByteArray("\"默认分组\", \"createTime\": null")
            << QByteArray("\"默认分组\", \"createTime\": \"2026-12-01T09:00:00\"") << QStringList()
            << QStringList{"/groups/1/createTime"} << "built-in group";
        QTest::newRow("built-in group not here")
            << QByteArray("\"createTime\": null}")
            << QByteArray("\"createTime\": null}, {\"name\": \"自动启动\", \"createTime\": null}") << QStringList()
            << QStringList{"/groups/2/name"} << "an import cannot create";
        QTest::newRow("group not listed") << QByteArray("\"group\": \"默认分组\"") << QByteArray("\"group\": \"套利\"")
                                          << QStringList() << QStringList{"/fixedStrategies/1/group"} << "套利";
        QTest::newRow("duplicate id") << QByteArray("\"id\": 18") << QByteArray("\"id\": 17") << QStringList()
                                      << QStringList{"/fixedStrategies/1/id"} << "also the id of /fixedStrategies/0";
        QTest::newRow("id not whole") << QByteArray("\"id\": 18") << QByteArray("\"id\": 1.5") << QStringList()
                                      << QStringList{"/fixedStrategies/1/id"} << "expected a whole number, not 1.5";
        QTest::newRow("empty name") << QByteArray("\"name\": \"abc\",") << QByteArray("\"name\": \"\",")
                                    << QStringList() << QStringList{"/fixedStrategies/0/name"} << "needs a name";
        QTest::newRow("member twice") << QByteArray("\"copyIndex\": 0}")
                                      << QByteArray("\"copyIndex\": 0, \"copyIndex\": 1}") << QStringList()
                                      << QStringList{"/fixedStrategies/0/copyIndex"} << "given twice";
        QTest::newRow("no such date") << QByteArray("\"date\": \"2026-12-01\"")
                                      << QByteArray("\"date\": \"2026-02-30\"") << QStringList()
                                      << QStringList{"/backtestDays/0/date"} << "not a date";
        QTest::newRow("time not ISO") << QByteArray("\"startTime\": \"2026-12-01T09:30:00\"")
                                      << QByteArray("\"startTime\": \"2026-12-01 09:30\"") << QStringList()
                                      << QStringList{"/instances/0/startTime"} << "not a local time";
        QTest::newRow("one time only") << QByteArray("\"endTime\": \"2026-12-01T15:00:00\"")
                                       << QByteArray("\"endTime\": null") << QStringList()
                                       << QStringList{"/instances/0/endTime"} << "both set or both null";
        QTest::newRow("times of a text id") << QByteArray("\"instanceId\": \"1024\", \"runMode\"")
                                            << QByteArray("\"instanceId\": \"bt-1\", \"runMode\"") << QStringList()
                                            << QStringList{"/instances/0/startTime"} << "plain decimal number";
        QTest::newRow("instance twice")
            << QByteArray("\"2026-12-01T15:00:00\"}")
            << QByteArray("\"2026-12-01T15:00:00\"}, {\"instanceId\": \"1024\", \"runMode\": 1, \"fundAccount\": \"\", "
                          "\"returnRegInfo\": \"\", \"startTime\": null, \"endTime\": null}")
            << QStringList() << QStringList{"/instances/1/instanceId"} << "also /instances/0";
        QTest::newRow("day twice")
            << QByteArray("\"endFunds\": 101000.5}")
            << QByteArray("\"endFunds\": 101000.5}, {\"instanceId\": \"1024\", \"date\": \"2026-12-01\", "
                          "\"initialFunds\": 1, \"endFunds\": 2}")
            << QStringList() << QStringList{"/backtestDays/1/date"} << "also /backtestDays/0";
        QTest::newRow("amount beyond a double")
            << QByteArray("\"endFunds\": 101000.5") << QByteArray("\"endFunds\": 1e999") << QStringList()
            << QStringList{"/backtestDays/0/endFunds"} << "Infinity is not a finite amount";
        QTest::newRow("NaN amount") << QByteArray("\"initialFunds\": 100000") << QByteArray("\"initialFunds\": NaN")
                                    << QStringList() << QStringList{"/backtestDays/0/initialFunds"}
                                    << "NaN is not a finite amount";
        QTest::newRow("replace takes no backup")
            << QByteArray("\"name\": \"abc\",") << QByteArray("\"name\": \"a\\rb\",") << QStringList{"--replace"}
            << QStringList{"/fixedStrategies/0/name"} << "a carriage return";
        QTest::newRow("deeply nested") << QByteArray("\"user\": \"demo01\"")
                                       << QByteArray("\"user\": ") + QByteArray(100, '[') + QByteArray(100, ']')
                                       << QStringList() << QStringList{"/user" + QString("/0").repeated(64)}
                                       << "nested more than 64 deep";
    }

    // Every problem is reported at its JSON pointer, and the folder stays
    // as it was, byte for byte.
    void problems()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QStringList, options);
        QFETCH(QStringList, pointers);
        QFETCH(QString, message);
        static const QString folder = folderWith("group add 趋势\nstrategy add D:/s/abc.py abc\nlock on D:/s/x.py\n"
                                                 "instance add 7 1\ncash day 7 2026-12-01 1 2\n");
        QVERIFY(!folder.isEmpty());
        QByteArray document = BaseBundle;
        if (from.isEmpty()) {
            document = to;
        } else {
            QVERIFY2(document.count(from) == 1, from.constData());
            document.replace(from, to);
        }
        const QString file = bundleFile(QStringLiteral("problem.json"), document);

        const QMap<QString, QByteArray> before = folderContents(folder, {"sarvek.lock"});
        const ProcessResult r = run(folder, QStringList{"--json", "import", file} + options);
        CHECK_EXIT(r, 1);
        const QJsonObject error = QJsonDocument::fromJson(r.out).object().value("error").toObject();
        QCOMPARE(error.value("kind").toString(), QStringLiteral("refused"));
        QStringList found;
        for (const QJsonValue &problem : error.value("problems").toArray())
            found << problem.toObject().value("pointer").toString();
        QCOMPARE(found, pointers);
        const QString first = error.value("problems").toArray().at(0).toObject().value("message").toString();
        QVERIFY2(first.contains(message), qPrintable(r.describe()));
        QVERIFY2(r.errText().contains(QStringLiteral("%1: %2").arg(
                     pointers.first().isEmpty() ? "(the document)" : pointers.first(), first)),
                 qPrintable(r.describe()));
        QVERIFY(folderContents(folder, {"sarvek.lock"}) == before);
    }

    // Merge keeps what the folder has (an equal strategy, an instance, a
    // day, a remembered value), adds the rest; --dry-run says exactly that
    // and changes nothing.
    void mergeKeepsWhatIsThere()
    {
        const QString folder = folderWith("group add 趋势\nstrategy add D:/s/abc.py abc --group 趋势\n"
                                          "instance add 1024 1 --account 990001\ncash day 1024 2026-12-01 5 6\n"
                                          "product set P002\n");
        QVERIFY(!folder.isEmpty());
        const QString file = bundleFile(QStringLiteral("merge.json"), BaseBundle);
        const QStringList expected{"/groups/0 keep",         "/groups/1 keep",    "/fixedStrategies/0 keep",
                                   "/fixedStrategies/1 add", "/locks/0 add",      "/instances/0 keep",
                                   "/backtestDays/0 keep",   "/lastProduct keep", "/lastFundAccount set",
                                   "/pythonPath set"};
        const QJsonArray strategiesBefore = json(folder, {"strategy", "list"}).array();

        const QMap<QString, QByteArray> before = folderContents(folder, {"sarvek.lock"});
        const ProcessResult dry = run(folder, {"--json", "import", file, "--dry-run"});
        CHECK_EXIT(dry, 0);
        const QJsonObject planned = QJsonDocument::fromJson(dry.out).object();
        QCOMPARE(actions(planned), expected);
        QCOMPARE(planned.value("dryRun").toBool(), true);
        QVERIFY(folderContents(folder, {"sarvek.lock"}) == before);

        const ProcessResult done = run(folder, {"--json", "import", file});
        CHECK_EXIT(done, 0);
        const QJsonObject applied = QJsonDocument::fromJson(done.out).object();
        QCOMPARE(applied.value("ok").toBool(), true);
        QCOMPARE(applied.value("changes"), planned.value("changes"));

        const QJsonArray strategies = json(folder, {"strategy", "list"}).array();
        QCOMPARE(strategies.at(0), strategiesBefore.at(0)); // the equal one, id and all
        QCOMPARE(strategyRows(strategies),
                 (QStringList{"abc|D:/s/abc.py|趋势||0", "abc_1|D:/s/abc.py|默认分组|note|1"}));
        const QJsonObject instance = json(folder, {"instance", "show", "1024"}).object();
        QCOMPARE(instance.value("fundAccount").toString(), QStringLiteral("990001"));
        QCOMPARE(instance.value("startTime"), QJsonValue());
        const QJsonObject day = json(folder, {"cash", "show", "1024", "2026-12-01"}).object();
        QCOMPARE(day.value("initialFunds").toDouble(), 5.0);
        QCOMPARE(day.value("endFunds").toDouble(), 6.0);
        QCOMPARE(json(folder, {"product"}).object().value("product").toString(), QStringLiteral("P002"));
        QCOMPARE(json(folder, {"fundaccount"}).object().value("fundAccount").toString(), QStringLiteral("880001"));
        QCOMPARE(json(folder, {"python"}).object().value("path").toString(), QStringLiteral("C:/Python311"));
        QCOMPARE(run(folder, {"lock", "status", "D:/s/abc.py"}).outText().trimmed(), QStringLiteral("true"));
    }

    void mergeResolvesNameClashes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("strategies"); // after the import, in id order
        QTest::newRow("merge") << "--merge" << QStringList{"keep", "rename", "rename", "add", "rename"}
                               << QStringList{"abc|D:/s/abc.py|默认分组||0",   "abc1|D:/s/abc.py|默认分组||0",
                                              "abc2|D:/s/abc.py|默认分组|x|0", "abc3|D:/s/abc.py|默认分组||0",
                                              "abc|D:/t/abc.py|默认分组||0",   "abc4|D:/s/abc.py|默认分组||1"};
        QTest::newRow("replace") << "--replace" << QStringList{"add", "rename", "add", "add", "rename"}
                                 << QStringList{"abc|D:/s/abc.py|默认分组||0", "abc1|D:/s/abc.py|默认分组|x|0",
                                                "abc2|D:/s/abc.py|默认分组||0", "abc|D:/t/abc.py|默认分组||0",
                                                "abc3|D:/s/abc.py|默认分组||1"};
    }

    // A name the file has already takes the plug-in's default name (the
    // file's base name and a number), also against names given earlier in
    // the same bundle; --dry-run foresees the same names.
    void mergeResolvesNameClashes()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, actions);
        QFETCH(QStringList, strategies);
        const QString folder = folderWith("strategy add D:/s/abc.py abc\nstrategy add D:/s/abc.py abc1\n");
        QVERIFY(!folder.isEmpty());
        QJsonObject bundle = QJsonDocument::fromJson(BaseBundle).object();
        const auto strategy = [](int id, const QString &name, const QString &path, const QString &extra, int copy) {
            return QJsonObject{{"id", id},           {"name", name},     {"filePath", path}, {"group", "默认分组"},
                               {"extraInfo", extra}, {"copyIndex", copy}};
        };
        bundle.insert("fixedStrategies",
                      QJsonArray{strategy(1, "abc", "D:/s/abc.py", "", 0), strategy(2, "abc", "D:/s/abc.py", "x", 0),
                                 strategy(3, "abc2", "D:/s/abc.py", "", 0), strategy(4, "abc", "D:/t/abc.py", "", 0),
                                 strategy(5, "abc1", "D:/s/abc.py", "", 1)});
        const QString file = bundleFile(QStringLiteral("clash.json"), QJsonDocument(bundle).toJson());

        const ProcessResult dry = run(folder, {"--json", "import", file, mode, "--dry-run"});
        CHECK_EXIT(dry, 0);
        const ProcessResult done = run(folder, {"--json", "import", file, mode});
        CHECK_EXIT(done, 0);
        const QJsonArray planned = QJsonDocument::fromJson(dry.out).object().value("changes").toArray();
        const QJsonArray applied = QJsonDocument::fromJson(done.out).object().value("changes").toArray();
        QCOMPARE(applied.size(), planned.size());
        QStringList found;
        for (int i = 0; i < applied.size(); ++i) {
            const QJsonObject change = applied.at(i).toObject();
            // Backups carry the time of their making.
            if (change.value("action") != QStringLiteral("backup"))
                QCOMPARE(change, planned.at(i).toObject());
            if (change.value("pointer").toString().startsWith("/fixedStrategies/"))
                found << change.value("action").toString();
        }
        QCOMPARE(found, actions);
        QCOMPARE(strategyRows(json(folder, {"strategy", "list"}).array()), strategies);
    }

    // --replace keeps the former data file and groups file beside them, and
    // leaves the user groups the bundle does not list out; those it lists
    // keep their creation times.
    void replaceKeepsBackups()
    {
        const QString folder = folderWith("group add 旧组\ngroup add 趋势\nstrategy add D:/old.py old --group 旧组\n");
        QVERIFY(!folder.isEmpty());
        const QByteArray data = readFile(m_home.filePath(DataFile));
        const QByteArray groups = readFile(m_home.filePath(GroupsFile));
        QVERIFY(!data.isEmpty() && !groups.isEmpty());
        QJsonValue trendCreated;
        for (const QJsonValue &group : json(folder, {"group", "list"}).array()) {
            if (group.toObject().value("name") == QStringLiteral("趋势"))
                trendCreated = group.toObject().value("createTime");
        }
        QVERIFY(trendCreated.isString());

        const QString file = bundleFile(QStringLiteral("replace.json"), BaseBundle);
        // Without room for the backups, nothing goes.
        const QMap<QString, QByteArray> before = folderContents(folder, {"sarvek.lock"});
        ProcessResult full;
        {
            FileSizeLimit limit(8);
            full = run(folder, {"import", file, "--replace"});
        }
        CHECK_EXIT(full, 3);
        QVERIFY2(full.errText().contains("cannot back up"), qPrintable(full.describe()));
        QVERIFY(folderContents(folder, {"sarvek.lock"}) == before);

        const ProcessResult r = run(folder, {"import", file, "--replace"});
        CHECK_EXIT(r, 0);
        const QDir work(m_home.filePath("work/demo01"));
        const QStringList dataBackups = work.entryList({"SarvekFixStrategy.dat.bak-*"}, QDir::Files);
        const QStringList groupBackups = work.entryList({"SarvekFixedStrategyGroups.txt.bak-*"}, QDir::Files);
        QCOMPARE(dataBackups.size(), 1);
        QCOMPARE(groupBackups.size(), 1);
        QVERIFY(
            QRegularExpression("^SarvekFixStrategy\\.dat\\.bak-\\d{8}-\\d{6}$").match(dataBackups.first()).hasMatch());
        QCOMPARE(readFile(work.filePath(dataBackups.first())), data);
        QCOMPARE(readFile(work.filePath(groupBackups.first())), groups);
        QVERIFY2(r.outText().contains(work.filePath(dataBackups.first())), qPrintable(r.describe()));

        QCOMPARE(strategyRows(json(folder, {"strategy", "list"}).array()),
                 (QStringList{"abc|D:/s/abc.py|趋势||0", "abc_1|D:/s/abc.py|默认分组|note|1"}));
        const QJsonArray after = json(folder, {"group", "list"}).array();
        QCOMPARE(after.size(), 2);
        QCOMPARE(after.at(0).toObject().value("name").toString(), QStringLiteral("趋势"));
        QCOMPARE(after.at(0).toObject().value("createTime"), trendCreated);
        QCOMPARE(after.at(1).toObject().value("name").toString(), QStringLiteral("默认分组"));

        // Another replace keeps backups of its own, in whatever second it runs.
        CHECK_EXIT(run(folder, {"import", file, "--replace"}), 0);
        QCOMPARE(work.entryList({"SarvekFixStrategy.dat.bak-*"}, QDir::Files).size(), 2);
    }

    void exportFailures_data()
    {
        QTest::addColumn<QString>("target"); // relative to the bundle folder
        QTest::addColumn<qint64>("sizeLimit"); // of the files strategyctl writes; 0: none
        QTest::newRow("a folder") << "." << qint64(0);
        QTest::newRow("missing folder") << "none/bundle.json" << qint64(0);
        QTest::newRow("full disk") << "full.json" << qint64(600);
    }

    // A bundle that cannot be written is io (status 3), and a file that was
    // there stays as it was.
    void exportFailures()
    {
        QFETCH(QString, target);
        QFETCH(qint64, sizeLimit);
        const QString folder = folderWith("strategy add D:/s/a-long-name-for-a-strategy.py s --count 3\n");
        QVERIFY(!folder.isEmpty());
        const QString path
            = bundleFile(target, target.endsWith(".json") && sizeLimit ? QByteArray("old\n") : QByteArray());
        ProcessResult r;
        {
            std::unique_ptr<FileSizeLimit> limit(sizeLimit ? new FileSizeLimit(sizeLimit) : nullptr);
            r = run(folder, {"--json", "export", path});
        }
        CHECK_EXIT(r, 3);
        QCOMPARE(QJsonDocument::fromJson(r.out).object().value("error").toObject().value("kind").toString(),
                 QStringLiteral("io"));
        QVERIFY2(r.errText().contains(QStringLiteral("cannot write ")), qPrintable(r.describe()));
        if (sizeLimit) {
            QCOMPARE(readFile(path), QByteArray("old\n"));
            QCOMPARE(QDir(m_files.path()).entryList({QFileInfo(path).fileName() + ".*"}), QStringList()); // no leftover
        }
    }

    // A relative FILE is from the folder strategyctl was started in, for
    // both commands.
    void relativeFileIsFromStartingFolder()
    {
        const QString from = folderWith("strategy add D:/s/abc.py abc\n");
        QVERIFY(!from.isEmpty());
        const QString to = newFolder();
        const QString program = QStringLiteral(STRATEGYCTL_PATH);
        CHECK_EXIT(runProcess(program, {"--home", from, "export", "relative.json"}, m_home.processEnvironment(),
                              m_files.path()),
                   0);
        QVERIFY(QFileInfo::exists(m_files.filePath("relative.json")));
        CHECK_EXIT(
            runProcess(program, {"--home", to, "import", "relative.json"}, m_home.processEnvironment(), m_files.path()),
            0);
        QCOMPARE(strategyRows(json(to, {"strategy", "list"}).array()), QStringList{"abc|D:/s/abc.py|默认分组||0"});
    }

    // Only so much is read: a device or a pipe without end is refused.
    void endlessInputIsRefused()
    {
        const QString folder = newFolder();
        const ProcessResult r = run(folder, {"--json", "import", "/dev/zero"});
        CHECK_EXIT(r, 1);
        const QJsonArray problems
            = QJsonDocument::fromJson(r.out).object().value("error").toObject().value("problems").toArray();
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.at(0).toObject().value("message").toString().startsWith("larger than a bundle can be"),
                 qPrintable(r.describe()));
    }

    // A folder that cannot be written is found before anything changes.
    void readOnlyFolderChangesNothing()
    {
        const QString folder = folderWith("strategy add D:/s/abc.py abc\n");
        QVERIFY(!folder.isEmpty());
        const QString file = bundleFile(QStringLiteral("readonly.json"), BaseBundle);
        const QMap<QString, QByteArray> before = folderContents(folder, {"sarvek.lock"});
        ReadOnlyFolder readOnly(m_home.filePath("work"));
        if (!readOnly.isValid())
            QSKIP("mounting a folder read-only needs root");
        const ProcessResult r = run(folder, {"import", file, "--replace"});
        CHECK_EXIT(r, 3);
        QVERIFY2(r.errText().contains("nothing was changed"), qPrintable(r.describe()));
        QVERIFY(folderContents(folder, {"sarvek.lock"}) == before);
    }
};

QTEST_GUILESS_MAIN(tst_Bundle)
#include "tst_bundle.moc"
