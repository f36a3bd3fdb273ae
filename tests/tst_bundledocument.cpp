// The check of a bundle's text on its own (StrategyLogic::checkBundle(), as
// every import starts): text that is not UTF-8 or not JSON, members given
// twice, numbers that are not finite or out of range, wrong types, texts
// the files cannot hold, records given twice. Each row changes one thing in
// a valid bundle and names every problem exactly, at its JSON pointer. No
// plug-in is needed.

#include "bundlesample.h"

#include <QtTest>

namespace {
// A row: `from` (once in BaseBundle; empty: the whole document) becomes `to`.
void row(const char *name, const QByteArray &from, const QByteArray &to, const QStringList &problems)
{
    QTest::newRow(name) << from << to << problems;
}

// The local time, in this machine's time zone, of `msecs` after
// 1970-01-01T00:00:00 UTC, as a bundle writes it.
QString local(qint64 msecs)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(msecs);
    return time.toString(msecs % 1000 ? "yyyy-MM-ddTHH:mm:ss.zzz" : "yyyy-MM-ddTHH:mm:ss");
}
} // namespace

class tst_BundleDocument : public QObject
{
    Q_OBJECT

private slots:
    void problems_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QStringList>("problems"); // "pointer: message"
        const QByteArray user = "\"user\": \"demo01\"";
        const QByteArray locks = "\"locks\": [\n        \"D:/s/abc.py\"\n    ],";
        const QByteArray trend = "{\"name\": \"趋势\", \"createTime\"";
        const QByteArray lastId = "\"id\": 18";
        const QByteArray endFunds = "\"endFunds\": 101000.5";
        const QByteArray instanceId = "\"instanceId\": \"1024\", \"runMode\"";

        // Text that is not a document.
        row("valid", user, user, {});
        row("not UTF-8", user, "\"user\": \"\xff\"", {": not UTF-8 text"});
        row("UTF-8 cut off at the end", {}, BaseBundle + "\xe8\xb6", {": not UTF-8 text"});
        row("byte order mark", {}, "\xef\xbb\xbf" + BaseBundle, {});
        row("two byte order marks", {}, "\xef\xbb\xbf\xef\xbb\xbf" + BaseBundle,
            {QString::fromUtf8(": not JSON: unexpected \xef\xbb\xbf at line 1, column 1")});
        row("not JSON", "\"version\": 1,", "\"version\": 1,,", {": not JSON: a member name expected at line 3, column 18"});
        row("empty", {}, "", {": not JSON: the text ends early at line 1, column 1"});
        row("more after the document", {}, "{} x", {": not JSON: more text after the document at line 1, column 4"});
        row("not an object", {}, "[1, 2]", {": expected an object, not an array"});
        row("lone surrogate", user, "\"user\": \"\\ud800x\"",
            {"/user: not JSON: half of a surrogate pair at line 5, column 20"});
        row("raw control character", user, "\"user\": \"de\tmo01\"",
            {"/user: not JSON: a control character in a text (JSON writes it as an escape) at line 5, column 16"});
        row("unknown escape", user, "\"user\": \"de\\qmo01\"", {"/user: not JSON: an unknown escape at line 5, column 17"});
        row("deeply nested", user, "\"user\": " + QByteArray(100, '[') + QByteArray(100, ']'),
            {"/user" + QString("/0").repeated(64) + ": not JSON: values nested more than 64 deep at line 5, column 77"});
        row("number with a leading zero", "\"runMode\": 0", "\"runMode\": 01", {": not JSON: ',' or '}' expected at line 26, column 17"});
        row("number ending in a point", "\"runMode\": 0", "\"runMode\": 1.", {": not JSON: ',' or '}' expected at line 26, column 17"});
        row("number without an exponent", "\"runMode\": 0", "\"runMode\": 1e+", {": not JSON: ',' or '}' expected at line 26, column 17"});
        row("minus alone", "\"runMode\": 0", "\"runMode\": -", {"/runMode: not JSON: a malformed number at line 26, column 16"});
        row("numbers in every form", "\"runMode\": 0", "\"runMode\": -0.5e+1, \"x\": [0, -0, 1E2, 1e-400, 10.25E-1]", {});
        row("a fraction and an exponent read", lastId, "\"id\": 1.75E1", {"/fixedStrategies/1/id: expected a whole number, not 17.5"});
        row("\\u with a 0x prefix", user, "\"user\": \"\\u0x41\"", {"/user: not JSON: \\u without four hexadecimal digits at line 5, column 16"});
        row("\\u in both cases", user, "\"user\": \"\\u00e9\\u00C9\"", {});
        row("nested to the limit", user, "\"user\": " + QByteArray(64, '[') + QByteArray(64, ']'),
            {"/user: expected a text, not an array"});

        // Members given twice, named by pointers that escape "~" and "/".
        row("member twice", "\"copyIndex\": 0}", "\"copyIndex\": 0, \"copyIndex\": 1}",
            {"/fixedStrategies/0/copyIndex: the member is given twice"});
        row("member twice at the top", user + ",", user + ", \"user\": \"x\",", {"/user: the member is given twice"});
        row("member twice with ~ and /", "\"runMode\": 0,", "\"runMode\": 0, \"a/b~c\": 1, \"a/b~c\": 2,",
            {"/a~1b~0c: the member is given twice"});
        // The problems stop at 4 Mi characters: a long member name spelled in
        // each pointer would otherwise make them many times the document.
        const QByteArray longName(1024 * 1024, 'y');
        const QString twice = "/" + QString::fromLatin1(longName) + "/a: the member is given twice";
        row("problems past the bound counted, not listed", "\"runMode\": 0,",
            "\"runMode\": 0, \"" + longName + "\": {" + QByteArray("\"a\": 0, ").repeated(6) + "\"a\": 0},",
            {twice, twice, twice, twice, ": 2 more problems are not listed: the list stops at 4194304 characters"});
        row("escapes in a pointer of an error", "\"runMode\": 0,", "\"runMode\": 0, \"~/\": [tru],",
            {"/~0~1/0: not JSON: unexpected t at line 26, column 26"});

        // The format and the version.
        row("another format", "\"strategylogic-bundle\"", "\"other\"",
            {"/format: the format is other, not strategylogic-bundle"});
        row("format of another type", "\"strategylogic-bundle\"", "{\"a\": 1}",
            {"/format: the format is {\"a\":1}, not strategylogic-bundle"});
        row("no format", "\"format\": \"strategylogic-bundle\",", "",
            {"/format: missing: this is not a strategylogic-bundle document"});
        row("later version", "\"version\": 1", "\"version\": 2",
            {"/version: version 2 is not known; this strategyctl reads version 1"});
        row("version as a text", "\"version\": 1", "\"version\": \"1\"",
            {"/version: version 1 is not known; this strategyctl reads version 1"});
        row("neither format nor version, nothing else checked", {}, "{\"user\": 5}",
            {"/format: missing: this is not a strategylogic-bundle document", "/version: missing"});

        // Missing members and wrong types.
        row("missing list", locks, "", {"/locks: missing"});
        row("missing field", "\"extraInfo\": \"note\", ", "", {"/fixedStrategies/1/extraInfo: missing"});
        row("list not an array", locks, "\"locks\": {},", {"/locks: expected an array, not an object"});
        row("record not an object, the others keep their indexes", "\"fixedStrategies\": [\n",
            "\"fixedStrategies\": [\n        7,\n", {"/fixedStrategies/0: expected an object, not a number"});
        row("text for a number", "\"copyIndex\": 1}", "\"copyIndex\": \"1\"}",
            {"/fixedStrategies/1/copyIndex: expected a whole number, not a text"});
        row("mistyped values", "\"lastFundAccount\": \"880001\",\n    \"runMode\": 0",
            "\"lastFundAccount\": 880001,\n    \"runMode\": \"0\"",
            {"/lastFundAccount: expected a text, not a number", "/runMode: expected a whole number, not a text"});
        row("time of another type", "\"exportedAt\": \"2026-12-07T09:30:00\"", "\"exportedAt\": null",
            {"/exportedAt: expected a time, not null"});
        row("amount as a text", "\"initialFunds\": 100000", "\"initialFunds\": \"100000\"",
            {"/backtestDays/0/initialFunds: expected a number, not a text"});

        // Numbers.
        row("id not whole", lastId, "\"id\": 1.5", {"/fixedStrategies/1/id: expected a whole number, not 1.5"});
        row("id NaN", lastId, "\"id\": NaN", {"/fixedStrategies/1/id: expected a whole number, not NaN"});
        row("id 0", lastId, "\"id\": 0", {"/fixedStrategies/1/id: 0 is out of range (1 to 2147483647)"});
        row("id beyond 31 bits", lastId, "\"id\": 2147483648",
            {"/fixedStrategies/1/id: 2147483648 is out of range (1 to 2147483647)"});
        row("copy index below 32 bits", "\"copyIndex\": 1}", "\"copyIndex\": -2147483649}",
            {"/fixedStrategies/1/copyIndex: -2147483649 is out of range (-2147483648 to 2147483647)"});
        row("run mode far out of range", "\"runMode\": 0", "\"runMode\": 1e300",
            {"/runMode: 1e+300 is out of range (-2147483648 to 2147483647)"});
        row("NaN amount", "\"initialFunds\": 100000", "\"initialFunds\": NaN",
            {"/backtestDays/0/initialFunds: NaN is not a finite amount"});
        row("Infinity amount", endFunds, "\"endFunds\": Infinity",
            {"/backtestDays/0/endFunds: Infinity is not a finite amount"});
        row("-Infinity amount", endFunds, "\"endFunds\": -Infinity",
            {"/backtestDays/0/endFunds: -Infinity is not a finite amount"});
        row("amount beyond a double", endFunds, "\"endFunds\": -1e999",
            {"/backtestDays/0/endFunds: -Infinity is not a finite amount"});

        // Texts the files and the database cannot hold.
        row("separator in a name", "\"name\": \"abc\",", "\"name\": \"a,%&b\",",
            {"/fixedStrategies/0/name: a text holds \",%&\", which the data file cannot hold"});
        row("carriage return", "\"extraInfo\": \"note\"", "\"extraInfo\": \"no\\rte\"",
            {"/fixedStrategies/1/extraInfo: a text holds a carriage return, which the data file cannot hold"});
        row("line feed in a path", "\"filePath\": \"D:/s/abc.py\", \"group\": \"趋势\"",
            "\"filePath\": \"D:/s/\\nabc.py\", \"group\": \"趋势\"",
            {"/fixedStrategies/0/filePath: a text holds a line feed, which the data file cannot hold"});
        row("NUL in a lock", "\"D:/s/abc.py\"\n    ]", "\"D:/s/\\u0000abc.py\"\n    ]",
            {"/locks/0: a text holds a NUL, which cannot be stored"});
        row("NUL in a fund account", "\"fundAccount\": \"880001\"", "\"fundAccount\": \"88\\u00000001\"",
            {"/instances/0/fundAccount: a text holds a NUL, which cannot be stored"});
        row("NUL in the user", user, "\"user\": \"\\u0000\"", {"/user: a text holds a NUL, which cannot be stored"});
        row("semicolon in a group", trend, "{\"name\": \"趋;势\", \"createTime\"",
            {"/groups/0/name: a group name holds \";\", which the groups file cannot hold",
             "/fixedStrategies/0/group: the group 趋势 is not listed in /groups"});
        row("comma in a group", trend, "{\"name\": \"趋,势\", \"createTime\"",
            {"/groups/0/name: a group name holds \",\", which the groups file cannot hold",
             "/fixedStrategies/0/group: the group 趋势 is not listed in /groups"});
        row("empty name", "\"name\": \"abc\",", "\"name\": \"\",",
            {"/fixedStrategies/0/name: a fixed strategy needs a name"});
        row("empty instance id", instanceId, "\"instanceId\": \"\", \"runMode\"",
            {"/instances/0/instanceId: an instance needs an id"});
        row("empty day instance id", "\"instanceId\": \"1024\", \"date\"", "\"instanceId\": \"\", \"date\"",
            {"/backtestDays/0/instanceId: a day needs an instance id"});

        // Groups.
        row("built-in group with a time", "\"默认分组\", \"createTime\": null",
            "\"默认分组\", \"createTime\": \"2026-12-01T09:00:00\"",
            {"/groups/1/createTime: 默认分组 is a built-in group: its createTime is null"});
        row("group not listed", "\"group\": \"默认分组\"", "\"group\": \"套利\"",
            {"/fixedStrategies/1/group: the group 套利 is not listed in /groups"});
        row("group twice", "\"createTime\": null}", "\"createTime\": null}, {\"name\": \"趋势\", \"createTime\": null}",
            {"/groups/2/name: the group 趋势 is also /groups/0"});

        // Records given twice.
        row("duplicate id", lastId, "\"id\": 17", {"/fixedStrategies/1/id: the id 17 is also the id of /fixedStrategies/0"});
        row("instance twice", "\"2026-12-01T15:00:00\"}",
            "\"2026-12-01T15:00:00\"}, {\"instanceId\": \"1024\", \"runMode\": 1, \"fundAccount\": \"\", "
            "\"returnRegInfo\": \"\", \"startTime\": null, \"endTime\": null}",
            {"/instances/1/instanceId: the instance 1024 is also /instances/0"});
        row("day twice", endFunds + "}",
            endFunds + "}, {\"instanceId\": \"1024\", \"date\": \"2026-12-01\", \"initialFunds\": 1, \"endFunds\": 2}",
            {"/backtestDays/1/date: the day 2026-12-01 of instance 1024 is also /backtestDays/0"});

        // Times and dates.
        row("no such date", "\"date\": \"2026-12-01\"", "\"date\": \"2026-02-30\"",
            {"/backtestDays/0/date: 2026-02-30 is not a date written yyyy-MM-dd"});
        row("time not ISO", "\"startTime\": \"2026-12-01T09:30:00\"", "\"startTime\": \"2026-12-01 09:30\"",
            {"/instances/0/startTime: '2026-12-01 09:30' is not a local time written yyyy-MM-ddTHH:mm:ss"});
        row("time with milliseconds", "\"endTime\": \"2026-12-01T15:00:00\"", "\"endTime\": \"2026-12-01T15:00:00.250\"", {});
        row("one time only", "\"endTime\": \"2026-12-01T15:00:00\"", "\"endTime\": null",
            {"/instances/0/endTime: startTime and endTime are both set or both null"});
        // Times the local database and the groups file would not give back,
        // around 1970-01-01T00:00:00 UTC in this machine's time zone.
        const QByteArray end = "\"endTime\": \"2026-12-01T15:00:00\"";
        const auto endAt = [](qint64 msecs) -> QByteArray { return "\"endTime\": \"" + local(msecs).toUtf8() + '"'; };
        const auto ends = [](qint64 msecs) -> QString {
            return "/instances/0/endTime: " + local(msecs)
                + " is an end time the local database cannot keep: less than 1 second before to less than 10 "
                  "seconds after 1970-01-01T00:00:00 UTC, it reads the times back as none";
        };
        // Qt names some instants before the epoch wrongly in zones whose
        // offset has changed since (Pacific/Kiritimati): rows only for those
        // this machine's zone gives back.
        const auto named = [](qint64 msecs) {
            return QDateTime::fromString(local(msecs), "yyyy-MM-ddTHH:mm:ss.zzz").toMSecsSinceEpoch() == msecs
                || QDateTime::fromString(local(msecs), "yyyy-MM-ddTHH:mm:ss").toMSecsSinceEpoch() == msecs;
        };
        row("end time at the epoch", end, endAt(0), {ends(0)});
        row("end time just under 10 seconds after", end, endAt(9999), {ends(9999)});
        row("end time 10 seconds after", end, endAt(10000), {});
        if (named(-999))
            row("end time just under 1 second before", end, endAt(-999), {ends(-999)});
        if (named(-1000))
            row("end time 1 second before", end, endAt(-1000), {});
        row("start time at the epoch", "\"startTime\": \"2026-12-01T09:30:00\"",
            "\"startTime\": \"" + local(0).toUtf8() + '"', {});
        const QByteArray created = "\"createTime\": \"2020-12-01T09:00:00\"";
        const auto createdAt = [](qint64 msecs) -> QByteArray { return "\"createTime\": \"" + local(msecs).toUtf8() + '"'; };
        const auto before = [](const QString &time) -> QString {
            return "/groups/0/createTime: " + time
                + " is before 1970-01-01T00:00:01 UTC, which the groups file cannot keep: the group would be given "
                  "the time of the import";
        };
        row("group created at the epoch", created, createdAt(0), {before(local(0))});
        row("group created just under 1 second after", created, createdAt(999), {before(local(999))});
        row("group created 1 second after", created, createdAt(1000), {});
        row("group created in 1900", created, "\"createTime\": \"1900-01-01T00:00:00\"", {before("1900-01-01T00:00:00")});
        row("group created with milliseconds", created, "\"createTime\": \"2020-12-01T09:00:00.001\"",
            {"/groups/0/createTime: 2020-12-01T09:00:00.001 has milliseconds, which the groups file cannot keep: it "
             "keeps whole seconds"});
        row("built-in group created in 1900, one problem", "\"默认分组\", \"createTime\": null",
            "\"默认分组\", \"createTime\": \"1900-01-01T00:00:00\"",
            {"/groups/1/createTime: 默认分组 is a built-in group: its createTime is null"});
        row("times of a text id", instanceId, "\"instanceId\": \"bt-1\", \"runMode\"",
            {"/instances/0/startTime: times are kept only for an instance whose id is a plain decimal number, not bt-1"});
    }

    // Every problem of a document, exactly, at its pointer and in the order
    // of the document.
    void problems()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QStringList, problems);
        QCOMPARE(described(StrategyLogic::checkBundle(changed(from, to))), problems);
    }
};

QTEST_GUILESS_MAIN(tst_BundleDocument)
#include "tst_bundledocument.moc"
