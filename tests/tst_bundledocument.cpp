// The check of a bundle's text on its own (StrategyLogic::checkBundle(), as
// every import starts): text that is not UTF-8 or not JSON, members given
// twice, numbers that are not finite or out of range, wrong types, texts
// the files cannot hold, records given twice. Each row changes one thing in
// a valid bundle and names every problem exactly, at its JSON pointer. No
// plug-in is needed.

#include "bundlesample.h"

#include <QtTest>

class tst_BundleDocument : public QObject
{
    Q_OBJECT

private slots:
    void problems_data()
    {
        QTest::addColumn<QByteArray>("from"); // text of BaseBundle to replace; empty: the whole document
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QStringList>("problems"); // "pointer: message"

        // Text that is not a document.
        QTest::newRow("valid") << QByteArray("\"user\"") << QByteArray("\"user\"") << QStringList();
        QTest::newRow("not UTF-8") << QByteArray("\"user\": \"demo01\"") << QByteArray("\"user\": \"\xff\"")
                                   << QStringList{": not UTF-8 text"};
        QTest::newRow("UTF-8 cut off at the end") << QByteArray() << BaseBundle + "\xe8\xb6"
                                                  << QStringList{": not UTF-8 text"};
        QTest::newRow("byte order mark") << QByteArray() << "\xef\xbb\xbf" + BaseBundle << QStringList();
        QTest::newRow("two byte order marks")
            << QByteArray() << "\xef\xbb\xbf\xef\xbb\xbf" + BaseBundle
            << QStringList{QString::fromUtf8(": not JSON: unexpected \xef\xbb\xbf at line 1, column 1")};
        QTest::newRow("not JSON") << QByteArray("\"version\": 1,") << QByteArray("\"version\": 1,,")
                                  << QStringList{": not JSON: a member name expected at line 3, column 18"};
        QTest::newRow("empty") << QByteArray() << QByteArray("")
                               << QStringList{": not JSON: the text ends early at line 1, column 1"};
        QTest::newRow("more after the document") << QByteArray() << QByteArray("{} x")
                                                 << QStringList{": not JSON: more text after the document at line "
                                                                "1, column 4"};
        QTest::newRow("not an object") << QByteArray() << QByteArray("[1, 2]")
                                       << QStringList{": expected an object, not an array"};
        QTest::newRow("lone surrogate") << QByteArray("\"user\": \"demo01\"") << QByteArray("\"user\": \"\\ud800x\"")
                                        << QStringList{"/user: not JSON: half of a surrogate pair at line 5, column 20"};
        QTest::newRow("raw control character")
            << QByteArray("\"user\": \"demo01\"") << QByteArray("\"user\": \"de\tmo01\"")
            << QStringList{"/user: not JSON: a control character in a text (JSON writes it as an escape) at line 5, "
                           "column 16"};
        QTest::newRow("unknown escape") << QByteArray("\"user\": \"demo01\"") << QByteArray("\"user\": \"de\\qmo01\"")
                                        << QStringList{"/user: not JSON: an unknown escape at line 5, column 17"};
        QTest::newRow("deeply nested")
            << QByteArray("\"user\": \"demo01\"") << QByteArray("\"user\": ") + QByteArray(100, '[') + QByteArray(100, ']')
            << QStringList{"/user" + QString("/0").repeated(64)
                           + ": not JSON: values nested more than 64 deep at line 5, column 77"};
        QTest::newRow("nested to the limit")
            << QByteArray("\"user\": \"demo01\"") << QByteArray("\"user\": ") + QByteArray(64, '[') + QByteArray(64, ']')
            << QStringList{"/user: expected a text, not an array"};

        // Members given twice, named by pointers that escape "~" and "/".
        QTest::newRow("member twice") << QByteArray("\"copyIndex\": 0}")
                                      << QByteArray("\"copyIndex\": 0, \"copyIndex\": 1}")
                                      << QStringList{"/fixedStrategies/0/copyIndex: the member is given twice"};
        QTest::newRow("member twice at the top") << QByteArray("\"user\": \"demo01\",")
                                                 << QByteArray("\"user\": \"demo01\", \"user\": \"x\",")
                                                 << QStringList{"/user: the member is given twice"};
        QTest::newRow("member twice with ~ and /")
            << QByteArray("\"runMode\": 0,") << QByteArray("\"runMode\": 0, \"a/b~c\": 1, \"a/b~c\": 2,")
            << QStringList{"/a~1b~0c: the member is given twice"};
        QTest::newRow("escapes in a pointer of an error")
            << QByteArray("\"runMode\": 0,") << QByteArray("\"runMode\": 0, \"~/\": [tru],")
            << QStringList{"/~0~1/0: not JSON: unexpected t at line 26, column 26"};

        // The format and the version.
        QTest::newRow("another format") << QByteArray("\"strategylogic-bundle\"") << QByteArray("\"other\"")
                                        << QStringList{"/format: the format is other, not strategylogic-bundle"};
        QTest::newRow("format of another type")
            << QByteArray("\"strategylogic-bundle\"") << QByteArray("{\"a\": 1}")
            << QStringList{"/format: the format is {\"a\":1}, not strategylogic-bundle"};
        QTest::newRow("no format") << QByteArray("\"format\": \"strategylogic-bundle\",") << QByteArray()
                                   << QStringList{"/format: missing: this is not a strategylogic-bundle document"};
        QTest::newRow("later version")
            << QByteArray("\"version\": 1") << QByteArray("\"version\": 2")
            << QStringList{"/version: version 2 is not known; this strategyctl reads version 1"};
        QTest::newRow("version as a text")
            << QByteArray("\"version\": 1") << QByteArray("\"version\": \"1\"")
            << QStringList{"/version: version 1 is not known; this strategyctl reads version 1"};
        QTest::newRow("neither format nor version, nothing else checked")
            << QByteArray() << QByteArray("{\"user\": 5}")
            << QStringList{"/format: missing: this is not a strategylogic-bundle document", "/version: missing"};

        // Missing members and wrong types.
        QTest::newRow("missing list") << QByteArray("\"locks\": [\n        \"D:/s/abc.py\"\n    ],") << QByteArray()
                                      << QStringList{"/locks: missing"};
        QTest::newRow("missing field") << QByteArray("\"extraInfo\": \"note\", ") << QByteArray()
                                       << QStringList{"/fixedStrategies/1/extraInfo: missing"};
        QTest::newRow("list not an array") << QByteArray("\"locks\": [\n        \"D:/s/abc.py\"\n    ],")
                                           << QByteArray("\"locks\": {},")
                                           << QStringList{"/locks: expected an array, not an object"};
        QTest::newRow("record not an object, the others keep their indexes")
            << QByteArray("\"fixedStrategies\": [\n") << QByteArray("\"fixedStrategies\": [\n        7,\n")
            << QStringList{"/fixedStrategies/0: expected an object, not a number"};
        QTest::newRow("text for a number") << QByteArray("\"copyIndex\": 1}") << QByteArray("\"copyIndex\": \"1\"}")
                                           << QStringList{"/fixedStrategies/1/copyIndex: expected a whole number, "
                                                          "not a text"};
        QTest::newRow("mistyped values")
            << QByteArray("\"lastFundAccount\": \"880001\",\n    \"runMode\": 0")
            << QByteArray("\"lastFundAccount\": 880001,\n    \"runMode\": \"0\"")
            << QStringList{"/lastFundAccount: expected a text, not a number",
                           "/runMode: expected a whole number, not a text"};
        QTest::newRow("time of another type") << QByteArray("\"exportedAt\": \"2026-12-07T09:30:00\"")
                                              << QByteArray("\"exportedAt\": null")
                                              << QStringList{"/exportedAt: expected a time, not null"};
        QTest::newRow("amount as a text") << QByteArray("\"initialFunds\": 100000")
                                          << QByteArray("\"initialFunds\": \"100000\"")
                                          << QStringList{"/backtestDays/0/initialFunds: expected a number, not a text"};

        // Numbers.
        QTest::newRow("id not whole") << QByteArray("\"id\": 18") << QByteArray("\"id\": 1.5")
                                      << QStringList{"/fixedStrategies/1/id: expected a whole number, not 1.5"};
        QTest::newRow("id NaN") << QByteArray("\"id\": 18") << QByteArray("\"id\": NaN")
                                << QStringList{"/fixedStrategies/1/id: expected a whole number, not NaN"};
        QTest::newRow("id 0") << QByteArray("\"id\": 18") << QByteArray("\"id\": 0")
                              << QStringList{"/fixedStrategies/1/id: 0 is out of range (1 to 2147483647)"};
        QTest::newRow("id beyond 31 bits")
            << QByteArray("\"id\": 18") << QByteArray("\"id\": 2147483648")
            << QStringList{"/fixedStrategies/1/id: 2147483648 is out of range (1 to 2147483647)"};
        QTest::newRow("copy index below 32 bits")
            << QByteArray("\"copyIndex\": 1}") << QByteArray("\"copyIndex\": -2147483649}")
            << QStringList{"/fixedStrategies/1/copyIndex: -2147483649 is out of range (-2147483648 to 2147483647)"};
        QTest::newRow("run mode far out of range")
            << QByteArray("\"runMode\": 0") << QByteArray("\"runMode\": 1e300")
            << QStringList{"/runMode: 1e+300 is out of range (-2147483648 to 2147483647)"};
        QTest::newRow("NaN amount") << QByteArray("\"initialFunds\": 100000") << QByteArray("\"initialFunds\": NaN")
                                    << QStringList{"/backtestDays/0/initialFunds: NaN is not a finite amount"};
        QTest::newRow("Infinity amount") << QByteArray("\"endFunds\": 101000.5") << QByteArray("\"endFunds\": Infinity")
                                         << QStringList{"/backtestDays/0/endFunds: Infinity is not a finite amount"};
        QTest::newRow("-Infinity amount")
            << QByteArray("\"endFunds\": 101000.5") << QByteArray("\"endFunds\": -Infinity")
            << QStringList{"/backtestDays/0/endFunds: -Infinity is not a finite amount"};
        QTest::newRow("amount beyond a double")
            << QByteArray("\"endFunds\": 101000.5") << QByteArray("\"endFunds\": -1e999")
            << QStringList{"/backtestDays/0/endFunds: -Infinity is not a finite amount"};

        // Texts the files and the database cannot hold.
        QTest::newRow("separator in a name")
            << QByteArray("\"name\": \"abc\",") << QByteArray("\"name\": \"a,%&b\",")
            << QStringList{"/fixedStrategies/0/name: a text holds \",%&\", which the data file cannot hold"};
        QTest::newRow("carriage return") << QByteArray("\"extraInfo\": \"note\"")
                                         << QByteArray("\"extraInfo\": \"no\\rte\"")
                                         << QStringList{"/fixedStrategies/1/extraInfo: a text holds a carriage "
                                                        "return, which the data file cannot hold"};
        QTest::newRow("line feed in a path")
            << QByteArray("\"filePath\": \"D:/s/abc.py\", \"group\": \"趋势\"")
            << QByteArray("\"filePath\": \"D:/s/\\nabc.py\", \"group\": \"趋势\"")
            << QStringList{"/fixedStrategies/0/filePath: a text holds a line feed, which the data file cannot hold"};
        QTest::newRow("NUL in a lock") << QByteArray("\"D:/s/abc.py\"\n    ]")
                                       << QByteArray("\"D:/s/\\u0000abc.py\"\n    ]")
                                       << QStringList{"/locks/0: a text holds a NUL, which cannot be stored"};
        QTest::newRow("NUL in a fund account")
            << QByteArray("\"fundAccount\": \"880001\"") << QByteArray("\"fundAccount\": \"88\\u00000001\"")
            << QStringList{"/instances/0/fundAccount: a text holds a NUL, which cannot be stored"};
        QTest::newRow("NUL in the user") << QByteArray("\"user\": \"demo01\"") << QByteArray("\"user\": \"\\u0000\"")
                                         << QStringList{"/user: a text holds a NUL, which cannot be stored"};
        QTest::newRow("semicolon in a group")
            << QByteArray("{\"name\": \"趋势\", \"createTime\"") << QByteArray("{\"name\": \"趋;势\", \"createTime\"")
            << QStringList{"/groups/0/name: a group name holds \";\", which the groups file cannot hold",
                           "/fixedStrategies/0/group: the group 趋势 is not listed in /groups"};
        QTest::newRow("comma in a group")
            << QByteArray("{\"name\": \"趋势\", \"createTime\"") << QByteArray("{\"name\": \"趋,势\", \"createTime\"")
            << QStringList{"/groups/0/name: a group name holds \",\", which the groups file cannot hold",
                           "/fixedStrategies/0/group: the group 趋势 is not listed in /groups"};
        QTest::newRow("empty name") << QByteArray("\"name\": \"abc\",") << QByteArray("\"name\": \"\",")
                                    << QStringList{"/fixedStrategies/0/name: a fixed strategy needs a name"};
        QTest::newRow("empty instance id") << QByteArray("\"instanceId\": \"1024\", \"runMode\"")
                                           << QByteArray("\"instanceId\": \"\", \"runMode\"")
                                           << QStringList{"/instances/0/instanceId: an instance needs an id"};
        QTest::newRow("empty day instance id") << QByteArray("\"instanceId\": \"1024\", \"date\"")
                                               << QByteArray("\"instanceId\": \"\", \"date\"")
                                               << QStringList{"/backtestDays/0/instanceId: a day needs an instance id"};

        // Groups.
        QTest::newRow("built-in group with a time")
            << QByteArray("\"默认分组\", \"createTime\": null")
            << QByteArray("\"默认分组\", \"createTime\": \"2026-12-01T09:00:00\"")
            << QStringList{"/groups/1/createTime: 默认分组 is a built-in group: its createTime is null"};
        QTest::newRow("group not listed")
            << QByteArray("\"group\": \"默认分组\"") << QByteArray("\"group\": \"套利\"")
            << QStringList{"/fixedStrategies/1/group: the group 套利 is not listed in /groups"};
        QTest::newRow("group twice")
            << QByteArray("\"createTime\": null}")
            << QByteArray("\"createTime\": null}, {\"name\": \"趋势\", \"createTime\": null}")
            << QStringList{"/groups/2/name: the group 趋势 is also /groups/0"};

        // Records given twice.
        QTest::newRow("duplicate id") << QByteArray("\"id\": 18") << QByteArray("\"id\": 17")
                                      << QStringList{"/fixedStrategies/1/id: the id 17 is also the id of "
                                                     "/fixedStrategies/0"};
        QTest::newRow("instance twice")
            << QByteArray("\"2026-12-01T15:00:00\"}")
            << QByteArray("\"2026-12-01T15:00:00\"}, {\"instanceId\": \"1024\", \"runMode\": 1, \"fundAccount\": \"\", "
                          "\"returnRegInfo\": \"\", \"startTime\": null, \"endTime\": null}")
            << QStringList{"/instances/1/instanceId: the instance 1024 is also /instances/0"};
        QTest::newRow("day twice")
            << QByteArray("\"endFunds\": 101000.5}")
            << QByteArray("\"endFunds\": 101000.5}, {\"instanceId\": \"1024\", \"date\": \"2026-12-01\", "
                          "\"initialFunds\": 1, \"endFunds\": 2}")
            << QStringList{"/backtestDays/1/date: the day 2026-12-01 of instance 1024 is also /backtestDays/0"};

        // Times and dates.
        QTest::newRow("no such date")
            << QByteArray("\"date\": \"2026-12-01\"") << QByteArray("\"date\": \"2026-02-30\"")
            << QStringList{"/backtestDays/0/date: 2026-02-30 is not a date written yyyy-MM-dd"};
        QTest::newRow("time not ISO")
            << QByteArray("\"startTime\": \"2026-12-01T09:30:00\"") << QByteArray("\"startTime\": \"2026-12-01 09:30\"")
            << QStringList{"/instances/0/startTime: '2026-12-01 09:30' is not a local time written "
                           "yyyy-MM-ddTHH:mm:ss"};
        QTest::newRow("time with milliseconds") << QByteArray("\"endTime\": \"2026-12-01T15:00:00\"")
                                                << QByteArray("\"endTime\": \"2026-12-01T15:00:00.250\"")
                                                << QStringList();
        QTest::newRow("one time only")
            << QByteArray("\"endTime\": \"2026-12-01T15:00:00\"") << QByteArray("\"endTime\": null")
            << QStringList{"/instances/0/endTime: startTime and endTime are both set or both null"};
        QTest::newRow("times of a text id")
            << QByteArray("\"instanceId\": \"1024\", \"runMode\"") << QByteArray("\"instanceId\": \"bt-1\", \"runMode\"")
            << QStringList{"/instances/0/startTime: times are kept only for an instance whose id is a plain decimal "
                           "number, not bt-1"};
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
