// The fixed-strategy data file "work/<user>/SarvekFixStrategy.dat" and the
// store of StrategySqlite that it persists: the line format, loading,
// rewriting, the file the store cannot read, concurrent rewrites and a
// process killed in the middle of one.

#include "testsupport.h"

#include "storage/fixedstrategyfile.h"
#include "storage/strategysqlite.h"
#include "storage/utf8text.h"

#include <interprocidservice.h>

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {
// One "id|name|path|group|extra|copy" text per record, by id (lines of one
// id in their order).
QStringList describe(QList<FixedStrategyInfo> records)
{
    std::stable_sort(records.begin(), records.end(), [](const auto &a, const auto &b) { return a.id < b.id; });
    QStringList list;
    for (const FixedStrategyInfo &r : qAsConst(records))
        list.append(QStringLiteral("%1|%2|%3|%4|%5|%6").arg(QString::number(r.id), r.name, r.filePath, r.group,
                                                          r.extraInfo, QString::number(r.copyIndex)));
    return list;
}

// The file read the plain way: each line decoded whole, then split; the
// reader must give the very same records and counts.
QList<FixedStrategyInfo> plainParse(const QByteArray &content, FixedStrategyFile::Skipped *skipped)
{
    QList<FixedStrategyInfo> records;
    *skipped = {};
    const QList<QByteArray> lines = content.mid(content.startsWith("\xEF\xBB\xBF") ? 3 : 0).split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        bool isText = false;
        const QString line = Utf8Text::decode(lines[i].constData(), lines[i].size(), &isText);
        QStringList parts = line.split(QStringLiteral(",%&"));
        if (isText && !lines[i].contains('\0') && parts.size() >= 6) {
            records.append({parts[0].toInt(), parts[1], parts[2], parts[3], parts[4], parts[5].toInt()});
        } else if (!lines[i].isEmpty() && skipped->lines++ == 0) {
            skipped->firstLine = i + 1;
        }
    }
    return records;
}

// Each record with whether its texts are null, which a plain comparison
// does not see.
QStringList exactly(const QList<FixedStrategyInfo> &records)
{
    QStringList list;
    for (const FixedStrategyInfo &r : records)
        list.append(QStringLiteral("%1|%2|%3|%4|%5|%6|%7%8%9%10")
                        .arg(QString::number(r.id), r.name, r.filePath, r.group, r.extraInfo,
                             QString::number(r.copyIndex))
                        .arg(r.name.isNull())
                        .arg(r.filePath.isNull())
                        .arg(r.group.isNull())
                        .arg(r.extraInfo.isNull()));
    return list;
}
} // namespace

class TestDataFile : public QObject
{
    Q_OBJECT

    TestHome home;
    QString dataPath() const { return FixedStrategyFile::path(home.path(), "demo01"); }
    QStringList inFile() const { return describe(FixedStrategyFile::parse(readFile(dataPath()))); }
    // Adds a record and describes it.
    static QString add(StrategySqlite &store, const QString &name)
    {
        return QString::number(store.insertStrategyInfo(name, "p", "g", QString(), 0)) + "|" + name + "|p|g||0";
    }

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }
    // Every case in an installation folder of its own.
    void init() { home.switchToNewFolder(QString(QTest::currentTestFunction()) + QTest::currentDataTag()); }

    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("texts"); // user, its folder, name, path, group, extra text
        QTest::newRow("login account in upper case, empty texts") << QStringList{"Demo01", "demo01", "", "", "", ""};
        QTest::newRow("non-ASCII") << QStringList{"ÄBC用户", "äbc用户", "策略 名称ü", "D:\\策略\\甲.py", "组🙂", "说明"};
        QTest::newRow("pieces of the separator") << QStringList{"u", "u", "a,", "%&b", ",% &", "&%"};
        QTest::newRow("blanks around, json") << QStringList{"u", "u", "  a b  ", " D:/a.py", "g\t", "{\"k\":\"v,%\"} "};
    }

    // The folder is the user's in lower case and the write creates it; a
    // reader given the other spelling reads back what was written.
    void roundTrip()
    {
        QFETCH(QStringList, texts);
        StrategySqlite store;
        QCOMPARE(store.getFixedStrategyFilePath(texts[0]), home.filePath("work/" + texts[1] + "/SarvekFixStrategy.dat"));
        FixedStrategyInfo info{0, texts[2], texts[3], texts[4], texts[5], 12};
        QVERIFY(FixedStrategyFile::canHold(info));
        info.id = store.insertStrategyInfo(info.name, info.filePath, info.group, info.extraInfo, 12);
        store.writeFixedStrategyInfoToFile(texts[0]);
        QCOMPARE(describe(StrategySqlite().LoadFixedStrategyInfo(texts[1])), describe({info}));
    }

    // Loading lists every line of six fields or more, both lines of an id
    // included; the store keeps the later one. After that first load no
    // query reads the data file again, an id the id service should not give
    // (a held one, or none) changes nothing, and a failed rewrite leaves the
    // store to the next one, which writes each id once.
    void loadInsertAndRewrite()
    {
        QVERIFY(writeFile(dataPath(), "\n1,%&first,%&p,%&g,%&,%&0\r\n"   // CRLF after a blank line
                                      "2,%&two,%&p,%&g,%&e,%&1,%&more\n" // the first six fields count
                                      "3,%&too,%&few,%&fields,%&\n"
                                      "1,%&second,%&p,%&g,%&,%&0"));     // no final line feed
        StrategySqlite store;
        QCOMPARE(describe(store.LoadFixedStrategyInfo("demo01")),
                 (QStringList{"1|first|p|g||0", "1|second|p|g||0", "2|two|p|g|e|1"}));
        QVERIFY(QDir(home.filePath("work/demo01")).removeRecursively());
        QVERIFY(writeFile(home.filePath("work/demo01"), "not a folder"));
        const QStringList held{"1|second|p|g||0", "2|two|p|g|e|1", add(store, "new")};
        InterProcIdService &ids = InterProcIdService::instance();
        ids.setStorageDirectory(home.filePath("new-ids")); // a counter that starts again at 1
        const QString repeated = add(store, "repeated");
        ids.setStorageDirectory(home.filePath("work/demo01/ids")); // an id service that fails
        const QString none = add(store, "none");
        ids.setStorageDirectory(home.idDir());
        QVERIFY2(repeated.startsWith("1|") && none.startsWith("0|"), qPrintable(repeated + " " + none));
        QCOMPARE(describe(store.queryFixedStrategyInfoList("demo01")), held);
        QVERIFY(!store.writeFixedStrategyInfoToFile("demo01"));
        QVERIFY(QFile::remove(home.filePath("work/demo01")));
        QVERIFY(store.writeFixedStrategyInfoToFile("demo01")); // nothing changed since the failure
        QCOMPARE(inFile(), held);
    }

    // A file in any order of ids (as earlier versions wrote it) loads as it
    // stands; the store holds the later line of a repeated id, changes
    // reach the right records, and the rewrite lists the records by id.
    void rewriteListsRecordsById()
    {
        QVERIFY(writeFile(dataPath(), "50,%&e,%&p,%&g,%&,%&0\n30,%&c,%&p,%&g,%&,%&0\n90,%&i,%&p,%&g,%&,%&0\n"
                                      "30,%&c2,%&p,%&g,%&,%&0\n10,%&a,%&p,%&g,%&,%&0\n70,%&g,%&p,%&g,%&,%&0\n"));
        StrategySqlite store;
        QStringList ids;
        for (const FixedStrategyInfo &info : store.LoadFixedStrategyInfo("demo01"))
            ids.append(QString::number(info.id));
        QCOMPARE(ids, (QStringList{"50", "30", "90", "30", "10", "70"}));
        QVERIFY(store.modifyFixedStrategyInfo({70, "g2", "p", "g", "x", 1}));
        QVERIFY(store.delFixedStrategyInfo(50));
        QVERIFY(store.modifyFixedStrategyFilePath(10, "q"));
        const QString added = add(store, "new");
        QVERIFY(store.writeFixedStrategyInfoToFile("demo01"));
        QCOMPARE(QString::fromUtf8(readFile(dataPath())),
                 QString("10,%&a,%&q,%&g,%&,%&0\n30,%&c2,%&p,%&g,%&,%&0\n70,%&g2,%&p,%&g,%&x,%&1\n"
                         "90,%&i,%&p,%&g,%&,%&0\n")
                     + added.split('|').first() + ",%&new,%&p,%&g,%&,%&0\n");
        // Loaded again, the file needs no sorting and reads the same.
        QCOMPARE(describe(StrategySqlite().LoadFixedStrategyInfo("demo01")), inFile());
    }

    // What is not a good line is skipped and counted, every good line is
    // kept, and the original bytes are set aside before the first rewrite.
    void damagedFileKeepsItsGoodLines_data()
    {
        QTest::addColumn<QByteArray>("damage"); // put before the good lines, and as line 3 among them
        QByteArray noise(64 * 1024, '\0');
        quint32 x = 12345;
        for (char &c : noise)
            c = char((x = x * 1103515245u + 12345u) >> 24);
        QTest::newRow("64 KiB of random bytes") << noise;
        QTest::newRow("a NUL byte") << QByteArray("7,%&x\0y,%&p,%&g,%&,%&0\n", 21);
        QTest::newRow("invalid UTF-8") << QByteArray("8,%&\xff\xfe,%&p,%&g,%&,%&0\n");
        QTest::newRow("sequence cut off at the line end") << QByteArray("9,%&n,%&p,%&g,%&,%&0\xe6");
    }
    void damagedFileKeepsItsGoodLines()
    {
        QFETCH(QByteArray, damage);
        QByteArray content = damage + '\n';
        QStringList good;
        for (int i = 1; i <= 20; ++i) {
            content += QStringLiteral("%1,%&n%1,%&p,%&g,%&,%&0\n").arg(100 + i).toUtf8();
            good.append(QStringLiteral("%1|n%1|p|g||0").arg(100 + i));
            if (i == 2)
                content += damage + '\n';
        }
        QVERIFY(writeFile(dataPath(), content));
        LogCapture log;
        StrategySqlite store;
        QCOMPARE(describe(store.queryFixedStrategyInfoList("demo01")), good);
        QVERIFY(log.contains("lines skipped, the first is line 1", QtWarningMsg));
        const QString extra = add(store, "new");
        QVERIFY(store.writeFixedStrategyInfoToFile("demo01"));
        QCOMPARE(inFile(), good << extra);
        const QStringList aside = QDir(home.filePath("work/demo01")).entryList({"SarvekFixStrategy.dat.unreadable-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(home.filePath("work/demo01/" + aside.value(0))), content);
    }

    // Files made of the pieces that matter (separators and parts of them,
    // numbers of every size and sign, blanks, carriage returns, NULs,
    // byte order marks, Chinese, emoji, bytes that are no UTF-8, sequences
    // cut off) read exactly as the plain reading reads them.
    void parseMatchesPlainReading()
    {
        const QList<QByteArray> pieces = {
            ",%&", ",%&", ",%&", ",%&", ",%", "%&", ",", "\n", "\n", "0", "7", "42", "007", "-3", "+5", " 12",
            "12 ", "999999999", "1000000000", "2147483647", "2147483648", "99999999999", "1e3", "\r", "\t", "",
            QByteArray("\0", 1), "\xEF\xBB\xBF", "默认分组", "趋势", "😀", "\xff", "\xe6\x88", "\xc0\xaf",
            "\xed\xa0\x80", "name", "D:/a.py", "{\"k\":1}", "\xc2\xa9", "\xdf\xbf", "\xe0\xa0\x80",
            "\xe0\x80\x80", "\xef\xbf\xbe", "\xef\xbf\xbf", "\xef\xb7\x90", "\xef\xbf\xbd", "\xf0\x90\x80\x80",
            "\xf4\x8f\xbf\xbf", "\xf4\x90\x80\x80", "\xf0\x80\x80\x80", "\xf8\x88\x80\x80\x80", "\x80",
            "\xbf", "\xc1\xbf", "\xf0\x9f\x98"};
        QRandomGenerator random(20261207);
        for (int round = 0; round < 3000; ++round) {
            QByteArray content;
            const int count = random.bounded(40);
            for (int i = 0; i < count; ++i)
                content += pieces.at(random.bounded(pieces.size()));
            if (round % 3 == 0) { // and single bytes of any value
                for (int i = random.bounded(8); i > 0; --i)
                    content.insert(random.bounded(content.size() + 1), char(random.bounded(256)));
            }
            FixedStrategyFile::Skipped skipped, plainSkipped;
            const QList<FixedStrategyInfo> records = FixedStrategyFile::parse(content, &skipped);
            const QList<FixedStrategyInfo> plain = plainParse(content, &plainSkipped);
            QCOMPARE(exactly(records), exactly(plain));
            QCOMPARE(skipped.lines, plainSkipped.lines);
            QCOMPARE(skipped.firstLine, plainSkipped.firstLine);
        }
    }

    // The rewrite's bytes are the record's line encoded as Qt encodes it,
    // for texts of every kind: ASCII, two- and three-byte characters, pairs
    // and lone halves of surrogates, noncharacters, NUL, and ids of both
    // signs up to 64 bits.
    void lineBytesAreTheLineInUtf8()
    {
        const QVector<ushort> units = {'a', ' ', ',', '%', '&', 0, 0x7F, 0x80, 0xE9, 0x7FF, 0x800, 0x4E2D, 0xFEFF,
                                       0xFFFD, 0xFFFE, 0xFFFF, 0xD83D, 0xDE00, 0xDBFF, 0xDC00};
        QRandomGenerator random(20261207);
        const auto text = [&] {
            QString value;
            const int size = random.bounded(8);
            for (int i = 0; i < size; ++i)
                value += QChar(units.at(random.bounded(units.size())));
            return value;
        };
        const QList<qint64> ids = {0, 1, -1, 17, 2147483647, -2147483647 - 1, Q_INT64_C(9223372036854775807),
                                   Q_INT64_C(-9223372036854775807) - 1};
        for (int round = 0; round < 5000; ++round) {
            // Wrapping, not overflowing, past the ends of 64 bits.
            const qint64 id = qint64(quint64(ids.at(round % ids.size())) + quint64(round < ids.size() ? 0 : round));
            const FixedStrategyInfo info{id,
                                         text(), text(), text(), text(), int(random.generate())};
            QByteArray bytes = "kept";
            FixedStrategyFile::appendLineUtf8(bytes, info);
            QCOMPARE(bytes, "kept" + FixedStrategyFile::formatLine(info).toUtf8());
        }
    }

    // A data file from another machine holds ids this machine's sequence
    // has not reached: new ids start above them at once.
    void idsContinueAboveStoredOnes()
    {
        QVERIFY(writeFile(dataPath(), "5,%&a,%&p,%&g,%&,%&0\n100000,%&b,%&p,%&g,%&,%&0\n42,%&c,%&p,%&g,%&,%&0\n"));
        InterProcIdService::instance().setStorageDirectory(home.filePath("fresh-ids"));
        StrategySqlite store;
        QCOMPARE(store.queryFixedStrategyInfoList("demo01").size(), 3);
        QCOMPARE(add(store, "new"), QStringLiteral("100001|new|p|g||0"));
        InterProcIdService::instance().setStorageDirectory(home.idDir());
    }

    void unreadableFileIsMovedAsideAndNeverOverwritten()
    {
        // Root reads every file; a directory in the file's place cannot be read.
        QVERIFY(writeFile(dataPath() + "/keep.txt", "precious"));
        LogCapture log;
        StrategySqlite store;
        QVERIFY(store.LoadFixedStrategyInfo("demo01").isEmpty());
        QStringList added;
        for (const char *name : {"a", "b"}) {
            added.append(add(store, name));
            store.writeFixedStrategyInfoToFile("demo01");
            QCOMPARE(inFile(), added);
            // Moved aside by the first rewrite, content intact; the second leaves it alone.
            const auto aside = QDir(home.filePath("work/demo01")).entryInfoList({"SarvekFixStrategy.dat.unreadable-*"});
            QCOMPARE(aside.size(), 1);
            QCOMPARE(readFile(aside[0].filePath() + "/keep.txt"), QByteArray("precious"));
        }
    }

    void concurrentRewritesNeverInterleave()
    {
        LogCapture log; // keeps the traces of hundreds of rewrites out of the output
        StrategySqlite store;
        QVERIFY(store.queryFixedStrategyInfoList("demo01").isEmpty());
        std::atomic<bool> done{false};
        std::atomic<int> partialReads{0};
        auto rewrite = [&] { while (!done) store.writeFixedStrategyInfoToFile("demo01"); };
        auto read = [&] {
            while (!done) {
                const QByteArray content = readFile(dataPath());
                partialReads += !content.isEmpty() && (!content.endsWith('\n')
                                || FixedStrategyFile::parse(content).size() != content.count('\n'));
            }
        };
        std::thread threads[] = {std::thread(rewrite), std::thread(rewrite), std::thread(rewrite), std::thread(read)};
        for (int i = 0; i < 200; ++i) {
            const qint64 id = store.insertStrategyInfo(QStringLiteral("s%1").arg(i), "D:/s/a.py", "G", "x", i % 3);
            if (i % 10 == 9)
                store.delFixedStrategyInfo(id);
        }
        done = true;
        for (std::thread &t : threads)
            t.join();
        store.writeFixedStrategyInfoToFile("demo01"); // a rewrite that lost a change would have left it clean
        QCOMPARE(partialReads.load(), 0);
        const QList<FixedStrategyInfo> held = store.queryFixedStrategyInfoList("demo01");
        QCOMPARE(held.size(), 180);
        QCOMPARE(inFile(), describe(held));
    }

    void killedRewriteLeavesWholeFile()
    {
        LogCapture log; // the loads trace every record
        for (int run = 0; run < 18; ++run) {
            const int base = run * 100000, reported = run % 6;
            QProcess writer;
            writer.setProcessEnvironment(home.processEnvironment());
            writer.start(helperPath("datafilewriter"), {home.path(), "Demo01", "50", QString::number(base)});
            for (int line = 0; line <= reported; ++line) { // "ready", then the rewrites it reports done
                QTRY_VERIFY_WITH_TIMEOUT(writer.canReadLine(), 20000);
                writer.readLine();
            }
            writer.kill();
            QVERIFY(writer.waitForFinished());
            const QByteArray content = readFile(dataPath());
            QList<FixedStrategyInfo> records = FixedStrategyFile::parse(content);
            QCOMPARE(records.size(), content.count('\n'));
            std::sort(records.begin(), records.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
            for (int i = 0; i < 50; ++i)
                QCOMPARE(records.value(i).name, QStringLiteral("rec-%1").arg(i, 3, 10, QLatin1Char('0')));
            // The last rewrite reported done is in the file (or a later one of its record).
            if (reported > 0)
                QVERIFY(records.at(reported - 1).extraInfo.section('-', 1, 1).toInt() >= base + reported - 1);
            // The next start reads the data file itself, whatever a killed rewrite left beside it.
            QCOMPARE(describe(StrategySqlite().LoadFixedStrategyInfo("demo01")), describe(records));
        }
    }
};

QTEST_GUILESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
