// docs/cli.md as a test: its examples run one after another, as written, in
// one fresh home; each must print what the page shows and end with the
// status it names, and together they must use every command strategyctl
// lists.

#include "testsupport.h"

#include <QtTest>

namespace {
const QString DocPath = QStringLiteral(SOURCE_DIR "/docs/cli.md");
// How the page writes the home folder of its examples.
const QString DocHome = QStringLiteral("/home/me");

// One "$ ..." line of a console block, with the output shown under it.
struct Example
{
    int line = 0;
    QString command;
    QString output;
    int exitCode = 0;
};

QList<Example> readExamples(const QString &markdown, QString *problem)
{
    QList<Example> examples;
    const QStringList lines = markdown.split(QLatin1Char('\n'));
    const QRegularExpression exitLine(QStringLiteral("^# exit (\\d+)$"));
    bool inConsole = false;
    bool inExample = false;
    QStringList output;
    auto finish = [&] {
        if (inExample)
            examples.last().output = output.join(QLatin1Char('\n'));
        inExample = false;
        output.clear();
    };
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.startsWith(QLatin1String("```"))) {
            finish();
            inConsole = !inConsole && line == QLatin1String("```console");
            continue;
        }
        if (!inConsole)
            continue;
        if (line.startsWith(QLatin1String("$ "))) {
            finish();
            examples.append({i + 1, line.mid(2), QString(), 0});
            inExample = true;
        } else if (!inExample) {
            *problem = QStringLiteral("line %1: output before any command: %2").arg(QString::number(i + 1), line);
        } else if (const QRegularExpressionMatch m = exitLine.match(line); m.hasMatch()) {
            examples.last().exitCode = m.captured(1).toInt();
        } else {
            output.append(line);
        }
    }
    return examples;
}

// Times differ from run to run: any local time matches any other, any
// backup stamp any other, and any process id any other.
QString withoutTimes(QString text)
{
    static const QRegularExpression time(
        QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(\\.\\d{3})?([+-]\\d\\d:\\d\\d|Z)?"));
    // The process id of a history entry.
    static const QRegularExpression pid(QStringLiteral("\"pid\": ?\\d+"));
    // The stamps of dated backups (FILE.bak-yyyyMMdd-HHmmss) too.
    static const QRegularExpression stamp(QStringLiteral("\\.bak-\\d{8}-\\d{6}(-\\d+)?"));
    return text.replace(time, QStringLiteral("<time>"))
        .replace(stamp, QStringLiteral(".bak-<stamp>"))
        .replace(pid, QStringLiteral("\"pid\": 0"));
}

QString withoutTrailingNewlines(QString text)
{
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

bool parseJson(const QString &text, QJsonDocument *doc)
{
    QJsonParseError error;
    *doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    return error.error == QJsonParseError::NoError;
}

// The page shows a JSON document, or one per line (the shell), or text
// (help): each compares as what it is.
bool sameOutput(const QString &shown, const QString &printed)
{
    const QString expected = withoutTimes(shown);
    const QString actual = withoutTimes(printed);
    QJsonDocument expectedDoc;
    QJsonDocument actualDoc;
    if (parseJson(expected, &expectedDoc))
        return parseJson(actual, &actualDoc) && actualDoc == expectedDoc;
    const QStringList expectedLines = expected.split(QLatin1Char('\n'));
    const QStringList actualLines = actual.split(QLatin1Char('\n'));
    if (expected.isEmpty() || actual.isEmpty() || expectedLines.size() != actualLines.size())
        return expected == actual;
    for (int i = 0; i < expectedLines.size(); ++i) {
        if (parseJson(expectedLines.at(i), &expectedDoc)) {
            if (!parseJson(actualLines.at(i), &actualDoc) || actualDoc != expectedDoc)
                return false;
        } else if (expectedLines.at(i) != actualLines.at(i)) {
            return false;
        }
    }
    return true;
}

// The error messages among the documents strategyctl printed.
QStringList errorMessages(const QString &printed)
{
    QStringList messages;
    QJsonDocument doc;
    const QStringList documents = parseJson(printed, &doc) ? QStringList{printed} : printed.split(QLatin1Char('\n'));
    for (const QString &document : documents) {
        if (parseJson(document, &doc) && doc.isObject() && doc.object().contains(QLatin1String("error")))
            messages.append(doc.object().value(QLatin1String("error")).toObject().value(QLatin1String("message")).toString());
    }
    return messages;
}

// The commands an example line runs: the words after "strategyctl" and its
// global options, and for a shell fed by printf, each line it feeds.
QList<QStringList> commandWords(const QString &commandLine)
{
    QList<QStringList> commands;
    const int at = commandLine.lastIndexOf(QLatin1String("strategyctl "));
    if (at < 0)
        return commands;
    QStringList words = commandLine.mid(at + 12).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    while (!words.isEmpty() && words.first().startsWith(QLatin1Char('-'))) {
        const QString option = words.takeFirst();
        if ((option == QLatin1String("--home") || option == QLatin1String("--wait")) && !words.isEmpty())
            words.removeFirst();
    }
    commands.append(words);
    static const QRegularExpression fed(QStringLiteral("^printf '([^']*)'"));
    const QRegularExpressionMatch m = fed.match(commandLine);
    if (m.hasMatch()) {
        for (const QString &line : m.captured(1).split(QLatin1String("\\n"), Qt::SkipEmptyParts))
            commands.append(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
    }
    return commands;
}

ProcessResult runIn(const QString &home, const QString &program, const QStringList &args)
{
    return runProcess(program, args, bareEnvironment(home), home, QByteArray(), 120000);
}
} // namespace

class tst_CliDoc : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_home;
    QList<Example> m_examples;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
        m_home = m_dir.path() + QStringLiteral("/home");
        QVERIFY(QDir().mkpath(m_home));
        const QString markdown = QString::fromUtf8(readFile(DocPath));
        QVERIFY2(!markdown.isEmpty(), qPrintable(DocPath));
        QString problem;
        m_examples = readExamples(markdown, &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY2(m_examples.size() >= 20, qPrintable(QString::number(m_examples.size())));
    }

    // Row by row, in the order of the page, in the same home.
    void examples_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < m_examples.size(); ++i)
            QTest::addRow("line %d: %s", m_examples.at(i).line, qPrintable(m_examples.at(i).command)) << i;
    }
    void examples()
    {
        QFETCH(int, index);
        const Example &example = m_examples.at(index);
        const ProcessResult r = runIn(m_home, QStringLiteral("/bin/bash"), {QStringLiteral("-c"), example.command});
        const QString printed = withoutTrailingNewlines(r.outText().replace(m_home, DocHome));
        const QString errors = r.errText().replace(m_home, DocHome);
        // One pass of arg(): a text put in is not read for placeholders.
        const QString report =
            QStringLiteral("line %1: $ %2\nexpected (exit %3):\n%4\nactual (exit %5%6):\n%7\nstderr:\n%8")
                .arg(QString::number(example.line), example.command, QString::number(example.exitCode), example.output,
                     QString::number(r.exitCode), r.crashed ? QStringLiteral(", crashed or timed out") : QString(),
                     printed, errors);
        QVERIFY2(!r.crashed && r.exitCode == example.exitCode, qPrintable(report));
        QVERIFY2(sameOutput(withoutTrailingNewlines(example.output), printed), qPrintable(report));
        // A failure's message goes to stderr as well.
        for (const QString &message : errorMessages(printed))
            QVERIFY2(errors.contains(message), qPrintable(QStringLiteral("not on stderr: %1\n%2").arg(message, report)));
    }

    // The page shows every command of every group and every command of its
    // own that strategyctl lists.
    void everyCommandHasAnExample()
    {
        const ProcessResult tool = runIn(m_home, QStringLiteral(STRATEGYCTL_PATH), {QStringLiteral("--help")});
        QVERIFY2(!tool.crashed && tool.exitCode == 0, qPrintable(tool.errText()));
        QStringList topics;
        bool inCommands = false;
        const QRegularExpression entry(QStringLiteral("^  ([a-z][a-z-]*)(\\s|$)"));
        for (const QString &line : tool.outText().split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("Commands")))
                inCommands = true;
            else if (line.isEmpty())
                inCommands = false;
            else if (const QRegularExpressionMatch m = entry.match(line); inCommands && m.hasMatch())
                topics.append(m.captured(1));
        }
        QVERIFY2(topics.size() >= 10, qPrintable(tool.outText()));

        QStringList commands;
        for (const QString &topic : qAsConst(topics)) {
            const ProcessResult help = runIn(m_home, QStringLiteral(STRATEGYCTL_PATH), {QStringLiteral("help"), topic});
            QVERIFY2(!help.crashed && help.exitCode == 0, qPrintable(topic + QLatin1Char('\n') + help.errText()));
            const QRegularExpression listed(
                QStringLiteral("^  (%1(?: [a-z][a-z-]*)?)(\\s|$)").arg(QRegularExpression::escape(topic)));
            QStringList ofTopic;
            for (const QString &line : help.outText().split(QLatin1Char('\n'))) {
                const QRegularExpressionMatch m = listed.match(line);
                if (m.hasMatch())
                    ofTopic.append(m.captured(1));
            }
            // A command of its own lists no commands.
            commands += ofTopic.isEmpty() ? QStringList{topic} : ofTopic;
        }

        QSet<QString> shown;
        for (const Example &example : qAsConst(m_examples)) {
            for (const QStringList &words : commandWords(example.command)) {
                if (words.size() >= 2 && commands.contains(words.at(0) + QLatin1Char(' ') + words.at(1)))
                    shown.insert(words.at(0) + QLatin1Char(' ') + words.at(1));
                else if (!words.isEmpty() && commands.contains(words.at(0)))
                    shown.insert(words.at(0));
            }
        }
        QStringList missing;
        for (const QString &command : qAsConst(commands)) {
            if (!shown.contains(command))
                missing.append(command);
        }
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no example of: ") + missing.join(QLatin1String(", "))));
    }
};

QTEST_GUILESS_MAIN(tst_CliDoc)
#include "tst_clidoc.moc"
