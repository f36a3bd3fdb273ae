// strategyctl end to end: every case runs the command-line host as its own
// process (one start, one command or one shell session, one shutdown of the
// plug-in) in a fresh installation folder, and looks at what it printed, its
// exit status and the files it left behind. A second process is a restart of
// the client. One process answers as much as it can: a `--json shell` reads
// many answers in one start.

#include "testsupport.h"

#include <QtTest> // with QtCore: QJsonDocument, QProcess, QRegularExpression

#include <algorithm>
#include <csignal>
#include <optional>
#include <wchar.h>

namespace {
QStringList sorted(QStringList list) { list.sort(); return list; }

// Columns a text takes on a terminal.
int columns(const QString &text)
{
    int width = 0;
    for (const uint u : text.toUcs4())
        width += qMax(0, ::wcwidth(wchar_t(u)));
    return width;
}

// The lines of `text` wider than 80 columns.
QStringList wideLines(const QString &text)
{
    QStringList lines = text.split('\n');
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](const QString &line) { return columns(line) <= 80; }),
                lines.end());
    return lines;
}

// The values of `keys` in a record as texts; "null" for a JSON null.
QStringList values(const QJsonObject &record, const QStringList &keys)
{
    QStringList texts;
    for (const QString &key : keys)
        texts.append(record.value(key).isNull() ? QStringLiteral("null") : record.value(key).toVariant().toString());
    return texts;
}

// One text per record, its values of `keys` joined by "|", so that whole lists compare at once.
QStringList fields(const QJsonArray &records, const QStringList &keys)
{
    QStringList rows;
    for (const QJsonValue &record : records)
        rows.append(values(record.toObject(), keys).join(QLatin1Char('|')));
    return rows;
}

// The answers of a `--json shell` session, one document per command, in
// order; the events between them left out.
QList<QJsonDocument> answersOf(const ProcessResult &r)
{
    QList<QJsonDocument> documents;
    for (const QByteArray &line : r.out.split('\n')) {
        if (!line.isEmpty() && !line.startsWith(R"({"event")"))
            documents.append(QJsonDocument::fromJson(line));
    }
    return documents;
}

// Runs strategyctl without --home for a user whose home folder is `home`,
// with the environment variables `vars` added, feeding `input` on stdin.
ProcessResult runBare(const QStringList &args, const QString &home, const QMap<QString, QString> &vars = {},
                      const QByteArray &input = {}, const QString &program = QStringLiteral(STRATEGYCTL_PATH))
{
    QProcessEnvironment env = bareEnvironment(home);
    for (auto it = vars.cbegin(); it != vars.cend(); ++it)
        env.insert(it.key(), it.value());
    return runProcess(program, args, env, home, input);
}

// The help texts a shell printed one after another, each from its usage line.
QStringList helpTexts(const QString &out)
{
    return out.split(QRegularExpression("^(?=Usage: strategyctl )", QRegularExpression::MultilineOption),
                     Qt::SkipEmptyParts);
}
} // namespace

class tst_Strategyctl : public QObject
{
    Q_OBJECT

    ProcessResult run(const QStringList &args, const QByteArray &in = {}) { return runStrategyctl(m_home, args, in); }
    QJsonDocument json(QStringList args) { return QJsonDocument::fromJson(run(args << QStringLiteral("--json")).out); }
    // The answers of the commands `lines`, run in one `--json shell`; none
    // unless there are `count`.
    QList<QJsonDocument> shellAnswers(const QByteArray &lines, int count)
    {
        const ProcessResult r = run({"--json", "shell"}, lines);
        const QList<QJsonDocument> documents = answersOf(r);
        return documents.size() == count ? documents : (qWarning("%s", qPrintable(r.describe())), QList<QJsonDocument>());
    }
    QString newFolder() { static int n = 0; return m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++n)); }
    QString file(const QString &relative) const { return m_home.filePath(relative); }

    TestHome m_home;
    QProcess m_flushShell; // waits 3.5 s in a folder of its own while the other cases run
    QString m_flushFolder;
    QString m_answersFolder; // answers(): a strategy and a locked file

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        m_flushShell.setProcessEnvironment(m_home.processEnvironment());
        m_flushFolder = newFolder();
        m_flushShell.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", m_flushFolder, "--json", "shell"});
        m_flushShell.write("strategy add D:/s/x.py x\ninstance add 7 1\nwait 3500\ndb instance_info\n");
        QVERIFY2(m_flushShell.waitForBytesWritten(), qPrintable(m_flushShell.errorString()));
        m_flushShell.closeWriteChannel();
    }

    // One rule for every command: 0 done; 1 refused, not found or nothing
    // changed, never "ok" then; 2 a usage error, found before anything
    // starts (the data folder is not even created, as for help and the
    // version). Under --json a failure is {"error": {"kind", "message"}} on
    // stdout, the message on stderr as well; a refusal leaves the folder as
    // it was. Help is within 80 columns. A negative number is a value.
    void answers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("kind"); // the JSON error's kind: the row runs with --json; empty: as text
        QTest::addColumn<QString>("out");  // text: a pattern for stdout, trimmed; empty: stdout stays empty
        QTest::addColumn<QString>("err");  // a part of stderr (and of the JSON message); empty: stderr stays empty
        QTest::addColumn<bool>("plugin");  // run with the plug-in, else in a data folder that must not come to exist
        auto usage = [](const char *name, const QStringList &args, const QString &err) {
            QTest::newRow(name) << args << 2 << "usage" << "" << err << false;
        };
        usage("unknown command", {"bogus"}, "unknown command 'bogus'");
        usage("unknown global option", {"--bogus", "status"}, "Unknown option 'bogus'");
        usage("near a command", {"strategy", "ad", "x"}, "did you mean: strategy add");
        usage("near a group", {"stratgy", "list"}, "did you mean: strategy list");
        usage("missing argument", {"strategy", "add", "D:/a.py"}, "expects PATH NAME");
        usage("too many", {"status", "x"}, "takes no arguments");
        usage("not a number", {"strategy", "show", "abc"}, "ID must be a whole number, not 'abc'");
        usage("count 0", {"strategy", "add", "D:/a.py", "a", "--count", "0"}, "1 or more");
        usage("unknown option", {"strategy", "add", "D:/a.py", "a", "--cont", "2"}, "did you mean --count?");
        usage("bad date", {"cash", "day", "5", "2026-13-01", "1", "2"}, "yyyy-MM-dd");
        usage("bad time", {"instance", "times", "5", "x", "2026-12-01T10:00:00"}, "ISO 8601");
        usage("table", {"db", "nosuch"}, "TABLE is one of");
        usage("either id or path", {"strategy", "remove", "1", "--path", "D:/a.py"}, "expects ID or --path PATH");
        usage("modify nothing", {"strategy", "modify", "1"}, "give at least one");
        usage("wait", {"--wait", "soon", "status"}, "--wait");
        usage("wait after the command", {"status", "--wait", "-1"}, "--wait");
        usage("group alone", {"strategy"}, "strategy add");
        usage("no command", {}, "Usage: strategyctl");

        auto failure = [](const char *name, const QStringList &args, const char *kind, const QString &err) {
            QTest::newRow(name) << args << 1 << kind << "" << err << true;
        };
        // The failures docs/cli.md does not show (tst_clidoc runs its examples).
        failure("strategy names", {"strategy", "names", "D:/none.py"}, "notFound", "D:/none.py");
        failure("strategy remove --path", {"strategy", "remove", "--path", "D:/none.py"}, "notFound", "D:/none.py");
        failure("strategy list --group", {"strategy", "list", "--group", "nope"}, "notFound", "nope");
        failure("lock on twice", {"lock", "on", "D:/locked.py"}, "unchanged", "already");
        failure("comma in name", {"group", "add", "a,b"}, "refused", "分组名称不能包含“,”或“;”！");
        // An effect that would end with a one-shot run is refused there.
        failure("cash init", {"cash", "init", "5", "2026-12-01", "-5.5"}, "refused", "cash day");
        // A FILE that cannot be read is a usage error, found once the plug-in reads it.
        QTest::newRow("import a folder") << QStringList{"import", "/"} << 2 << "usage" << "" << "is a directory" << true;

        // As text, each line within 80 columns.
        auto alone = [](const char *name, const QStringList &args, int exitCode, const QString &out, const QString &err) {
            QTest::newRow(name) << args << exitCode << "" << out << err << false;
        };
        alone("usage error as text", {"frobnicate"}, 2, "", "unknown command 'frobnicate'");
        alone("tool help", {"--help"}, 0, "(?s)^Usage: strategyctl .*shell.*Exit status", "");
        alone("help", {"help"}, 0, "(?s)^Usage: strategyctl .*completion", "");
        alone("group help", {"strategy", "--help"}, 0,
              R"((?s)strategy list.*strategy add PATH NAME.*strategy remove \[ID\])", "");
        alone("help group", {"help", "lock"}, 0, "(?s)lock on PATH.*lock list", "");
        alone("command help", {"strategy", "add", "--help"}, 0,
              R"((?s)^Usage: strategyctl strategy add PATH NAME \[OPTIONS\].*--count N)", "");
        alone("help command", {"help", "cash", "day"}, 0, "(?s)INITIAL END.*yyyy-MM-dd", "");
        alone("global help before", {"--help", "instance"}, 0, "instance list", "");
        alone("shell help", {"shell", "--help"}, 0, "(?s)quit.*--bail", "");
        alone("shell-only help", {"runmode", "set", "--help"}, 0, "strategyctl shell", "");
        alone("version", {"--version"}, 0, R"(^strategyctl \d+\.\d+\.\d+$)", "");
        alone("version as json", {"--json", "--version"}, 0, R"(^\{\s*"version": "\d+\.\d+\.\d+"\s*\}$)", "");

        auto text = [](const char *name, const QStringList &args, int exitCode, const QString &out, const QString &err) {
            QTest::newRow(name) << args << exitCode << "" << out << err << true;
        };
        text("refusal as text", {"strategy", "show", "99"}, 1, "", "no fixed strategy with id 99");
        text("blank in file name", {"name", "file", "te st.py"}, 0, "^false$", "");
        text("strict name", {"name", "strict", "D:/s/my_strategy.py"}, 0, "^true$", "");
        // Only the trading engine creates its database: without one, no rows.
        text("orders, no database", {"simu", "orders", "1001"}, 0, R"(\(none\)$)", "");
        text("negative amounts", {"cash", "day", "5", "2026-12-01", "-5", "-2.5"}, 0, "^ok$", "");
    }
    void answers()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, kind);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(bool, plugin);
        if (m_answersFolder.isEmpty()) {
            m_answersFolder = m_home.switchToNewFolder(QStringLiteral("answers"));
            CHECK_EXIT(run({"shell"}, "strategy add D:/a.py a\nlock on D:/locked.py\n"), 0);
        }
        // Before the command or after it: --json is taken either way.
        if (!kind.isEmpty() && plugin)
            args.append("--json");
        else if (!kind.isEmpty())
            args.prepend("--json");
        const QString neverCreated = m_answersFolder + QStringLiteral("/../never-created");
        const QMap<QString, QByteArray> before = folderContents(m_answersFolder, {"sarvek.lock", "sarvek.db"});
        const ProcessResult r = runStrategyctlIn(m_home, plugin ? m_answersFolder : neverCreated, args);
        CHECK_EXIT(r, exitCode);
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.errText().contains(err), qPrintable(r.describe()));
        if (kind.isEmpty()) {
            QVERIFY2(QRegularExpression(out.isEmpty() ? QStringLiteral("^$") : out).match(r.outText().trimmed()).hasMatch(),
                     qPrintable(r.describe()));
            QVERIFY2(wideLines(r.outText()).isEmpty(), qPrintable(wideLines(r.outText()).join('\n')));
        } else {
            const QJsonObject document = QJsonDocument::fromJson(r.out).object();
            const QJsonObject error = document.value("error").toObject();
            QVERIFY2(document.keys() == QStringList{"error"} && error.keys() == (QStringList{"kind", "message"})
                         && error.value("kind").toString() == kind && error.value("message").toString().contains(err),
                     qPrintable(r.describe()));
        }
        QVERIFY2(!QFileInfo::exists(neverCreated), qPrintable(r.describe()));
        QCOMPARE(folderContents(m_answersFolder, {"sarvek.lock", "sarvek.db"}), before);
        QVERIFY(!QFileInfo::exists(m_answersFolder + "/Sarvek_SimuTrade.db")); // left to the trading engine alone
    }

    // Every command the help lists has a help of its own within 80
    // columns, and the completion scripts and the manual page know it,
    // with the values its arguments take.
    void everyCommandIsDocumented();

    // --home, else $STRATEGYLOGIC_HOME, else $XDG_DATA_HOME/StrategyLogic,
    // else ~/.local/share/StrategyLogic; the id sequences inside it.
    void dataFolder_data()
    {
        QTest::addColumn<QStringList>("args");    // after "--json shell"
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("expected");    // relative to the fake home
        QTest::newRow("STRATEGYLOGIC_HOME") << QStringList() << "STRATEGYLOGIC_HOME" << "elsewhere";
        QTest::newRow("XDG_DATA_HOME") << QStringList() << "XDG_DATA_HOME" << "xdg/StrategyLogic";
        QTest::newRow("default") << QStringList() << "" << ".local/share/StrategyLogic";
        QTest::newRow("--home after the command") << QStringList{"--home", "{home}/after"} << "STRATEGYLOGIC_HOME"
                                                  << "after";
    }
    void dataFolder()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, variable);
        QFETCH(QString, expected);
        const QString fakeHome = newFolder() + "/home";
        QVERIFY(QDir().mkpath(fakeHome));
        QMap<QString, QString> vars;
        if (variable == "STRATEGYLOGIC_HOME")
            vars.insert(variable, fakeHome + "/elsewhere");
        else if (variable == "XDG_DATA_HOME")
            vars.insert(variable, fakeHome + "/xdg");
        args.replaceInStrings("{home}", fakeHome);
        const ProcessResult r = runBare(QStringList{"--json", "shell"} + args, fakeHome, vars, "strategy add D:/a.py a\nstatus\n");
        CHECK_EXIT(r, 0);
        const QList<QJsonDocument> documents = answersOf(r);
        QCOMPARE(documents.size(), 2);
        const QString folder = fakeHome + "/" + expected;
        QCOMPARE(documents.at(1).object().value("applicationDir").toString(), folder);
        QCOMPARE(documents.at(1).object().value("idDir").toString(), folder + "/ids");
        QVERIFY(QFileInfo::exists(folder + "/work/demo01/SarvekFixStrategy.dat"));
        QVERIFY(QFileInfo(folder + "/ids").isDir());
        // Nothing lands beside the program.
        QVERIFY(!QFileInfo::exists(QFileInfo(QStringLiteral(STRATEGYCTL_PATH)).absolutePath() + "/sarvek.db"));
    }

    // Text is for people: local times, "-" for nothing, aligned columns
    // whatever the characters, quoted event arguments, no control character
    // reaching the terminal.
    void textForPeople()
    {
        newFolder();
        const ProcessResult session = run({"shell"}, QStringLiteral("group add 趋势\nstrategy add D:/s/a.py 趋势😀 --extra x\n"
                                                                    "strategy add D:/s/b.py plain --extra x\n"
                                                                    "strategy add D:/s/c.py e\u0301t\u00e9 --extra x\n"
                                                                    "strategy add D:/s/e.py 'bell\x07\x1b[2J'\n"
                                                                    "lock on 'D:/my s/a.py'\n").toUtf8());
        CHECK_EXIT(session, 0);
        // An event argument with a blank comes quoted, as the shell reads it back.
        QVERIFY2(session.out.contains("event signalChangeFileLockState 'D:/my s/a.py'\n"), qPrintable(session.describe()));
        const QString groups = run({"group", "list"}).outText();
        QVERIFY2(QRegularExpression("\n趋势 +\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n").match(groups).hasMatch(), qPrintable(groups));
        QVERIFY2(QRegularExpression("\n默认分组 +-\n").match(groups).hasMatch(), qPrintable(groups));
        const ProcessResult list = run({"strategy", "list"});
        const QStringList lines = list.outText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        // The file path column starts at the same column on every line.
        int start = -1;
        for (const QString &line : lines) {
            const int at = line.indexOf(line.startsWith("id") ? "filePath" : "D:/s/");
            QVERIFY2(at > 0, qPrintable(line));
            const int column = columns(line.left(at));
            QVERIFY2(start < 0 || column == start, qPrintable(lines.join('\n')));
            start = column;
        }
        QVERIFY2(lines.at(2).contains(" x ") && lines.at(4).contains(" - "), qPrintable(lines.join('\n')));
        QVERIFY2(!list.out.contains('\x1b') && list.outText().contains("bell\\x07\\x1b[2J"), qPrintable(list.describe()));
        // Events in JSON name their parameters in camelCase.
        const ProcessResult events = run({"--json", "shell"}, "strategy move D:/s/b.py D:/s/b2.py\n");
        QVERIFY2(events.out.contains(R"({"event":"signalFixedStrategyFileChanged","newFilePath":"D:/s/b2.py","oldFilePath":"D:/s/b.py"})"),
                 qPrintable(events.describe()));
    }

    // Instances are listed in the order of their ids as numbers; inside a
    // shell an instance is listed before its row reaches the database.
    void instancesListedInOrder()
    {
        newFolder();
        const QList<QJsonDocument> documents
            = shellAnswers("instance add 12 2\ninstance add 3 1\ninstance list\ninstance add 40 1\ninstance list\n", 5);
        QVERIFY(!documents.isEmpty());
        QCOMPARE(fields(documents.at(2).array(), {"instanceId", "runMode"}), (QStringList{"3|1", "12|2"}));
        QCOMPARE(fields(documents.at(4).array(), {"instanceId"}), (QStringList{"3", "12", "40"}));
    }

    // A table of the simulated-trading engine's orders for people leaves the
    // long columns to --all (the records themselves: tst_simu).
    void simulatedOrdersTable()
    {
        newFolder();
        QVERIFY(execSql(file("Sarvek_SimuTrade.db"), QStringLiteral(
            "create table order_info(order_id, symbol, date_time, batch_no, order_qty, leave_qty, cum_qty, side,"
            " status, type, px, avg_px, style, fund_account, enturst_prop, text, inst_id);"
            "insert into order_info(order_id, px, fund_account, text, inst_id) values"
            " ('O3', 9.87, '880002', 'a long description of the order', '1002');")));
        const QString compact = run({"simu", "orders", "1002"}).outText();
        const QString all = run({"simu", "orders", "1002", "--all"}).outText();
        for (const QString &line : compact.split('\n'))
            QVERIFY2(columns(line) <= 100, qPrintable(line));
        QVERIFY2(compact.contains("O3") && !compact.contains("a long description"), qPrintable(compact));
        QVERIFY2(all.contains("a long description"), qPrintable(all));
    }

    void shellSessionIsKept(); // below the class: moc misreads the quotes of its raw string

    // Another program holds the database: a command that reads or writes it
    // is reported as busy (3), never as "not found"; given time, it waits.
    void busyDatabaseIsBusy()
    {
        const QString dir = newFolder();
        CHECK_EXIT(run({"instance", "add", "5", "1"}), 0);
        QProcess locker;
        locker.start(helperPath("dblocker"), {dir + "/sarvek.db"});
        QVERIFY(locker.waitForReadyRead(20000) && locker.readLine() == "locked\n");
        const QList<QStringList> commands{{"instance", "show", "5"}, {"instance", "list"}, {"cash", "show", "5"},
                                          {"lock", "status", "D:/a.py"}, {"lock", "on", "D:/b.py"}, {"db", "instance_info"}};
        for (const QStringList &args : commands) {
            const ProcessResult r = run(QStringList{"--json", "--wait", "0"} + args);
            QVERIFY2(!r.crashed && r.exitCode == 3 && r.errText().contains("busy"), qPrintable(r.describe()));
            QCOMPARE(QJsonDocument::fromJson(r.out).object().value("error").toObject().value("kind").toString(),
                     QStringLiteral("busy"));
        }
        QProcess waiting;
        waiting.setProcessEnvironment(m_home.processEnvironment());
        waiting.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", dir, "--wait", "60", "lock", "on", "D:/b.py"});
        QVERIFY(waiting.waitForStarted() && !waiting.waitForFinished(300)); // still waiting
        locker.closeWriteChannel();
        QVERIFY(locker.waitForFinished(20000));
        QVERIFY(waiting.waitForFinished(30000));
        QCOMPARE(waiting.exitCode(), 0);
        QCOMPARE(json({"lock", "list"}).array(), QJsonArray{"D:/b.py"});
    }

    // While another process holds the folder, a command waits for it up to
    // --wait seconds, and otherwise ends with status 3 having done nothing.
    void folderInUseWaitsThenRefuses()
    {
        const QString dir = newFolder();
        QProcess holder, waiting;
        holder.start(helperPath("folderholder"), {dir});
        QVERIFY(holder.waitForReadyRead(20000) && holder.readLine() == "held\n");
        const ProcessResult refused = run({"--wait", "0", "group", "add", "g1"});
        CHECK_EXIT(refused, 3);
        QVERIFY2(refused.errText().contains(QStringLiteral("in use by pid %1").arg(holder.processId())),
                 qPrintable(refused.describe()));
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"sarvek.lock"});
        waiting.setProcessEnvironment(m_home.processEnvironment());
        waiting.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", dir, "--wait", "60", "group", "add", "g2"});
        QVERIFY(waiting.waitForStarted() && !waiting.waitForFinished(300)); // still waiting
        holder.closeWriteChannel();
        QVERIFY(waiting.waitForFinished(30000) && waiting.exitCode() == 0 && holder.waitForFinished(20000));
        QCOMPARE(fields(json({"group", "list"}).array(), {"name"}), (QStringList{"g2", "默认分组"}));
    }

    // Concurrent one-shot commands run one after another: every change
    // they answered ok is stored.
    void concurrentWritersAreAllStored()
    {
        newFolder();
        QList<QProcess *> writers;
        for (int k = 1; k <= 6; ++k) {
            auto *writer = new QProcess(this);
            writer->setProcessEnvironment(m_home.processEnvironment());
            writer->start(QStringLiteral(STRATEGYCTL_PATH),
                          {"--home", m_home.path(), "--wait", "60", "strategy", "add",
                           QStringLiteral("D:/s/p%1.py").arg(k), QStringLiteral("n%1").arg(k), "--count", "20"});
            writers.append(writer);
        }
        for (QProcess *writer : writers) {
            QVERIFY(writer->waitForFinished(60000));
            QCOMPARE(writer->exitCode(), 0);
            delete writer;
        }
        QCOMPARE(json({"strategy", "list"}).array().size(), 120);
    }

    // A signal ends a shell the normal way: what it answered ok is stored.
    void signalEndsShellKeepingItsRows_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalEndsShellKeepingItsRows()
    {
        QFETCH(int, signal);
        newFolder();
        QProcess shell;
        shell.setProcessEnvironment(m_home.processEnvironment());
        shell.start(QStringLiteral(STRATEGYCTL_PATH), {"--home", m_home.path(), "shell"});
        shell.write("instance add 31 1\ninstance add 32 2\ncash init 31 2026-12-01 10\ncash end 31 2026-12-01 11\n"
                    "group add kept\n");
        QByteArray out;
        QTRY_COMPARE_WITH_TIMEOUT((out += shell.readAllStandardOutput()).count("ok\n"), 5, 20000);
        ::kill(pid_t(shell.processId()), signal); // stdin stays open
        QVERIFY(shell.waitForFinished(20000));
        QCOMPARE(shell.exitCode(), 128 + signal);
        const QList<QJsonDocument> documents = shellAnswers("db instance_info\ndb backtest_daycash\ngroup list\n", 3);
        QVERIFY(!documents.isEmpty());
        QCOMPARE(fields(documents.at(0).array(), {"instance_id", "run_mode"}), (QStringList{"31|1", "32|2"}));
        QCOMPARE(fields(documents.at(1).array(), {"end_funds"}), QStringList{"11"});
        QVERIFY(fields(documents.at(2).array(), {"name"}).contains("kept"));
    }

    // A folder that cannot be written (read only, or a full disk): every
    // change exits 3, never having printed "ok", and the folder stays as it
    // was.
    void unwritableFolderChangesNothing_data()
    {
        QTest::addColumn<bool>("readOnly"); // else: no byte may be written, as on a full disk
        QTest::newRow("full disk") << false;
        QTest::newRow("read only") << true;
    }
    void unwritableFolderChangesNothing()
    {
        QFETCH(bool, readOnly);
        const QString dir = newFolder();
        QVERIFY(writeFile(file("work/demo01/SarvekFixStrategy.dat"),
                          "1,%&a,%&D:/s/a.py,%&默认分组,%&,%&0\n2,%&b,%&D:/s/a.py,%&默认分组,%&,%&0\n"));
        CHECK_EXIT(run({"python", "set", "/usr/bin"}), 0);
        const QMap<QString, QByteArray> before = folderContents(dir);
        const QList<QStringList> changes{{"strategy", "add", "D:/s/b.py", "b"}, {"strategy", "modify", "1", "--name", "z"},
                                         {"strategy", "remove", "1"},           {"group", "add", "G"},
                                         {"group", "rename", "默认分组", "X"},  {"group", "delete", "默认分组", "--with-strategies"},
                                         {"python", "set", "/x"},               {"instance", "add", "5", "1"},
                                         {"lock", "on", "D:/a.py"}};
        std::optional<ReadOnlyFolder> frozen;
        if (readOnly && !frozen.emplace(dir).isValid())
            QSKIP("this process may not mount a read-only folder");
        for (const QStringList &args : changes) {
            QStringList quoted;
            for (const QString &arg : QStringList{STRATEGYCTL_PATH, "--home", dir} + args)
                quoted.append("'" + arg + "'");
            const ProcessResult r = readOnly ? run(args) : runShell(m_home, "ulimit -f 0; trap '' XFSZ; exec " + quoted.join(' '));
            // 3: the data could not be reached (written), not a refusal.
            QVERIFY2(!r.crashed && r.exitCode == 3 && !r.out.contains("ok"), qPrintable(args.join(' ') + ": " + r.describe()));
        }
        if (readOnly)
            CHECK_EXIT(run({"strategy", "list"}), 0); // reading still works
        QCOMPARE(folderContents(dir), before);
    }

    // An answer that cannot be written is a failure; a reader that goes
    // away does not cut the shell short of writing what is pending.
    void lostAnswers()
    {
        newFolder();
        const QString ctl = QStringLiteral("'" STRATEGYCTL_PATH "' --home '%1' ").arg(m_home.path());
        const ProcessResult full = runShell(m_home, ctl + "strategy add D:/a.py a > /dev/full");
        CHECK_EXIT(full, 3);
        QVERIFY2(full.errText().contains("cannot write the answer"), qPrintable(full.describe()));
        const ProcessResult piped = runShell(m_home, "printf 'wait 300\\ninstance add 5 1\\ninstance add 6 2\\n' | " + ctl
                                                         + "shell | true");
        QVERIFY2(!piped.crashed, qPrintable(piped.describe()));
        QCOMPARE(json({"instance", "list"}).array().size(), 2);
    }

    // The database is held by another program until after the shell ended:
    // its rows wait in the journal and reach the tables at the next start,
    // a re-registration replacing the older row.
    void heldDatabaseRowsReachTheTablesAtNextStart()
    {
        newFolder();
        CHECK_EXIT(run({"instance", "add", "5", "1", "--account", "OLD"}), 0);
        QProcess locker;
        locker.start(helperPath("dblocker"), {file("sarvek.db")});
        QVERIFY(locker.waitForReadyRead(20000) && locker.readLine() == "locked\n");
        const ProcessResult held = run({"shell"}, "instance add 5 2 --account NEW\ninstance add 6 1\n"
                                                  "cash init 6 2026-12-01 100\ncash end 6 2026-12-01 105.5\n");
        CHECK_EXIT(held, 0);
        QVERIFY2(held.errText().contains("database is locked"), qPrintable(held.describe()));
        QVERIFY(QFileInfo::exists(file("sarvek.pending.json")));
        locker.closeWriteChannel();
        QVERIFY(locker.waitForFinished(20000));
        const QList<QJsonDocument> documents = shellAnswers("db instance_info\ndb backtest_daycash\n", 2);
        QVERIFY(!documents.isEmpty());
        QVERIFY(!QFileInfo::exists(file("sarvek.pending.json")));
        QCOMPARE(fields(documents.at(0).array(), {"instance_id", "run_mode", "fund_account"}),
                 (QStringList{"5|2|NEW", "6|1|"}));
        QCOMPARE(fields(documents.at(1).array(), {"instance_id", "initial_funds", "end_funds"}),
                 QStringList{"6|100|105.5"});
    }

    // What a killed process may leave behind is cleared at the next start;
    // what is not of its naming, and damaged files set aside, stay.
    void leftoversOfAKilledProcess()
    {
        const QString dir = newFolder();
        const QStringList leftovers{"work/demo01/SarvekFixStrategy.dat.Ab12Cd", "work/demo01/SarvekFixedStrategyGroups.txt.x1Y2z3",
                                    "sarvek.pending.json.QWERTY", "ZqProEngineConfig.ini.abcdef"};
        const QStringList kept{"work/demo01/SarvekFixStrategy.dat.unreadable-20261201-101010",
                               "work/demo01/SarvekFixStrategy.dat.bak", "work/demo01/notes.txt.Ab12Cd"};
        for (const QString &name : leftovers + kept)
            QVERIFY(writeFile(file(name), "x"));
        QVERIFY(writeFile(file("sarvek.pending.json"), "{ not a journal"));
        CHECK_EXIT(run({"status"}), 0);
        for (const QString &name : leftovers)
            QVERIFY2(!QFileInfo::exists(file(name)), qPrintable(name));
        for (const QString &name : kept)
            QVERIFY2(QFileInfo::exists(file(name)), qPrintable(name));
        // The damaged journal is kept aside for someone to look at.
        QCOMPARE(QDir(dir).entryList({"sarvek.pending.json*"}).size(), 1);
        QVERIFY(QDir(dir).entryList({"sarvek.pending.json*"}).value(0).startsWith("sarvek.pending.json.unreadable-"));
    }

    // A value that cannot be stored is refused, and what was stored stays.
    void nulIsRefusedAndEarlierRecordsSurvive()
    {
        newFolder();
        const ProcessResult r = run({"shell"}, QByteArray("strategy add D:/s/a.py a\nstrategy add D:/s/n.py bad\0name\n", 57));
        QVERIFY2(r.errText().contains("a NUL") && r.out.count("ok\n") == 1, qPrintable(r.describe()));
        QCOMPARE(fields(json({"strategy", "list"}).array(), {"name"}), QStringList{"a"});
    }

    // The profile file of the data folder replaces the built-in demo profile
    // (whose answers docs/cli.md shows). The user's files are named by its
    // user id alone: a login account of another user is reported, and an id
    // that is not a folder name writes nothing anywhere.
    void userFolderComesFromTheUserId_data()
    {
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<QString>("folder"); // where the data file lands; empty: nowhere
        QTest::newRow("login account of another user")
            << QByteArray(R"({"loginAccount": "alice", "userId": "Bob", "fundAccounts": [{"productId": "Q9"}]})")
            << "work/bob";
        QTest::newRow("user id climbing out") << QByteArray(R"({"loginAccount": "../../x", "userId": "../../x"})") << "";
        QTest::newRow("empty user id") << QByteArray(R"({"loginAccount": "", "userId": ""})") << "";
    }
    void userFolderComesFromTheUserId()
    {
        QFETCH(QByteArray, profile);
        QFETCH(QString, folder);
        const QString dir = newFolder();
        QVERIFY(writeFile(file("StrategyHostProfile.json"), profile));
        const ProcessResult r = run({"--json", "shell"}, "strategy add D:/s/a.py a\nstrategy list\nstatus\naccount products\n");
        CHECK_EXIT(r, folder.isEmpty() ? 1 : 0);
        QVERIFY2(r.errText().contains(folder.isEmpty() ? "cannot name a folder" : "name different users"),
                 qPrintable(r.describe()));
        const QList<QJsonDocument> documents = answersOf(r);
        QCOMPARE(documents.size(), 4);
        QCOMPARE(documents.at(1).array().size(), folder.isEmpty() ? 0 : 1);
        QCOMPARE(folderContents(dir).keys().filter("SarvekFixStrategy.dat"),
                 folder.isEmpty() ? QStringList() : QStringList{folder + "/SarvekFixStrategy.dat"});
        QVERIFY(!QFileInfo::exists(dir + "/../x"));
        if (folder.isEmpty())
            return;
        QCOMPARE(values(documents.at(2).object(), {"userId", "loginAccount", "applicationDir", "database", "dataFile",
                                                   "groupsFile"}),
                 (QStringList{"bob", "alice", dir, dir + "/sarvek.db", dir + "/" + folder + "/SarvekFixStrategy.dat",
                              dir + "/" + folder + "/SarvekFixedStrategyGroups.txt"}));
        QCOMPARE(fields(documents.at(3).array(), {"productId"}), QStringList{"Q9"});
    }

    // A groups file that starts with the bytes of a UTF-16 mark is still
    // read as UTF-8 (only those two bytes are not text), and the bytes it
    // came with are kept when it is written.
    void groupsFileIsNotGuessedToBeUtf16()
    {
        const QString dir = newFolder();
        const QByteArray content = "\xff\xfe\xe7\xbb\x84;100,\xe9\xbb\x98\xe8\xae\xa4\xe5\x88\x86\xe7\xbb\x84;-1";
        QVERIFY(writeFile(file("work/demo01/SarvekFixedStrategyGroups.txt"), content));
        QCOMPARE(fields(json({"group", "list"}).array(), {"name"}), (QStringList{"默认分组", "\ufffd\ufffd组"}));
        const QStringList aside = QDir(dir + "/work/demo01").entryList({"SarvekFixedStrategyGroups.txt.unreadable-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(dir + "/work/demo01/" + aside.value(0)), content);
    }

    void shellJsonEventsAndTimedFlush()
    {
        QVERIFY2(m_flushShell.state() == QProcess::NotRunning || m_flushShell.waitForFinished(60000),
                 qPrintable(m_flushShell.errorString()));
        const ProcessResult r{m_flushShell.exitCode(), m_flushShell.exitStatus() == QProcess::CrashExit,
                              m_flushShell.readAllStandardOutput(), m_flushShell.readAllStandardError()};
        CHECK_EXIT(r, 0);
        // Answers and events each a compact JSON document on a line of its own.
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QVERIFY2(lines.contains(R"({"event":"signalAddStrategy"})"), qPrintable(r.describe()));
        // The timed flush wrote the instance row while the shell was waiting.
        const QJsonArray rows = QJsonDocument::fromJson(lines.last()).array();
        QCOMPARE(fields(rows, {"instance_id", "run_mode", "create_date"}),
                 QStringList{QStringLiteral("7|1|") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))});
        // The database's rows keep the types they are stored with.
        const QJsonObject row = rows.at(0).toObject();
        for (const QString &column : row.keys()) {
            const QString type = querySql(m_flushFolder + "/sarvek.db",
                                          QStringLiteral("select typeof(%1) from instance_info").arg(column)).value(0).value(0);
            const QJsonValue value = row.value(column);
            QVERIFY2(type == "null" ? value.isNull() : type == "text" ? value.isString() : value.isDouble(),
                     qPrintable(column + ": " + type));
        }
    }

    // The README's examples, one after another as written after the line
    // that puts build/bin on the PATH (this build's folder stands for it),
    // in a fresh home: each exits 0 unless its comment says "# exit N".
    void readmeExamples()
    {
        const QString readme = QString::fromUtf8(readFile(QStringLiteral(SOURCE_DIR "/README.md")));
        const QString pathLine = QStringLiteral("export PATH=\"$PWD/build/bin:$PATH\"");
        QStringList examples;
        bool inSh = false;
        bool onPath = false;
        for (const QString &line : readme.split('\n')) {
            if (line.startsWith("```"))
                inSh = line == "```sh";
            else if (inSh && line == pathLine)
                onPath = true;
            else if (inSh && onPath && line.contains("strategyctl "))
                examples.append(line);
        }
        QVERIFY2(onPath, "the README puts build/bin on the PATH before its examples");
        QVERIFY2(examples.size() >= 8, qPrintable(examples.join('\n')));
        const QString fakeHome = newFolder() + "/home";
        QVERIFY(QDir().mkpath(fakeHome));
        const QRegularExpression expected("#.*\\bexit (\\d+)");
        for (const QString &example : qAsConst(examples)) {
            const QRegularExpressionMatch m = expected.match(example);
            const ProcessResult r = runBare({"-c", example}, fakeHome, {}, {}, QStringLiteral("/bin/bash"));
            QVERIFY2(!r.crashed && r.exitCode == (m.hasMatch() ? m.captured(1).toInt() : 0),
                     qPrintable(example + "\n" + r.describe()));
        }
    }
};

void tst_Strategyctl::shellSessionIsKept()
{
    newFolder();
    const ProcessResult r = run({"shell"}, R"(strategy add 'D:\a b\x.py' "y z"
strategy add "C:\s\q.py" 'q r' --extra "say \"hi\""
strategy add D:\u\v.py v
strategy add 'unclosed x
instance add 1024 2 --account 880001 --reg ok
cash init 1024 2026-12-01 100000
cash end 1024 2026-12-01 101000
)");
    CHECK_EXIT(r, 2); // the line with an unclosed quote; the shell goes on after it
    const QList<QByteArray> lines = r.out.split('\n');
    QVERIFY2(lines.contains("event signalAddStrategy") && lines.contains("event sigInstanceRunModeChange 1024 2"),
             qPrintable(r.describe()));
    // A new process finds what the session left (the line with an unclosed quote refused), the instance row
    // written when the input ended.
    const QList<QJsonDocument> documents = shellAnswers("strategy list\ninstance show 1024\ncash show 1024\n", 3);
    QVERIFY(!documents.isEmpty());
    QCOMPARE(sorted(fields(documents.at(0).array(), {"name", "filePath", "extraInfo"})),
             (QStringList{R"(q r|C:\s\q.py|say "hi")", R"(v|D:\u\v.py|)", R"(y z|D:\a b\x.py|)"}));
    QCOMPARE(values(documents.at(1).object(), {"runMode", "fundAccount", "returnRegInfo"}),
             (QStringList{"2", "880001", "ok"}));
    QCOMPARE(fields(documents.at(2).array(), {"date", "initialFunds", "endFunds"}),
             QStringList{"2026-12-01|100000|101000"});
}

void tst_Strategyctl::everyCommandIsDocumented()
{
    newFolder();
    // The groups and the commands of one word, from the tool's help; then,
    // in one shell each, every topic's help and every command's.
    const ProcessResult tool = run({"--help"});
    QStringList topics;
    for (const QString &line : tool.outText().section("\nCommands", 1).section("\nExit status:", 0, 0).split('\n')) {
        if (line.startsWith("  ") && line.at(2).isLetter())
            topics.append(line.section(' ', 2, 2));
    }
    for (const char *group : {"strategy", "group", "lock", "instance", "cash", "account", "simu", "name", "label",
                              "runmode", "python", "shell", "db", "status"})
        QVERIFY2(topics.contains(group), group);
    const QStringList topicTexts = helpTexts(run({"shell"}, ("help " + topics.join("\nhelp ") + '\n').toUtf8()).outText());
    QCOMPARE(topicTexts.size(), topics.size());
    QStringList commands;
    QMap<QString, QStringList> groupCommands; // group -> its second words
    for (int i = 0; i < topics.size(); ++i) {
        const QString group = topicTexts.at(i).startsWith("Usage: strategyctl " + topics.at(i) + " COMMAND") ? topics.at(i) : QString();
        if (group.isEmpty())
            commands.append(topics.at(i));
        for (const QString &line : topicTexts.at(i).split('\n')) {
            const QString command = line.mid(2).section(' ', 0, 1).trimmed();
            if (!group.isEmpty() && line.startsWith("  " + group + " ") && !commands.contains(command))
                commands.append(command);
            if (!group.isEmpty() && line.startsWith("  " + group + " ") && command.contains(' '))
                groupCommands[group].append(command.section(' ', 1));
        }
    }
    QVERIFY2(commands.size() > 40, qPrintable(commands.join(", ")));
    const QStringList commandTexts = helpTexts(run({"shell"}, (commands.join(" --help\n") + " --help\n").toUtf8()).outText());
    QCOMPARE(commandTexts.size(), commands.size());
    QMap<QString, QStringList> choices; // "COMMAND N": the values its argument N takes
    for (int i = 0; i < commands.size(); ++i) {
        const QString &text = commandTexts.at(i);
        QVERIFY2(QRegularExpression("^Usage: strategyctl " + commands.at(i) + "( |\n)").match(text).hasMatch(), qPrintable(text));
        const QStringList usage = text.section('\n', 0, 0).split(' ').mid(2 + commands.at(i).count(' ') + 1);
        const QString arguments = text.section("\nArguments:\n", 1).simplified();
        for (auto m = QRegularExpression("([A-Z]+) is one of ([^.]+)\\.").globalMatch(arguments); m.hasNext();) {
            const QRegularExpressionMatch match = m.next();
            const int index = usage.indexOf(QRegularExpression("^\\[?" + match.captured(1) + "(\\.\\.\\.)?\\]?$"));
            choices.insert(commands.at(i) + ' ' + QString::number(index), match.captured(2).split(", "));
        }
    }
    QVERIFY2(choices.contains("db 0") && choices.contains("completion 0"), qPrintable(choices.keys().join(", ")));
    const QStringList wide = wideLines(tool.outText() + topicTexts.join("") + commandTexts.join(""));
    QVERIFY2(wide.isEmpty(), qPrintable(wide.join('\n')));

    // What the bash script offers, as bash runs it: the first words, the
    // commands of each group, the values of each argument that has them.
    const ProcessResult bash = run({"completion", "bash"});
    const ProcessResult zsh = run({"completion", "zsh"});
    QVERIFY(writeFile(m_home.filePath("completion.bash"), bash.out) && writeFile(m_home.filePath("completion.zsh"), zsh.out));
    QStringList cases{"''", "strategy a"};
    for (const QString &group : groupCommands.keys())
        cases.append(group + " ''");
    for (const QString &key : choices.keys())
        cases.append(key.section(' ', 0, -2) + QString(" x").repeated(key.section(' ', -1).toInt()) + " ''");
    QString script = ". completion.bash\n";
    for (const QString &words : qAsConst(cases))
        script += "COMP_WORDS=(strategyctl " + words + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _strategyctl; "
                  "echo \"${COMPREPLY[*]}\"\n";
    QVERIFY(writeFile(m_home.filePath("offered.bash"), script.toUtf8()));
    const ProcessResult offered = runShell(m_home, "bash -n completion.bash && bash offered.bash");
    QList<QStringList> replies;
    for (const QString &line : offered.outText().split('\n'))
        replies.append(line.split(' ', Qt::SkipEmptyParts));
    QVERIFY2(offered.exitCode == 0 && replies.size() > cases.size(), qPrintable(offered.describe()));
    QVERIFY2(replies.at(0) == topics && replies.at(1) == QStringList{"add"}, qPrintable(offered.describe()));
    for (int i = 0; i < groupCommands.size(); ++i)
        QCOMPARE(replies.at(2 + i), groupCommands.values().at(i));
    for (int i = 0; i < choices.size(); ++i)
        QCOMPARE(replies.at(2 + groupCommands.size() + i), choices.values().at(i));
    // The zsh script names every command and every argument's values.
    for (const QString &command : qAsConst(commands))
        QVERIFY2(zsh.outText().contains("'" + command + "'"), qPrintable(command));
    for (const QStringList &values : qAsConst(choices))
        QVERIFY2(zsh.outText().contains("(" + values.join(' ') + ")"), qPrintable(values.join(' ')));
    if (!QStandardPaths::findExecutable("zsh").isEmpty())
        CHECK_EXIT(runShell(m_home, "zsh -n completion.zsh"), 0);

    // The manual page (made by the build too), as man shows it: its
    // sections and every command.
    QVERIFY(QFileInfo::exists(QFileInfo(QStringLiteral(STRATEGYCTL_PATH)).absolutePath() + "/../share/man/man1/strategyctl.1"));
    QVERIFY(writeFile(m_home.filePath("strategyctl.1"), run({"manpage"}).out));
    if (QStandardPaths::findExecutable("man").isEmpty())
        QSKIP("man is not installed");
    const QString man = runShell(m_home, "MANWIDTH=80 LC_ALL=C.UTF-8 man -l strategyctl.1").outText();
    for (const char *section : {"SYNOPSIS", "OPTIONS", "COMMANDS", "EXIT STATUS", "ENVIRONMENT", "FILES", "EXAMPLES"})
        QVERIFY2(man.contains("\n" + QString(section) + "\n"), section);
    for (const QString &command : qAsConst(commands)) {
        // The words of a tag may stand further apart: its lines are filled.
        const QString words = QRegularExpression::escape(command).replace("\\ ", " +");
        QVERIFY2(man.contains(QRegularExpression("\n {7}" + words + "( |\n)")), qPrintable(command));
    }
}

QTEST_GUILESS_MAIN(tst_Strategyctl)
#include "tst_strategyctl.moc"
