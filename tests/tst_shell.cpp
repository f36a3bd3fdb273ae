// `strategyctl shell` end to end: each case runs a shell session as its own
// process in a fresh installation folder, feeding it lines on stdin, and
// looks at its exit status, what it printed and, through a later process,
// which of its lines took effect. One case runs it on a terminal (a
// pseudo-terminal made by script(1)).

#include "testsupport.h"

#include <QtTest> // with QtCore: QJsonDocument, QProcess, QStandardPaths

namespace {
const QByteArray Prompt = "strategyctl> ";
const QString DefaultGroup = QStringLiteral("默认分组");

QString singleQuoted(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
}

// `strategyctl shell` on a pseudo-terminal of script(1), which passes on
// what is written to `process` as typed keys; the history file is
// `folder`/history.
struct Terminal
{
    Terminal(const TestHome &home, const QString &folder)
    {
        QProcessEnvironment env = home.processEnvironment();
        env.insert(QStringLiteral("STRATEGYCTL_HISTORY"), folder + QStringLiteral("/history"));
        env.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh")); // runs the command line
        env.insert(QStringLiteral("TERM"), QStringLiteral("xterm"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString command = QStringList{singleQuoted(QStringLiteral(STRATEGYCTL_PATH)), QStringLiteral("--home"),
                                            singleQuoted(folder), QStringLiteral("shell")}
                                    .join(QLatin1Char(' '));
        process.start(QStringLiteral("script"), {"-qec", command, "/dev/null"});
    }

    // Reads until `count` prompts have been shown in all; false on a
    // timeout or when the session ends first.
    bool waitForPrompts(int count)
    {
        QDeadlineTimer deadline(30000);
        while (out.count(Prompt) < count) {
            if (!process.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
                return false;
            out += process.readAll();
        }
        return true;
    }

    bool waitForEnd()
    {
        const bool ended = process.waitForFinished(30000);
        out += process.readAll();
        return ended && process.exitStatus() == QProcess::NormalExit;
    }

    QProcess process;
    QByteArray out; // stdout and stderr, as the terminal showed them
};
} // namespace

class tst_Shell : public QObject
{
    Q_OBJECT

    QString newFolder() { static int n = 0; return m_home.switchToNewFolder(QStringLiteral("case-%1").arg(++n)); }

    // The group names of the current folder, as a new process finds them, sorted.
    QStringList groups()
    {
        const ProcessResult r = runStrategyctl(m_home, {"--json", "group", "list"});
        QStringList names;
        for (const QJsonValue &group : QJsonDocument::fromJson(r.out).array())
            names.append(group.toObject().value(QStringLiteral("name")).toString());
        names.sort();
        return names;
    }

    TestHome m_home;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
    }

    // Piped lines: the exit status is that of the last command that failed;
    // --bail stops at the first one; quit and exit end the session.
    void pipedSession_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("groups"); // after the session, besides the default group
        QTest::addColumn<QString>("err");        // text that stderr holds; empty: stderr stays empty

        const QStringList shell{"shell"};
        const QStringList bail{"shell", "--bail"};
        QTest::newRow("all succeed") << shell << QByteArray("group add g1\ngroup add g2\n") << 0
                                     << QStringList{"g1", "g2"} << "";
        QTest::newRow("blank lines, comments, no final newline")
            << shell << QByteArray("\n# group add g0\n   \ngroup add g1\ngroup add g2") << 0 << QStringList{"g1", "g2"}
            << "";
        QTest::newRow("help is a command") << shell << QByteArray("help\nhelp group\ngroup add g1\n") << 0
                                           << QStringList{"g1"} << "";
        QTest::newRow("failure in the middle, later lines run")
            << shell << QByteArray("group add g1\nstrategy show 99\ngroup add g2\n") << 1 << QStringList{"g1", "g2"}
            << "no fixed strategy with id 99";
        QTest::newRow("status of the last failure")
            << shell << QByteArray("frobnicate\nstrategy show 99\ngroup add g1\n") << 1 << QStringList{"g1"}
            << "unknown command 'frobnicate'";
        QTest::newRow("unclosed quote") << shell << QByteArray("group add 'g1\ngroup add g2\n") << 2
                                        << QStringList{"g2"} << "missing closing '";
        QTest::newRow("unclosed double quote last") << shell << QByteArray("strategy show 99\ngroup add \"g1\n") << 2
                                                    << QStringList() << "missing closing \"";
        QTest::newRow("bail at a refusal") << bail << QByteArray("group add g1\nstrategy show 99\ngroup add g2\n") << 1
                                           << QStringList{"g1"} << "no fixed strategy with id 99";
        QTest::newRow("bail at a usage error") << bail << QByteArray("group add g1\nfrobnicate\ngroup add g2\n") << 2
                                               << QStringList{"g1"} << "unknown command 'frobnicate'";
        QTest::newRow("bail at an unclosed quote") << bail << QByteArray("group add 'g1\ngroup add g2\n") << 2
                                                   << QStringList() << "missing closing '";
        QTest::newRow("bail, all succeed") << bail << QByteArray("group add g1\ngroup add g2\n") << 0
                                           << QStringList{"g1", "g2"} << "";
        QTest::newRow("quit") << shell << QByteArray("group add g1\nquit\ngroup add g2\n") << 0 << QStringList{"g1"}
                              << "";
        QTest::newRow("exit") << shell << QByteArray("group add g1\n  exit  \ngroup add g2\n") << 0
                              << QStringList{"g1"} << "";
        QTest::newRow("quit after a failure") << shell << QByteArray("strategy show 99\nquit\ngroup add g2\n") << 1
                                              << QStringList() << "no fixed strategy with id 99";
        QTest::newRow("quit with an argument is no quit") << shell << QByteArray("quit now\ngroup add g1\n") << 2
                                                          << QStringList{"g1"} << "quit takes no arguments";
        QTest::newRow("json failure") << QStringList{"--json", "shell"} << QByteArray("group add 'g1\ngroup add g2\n")
                                      << 2 << QStringList{"g2"} << "missing closing '";
        // Lines are bounded at 1 MiB: a longer one is skipped with a usage
        // error, the lines around it run.
        const QByteArray bound(1 << 20, 'x');
        const QString skipped = QStringLiteral("a line longer than 1048576 bytes (1 MiB) was skipped");
        QTest::newRow("10 MB line between two") << shell << "group add g1\n" + QByteArray(10 << 20, 'x') + "\ngroup add g2\n"
                                                << 2 << QStringList{"g1", "g2"} << skipped;
        QTest::newRow("line one byte over the bound") << shell << "group add g1\n" + bound + "x\ngroup add g2\n" << 2
                                                      << QStringList{"g1", "g2"} << skipped;
        QTest::newRow("line at the bound is answered") << shell << "group add g1\n" + bound + "\ngroup add g2\n" << 2
                                                       << QStringList{"g1", "g2"} << "unknown command 'xxxx";
        QTest::newRow("last line over the bound, no line break") << shell << "group add g1\n" + bound + "x" << 2
                                                                 << QStringList{"g1"} << skipped;
        QTest::newRow("bail at a line over the bound") << bail << "group add g1\n" + bound + "x\ngroup add g2\n" << 2
                                                       << QStringList{"g1"} << skipped;
        QTest::newRow("json line over the bound") << QStringList{"--json", "shell"}
                                                  << "group add g1\n" + bound + "x\ngroup add g2\n" << 2
                                                  << QStringList{"g1", "g2"} << skipped;
    }

    void pipedSession()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QStringList, groups);
        QFETCH(QString, err);
        newFolder();
        const ProcessResult r = runStrategyctl(m_home, args, input);
        QVERIFY2(!r.crashed && r.exitCode == exitCode, qPrintable(r.describe()));
        if (err.isEmpty())
            QVERIFY2(r.err.isEmpty(), qPrintable(r.describe()));
        else
            QVERIFY2(r.errText().contains(err), qPrintable(r.describe()));
        // Piped, the shell is quiet: no prompt, no welcome.
        QVERIFY2(!r.out.contains(Prompt) && !r.err.contains(Prompt) && !r.err.contains("type 'help'"),
                 qPrintable(r.describe()));
        if (args.contains(QStringLiteral("--json"))) {
            // Each answer one JSON document; the failure among them.
            for (const QByteArray &line : r.out.trimmed().split('\n'))
                QVERIFY2(!QJsonDocument::fromJson(line).isNull(), line.constData());
            const QByteArray failure = "{\"error\":{\"kind\":\"usage\",\"message\":\"strategyctl shell: " + err.toUtf8() + "\"}}";
            QVERIFY2(r.out.contains(failure), qPrintable(r.describe()));
        }
        groups.append(DefaultGroup);
        groups.sort();
        QCOMPARE(this->groups(), groups);
    }

    // On a terminal: the welcome and the prompt, an answer per line, the
    // prompt again after it, and the end on quit, exit or Ctrl-D.
    void terminalSession_data()
    {
        QTest::addColumn<QByteArrayList>("lines"); // each sent once the prompt is shown
        QTest::addColumn<QByteArray>("last");      // the key or line that ends the session
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("answer");    // printed for the lines
        QTest::addColumn<QStringList>("groups");   // after the session, besides the default group
        QTest::newRow("quit") << QByteArrayList{"group add g1\n", "group list\n"} << QByteArray("quit\n") << 0
                              << QByteArray("createTime") << QStringList{"g1"};
        QTest::newRow("exit after a failure") << QByteArrayList{"strategy show 99\n", "group list\n"}
                                              << QByteArray("exit\n") << 1 << QByteArray("no fixed strategy with id 99")
                                              << QStringList();
        QTest::newRow("ctrl-d") << QByteArrayList{"group add g1\n", "group list\n"} << QByteArray("\x04") << 0
                                << QByteArray("createTime") << QStringList{"g1"};
        // An edited line is bounded at 1000 bytes: a longer one is skipped
        // with a usage error, the next line is edited and runs.
        QTest::newRow("line over the bound") << QByteArrayList{QByteArray(100000, 'x') + "\n", "group add g1\n"}
                                             << QByteArray("quit\n") << 2
                                             << QByteArray("strategyctl shell: a line longer than 1000 bytes was skipped")
                                             << QStringList{"g1"};
        QTest::newRow("line at the bound is answered") << QByteArrayList{QByteArray(1000, 'x') + "\n", "group add g1\n"}
                                                       << QByteArray("quit\n") << 2 << QByteArray("unknown command 'xxxx")
                                                       << QStringList{"g1"};
    }

    void terminalSession()
    {
        QFETCH(QByteArrayList, lines);
        QFETCH(QByteArray, last);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, groups);
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script(1) is not installed");
        const QString folder = newFolder();
        Terminal terminal(m_home, folder);
        QVERIFY2(terminal.waitForPrompts(1), terminal.out.constData());
        QVERIFY2(terminal.out.contains("strategyctl shell: type 'help' for commands, 'quit' to leave."),
                 terminal.out.constData());
        int prompts = 1;
        for (const QByteArray &line : lines) {
            terminal.process.write(line);
            QVERIFY2(terminal.waitForPrompts(++prompts), terminal.out.constData());
        }
        QVERIFY2(terminal.out.contains(answer), terminal.out.constData());
        terminal.process.write(last);
        QVERIFY2(terminal.waitForEnd(), terminal.out.constData());
        QVERIFY2(terminal.process.exitCode() == exitCode, terminal.out.constData());
        QCOMPARE(terminal.out.count(Prompt), prompts); // none after the end
        groups.append(DefaultGroup);
        QCOMPARE(this->groups(), groups);
    }

    // The lines of a session are kept ($STRATEGYCTL_HISTORY): the next
    // session recalls them with the arrow keys.
    void historyOfAnEarlierSession()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script(1) is not installed");
        const QString folder = newFolder();
        {
            Terminal first(m_home, folder);
            QVERIFY2(first.waitForPrompts(1), first.out.constData());
            first.process.write("group add recalled\n");
            QVERIFY2(first.waitForPrompts(2), first.out.constData());
            first.process.write("quit\n");
            QVERIFY2(first.waitForEnd() && first.process.exitCode() == 0, first.out.constData());
        }
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/history")));
        QCOMPARE(groups(), (QStringList{"recalled", DefaultGroup}));
        // Up twice: "quit", then the line before it; run again, it is refused as a group that exists.
        Terminal second(m_home, folder);
        QVERIFY2(second.waitForPrompts(1), second.out.constData());
        second.process.write("\x1b[A\x1b[A\n");
        QVERIFY2(second.waitForPrompts(2), second.out.constData());
        second.process.write("quit\n");
        QVERIFY2(second.waitForEnd(), second.out.constData());
        QVERIFY2(second.process.exitCode() == 1 && second.out.contains("已存在相同名称分组"),
                 second.out.constData());
    }
};

QTEST_GUILESS_MAIN(tst_Shell)
#include "tst_shell.moc"
