// strategyctl as a command-line tool: parsing, help, exit statuses and the
// one JSON shape, where the data lives, text for people, listings, the
// completion script, the manual page and the README's examples. Every case
// runs strategyctl as its own process.

#include "testsupport.h"

#include <QtTest>

#include <wchar.h>

namespace {
// Columns a text takes on a terminal.
int columns(const QString &text)
{
    int width = 0;
    for (const uint u : text.toUcs4())
        width += qMax(0, ::wcwidth(wchar_t(u)));
    return width;
}

// Runs strategyctl without --home for a user whose home folder is `home`,
// with the environment variables `vars` added.
ProcessResult runBare(const QStringList &args, const QString &home, const QMap<QString, QString> &vars = {},
                      const QString &program = QStringLiteral(STRATEGYCTL_PATH))
{
    QProcessEnvironment env = bareEnvironment(home);
    for (auto it = vars.cbegin(); it != vars.cend(); ++it)
        env.insert(it.key(), it.value());
    return runProcess(program, args, env, home);
}
} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

    ProcessResult run(const QStringList &args, const QByteArray &in = {}) { return runStrategyctl(m_home, args, in); }
    QJsonDocument json(const QStringList &args) { return QJsonDocument::fromJson(run(QStringList{"--json"} + args).out); }
    QString newFolder() { static int n = 0; return m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++n)); }

    TestHome m_home;

private slots:
    void initTestCase() { QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString())); }

    // A usage error is found before anything starts: the data folder is not
    // even created.
    void usageErrorsTouchNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("err");
        QTest::newRow("unknown command") << QStringList{"bogus"} << "unknown command 'bogus'";
        QTest::newRow("unknown global option") << QStringList{"--bogus", "status"} << "Unknown option 'bogus'";
        QTest::newRow("near a command") << QStringList{"strategy", "ad", "x"} << "did you mean: strategy add";
        QTest::newRow("near a group") << QStringList{"stratgy", "list"} << "did you mean: strategy list";
        QTest::newRow("missing argument") << QStringList{"strategy", "add", "D:/a.py"} << "expects PATH NAME";
        QTest::newRow("too many") << QStringList{"status", "x"} << "takes no arguments";
        QTest::newRow("not a number") << QStringList{"strategy", "show", "abc"} << "'abc'";
        QTest::newRow("count 0") << QStringList{"strategy", "add", "D:/a.py", "a", "--count", "0"} << "1 or more";
        QTest::newRow("unknown option") << QStringList{"strategy", "add", "D:/a.py", "a", "--cont", "2"}
                                        << "did you mean --count?";
        QTest::newRow("bad date") << QStringList{"cash", "day", "5", "2026-13-01", "1", "2"} << "yyyy-MM-dd";
        QTest::newRow("bad time") << QStringList{"instance", "times", "5", "x", "2026-12-01T10:00:00"} << "ISO 8601";
        QTest::newRow("table") << QStringList{"db", "nosuch"} << "TABLE is one of";
        QTest::newRow("either id or path") << QStringList{"strategy", "remove", "1", "--path", "D:/a.py"}
                                           << "expects ID or --path PATH";
        QTest::newRow("modify nothing") << QStringList{"strategy", "modify", "1"} << "give at least one";
        QTest::newRow("wait") << QStringList{"--wait", "soon", "status"} << "--wait";
        QTest::newRow("group alone") << QStringList{"strategy"} << "strategy add";
        QTest::newRow("no command") << QStringList{} << "Usage: strategyctl";
    }
    void usageErrorsTouchNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, err);
        const QString folder = m_home.path() + QStringLiteral("/never-created");
        const ProcessResult r = runStrategyctlIn(m_home, folder, args);
        CHECK_EXIT(r, 2);
        QVERIFY2(r.errText().contains(err), qPrintable(r.describe()));
        QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
        // Under --json the error is a document on stdout as well.
        const ProcessResult j = runStrategyctlIn(m_home, folder, QStringList{"--json"} + args);
        CHECK_EXIT(j, 2);
        QCOMPARE(QJsonDocument::fromJson(j.out).object().value("error").toObject().value("kind").toString(),
                 QStringLiteral("usage"));
        QVERIFY(!QFileInfo::exists(folder));
    }

    void help_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("shows");
        QTest::newRow("tool") << QStringList{"--help"} << QStringList{"Usage: strategyctl", "shell", "Exit status"};
        QTest::newRow("help") << QStringList{"help"} << QStringList{"Usage: strategyctl", "completion"};
        QTest::newRow("group") << QStringList{"strategy", "--help"}
                               << QStringList{"strategy add PATH NAME", "strategy remove [ID]", "strategy list"};
        QTest::newRow("help group") << QStringList{"help", "lock"} << QStringList{"lock list", "lock on PATH"};
        QTest::newRow("command") << QStringList{"strategy", "add", "--help"}
                                 << QStringList{"Usage: strategyctl strategy add PATH NAME [OPTIONS]", "--count N"};
        QTest::newRow("help command") << QStringList{"help", "cash", "day"} << QStringList{"INITIAL END", "yyyy-MM-dd"};
        QTest::newRow("global help before") << QStringList{"--help", "instance"} << QStringList{"instance list"};
        QTest::newRow("shell") << QStringList{"shell", "--help"} << QStringList{"--bail", "quit"};
        QTest::newRow("shell-only") << QStringList{"runmode", "set", "--help"} << QStringList{"strategyctl shell"};
    }
    void help()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, shows);
        const QString folder = m_home.path() + QStringLiteral("/never-created");
        const ProcessResult r = runStrategyctlIn(m_home, folder, args);
        CHECK_EXIT(r, 0);
        for (const QString &text : shows)
            QVERIFY2(r.outText().contains(text), qPrintable(text + "\n" + r.describe()));
        for (const QString &line : r.outText().split('\n'))
            QVERIFY2(columns(line) <= 80, qPrintable(line));
        QVERIFY(!QFileInfo::exists(folder));
    }

    // Every command and group answers --help within 80 columns.
    void everyCommandHasHelp()
    {
        const ProcessResult tool = run({"--help"});
        QStringList topics;
        const QRegularExpression entry("^  ([a-z][a-z-]*)");
        for (const QString &line : tool.outText().split('\n')) {
            const QRegularExpressionMatch m = entry.match(line);
            if (m.hasMatch() && !line.contains("--"))
                topics.append(m.captured(1));
        }
        for (const char *group : {"strategy", "group", "lock", "instance", "cash", "account", "simu", "name", "label",
                                  "runmode", "python", "shell", "db", "status"})
            QVERIFY2(topics.contains(group), group);
        QStringList commands;
        for (const QString &topic : qAsConst(topics)) {
            const ProcessResult r = run({"help", topic});
            CHECK_EXIT(r, 0);
            for (const QString &line : r.outText().split('\n')) {
                QVERIFY2(columns(line) <= 80, qPrintable(topic + ": " + line));
                if (line.startsWith("  " + topic + " "))
                    commands.append(line.mid(2).section(' ', 0, 1).trimmed());
            }
        }
        QVERIFY2(commands.size() > 30, qPrintable(commands.join(", ")));
        for (const QString &command : qAsConst(commands)) {
            const ProcessResult r = run(command.split(' ', Qt::SkipEmptyParts) << "--help");
            CHECK_EXIT(r, 0);
            QVERIFY2(r.outText().startsWith("Usage: strategyctl " + command), qPrintable(r.describe()));
            for (const QString &line : r.outText().split('\n'))
                QVERIFY2(columns(line) <= 80, qPrintable(command + ": " + line));
        }
    }

    void version()
    {
        const ProcessResult r = run({"--version"});
        CHECK_EXIT(r, 0);
        QVERIFY2(QRegularExpression("^strategyctl \\d+\\.\\d+\\.\\d+\n$").match(r.outText()).hasMatch(), qPrintable(r.describe()));
        CHECK_EXIT(run({"-V"}), 0);
        QCOMPARE(json({"--version"}).object().value("version").toString(), r.outText().mid(12).trimmed());
    }

    // One rule for every command: 1 for refused, not found or nothing
    // changed, never "ok" then; the JSON error names which.
    void failuresSayWhich_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("strategy show") << QStringList{"strategy", "show", "999"} << "notFound" << "id 999";
        QTest::newRow("strategy names") << QStringList{"strategy", "names", "D:/none.py"} << "notFound" << "D:/none.py";
        QTest::newRow("strategy move") << QStringList{"strategy", "move", "D:/none.py", "D:/x.py"} << "notFound" << "D:/none.py";
        QTest::newRow("strategy remove --path") << QStringList{"strategy", "remove", "--path", "D:/none.py"} << "notFound"
                                                << "D:/none.py";
        QTest::newRow("strategy remove") << QStringList{"strategy", "remove", "77"} << "notFound" << "id 77";
        QTest::newRow("strategy list --group") << QStringList{"strategy", "list", "--group", "nope"} << "notFound" << "nope";
        QTest::newRow("modify same values") << QStringList{"strategy", "modify", "{a}", "--name", "a"} << "unchanged"
                                            << "nothing changed";
        QTest::newRow("lock off") << QStringList{"lock", "off", "D:/never.py"} << "unchanged" << "not locked";
        QTest::newRow("lock on twice") << QStringList{"lock", "on", "D:/locked.py"} << "unchanged" << "already";
        QTest::newRow("instance times") << QStringList{"instance", "times", "404", "2026-12-01T09:30:00",
                                                       "2026-12-01T15:00:00"}
                                        << "notFound" << "no instance 404";
        QTest::newRow("instance show") << QStringList{"instance", "show", "404"} << "notFound" << "no instance 404";
        QTest::newRow("account list") << QStringList{"account", "list", "NOPE"} << "notFound" << "NOPE";
        QTest::newRow("account pytype") << QStringList{"account", "pytype", "99"} << "notFound" << "99";
        QTest::newRow("cash show") << QStringList{"cash", "show", "404"} << "notFound" << "404";
        QTest::newRow("group delete") << QStringList{"group", "delete", "nope"} << "notFound" << "nope";
        QTest::newRow("group cleanup, empty") << QStringList{"group", "cleanup", "empty"} << "unchanged" << "no strategies";
        QTest::newRow("product set, same") << QStringList{"product", "set", "P1"} << "unchanged" << "already";
        QTest::newRow("refused by the plug-in") << QStringList{"group", "add", "默认分组"} << "refused" << "内置分组";
        // Effects that would end with a one-shot run are refused there.
        QTest::newRow("cash init") << QStringList{"cash", "init", "5", "2026-12-01", "-5"} << "refused" << "cash day";
        QTest::newRow("runmode set") << QStringList{"runmode", "set", "1"} << "refused" << "strategyctl shell";
        QTest::newRow("server list") << QStringList{"instance", "server-list", "/dev/null"} << "refused" << "strategyctl shell";
        QTest::newRow("account refresh") << QStringList{"account", "refresh"} << "refused" << "strategyctl shell";
    }
    void failuresSayWhich()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, kind);
        QFETCH(QString, message);
        static bool prepared = false;
        if (!prepared) {
            m_home.switchToNewFolder(QStringLiteral("failures"));
            CHECK_EXIT(run({"shell"}, "strategy add D:/a.py a\nlock on D:/locked.py\nproduct set P1\ngroup add empty\n"), 0);
            prepared = true;
        }
        const QString id = QString::number(json({"strategy", "last"}).object().value("id").toInt());
        args.replaceInStrings("{a}", id);
        const QMap<QString, QByteArray> before = folderContents(m_home.path(), {"sarvek.lock", "sarvek.db"});
        const ProcessResult text = run(args);
        CHECK_EXIT(text, 1);
        QVERIFY2(!text.out.contains("ok") && text.errText().contains(message), qPrintable(text.describe()));
        const ProcessResult r = run(QStringList{"--json"} + args);
        CHECK_EXIT(r, 1);
        const QJsonObject error = QJsonDocument::fromJson(r.out).object().value("error").toObject();
        QVERIFY2(error.value("kind").toString() == kind && error.value("message").toString().contains(message),
                 qPrintable(r.describe()));
        QCOMPARE(folderContents(m_home.path(), {"sarvek.lock", "sarvek.db"}), before);
    }

    // The one JSON shape: data, {"ok": true}, or {"answer": ...}.
    void jsonShapes()
    {
        newFolder();
        QCOMPARE(json({"strategy", "add", "D:/s/a.py", "a"}).object(), (QJsonObject{{"ok", true}}));
        QCOMPARE(json({"strategy", "is-fixed", "D:/s/a.py"}).object(), (QJsonObject{{"answer", true}}));
        QCOMPARE(json({"lock", "status", "D:/s/a.py"}).object(), (QJsonObject{{"answer", false}}));
        QVERIFY(json({"strategy", "last"}).object().value("id").isDouble());
        // Unset times are null; numbers are numbers.
        CHECK_EXIT(run({"instance", "add", "9", "2"}), 0);
        const QJsonObject instance = json({"instance", "show", "9"}).object();
        QVERIFY(instance.value("startTime").isNull() && instance.value("runMode").isDouble());
        // The database's rows keep the types they are stored with.
        const QJsonObject row = json({"db", "instance_info"}).array().at(0).toObject();
        QVERIFY(!row.isEmpty());
        for (const QString &column : row.keys()) {
            const QString type = querySql(m_home.filePath("sarvek.db"),
                                          QStringLiteral("select typeof(%1) from instance_info").arg(column)).value(0).value(0);
            const QJsonValue value = row.value(column);
            QVERIFY2(type == "null" ? value.isNull() : type == "text" ? value.isString() : value.isDouble(),
                     qPrintable(column + ": " + type));
        }
    }

    // Negative amounts are values, not options; a whole day is kept by one run.
    void cashDayInOneRun()
    {
        newFolder();
        CHECK_EXIT(run({"cash", "day", "5", "2026-12-01", "-5", "-2.5"}), 0);
        const QJsonArray days = json({"cash", "show", "5"}).array();
        QCOMPARE(days.size(), 1);
        QCOMPARE(days.at(0).toObject().value("initialFunds").toDouble(), -5.0);
        QCOMPARE(days.at(0).toObject().value("endFunds").toDouble(), -2.5);
    }

    // Another program holds the database: reported as busy (3), never as
    // "not found".
    void busyDatabaseIsBusy_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("instance show") << QStringList{"instance", "show", "5"};
        QTest::newRow("instance list") << QStringList{"instance", "list"};
        QTest::newRow("cash show") << QStringList{"cash", "show", "5"};
        QTest::newRow("lock status") << QStringList{"lock", "status", "D:/a.py"};
        QTest::newRow("lock on") << QStringList{"lock", "on", "D:/b.py"};
        QTest::newRow("db") << QStringList{"db", "instance_info"};
    }
    void busyDatabaseIsBusy()
    {
        QFETCH(QStringList, args);
        newFolder();
        CHECK_EXIT(run({"instance", "add", "5", "1"}), 0);
        QProcess locker;
        locker.start(helperPath("dblocker"), {m_home.filePath("sarvek.db")});
        QVERIFY(locker.waitForReadyRead(20000) && locker.readLine() == "locked\n");
        const ProcessResult r = run(QStringList{"--json", "--wait", "0"} + args);
        locker.closeWriteChannel();
        QVERIFY(locker.waitForFinished(20000));
        CHECK_EXIT(r, 3);
        QCOMPARE(QJsonDocument::fromJson(r.out).object().value("error").toObject().value("kind").toString(),
                 QStringLiteral("busy"));
        QVERIFY2(r.errText().contains("busy"), qPrintable(r.describe()));
        const ProcessResult after = run(args);
        QVERIFY2(!after.crashed && after.exitCode != 3, qPrintable(after.describe()));
    }

    // --home, else $STRATEGYLOGIC_HOME, else $XDG_DATA_HOME/StrategyLogic,
    // else ~/.local/share/StrategyLogic; the id sequences inside it.
    void dataFolder_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("expected"); // relative to the fake home
        QTest::newRow("STRATEGYLOGIC_HOME") << "STRATEGYLOGIC_HOME" << "elsewhere";
        QTest::newRow("XDG_DATA_HOME") << "XDG_DATA_HOME" << "xdg/StrategyLogic";
        QTest::newRow("default") << "" << ".local/share/StrategyLogic";
    }
    void dataFolder()
    {
        QFETCH(QString, variable);
        QFETCH(QString, expected);
        const QString fakeHome = newFolder() + "/home";
        QVERIFY(QDir().mkpath(fakeHome));
        QMap<QString, QString> vars;
        if (variable == "STRATEGYLOGIC_HOME")
            vars.insert(variable, fakeHome + "/elsewhere");
        else if (variable == "XDG_DATA_HOME")
            vars.insert(variable, fakeHome + "/xdg");
        CHECK_EXIT(runBare({"strategy", "add", "D:/a.py", "a"}, fakeHome, vars), 0);
        const ProcessResult status = runBare({"--json", "status"}, fakeHome, vars);
        CHECK_EXIT(status, 0);
        const QJsonObject record = QJsonDocument::fromJson(status.out).object();
        const QString folder = fakeHome + "/" + expected;
        QCOMPARE(record.value("applicationDir").toString(), folder);
        QCOMPARE(record.value("idDir").toString(), folder + "/ids");
        QVERIFY(QFileInfo::exists(folder + "/work/demo01/SarvekFixStrategy.dat"));
        QVERIFY(QFileInfo(folder + "/ids").isDir());
        // Nothing lands beside the program.
        QVERIFY(!QFileInfo::exists(QFileInfo(QStringLiteral(STRATEGYCTL_PATH)).absolutePath() + "/sarvek.db"));
    }

    // Text is for people: local times, "-" for nothing, aligned columns
    // whatever the characters, quoted event arguments.
    void textForPeople()
    {
        newFolder();
        CHECK_EXIT(run({"group", "add", "趋势"}), 0);
        const QString groups = run({"group", "list"}).outText();
        QVERIFY2(QRegularExpression("\n趋势 +\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n").match(groups).hasMatch(), qPrintable(groups));
        QVERIFY2(QRegularExpression("\n默认分组 +-\n").match(groups).hasMatch(), qPrintable(groups));
        for (const QStringList &add : {QStringList{"D:/s/a.py", "趋势😀"}, QStringList{"D:/s/b.py", "plain"},
                                       QStringList{"D:/s/c.py", "e\u0301t\u00e9"}})
            CHECK_EXIT(run(QStringList{"strategy", "add"} + add + QStringList{"--extra", "x"}), 0);
        const QStringList lines = run({"strategy", "list"}).outText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        // The file path column starts at the same column on every line.
        int start = -1;
        for (const QString &line : lines) {
            const int at = line.indexOf(line.startsWith("id") ? "filePath" : "D:/s/");
            QVERIFY2(at > 0, qPrintable(line));
            const int column = columns(line.left(at));
            QVERIFY2(start < 0 || column == start, qPrintable(lines.join('\n')));
            start = column;
        }
        QVERIFY2(lines.at(1).contains(" - ") || lines.at(1).endsWith(" x") || lines.at(1).contains(" x "), qPrintable(lines.at(1)));
        // Events in JSON name their parameters in camelCase.
        const ProcessResult events = run({"--json", "shell"}, "strategy move D:/s/b.py D:/s/b2.py\n");
        QVERIFY2(events.out.contains(R"({"event":"signalFixedStrategyFileChanged","newFilePath":"D:/s/b2.py","oldFilePath":"D:/s/b.py"})"),
                 qPrintable(events.describe()));
        // An event argument with a blank comes quoted, as the shell reads it back.
        const ProcessResult shell = run({"shell"}, "lock on 'D:/my s/a.py'\n");
        QVERIFY2(shell.out.contains("event signalChangeFileLockState 'D:/my s/a.py'\n"), qPrintable(shell.describe()));
        // A control character cannot reach the terminal.
        CHECK_EXIT(run({"strategy", "add", "D:/s/e.py", QString("bell\x07") + "\x1b[2J"}), 0);
        const ProcessResult list = run({"strategy", "list"});
        QVERIFY2(!list.out.contains('\x1b') && list.outText().contains("bell\\x07\\x1b[2J"), qPrintable(list.describe()));
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

    void wideTablesAreCompact()
    {
        newFolder();
        QVERIFY(execSql(m_home.filePath("Sarvek_SimuTrade.db"), QStringLiteral(
            "create table order_info(order_id, symbol, date_time, batch_no, order_qty, leave_qty, cum_qty, side,"
            " status, type, px, avg_px, style, fund_account, enturst_prop, text, inst_id);"
            "insert into order_info(order_id, px, fund_account, text, inst_id) values('O1', 10.5, '880001',"
            " 'a long description of the order', '1001');")));
        const QString compact = run({"simu", "orders", "1001"}).outText();
        const QString all = run({"simu", "orders", "1001", "--all"}).outText();
        for (const QString &line : compact.split('\n'))
            QVERIFY2(columns(line) <= 100, qPrintable(line));
        QVERIFY(!compact.contains("a long description") && all.contains("a long description"));
    }

    void listings()
    {
        newFolder();
        CHECK_EXIT(run({"shell"}, "group add g\nstrategy add D:/a.py a --group g\nstrategy add D:/b.py b\n"
                                  "strategy add D:/a.py a2\nlock on D:/z.py\nlock on D:/y.py\nlock off D:/z.py\n"
                                  "instance add 12 2\ninstance add 3 1\n"),
                   0);
        auto names = [this](const QStringList &args) {
            QStringList names;
            for (const QJsonValue &v : json(args).array())
                names.append(v.toObject().value("name").toString());
            return names;
        };
        QCOMPARE(names({"strategy", "list", "--group", "g"}), QStringList{"a"});
        QCOMPARE(names({"strategy", "list", "--path", "D:/a.py"}), (QStringList{"a", "a2"}));
        QCOMPARE(json({"lock", "list"}).array(), QJsonArray{"D:/y.py"});
        QStringList ids;
        for (const QJsonValue &v : json({"instance", "list"}).array())
            ids.append(v.toObject().value("instanceId").toString() + ":" + QString::number(v.toObject().value("runMode").toInt()));
        QCOMPARE(ids, (QStringList{"3:1", "12:2"}));
        // Inside a shell an instance is listed before its row reaches the database.
        const ProcessResult shell = run({"--json", "shell"}, "instance add 40 1\ninstance list\n");
        QVERIFY2(shell.out.contains(R"("instanceId":"40")"), qPrintable(shell.describe()));
    }

    void completionScripts_data()
    {
        QTest::addColumn<QString>("shell");
        QTest::newRow("bash") << "bash";
        QTest::newRow("zsh") << "zsh";
    }
    void completionScripts()
    {
        QFETCH(QString, shell);
        const ProcessResult r = run({"completion", shell});
        CHECK_EXIT(r, 0);
        QVERIFY(r.outText().contains("strategyctl"));
        const QString file = m_home.path() + "/completion." + shell;
        QVERIFY(writeFile(file, r.out));
        if (QStandardPaths::findExecutable(shell).isEmpty())
            QSKIP("this shell is not installed");
        CHECK_EXIT(runShell(m_home, shell + " -n " + file), 0);
        if (shell == "bash") {
            // What the script offers after "strategyctl strategy a".
            const ProcessResult offered = runShell(m_home, QStringLiteral(
                "bash -c '. %1; COMP_WORDS=(strategyctl strategy a); COMP_CWORD=2; _strategyctl; echo \"${COMPREPLY[*]}\"'").arg(file));
            QVERIFY2(offered.outText().split(QRegularExpression("\\s+")).contains("add"), qPrintable(offered.describe()));
        }
    }

    void manualPage()
    {
        const QString page = QFileInfo(QStringLiteral(STRATEGYCTL_PATH)).absolutePath() + "/../share/man/man1/strategyctl.1";
        QVERIFY2(QFileInfo::exists(page), qPrintable(page));
        if (QStandardPaths::findExecutable("man").isEmpty())
            QSKIP("man is not installed");
        const ProcessResult r = runShell(m_home, "MANWIDTH=80 LC_ALL=C.UTF-8 man -l " + page);
        CHECK_EXIT(r, 0);
        QVERIFY2(r.outText().contains("strategy add") && r.outText().contains("EXIT STATUS"), qPrintable(r.describe()));
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
            const ProcessResult r = runBare({"-c", example}, fakeHome, {}, QStringLiteral("/bin/bash"));
            QVERIFY2(!r.crashed && r.exitCode == (m.hasMatch() ? m.captured(1).toInt() : 0),
                     qPrintable(example + "\n" + r.describe()));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
