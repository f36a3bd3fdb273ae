// Why a change was refused: every refusal of a changing method of the
// plug-in object logs one warning naming its cause and leaves the cause,
// with the user's message, as the calling thread's last refusal, so that a
// host can say why instead of "failed".

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategyrefusal.h>
#include "testsupport.h"

#include <QtTest>

#include <functional>
#include <thread>

using StrategyLogic::RefusalCode;

Q_DECLARE_METATYPE(RefusalCode)
Q_DECLARE_METATYPE(std::function<void(StrategyFileLogicHandler &)>)

namespace {
using Call = std::function<void(StrategyFileLogicHandler &)>;
const QString Nul = QStringLiteral("a%1b").arg(QChar(0));
} // namespace

class tst_Refusals : public QObject
{
    Q_OBJECT
    TestHome home;
    StrategyFileLogicHandler &f = StrategyFileLogicHandler::instance();
    const QString Default = StrategyLogic::defaultGroupName();

private slots:
    void initTestCase()
    {
        QVERIFY2(home.isValid(), qPrintable(home.errorString()));
        f.initialize();
        QVERIFY(f.isInitialized());
        QVERIFY(f.addFixedStrategy("D:/r/taken.py", "taken", Default, QString(), 1));
        QCOMPARE(f.addGroup("existing"), QString());
        QVERIFY(f.addFixedStrategy("D:/r/copies.py", "d_1", Default, QString(), 1));
    }
    void cleanupTestCase() { f.exit(); }

    // checkFixedStrategy() answers what addFixedStrategy() would refuse,
    // with its message, and changes and logs nothing.
    void checkAnswersWhatAddRefuses_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("count");
        QTest::addColumn<RefusalCode>("code");
        QTest::newRow("a new name") << "D:/r/new.py" << "new" << Default << 3 << RefusalCode::None;
        QTest::newRow("the name taken") << "D:/r/taken.py" << "taken" << Default << 1 << RefusalCode::NameTaken;
        QTest::newRow("a copy's name taken") << "D:/r/check.py" << "c" << Default << 2 << RefusalCode::NameTaken;
        QTest::newRow("no such group") << "D:/r/new.py" << "new" << "没有的分组" << 1 << RefusalCode::NoSuchGroup;
        QTest::newRow("a separator in the name") << "D:/r/new.py" << "a,%&b" << Default << 1 << RefusalCode::NotStorable;
    }
    void checkAnswersWhatAddRefuses()
    {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QFETCH(QString, group);
        QFETCH(int, count);
        QFETCH(RefusalCode, code);
        if (!f.isContainsFixedStrategy(QStringLiteral("D:/r/check.py"), QStringLiteral("c_1")))
            QVERIFY(f.addFixedStrategy(QStringLiteral("D:/r/check.py"), QStringLiteral("c_1"), Default, {}, 1));
        const QList<FixedStrategyInfo> before = f.getFixedStrategyList();
        LogCapture log;
        const StrategyLogic::Refusal checked = f.checkFixedStrategy(file, name, group, QString(), count);
        QCOMPARE(checked.code, code);
        QVERIFY(log.texts().isEmpty());
        QCOMPARE(f.getFixedStrategyList().size(), before.size());
        if (code == RefusalCode::None)
            return;
        QVERIFY(!f.addFixedStrategy(file, name, group, QString(), count));
        QCOMPARE(checked.code, StrategyLogic::lastRefusal().code);
        QCOMPARE(checked.message, StrategyLogic::lastRefusal().message);
        // An earlier copy the add registered goes again.
        for (const FixedStrategyInfo &info : f.getFixedStrategyList()) {
            if (!before.contains(info))
                f.delFixedStrategyInfoByID(info.id);
        }
    }

    void refusalNamesItsCause_data()
    {
        QTest::addColumn<Call>("call");
        QTest::addColumn<RefusalCode>("code");
        QTest::addColumn<QString>("logged"); // in the warning, with the values concerned

        QTest::newRow("strategy into a missing group")
            << Call([](StrategyFileLogicHandler &f) { f.addFixedStrategy("D:/r/a.py", "a", "没有的分组", {}, 1); })
            << RefusalCode::NoSuchGroup << "no group named 没有的分组";
        QTest::newRow("strategy name taken for its file")
            << Call([this](StrategyFileLogicHandler &f) { f.addFixedStrategy("D:/r/taken.py", "taken", Default, {}, 1); })
            << RefusalCode::NameTaken << "taken is registered for D:/r/taken.py";
        QTest::newRow("a later copy's name taken")
            << Call([this](StrategyFileLogicHandler &f) { f.addFixedStrategy("D:/r/copies.py", "d", Default, {}, 2); })
            << RefusalCode::NameTaken << "d_1 is registered for D:/r/copies.py";
        QTest::newRow("strategy text the data file cannot hold")
            << Call([this](StrategyFileLogicHandler &f) { f.addFixedStrategy("D:/r/b.py", "x,%&y", Default, {}, 1); })
            << RefusalCode::NotStorable << "which the data file cannot hold";
        QTest::newRow("modify an unknown id")
            << Call([](StrategyFileLogicHandler &f) { f.modifyFixedStrategyInfo(987654, FixedStrategyInfo()); })
            << RefusalCode::NotFound << "no fixed strategy with id 987654";
        QTest::newRow("remove an unknown id")
            << Call([](StrategyFileLogicHandler &f) { f.delFixedStrategyInfoByID(987654); }) << RefusalCode::NotFound
            << "no fixed strategy with id 987654";
        QTest::newRow("remove a negative id")
            << Call([](StrategyFileLogicHandler &f) { f.delFixedStrategyInfoByID(-5); }) << RefusalCode::NotFound
            << "no fixed strategy with id -5";
        QTest::newRow("move from an empty path")
            << Call([](StrategyFileLogicHandler &f) { f.modifyeStrategyFilePath(QString(), "D:/r/to.py"); })
            << RefusalCode::NotFound << "an empty path";
        QTest::newRow("group name taken")
            << Call([](StrategyFileLogicHandler &f) { f.addGroup("existing"); }) << RefusalCode::NameTaken
            << "existing";
        QTest::newRow("group given a built-in name")
            << Call([](StrategyFileLogicHandler &f) { f.addGroup(StrategyLogic::autoStartGroupName()); })
            << RefusalCode::BuiltInName << StrategyLogic::autoStartGroupName();
        QTest::newRow("group name with a separator")
            << Call([](StrategyFileLogicHandler &f) { f.addGroup("a;b"); }) << RefusalCode::NotStorable << "a;b";
        QTest::newRow("rename a missing group")
            << Call([](StrategyFileLogicHandler &f) { f.renameGroup("没有的分组", "新"); })
            << RefusalCode::NoSuchGroup << "没有的分组 -> 新";
        QTest::newRow("delete a missing group")
            << Call([](StrategyFileLogicHandler &f) { f.deleteGroup("没有的分组", true); })
            << RefusalCode::NoSuchGroup << "no group named 没有的分组";
        QTest::newRow("clean up a missing group")
            << Call([](StrategyFileLogicHandler &f) { f.cleanupGroup("没有的分组"); }) << RefusalCode::NoSuchGroup
            << "no group named 没有的分组";
        QTest::newRow("merge into a missing group")
            << Call([](StrategyFileLogicHandler &f) { f.regroupAllStrategy("existing", "没有的分组", false); })
            << RefusalCode::NoSuchGroup << "no group named 没有的分组";
        QTest::newRow("lock a path holding a NUL")
            << Call([](StrategyFileLogicHandler &f) { f.changeFileLockState(Nul, true); }) << RefusalCode::NotStorable
            << "the path holds a NUL";
        QTest::newRow("instance id holding a NUL")
            << Call([](StrategyFileLogicHandler &f) { f.addInstanceRunMode(Nul, 1, "F", "r"); })
            << RefusalCode::NotStorable << "a text holds a NUL";
        QTest::newRow("times of an id that is no plain number")
            << Call([](StrategyFileLogicHandler &f) {
                   f.setInstanceStartEndTime("0x1f", QDateTime::currentDateTime(), QDateTime::currentDateTime());
               })
            << RefusalCode::NotStorable << "not 0x1f";
        QTest::newRow("amount that is not a number")
            << Call([](StrategyFileLogicHandler &f) { f.addBackTestInitCashInfo("9", QDate(2026, 1, 2), qQNaN()); })
            << RefusalCode::NotStorable << "the amount is not a number";
        QTest::newRow("product holding a NUL")
            << Call([](StrategyFileLogicHandler &f) { f.setLastProduct(Nul); }) << RefusalCode::NotStorable
            << "the product holds a NUL";
    }
    void refusalNamesItsCause()
    {
        QFETCH(Call, call);
        QFETCH(RefusalCode, code);
        QFETCH(QString, logged);
        // Something refused before, so that each row shows its own cause.
        f.addGroup(QString(";"));
        LogCapture log;
        call(f);
        const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
        QCOMPARE(StrategyLogic::refusalCodeName(refusal.code), StrategyLogic::refusalCodeName(code));
        QVERIFY(!refusal.message.isEmpty());
        QVERIFY2(refusal.reason.contains(logged), qPrintable(refusal.reason));
        QVERIFY(refusal.function.startsWith(QLatin1String("StrategyFileLogicHandler::")));
        QVERIFY2(log.contains(refusal.function + " refused: " + refusal.reason, QtWarningMsg),
                 qPrintable(log.texts().join('\n')));
    }

    // A group method answers its message; the refusal holds the same one.
    void groupRefusalHoldsTheAnswer()
    {
        const QString answer = f.addGroup("existing");
        QVERIFY(!answer.isEmpty());
        QCOMPARE(StrategyLogic::lastRefusal().message, answer);
    }

    void changeThatIsMadeClearsTheRefusal_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("an add") << "add";
        QTest::newRow("the run mode set") << "run mode";
    }
    void changeThatIsMadeClearsTheRefusal()
    {
        QFETCH(QString, change);
        f.addGroup("existing");
        QVERIFY(StrategyLogic::lastRefusal().isRefused());
        if (change == "add") {
            QVERIFY(f.addFixedStrategy("D:/r/fresh.py", "fresh", Default, QString(), 1));
        } else {
            f.setCurrentRunMode(OPERATE_SIMULATE);
            QCOMPARE(f.getCurrentRunMode(), int(OPERATE_SIMULATE));
        }
        QCOMPARE(StrategyLogic::lastRefusal().code, RefusalCode::None);
        QVERIFY(StrategyLogic::lastRefusal().message.isEmpty());
    }

    void refusalBelongsToItsThread()
    {
        f.addGroup("existing");
        StrategyLogic::Refusal seenElsewhere;
        std::thread other([&] { seenElsewhere = StrategyLogic::lastRefusal(); });
        other.join();
        QCOMPARE(seenElsewhere.code, RefusalCode::None);
        QCOMPARE(StrategyLogic::lastRefusal().code, RefusalCode::NameTaken);
    }

    void writeThatFailsIsNotWritable()
    {
        QVERIFY(f.addFixedStrategy("D:/r/full.py", "a", Default, QString(), 1));
        bool answer = true;
        {
            FileSizeLimit full(64);
            answer = f.addFixedStrategy("D:/r/full.py", "b", Default, QString(), 1);
        }
        QVERIFY(!answer);
        QCOMPARE(StrategyLogic::lastRefusal().code, RefusalCode::NotWritable);
        QVERIFY(StrategyLogic::lastRefusal().reason.contains("the data file could not be written"));
    }

    void objectNotInitialisedRefusesEverything()
    {
        StrategyFileLogicHandler other;
        const QString answer = other.addGroup("x");
        QCOMPARE(answer, StrategyLogic::lastRefusal().message);
        QCOMPARE(StrategyLogic::lastRefusal().code, RefusalCode::NotInitialised);
        QVERIFY(!other.addFixedStrategy("D:/r/n.py", "n", Default, QString(), 1));
        QCOMPARE(StrategyLogic::lastRefusal().code, RefusalCode::NotInitialised);
        QCOMPARE(StrategyLogic::refusalCodeName(RefusalCode::NotInitialised), QStringLiteral("not-initialised"));
    }
};

QTEST_GUILESS_MAIN(tst_Refusals)
#include "tst_refusals.moc"
