// The history of changes, work/<user>/history.jsonl: reading it
// (StrategyLogic::readHistory) and appending to it (ChangeHistory) in this
// process, on files each case writes in an installation folder of its own;
// then the plug-in's recording of the changes it makes and strategyctl's
// printing of the history, end to end.

#include "testsupport.h"

#include "storage/changehistory.h"

#include <StrategyLogic/strategyhistory.h>

#include <QtTest> // with QtCore: QJsonDocument, QProcess

#include <cerrno>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using StrategyLogic::HistoryEntry;
using StrategyLogic::HistoryFilter;
using StrategyLogic::HistoryOrder;
using StrategyLogic::HistoryReadResult;
using StrategyLogic::readHistory;

Q_DECLARE_METATYPE(HistoryReadResult::Outcome)
Q_DECLARE_METATYPE(HistoryFilter)

namespace {
const QString User = QStringLiteral("demo01"); // the built-in demo profile's
const QString DefaultGroup = QStringLiteral("默认分组");
constexpr qint64 SizeLimit = ChangeHistory::SizeLimit;

QString compact(const QJsonObject &record)
{
    return record.isEmpty() ? QStringLiteral("null")
                            : QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
}

// "operation|before|after" for each entry, the records as compact JSON.
QStringList summary(const QList<HistoryEntry> &entries)
{
    QStringList lines;
    for (const HistoryEntry &entry : entries)
        lines.append(entry.operation + "|" + compact(entry.before) + "|" + compact(entry.after));
    return lines;
}

// The id of a strategy's record in each entry, or the group or path.
QStringList subjects(const QList<HistoryEntry> &entries)
{
    QStringList list;
    for (const HistoryEntry &entry : entries) {
        const QJsonObject &record = entry.after.isEmpty() ? entry.before : entry.after;
        list.append(record.contains("id") ? QString::number(record.value("id").toInt())
                                          : record.value(record.contains("name") ? "name" : "filePath").toString());
    }
    return list;
}

// A time of March 2026 as the plug-in writes it: local, with the offset
// from UTC; `shiftHours` writes the same moment with an offset that many
// hours further east.
QString localTime(int day, int hour, int minute = 0, int shiftHours = 0)
{
    const QDateTime time(QDate(2026, 3, day), QTime(hour, minute));
    return time.toOffsetFromUtc(time.offsetFromUtc() + shiftHours * 3600).toString(Qt::ISODateWithMs);
}

// A line as the plug-in writes it, at a given time.
QByteArray entryLine(const QString &time, const QString &operation, const QByteArray &before, const QByteArray &after)
{
    return QStringLiteral("{\"time\":\"%1\",\"pid\":1,\"operation\":\"%2\",\"before\":%3,\"after\":%4}")
               .arg(time, operation, QString::fromUtf8(before), QString::fromUtf8(after))
               .toUtf8()
           + '\n';
}

// A fixed strategy of D:/s/a.py as the plug-in writes it, keys in its order.
QByteArray strategy(int id, const QString &name, const QString &group = DefaultGroup)
{
    return QStringLiteral("{\"id\":%1,\"name\":\"%2\",\"filePath\":\"D:/s/a.py\",\"group\":\"%3\","
                          "\"extraInfo\":\"\",\"copyIndex\":0}")
        .arg(id)
        .arg(name, group)
        .toUtf8();
}

QByteArray lockOn(const QString &time, const QString &path = QStringLiteral("D:/s/a.py"))
{
    return entryLine(time, "lock.on", "null", QStringLiteral("{\"filePath\":\"%1\"}").arg(path).toUtf8());
}

// Whole entry lines of `size` bytes in all, the last one padded; `count`
// gets their number.
QByteArray filledHistory(qint64 size, int *count)
{
    const QByteArray line = lockOn(localTime(1, 0));
    const qint64 lines = size / line.size() - 1;
    QByteArray content = line.repeated(int(lines));
    const QByteArray last = lockOn(localTime(1, 1), QString(int(size - content.size() - line.size()) + 9, 'p'));
    content += last;
    *count = int(lines) + 1;
    return content;
}

HistoryFilter filter(qint64 id, const QDate &since = QDate(), HistoryOrder order = HistoryOrder::OldestFirst)
{
    HistoryFilter filter;
    if (id != 0)
        filter.strategyId = id;
    filter.since = since;
    filter.order = order;
    return filter;
}

// A row of reading(): the older part (history.1.jsonl; a null array: no
// file) and the newer (history.jsonl), read through `filter`; the subjects
// of the entries read and the lines skipped.
void row(const char *name, const QByteArray &older, const QByteArray &newer, const QStringList &subjects,
         int skipped = 0, const HistoryFilter &filter = HistoryFilter())
{
    QTest::newRow(name) << older << newer << filter << subjects << skipped;
}

void appendGroupAdd(ChangeHistory &history, const QString &name)
{
    history.record(ChangeHistory::Groups, "group.add", QByteArray(),
                   ChangeHistory::groupRecord(SarvekGroupInfo{name, 1}));
    history.stored(ChangeHistory::Groups);
}

// A socket where the file goes: it exists, and nobody, root included,
// can open it for reading.
bool placeSocket(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    qstrcpy(address.sun_path, name.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}
} // namespace

class tst_History : public QObject
{
    Q_OBJECT

    ProcessResult run(const QStringList &args, const QByteArray &in = {}) { return runStrategyctl(m_home, args, in); }
    // A new installation folder with the user's folder in it.
    QString newFolder()
    {
        static int n = 0;
        const QString folder = m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++n));
        QDir().mkpath(file(QString()));
        return folder;
    }
    QString file(const QString &name) const { return m_home.filePath(QStringLiteral("work/demo01/") + name); }
    HistoryReadResult userHistory(const HistoryFilter &filter = HistoryFilter()) const
    {
        return readHistory(m_home.path(), User, filter);
    }

    TestHome m_home;

private slots:
    void initTestCase() { QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString())); }

    // --- Reading ---------------------------------------------------------

    void reading_data()
    {
        QTest::addColumn<QByteArray>("older");
        QTest::addColumn<QByteArray>("newer");
        QTest::addColumn<HistoryFilter>("filter");
        QTest::addColumn<QStringList>("subjects");
        QTest::addColumn<int>("skipped");
        const QByteArray older = entryLine(localTime(1, 0), "strategy.add", "null", strategy(5, "a"))
                                 + entryLine(localTime(1, 1), "strategy.add", "null", strategy(6, "b"));
        const QByteArray newer = entryLine(localTime(2, 0), "group.add", "null", "{\"name\":\"G\",\"createTime\":1}")
                                 + entryLine(localTime(4, 23), "strategy.modify", strategy(5, "a"), strategy(5, "z"))
                                 + lockOn(localTime(10, 11))
                                 + entryLine(localTime(10, 12), "strategy.remove", strategy(5, "z"), "null");
        const QStringList all{"5", "6", "G", "5", "D:/s/a.py", "5"};
        const int second = newer.indexOf('\n') + 1;
        row("nothing written yet", {}, {}, {});
        row("empty files", "", "", {});
        row("the newer part alone", {}, newer, all.mid(2));
        row("the older part alone", older, {}, all.mid(0, 2));
        row("both parts, the older first", older, newer, all);
        row("newest first", older, newer, {"5", "D:/s/a.py", "5", "G", "6", "5"}, 0,
            filter(0, QDate(), HistoryOrder::NewestFirst));
        row("damaged lines counted and skipped", older + "not json\n[1,2]\n",
            "\"text\"\n" + newer.left(second) + "{\"time\":\n" + newer.mid(second), all, 4);
        row("a torn last line", older, newer + "{\"time\":\"2026-03-11T1", all, 1);
        row("a whole last line without its line feed", older, newer.chopped(1), all);
        row("empty lines are no lines", older + "\n\n", "\n" + newer, all);
        row("by id: added, changed and removed", older, newer, {"5", "5", "5"}, 0, filter(5));
        row("by id: only the record before", {}, entryLine(localTime(3, 0), "strategy.remove", strategy(7, "c"), "null"),
            {"7"}, 0, filter(7));
        row("by id: an id as a text is none", {}, entryLine(localTime(3, 0), "strategy.remove", "{\"id\":\"7\"}", "null"),
            {}, 0, filter(7));
        row("by an id no record has", older, newer, {}, 0, filter(7));
        row("since a day", older, newer, all.mid(2), 0, filter(0, QDate(2026, 3, 2)));
        // The same moments written with another offset: the day is the
        // local one, not the one written.
        row("since: a local day written as the day before", {}, lockOn(localTime(2, 0, 30, -3), "in"), {"in"}, 0,
            filter(0, QDate(2026, 3, 2)));
        row("since: a local day written as the day after", {}, lockOn(localTime(1, 23, 30, 3), "out"), {}, 0,
            filter(0, QDate(2026, 3, 2)));
        const QByteArray undated = lockOn(QStringLiteral("nonsense"), "undated");
        row("a line without a time", {}, undated, {"undated"});
        row("since leaves out a line without a time", {}, undated, {}, 0, filter(0, QDate(2026, 3, 1)));
    }

    // Both parts of the history in order, read in this process.
    void reading()
    {
        QFETCH(QByteArray, older);
        QFETCH(QByteArray, newer);
        QFETCH(HistoryFilter, filter);
        QFETCH(QStringList, subjects);
        QFETCH(int, skipped);
        newFolder();
        QVERIFY(older.isNull() || writeFile(file("history.1.jsonl"), older));
        QVERIFY(newer.isNull() || writeFile(file("history.jsonl"), newer));
        const HistoryReadResult result = userHistory(filter);
        QCOMPARE(result.outcome, HistoryReadResult::Read);
        QCOMPARE(::subjects(result.entries), subjects);
        QCOMPARE(result.skippedLines, skipped);
        QVERIFY(result.error.isEmpty() && result.path.isEmpty());
    }

    // Every field of an entry, keys the plug-in does not write kept whole.
    void entryFields()
    {
        newFolder();
        const QByteArray line = R"({"time":"2026-03-02T09:30:00.125+08:00","pid":4711,"operation":"group.rename",)"
                                R"("before":{"name":"A","createTime":1},"after":{"name":"B","createTime":1},)"
                                R"("note":[1,"x"]})";
        QVERIFY(writeFile(file("history.jsonl"), line + '\n'));
        const HistoryReadResult result = userHistory();
        QCOMPARE(result.entries.size(), 1);
        const HistoryEntry &entry = result.entries.first();
        QCOMPARE(entry.timeText, QStringLiteral("2026-03-02T09:30:00.125+08:00"));
        QCOMPARE(entry.time, QDateTime(QDate(2026, 3, 2), QTime(1, 30, 0, 125), Qt::UTC));
        QCOMPARE(entry.time.offsetFromUtc(), 8 * 3600);
        QCOMPARE(entry.pid, qint64(4711));
        QCOMPARE(entry.operation, QStringLiteral("group.rename"));
        QCOMPARE(compact(entry.before), QStringLiteral(R"({"createTime":1,"name":"A"})"));
        QCOMPARE(compact(entry.after), QStringLiteral(R"({"createTime":1,"name":"B"})"));
        QCOMPARE(entry.summary, QStringLiteral("group A -> B"));
        QCOMPARE(entry.line, QJsonDocument::fromJson(line).object());
    }

    void summaries_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("summary");
        const QByteArray none = "null";
        QTest::newRow("strategy added") << none << strategy(5, "a") << "#5 a (D:/s/a.py) in 默认分组";
        QTest::newRow("strategy removed") << strategy(5, "a") << none << "#5 a (D:/s/a.py)";
        QTest::newRow("strategy changed")
            << strategy(5, "a")
            << QByteArray(R"({"id":5,"name":"z","filePath":"D:/s/a.py","group":"G","extraInfo":"e","copyIndex":3})")
            << "#5 a: name a -> z, group 默认分组 -> G, extraInfo '' -> e, copyIndex 0 -> 3";
        QTest::newRow("strategy changed in no field") << strategy(5, "a") << strategy(5, "a") << "#5 a";
        QTest::newRow("strategy given another id")
            << strategy(7, "n") << strategy(8, "n2") << "#8 n: name n -> n2";
        QTest::newRow("blanks quoted")
            << none << QByteArray(R"({"id":5,"name":"a b","filePath":"D:/my s/a.py","group":"组 一"})")
            << "#5 'a b' ('D:/my s/a.py') in '组 一'";
        QTest::newRow("a single quote in double quotes")
            << none << QByteArray("{\"id\":6,\"name\":\"it's\",\"filePath\":\"D:/s/\\\"q\\\".py\",\"group\":\"g\"}")
            << "#6 \"it's\" ('D:/s/\"q\".py') in g";
        QTest::newRow("both quotes and a backslash")
            << strategy(5, "a")
            << QByteArray("{\"id\":5,\"name\":\"a\",\"filePath\":\"D:/s/a.py\",\"group\":\"默认分组\","
                          "\"extraInfo\":\"a ' \\\" \\\\\",\"copyIndex\":0}")
            << "#5 a: extraInfo '' -> \"a ' \\\" \\\\\"";
        QTest::newRow("control characters as escapes")
            << none << QByteArray("{\"id\":5,\"name\":\"z\\u001b[31m\",\"filePath\":\"a\\nb\",\"group\":\"G\\tH\\r\\u0085\"}")
            << "#5 z\\x1b[31m ('a\\nb') in 'G\\tH\\r\\x85'";
        QTest::newRow("group added") << none << QByteArray(R"({"name":"趋势","createTime":1})") << "group 趋势";
        QTest::newRow("group renamed") << QByteArray(R"({"name":"G\tH","createTime":1})")
                                       << QByteArray(R"({"name":"趋势","createTime":1})") << "group 'G\\tH' -> 趋势";
        QTest::newRow("group deleted") << QByteArray(R"({"name":"趋势","createTime":-1})") << none << "group 趋势";
        QTest::newRow("file locked") << none << QByteArray(R"({"filePath":"D:/x y/a.py"})") << "'D:/x y/a.py'";
        QTest::newRow("file unlocked") << QByteArray(R"({"filePath":"D:/s/a.py"})") << none << "D:/s/a.py";
        QTest::newRow("a record of no kind") << QByteArray(R"({"foo":1})") << none << "";
        QTest::newRow("records that are not objects") << QByteArray("3") << QByteArray("\"s\"") << "";
    }

    // The people's line of each kind of change, as strategyctl prints it.
    void summaries()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, summary);
        newFolder();
        QVERIFY(writeFile(file("history.jsonl"), entryLine(localTime(1, 0), "x", before, after)));
        const HistoryReadResult result = userHistory();
        QCOMPARE(result.entries.size(), 1);
        QCOMPARE(result.entries.first().summary, summary);
    }

    void unreadable_data()
    {
        QTest::addColumn<QString>("broken"); // the part that cannot be read
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        const QString folder = QStringLiteral("it is a folder");
        QTest::newRow("a folder in the newer part's place") << "history.jsonl" << "folder" << folder;
        QTest::newRow("a folder in the older part's place") << "history.1.jsonl" << "folder" << folder;
        QTest::newRow("a socket, which no one can open") << "history.jsonl" << "socket" << qt_error_string(ENXIO);
        QTest::newRow("a file without read access") << "history.1.jsonl" << "no access" << qt_error_string(EACCES);
        // The older part is read first, so it is the one named.
        QTest::newRow("both parts folders") << "history.1.jsonl" << "both" << folder;
    }

    // A part that exists and cannot be read makes the read fail whole,
    // whatever the other part holds.
    void unreadable()
    {
        QFETCH(QString, broken);
        QFETCH(QString, how);
        QFETCH(QString, reason);
        if (how == "no access" && ::geteuid() == 0)
            QSKIP("root reads through permissions");
        newFolder();
        const QString other = broken == "history.jsonl" ? "history.1.jsonl" : "history.jsonl";
        QVERIFY(how == "both" ? QDir().mkpath(file(other)) : writeFile(file(other), lockOn(localTime(1, 0))));
        const QString path = file(broken);
        if (how == "folder" || how == "both") {
            QVERIFY(QDir().mkpath(path));
        } else if (how == "socket") {
            QVERIFY2(placeSocket(path), qPrintable(path));
        } else {
            QVERIFY(writeFile(path, lockOn(localTime(1, 1))));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        }
        const HistoryReadResult result = userHistory();
        QCOMPARE(result.outcome, HistoryReadResult::Unreadable);
        QCOMPARE(result.path, path);
        QCOMPARE(result.error, QStringLiteral("cannot read the history %1: %2").arg(path, reason));
        QVERIFY(result.entries.isEmpty());
    }

    void userFolders_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("folder"); // where a history lies that the user id would reach
        QTest::addColumn<HistoryReadResult::Outcome>("outcome");
        const auto none = HistoryReadResult::NoUserFolder;
        QTest::newRow("no user id") << "" << "work" << none;
        QTest::newRow("the work folder itself") << "." << "work" << none;
        QTest::newRow("the installation folder") << ".." << "." << none;
        QTest::newRow("a folder further down") << "a/b" << "work/a/b" << none;
        QTest::newRow("a backslash") << "a\\b" << "work/a\\b" << none;
        QTest::newRow("a user id in Chinese") << "张三" << "work/张三" << HistoryReadResult::Read;
    }

    // No file is read for a user id that names no folder right below work/.
    void userFolders()
    {
        QFETCH(QString, user);
        QFETCH(QString, folder);
        QFETCH(HistoryReadResult::Outcome, outcome);
        const QString app = newFolder();
        QVERIFY(QDir().mkpath(app + '/' + folder));
        QVERIFY(writeFile(app + '/' + folder + "/history.jsonl", lockOn(localTime(1, 0))));
        const HistoryReadResult result = readHistory(app, user);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.entries.size(), outcome == HistoryReadResult::Read ? 1 : 0);
    }

    // --- Appending (ChangeHistory) -----------------------------------------

    // A process that died in the middle of a line left it unfinished: the
    // next process cuts it off before it appends.
    void tornLastLineIsCut_data()
    {
        QTest::addColumn<QByteArray>("whole");
        QTest::addColumn<QByteArray>("torn");
        const QByteArray line = lockOn("2026-03-01T10:00:00.000+00:00", "x");
        QTest::newRow("after whole lines") << line + line << QByteArray("{\"time\":\"2026-03-01T1");
        QTest::newRow("the only line") << QByteArray() << QByteArray("{\"time\":\"2026-03-01T10:00:00.000+00:00\",\"p");
        QTest::newRow("a line feed missing") << line << line.chopped(1);
        QTest::newRow("longer than one read back")
            << line << "{\"time\":\"2026-03-01T10:00:00.000+00:00\",\"pid\":1,\"p\":\"" + QByteArray(200000, 'p');
    }

    void tornLastLineIsCut()
    {
        QFETCH(QByteArray, whole);
        QFETCH(QByteArray, torn);
        newFolder();
        QVERIFY(writeFile(file("history.jsonl"), whole + torn));
        ChangeHistory history;
        history.setFilePath(file("history.jsonl"));
        appendGroupAdd(history, "G");
        const QByteArray content = readFile(file("history.jsonl"));
        QVERIFY2(content.startsWith(whole) && content.endsWith('\n'), content.left(200).constData());
        const QList<QByteArray> added = content.mid(whole.size()).split('\n');
        QCOMPARE(added.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(added.first()).object().value("operation").toString(), "group.add");
        const HistoryReadResult result = userHistory();
        QCOMPARE(result.skippedLines, 0);
        QCOMPARE(result.entries.size(), whole.count('\n') + 1);
    }

    void rotation_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("olderExists");
        QTest::addColumn<bool>("rotated");
        QTest::newRow("just under the limit, an older part replaced") << SizeLimit - 10 << true << true;
        QTest::newRow("just under the limit, no older part yet") << SizeLimit - 10 << false << true;
        QTest::newRow("far under the limit") << SizeLimit / 2 << true << false;
    }

    // A line that would take the file beyond the limit starts a new one;
    // the full one becomes the older part, whole, and is read first.
    void rotation()
    {
        QFETCH(qint64, size);
        QFETCH(bool, olderExists);
        QFETCH(bool, rotated);
        newFolder();
        int lines = 0;
        const QByteArray old = filledHistory(size, &lines);
        QCOMPARE(qint64(old.size()), size);
        QVERIFY(writeFile(file("history.jsonl"), old));
        const QByteArray older = lockOn(localTime(1, 0), "older");
        QVERIFY(!olderExists || writeFile(file("history.1.jsonl"), older));
        ChangeHistory history;
        history.setFilePath(file("history.jsonl"));
        appendGroupAdd(history, "G");
        const QByteArray current = readFile(file("history.jsonl"));
        QCOMPARE(readFile(file("history.1.jsonl")), rotated ? old : older);
        QVERIFY(current.startsWith(rotated ? QByteArray("{\"time\":\"") : old));
        QCOMPARE(current.count('\n'), rotated ? 1 : lines + 1);
        const HistoryReadResult result = userHistory();
        QCOMPARE(result.entries.size(), lines + 1 + (olderExists && !rotated ? 1 : 0));
        QCOMPARE(subjects(result.entries).last(), QStringLiteral("G"));
        QCOMPARE(subjects(result.entries).first(), olderExists && !rotated ? QStringLiteral("older")
                                                                           : QStringLiteral("D:/s/a.py"));
    }

    void failedAppend_data()
    {
        QTest::addColumn<QByteArray>("before"); // the file; a null array: none yet
        QTest::addColumn<int>("room");          // bytes the disk takes beyond it
        const QByteArray line = lockOn(localTime(1, 0));
        QTest::newRow("a line the disk takes in part") << line << 20;
        QTest::newRow("no room at all") << line << 0;
        QTest::newRow("the first line of a new file, in part") << QByteArray() << 20;
        QTest::newRow("the first line of a new file, no room") << QByteArray() << 0;
    }

    // Only whole lines stay, a failed first line leaves no empty file, the
    // failure is said once, and the next append that fits is whole.
    void failedAppend()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, room);
        newFolder();
        QVERIFY(before.isNull() || writeFile(file("history.jsonl"), before));
        ChangeHistory history;
        history.setFilePath(file("history.jsonl"));
        LogCapture log;
        {
            FileSizeLimit limit(before.size() + room);
            appendGroupAdd(history, "G");
            appendGroupAdd(history, "H");
        }
        QCOMPARE(QFileInfo::exists(file("history.jsonl")), !before.isNull());
        QCOMPARE(readFile(file("history.jsonl")), before);
        QCOMPARE(log.count("cannot write the history"), 1);
        QVERIFY2(log.contains(qt_error_string(room > 0 ? ENOSPC : EFBIG)), qPrintable(log.texts().join('\n')));

        appendGroupAdd(history, "I");
        const HistoryReadResult result = userHistory();
        QCOMPARE(result.skippedLines, 0);
        QCOMPARE(subjects(result.entries).last(), QStringLiteral("I"));
        QCOMPARE(result.entries.size(), before.count('\n') + 1);
        QCOMPARE(log.count("cannot write the history"), 1);
    }

    // --- The plug-in, end to end -------------------------------------------

    // Changes of one session, in the order they were made, each line whole
    // and each entry with the record before and after; there while the
    // session still runs. A change refused, or one that changes nothing,
    // leaves no line.
    void sessionChangesInOrder()
    {
        newFolder();
        QProcess shell;
        shell.setProcessEnvironment(m_home.processEnvironment());
        shell.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", m_home.path(), "shell"});
        QVERIFY(shell.waitForStarted(20000));
        const qint64 pid = shell.processId();
        shell.write("strategy add D:/s/a.py a\ngroup rename 默认分组 主\nlock on D:/s/a.py\n");
        shell.write("group add 主\n"                           // a group that exists
                    "group add 默认分组\n"                     // a built-in group
                    "group rename none X\n"                    // a missing group
                    "lock off D:/s/other.py\n"                 // a file not locked
                    "lock on D:/s/a.py\n"                      // a file locked already
                    "strategy add D:/s/a.py a\n"               // a name taken
                    "strategy add D:/s/b.py b --group none\n"  // a missing group
                    "strategy remove 99\n"                     // a missing strategy
                    "strategy add D:/s/b.py b,%&c\n");         // a name the data file cannot hold
        const QByteArray a = strategy(1, "a");
        const QString before = compact(QJsonDocument::fromJson(a).object());
        const QString after = compact(QJsonDocument::fromJson(strategy(1, "a", "主")).object());
        const QStringList expected{"strategy.add|null|" + before,
                                   "group.rename|{\"createTime\":-1,\"name\":\"默认分组\"}|"
                                   "{\"createTime\":-1,\"name\":\"主\"}",
                                   "group.rename|" + before + "|" + after, "lock.on|null|{\"filePath\":\"D:/s/a.py\"}"};
        QTRY_COMPARE_WITH_TIMEOUT(summary(userHistory().entries), expected, 20000);
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished(20000));
        QCOMPARE(shell.exitCode(), 1); // the refusals
        QCOMPARE(summary(userHistory().entries), expected);

        // Keys in the documented order in the file.
        const QList<QByteArray> lines = readFile(file("history.jsonl")).split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.last().isEmpty());
        QVERIFY2(lines.first().startsWith("{\"time\":\"") && lines.first().endsWith("\"after\":" + a + "}"),
                 lines.first().constData());
        const QList<HistoryEntry> entries = userHistory().entries;
        const HistoryEntry &first = entries.first();
        QCOMPARE(first.pid, pid);
        QCOMPARE(entries.last().pid, pid);
        QVERIFY(first.time.isValid() && qAbs(first.time.secsTo(QDateTime::currentDateTime())) < 600);
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")
                    .match(first.timeText)
                    .hasMatch());
    }

    // A change whose file could not be written is not in the history; once
    // a later write stores it, its line comes, in its place.
    void changeRecordedOnceStored()
    {
        newFolder();
        QVERIFY(QDir().mkpath(file("SarvekFixedStrategyGroups.txt"))); // a folder where the groups file goes
        QProcess shell;
        shell.setProcessEnvironment(m_home.processEnvironment());
        shell.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", m_home.path(), "shell"});
        shell.write("group add G\n");
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += shell.readAllStandardError()).contains("SarvekFixedStrategyGroup"), 20000);
        QVERIFY(!QFileInfo::exists(file("history.jsonl")));
        QVERIFY(QDir().rmdir(file("SarvekFixedStrategyGroups.txt")));
        shell.write("group add H\n");
        QTRY_COMPARE_WITH_TIMEOUT(subjects(userHistory().entries), (QStringList{"G", "H"}), 20000);
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished(20000));
        QCOMPARE(subjects(userHistory().entries), (QStringList{"G", "H"}));
    }

    // A history that cannot be written costs the change nothing: it is made
    // and stored, with one warning per process.
    void unwritableHistory()
    {
        newFolder();
        QVERIFY(QDir().mkpath(file("history.jsonl")));
        const ProcessResult r = run({"shell"}, "strategy add D:/s/a.py a\ngroup add G\nlock on D:/s/a.py\n");
        CHECK_EXIT(r, 0);
        QCOMPARE(r.out.count("ok\n"), 3);
        QCOMPARE(r.errText().count("cannot write the history"), 1);
        QVERIFY(readFile(file("SarvekFixStrategy.dat")).contains(",%&a,%&D:/s/a.py,%&"));
        QVERIFY(readFile(file("SarvekFixedStrategyGroups.txt")).contains("G;"));
        const ProcessResult locked = run({"--json", "lock", "status", "D:/s/a.py"});
        QVERIFY2(locked.out.contains("true"), qPrintable(locked.describe()));
        QVERIFY(QFileInfo(file("history.jsonl")).isDir());
    }

    void strategyctlHistory_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("broken"); // a folder where history.jsonl goes
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("err"); // %1: the path of history.jsonl
        const QString note = QStringLiteral("note: 1 line(s) of the history are not entries; skipped\n");
        QTest::newRow("the table") << QStringList{"history"} << false << 0
                                   << QByteArray("time                 operation     what\n"
                                                 "2026-03-01 00:00:00  strategy.add  #5 a (D:/s/a.py) in 默认分组\n"
                                                 "2026-03-02 09:00:00  lock.on       D:/s/a.py\n"
                                                 "2026-03-03 10:00:00  strategy.add  #6 'b c' (D:/s/a.py) in 默认分组\n")
                                   << note;
        QTest::newRow("the table, filtered")
            << QStringList{"history", "--since", "2026-03-02", "--id", "6"} << false << 0
            << QByteArray("time                 operation     what\n"
                          "2026-03-03 10:00:00  strategy.add  #6 'b c' (D:/s/a.py) in 默认分组\n")
            << note;
        QTest::newRow("no entry") << QStringList{"history", "--id", "9"} << false << 0
                                  << QByteArray("time  operation  what\n(none)\n") << note;
        QTest::newRow("a folder in the file's place")
            << QStringList{"history"} << true << 3 << QByteArray() << "cannot read the history %1: it is a folder\n";
    }

    // What strategyctl prints is what the library read, byte for byte.
    void strategyctlHistory()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, broken);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QString, err);
        newFolder();
        QVERIFY(writeFile(file("history.1.jsonl"), strategyAdded()));
        if (broken)
            QVERIFY(QDir().mkpath(file("history.jsonl")));
        else
            QVERIFY(writeFile(file("history.jsonl"),
                              lockOn(localTime(2, 9)) + "not json\n"
                                  + entryLine(localTime(3, 10), "strategy.add", "null", strategy(6, "b c"))));
        const ProcessResult r = run(args);
        CHECK_EXIT(r, exitCode);
        QCOMPARE(r.outText(), QString::fromUtf8(out).replace("%1", file("history.jsonl")));
        QCOMPARE(r.errText(), QString(err).replace("%1", file("history.jsonl")));
    }

private:
    static QByteArray strategyAdded() { return entryLine(localTime(1, 0), "strategy.add", "null", strategy(5, "a")); }
};

QTEST_GUILESS_MAIN(tst_History)
#include "tst_history.moc"
