// Name rules and display labels of the strategy screens.

#include "testsupport.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QtTest>

using Facade = StrategyFileLogicHandler;
enum Rule { Punctuation, StrategyName, StrictName, InvalidFileName, DirectoryName };

class tst_Names : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString())); }
    void nameRule_data();
    void nameRule();
    void labels_data();
    void labels();

private:
    // Before the facade: the service object it reaches settles in this folder.
    TestHome m_home;
    Facade m_facade;
};

// Rows named after the call they make, e.g. isValidDirectoryName("1abc") is false.
static void addRows(Rule rule, const char *function, bool expected, const QStringList &texts)
{
    for (const QString &text : texts)
        QTest::addRow("%s(\"%s\") is %s", function, qUtf8Printable(text), expected ? "true" : "false")
            << int(rule) << text << expected;
}

void tst_Names::nameRule_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    // Each mark counts on its own, except the ellipsis and the em dash, which count only in pairs.
    QStringList names;
    for (const QString &mark : QStringLiteral("【 】 ？ ！ · ￥ …… （ ） —— 、 ： ； “ ” ’ ‘ 《 》 ， 。").split(QLatin1Char(' ')))
        names << QStringLiteral("策略") + mark + QStringLiteral("ab");
    addRows(Punctuation, "containsChinesePuntuation", true, names);
    addRows(Punctuation, "containsChinesePuntuation", false, {"等待…", "a—b", "…a…", "—a—", "a,b;c?d!(e)", "量化策略"});
    addRows(StrategyName, "isValidStrategyName", true, {"trend.py", "trend.pyd", "trend.pyc"});
    addRows(StrategyName, "isValidStrategyName", false, {"trend.pyw", "trend.PY", "trend.py.bak", "trend"});
    // Only the part before the first full stop of the base name is judged; the directory part never.
    addRows(StrictName, "isValidStrictFileName", true,
            {"my_strategy.py", "/home/u/my dir/my_strategy.py", "C:\\my dir\\策略（一）\\my_strategy.py",
             "均线策略2024.py", "my.na me.py"});
    addRows(StrictName, "isValidStrictFileName", false,
            {"my strategy.py", "均线（一）.py", "a-b.py", "my-x.name.py", ".py", ""});
    // The base name is limited to 30 UTF-16 units; the directory part is not judged.
    addRows(InvalidFileName, "isInValidFileName", false,
            {"test.py", "x y/test.py", "x y\\test.py", QString(30, 'a') + ".py", QString(30, QChar(0x7B56)) + ".py",
             "a." + QString(40, 'b')});
    addRows(InvalidFileName, "isInValidFileName", true,
            {"test", "test.", ".py", "te st.py", "te:st.py", "te*st.py", "te?st.py", "te\"st.py", "te<st.py",
             "test.p y", "dir\\te st.py", QString(31, 'a') + ".py", QString(31, QChar(0x7B56)) + ".py"});
    addRows(DirectoryName, "isValidDirectoryName", true, {"strategies", "我的策略", "a1"});
    addRows(DirectoryName, "isValidDirectoryName", false, {"1abc", "\u0661abc", "my.dir", "a b", "a/b", "a\\b", ""});
}

void tst_Names::nameRule()
{
    QFETCH(int, rule);
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QString probe = text;
    bool actual = !expected;
    switch (Rule(rule)) {
    case Punctuation: actual = Facade::containsChinesePuntuation(probe); break;
    case StrategyName: actual = Facade::isValidStrategyName(text); break;
    case StrictName: actual = m_facade.isValidStrictFileName(text); break;
    case InvalidFileName: actual = m_facade.isInValidFileName(text); break;
    case DirectoryName: actual = m_facade.isValidDirectoryName(text); break;
    }
    QCOMPARE(actual, expected);
    QCOMPARE(probe, text); // taken by reference, yet only read
}

void tst_Names::labels_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected"); // cover flag|invest type|position effect
    QTest::newRow("stock") << "600000" << "1" << "——|——|——";
    QTest::newRow("unknown symbol") << "XYZ999" << "1" << "——|——|——";
    QTest::newRow("futures, code 1") << "IF2412" << "1" << "是|投机|开仓";
    QTest::newRow("futures, code 0") << "rb2505" << "0" << "否||";
    QTest::newRow("option, unknown code") << "10007890" << "99" << "——||";
    QTest::newRow("option, code 1") << "10007890" << "1" << "是|投机|开仓";
    QTest::newRow("option, code 3") << "10007890" << "3" << "——|套保|平今";
}

void tst_Names::labels()
{
    QFETCH(QString, symbol);
    QFETCH(QString, code);
    QFETCH(QString, expected);
    QCOMPARE(QStringList({Facade::getCoverFlag(symbol, code), Facade::getInvestType(symbol, code),
                          Facade::getPositionEffectString(symbol, code)}).join(QLatin1Char('|')), expected);
}

QTEST_GUILESS_MAIN(tst_Names)
#include "tst_names.moc"
