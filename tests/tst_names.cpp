// Name rules and display labels of the strategy screens.

#include "testsupport.h"

#include "facade/strategyfilelogichandler.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

class tst_Names : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void chinesePunctuation_data();
    void chinesePunctuation();
    void strategyName_data();
    void strategyName();
    void strictFileName_data();
    void strictFileName();
    void invalidFileName_data();
    void invalidFileName();
    void directoryName_data();
    void directoryName();
    void absolutePathResolvesAgainstWorkingDirectory();
    void coverFlag_data();
    void coverFlag();
    void investTypeAndPositionEffect_data();
    void investTypeAndPositionEffect();

private:
    // Before the facade: the service object it reaches settles in this folder.
    TestHome m_home;
    StrategyFileLogicHandler m_facade;
};

void tst_Names::initTestCase()
{
    QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
}

void tst_Names::chinesePunctuation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    const QStringList marks = {
        QStringLiteral("【"), QStringLiteral("】"), QStringLiteral("？"), QStringLiteral("！"),
        QStringLiteral("·"), QStringLiteral("￥"), QStringLiteral("……"), QStringLiteral("（"),
        QStringLiteral("）"), QStringLiteral("——"), QStringLiteral("、"), QStringLiteral("："),
        QStringLiteral("；"), QStringLiteral("“"), QStringLiteral("”"), QStringLiteral("’"),
        QStringLiteral("‘"), QStringLiteral("《"), QStringLiteral("》"), QStringLiteral("，"),
        QStringLiteral("。"),
    };
    for (const QString &mark : marks) {
        QString codes;
        for (const QChar c : mark)
            codes += QStringLiteral(" U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        QTest::addRow("mark%s inside a name", qPrintable(codes)) << QStringLiteral("策略") + mark + QStringLiteral("ab")
                                                                << true;
    }
    QTest::newRow("mark at the start") << QStringLiteral("，abc") << true;
    QTest::newRow("mark at the end") << QStringLiteral("abc。") << true;
    QTest::newRow("single ellipsis") << QStringLiteral("等待…") << false;
    QTest::newRow("single em dash") << QStringLiteral("a—b") << false;
    QTest::newRow("two ellipses apart") << QStringLiteral("…a…") << false;
    QTest::newRow("two em dashes apart") << QStringLiteral("—a—") << false;
    QTest::newRow("ASCII punctuation") << QStringLiteral("a,b;c?d!(e)") << false;
    QTest::newRow("ideographs only") << QStringLiteral("量化策略") << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_Names::chinesePunctuation()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    const QString before = text;
    QCOMPARE(StrategyFileLogicHandler::containsChinesePuntuation(text), expected);
    QCOMPARE(text, before);
}

void tst_Names::strategyName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");
    QTest::newRow(".py") << QStringLiteral("trend.py") << true;
    QTest::newRow(".pyd") << QStringLiteral("trend.pyd") << true;
    QTest::newRow(".pyc") << QStringLiteral("trend.pyc") << true;
    QTest::newRow("bare extension") << QStringLiteral(".py") << true;
    QTest::newRow("upper-case extension") << QStringLiteral("trend.PY") << false;
    QTest::newRow("backup of a strategy") << QStringLiteral("trend.py.bak") << false;
    QTest::newRow(".pyw") << QStringLiteral("trend.pyw") << false;
    QTest::newRow("no extension") << QStringLiteral("trend") << false;
}

void tst_Names::strategyName()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QCOMPARE(StrategyFileLogicHandler::isValidStrategyName(name), expected);
}

void tst_Names::strictFileName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("expected");
    QTest::newRow("plain name") << QStringLiteral("my_strategy.py") << true;
    QTest::newRow("slash directory with a space") << QStringLiteral("/home/u/my dir/my_strategy.py") << true;
    QTest::newRow("backslash directory with a space") << QStringLiteral("C:\\Users\\my dir\\my_strategy.py") << true;
    QTest::newRow("backslash directory with punctuation") << QStringLiteral("策略（一）\\my_strategy.py") << true;
    QTest::newRow("space in the base name") << QStringLiteral("my strategy.py") << false;
    QTest::newRow("ideographs and digits") << QStringLiteral("均线策略2024.py") << true;
    QTest::newRow("full-width parenthesis") << QStringLiteral("均线（一）.py") << false;
    QTest::newRow("empty base name") << QStringLiteral(".py") << false;
    QTest::newRow("empty path") << QString() << false;
    QTest::newRow("hyphen") << QStringLiteral("a-b.py") << false;
    QTest::newRow("judged up to the first full stop") << QStringLiteral("my.name.py") << true;
    QTest::newRow("space after the first full stop") << QStringLiteral("my.na me.py") << true;
    QTest::newRow("hyphen before the first full stop") << QStringLiteral("my-x.name.py") << false;
}

void tst_Names::strictFileName()
{
    QFETCH(QString, path);
    QFETCH(bool, expected);
    QCOMPARE(m_facade.isValidStrictFileName(path), expected);
}

void tst_Names::invalidFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("invalid");
    QTest::newRow("valid name") << QStringLiteral("test.py") << false;
    QTest::newRow("no full stop") << QStringLiteral("test") << true;
    QTest::newRow("trailing full stop") << QStringLiteral("test.") << true;
    QTest::newRow("space") << QStringLiteral("te st.py") << true;
    QTest::newRow("space after the full stop") << QStringLiteral("test.p y") << true;
    QTest::newRow("colon") << QStringLiteral("te:st.py") << true;
    QTest::newRow("asterisk") << QStringLiteral("te*st.py") << true;
    QTest::newRow("question mark") << QStringLiteral("te?st.py") << true;
    QTest::newRow("double quote") << QStringLiteral("te\"st.py") << true;
    QTest::newRow("angle bracket") << QStringLiteral("te<st.py") << true;
    QTest::newRow("empty base name") << QStringLiteral(".py") << true;
    QTest::newRow("base name of 31 units") << QString(31, QLatin1Char('a')) + QStringLiteral(".py") << true;
    QTest::newRow("base name of 30 units") << QString(30, QLatin1Char('a')) + QStringLiteral(".py") << false;
    QTest::newRow("30 ideographs") << QString(30, QChar(0x7B56)) + QStringLiteral(".py") << false;
    QTest::newRow("31 ideographs") << QString(31, QChar(0x7B56)) + QStringLiteral(".py") << true;
    QTest::newRow("long part after the first full stop")
        << QStringLiteral("a.") + QString(40, QLatin1Char('b')) << false;
    QTest::newRow("slash directory with a space") << QStringLiteral("x y/test.py") << false;
    QTest::newRow("backslash directory with a space") << QStringLiteral("x y\\test.py") << false;
    QTest::newRow("backslash directory, invalid name") << QStringLiteral("dir\\te st.py") << true;
}

void tst_Names::invalidFileName()
{
    QFETCH(QString, name);
    QFETCH(bool, invalid);
    QCOMPARE(m_facade.isInValidFileName(name), invalid);
}

void tst_Names::directoryName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");
    QTest::newRow("plain") << QStringLiteral("strategies") << true;
    QTest::newRow("ideographs") << QStringLiteral("我的策略") << true;
    QTest::newRow("digit after a letter") << QStringLiteral("a1") << true;
    QTest::newRow("leading underscore") << QStringLiteral("_work") << true;
    QTest::newRow("leading ASCII digit") << QStringLiteral("1abc") << false;
    QTest::newRow("leading Arabic-Indic digit") << QStringLiteral("\u0661abc") << false;
    QTest::newRow("full stop") << QStringLiteral("my.dir") << false;
    QTest::newRow("space") << QStringLiteral("a b") << false;
    QTest::newRow("slash") << QStringLiteral("a/b") << false;
    QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
    QTest::newRow("colon") << QStringLiteral("a:b") << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_Names::directoryName()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QCOMPARE(m_facade.isValidDirectoryName(name), expected);
}

void tst_Names::absolutePathResolvesAgainstWorkingDirectory()
{
    const QString elsewhere = m_home.path() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere));
    const QString cwd = QDir::currentPath();
    const QString relative = StrategyFileLogicHandler::getAbsoulteFilePath(QStringLiteral("sub/trend.py"));
    const QString absolute = StrategyFileLogicHandler::getAbsoulteFilePath(m_home.filePath(QStringLiteral("a.py")));
    QVERIFY(QDir::setCurrent(saved));

    QVERIFY2(cwd.endsWith(QStringLiteral("/elsewhere")), qPrintable(cwd));
    QCOMPARE(relative, cwd + QStringLiteral("/sub/trend.py"));
    QCOMPARE(absolute, m_home.filePath(QStringLiteral("a.py")));
}

void tst_Names::coverFlag_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("expected");
    const QString na = QStringLiteral("——");
    QTest::newRow("stock, covered") << QStringLiteral("600000") << QStringLiteral("1") << na;
    QTest::newRow("stock, uncovered") << QStringLiteral("600000") << QStringLiteral("0") << na;
    QTest::newRow("fund, covered") << QStringLiteral("510300") << QStringLiteral("1") << na;
    QTest::newRow("futures, covered") << QStringLiteral("IF2412") << QStringLiteral("1") << QStringLiteral("是");
    QTest::newRow("futures, uncovered") << QStringLiteral("IF2412") << QStringLiteral("0") << QStringLiteral("否");
    QTest::newRow("futures, other flag") << QStringLiteral("IF2412") << QStringLiteral("9") << na;
    QTest::newRow("option, covered") << QStringLiteral("10007890") << QStringLiteral("1") << QStringLiteral("是");
    QTest::newRow("option, uncovered") << QStringLiteral("10007890") << QStringLiteral("0") << QStringLiteral("否");
    QTest::newRow("option, empty flag") << QStringLiteral("10007890") << QString() << na;
    QTest::newRow("unknown symbol") << QStringLiteral("XYZ999") << QStringLiteral("1") << na;
}

void tst_Names::coverFlag()
{
    QFETCH(QString, symbol);
    QFETCH(QString, flag);
    QFETCH(QString, expected);
    QCOMPARE(StrategyFileLogicHandler::getCoverFlag(symbol, flag), expected);
}

void tst_Names::investTypeAndPositionEffect_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("investType");
    QTest::addColumn<QString>("positionEffect");
    const QString na = QStringLiteral("——");
    QTest::newRow("futures, code 1") << QStringLiteral("IF2412") << QStringLiteral("1") << QStringLiteral("投机")
                                     << QStringLiteral("开仓");
    QTest::newRow("option, code 2") << QStringLiteral("10007890") << QStringLiteral("2") << QStringLiteral("套利")
                                    << QStringLiteral("平仓");
    QTest::newRow("futures, code 3") << QStringLiteral("rb2505") << QStringLiteral("3") << QStringLiteral("套保")
                                     << QStringLiteral("平今");
    QTest::newRow("stock") << QStringLiteral("600000") << QStringLiteral("1") << na << na;
    QTest::newRow("unknown symbol") << QStringLiteral("XYZ999") << QStringLiteral("1") << na << na;
    QTest::newRow("futures, unknown code") << QStringLiteral("IF2412") << QStringLiteral("99") << QString()
                                           << QString();
}

void tst_Names::investTypeAndPositionEffect()
{
    QFETCH(QString, symbol);
    QFETCH(QString, code);
    QFETCH(QString, investType);
    QFETCH(QString, positionEffect);
    QCOMPARE(StrategyFileLogicHandler::getInvestType(symbol, code), investType);
    QCOMPARE(StrategyFileLogicHandler::getPositionEffectString(symbol, code), positionEffect);
}

QTEST_GUILESS_MAIN(tst_Names)
#include "tst_names.moc"
