// The languages of strategydesk: --lang and the locale choose English or
// Simplified Chinese, an unknown code is refused; under Simplified Chinese
// no text of the main window is left in English, under English none is in
// Chinese, but for the plug-in's data and messages, which stay as they are.

#include "app/desklanguage.h"
#include "app/deskoptions.h"
#include "app/pluginsession.h"
#include "models/historymodel.h"
#include "models/instancetablemodel.h"
#include "models/strategyfilterproxy.h"
#include "models/strategytablemodel.h"
#include "ui/backtestpage.h"
#include "ui/historydock.h"
#include "ui/instancespage.h"
#include "ui/mainwindow.h"
#include "ui/simupage.h"

#include <StrategyLogic/backtestreport.h>
#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategyhistory.h>
#include "testsupport.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <cmath>

using StrategyLogic::BacktestReport;

namespace {
// One text the window shows, and where.
struct ShownText
{
    QString where;
    QString text;
};

// "QLabel 'name' in BacktestPage in QTabWidget 'pages'": the object, then
// the nearest ancestors that a reader can find in the sources.
QString describe(const QObject *object)
{
    const auto name = [](const QObject *o) {
        const QString objectName = o->objectName();
        return objectName.isEmpty() ? QString::fromLatin1(o->metaObject()->className())
                                    : QStringLiteral("%1 '%2'").arg(QLatin1String(o->metaObject()->className()),
                                                                    objectName);
    };
    QString text = name(object);
    int ancestors = 0;
    for (const QObject *o = object->parent(); o && ancestors < 3; o = o->parent()) {
        // Classes of the desk (no Q prefix) and named objects say where.
        if (o->objectName().isEmpty() && QByteArray(o->metaObject()->className()).startsWith('Q'))
            continue;
        text += QStringLiteral(" in ") + name(o);
        ++ancestors;
    }
    return text;
}

// Every text the user can read in the window as it is now: of the widgets,
// the actions, the tabs, the item views' headers and (for small models)
// cells, the docks and tool bars.
class TextWalk
{
public:
    QList<ShownText> texts;

    void walk(QMainWindow &window)
    {
        // The menus first: their actions are reported by menu.
        for (QAction *action : window.menuBar()->actions())
            menuAction(action, QStringLiteral("menu bar"));
        widget(&window);
        for (QWidget *child : window.findChildren<QWidget *>())
            widget(child);
        for (QAction *action : window.findChildren<QAction *>())
            this->action(action, describe(action));
    }

private:
    QSet<const QAbstractItemModel *> m_models;
    QSet<const QAction *> m_actions;

    void add(const QString &where, const QString &text)
    {
        if (!text.trimmed().isEmpty())
            texts.append({where, text});
    }

    void action(QAction *action, const QString &where)
    {
        if (m_actions.contains(action))
            return;
        m_actions.insert(action);
        add(where + QStringLiteral(" text"), action->text());
        add(where + QStringLiteral(" tool tip"), action->toolTip());
        add(where + QStringLiteral(" status tip"), action->statusTip());
        add(where + QStringLiteral(" icon text"), action->iconText());
    }

    void menuAction(QAction *action, const QString &where)
    {
        const QString here = where + QStringLiteral(" > ") + action->text();
        this->action(action, here);
        if (QMenu *menu = action->menu()) {
            for (QAction *item : menu->actions())
                menuAction(item, here);
        }
    }

    void widget(QWidget *w)
    {
        const QString where = describe(w);
        add(where + QStringLiteral(" window title"), w->windowTitle());
        add(where + QStringLiteral(" tool tip"), w->toolTip());
        add(where + QStringLiteral(" accessible name"), w->accessibleName());
        add(where + QStringLiteral(" accessible description"), w->accessibleDescription());
        for (QAction *a : w->actions())
            action(a, where + QStringLiteral(" action"));
        if (auto *label = qobject_cast<QLabel *>(w))
            add(where + QStringLiteral(" text"), label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            add(where + QStringLiteral(" text"), button->text());
        if (auto *box = qobject_cast<QGroupBox *>(w))
            add(where + QStringLiteral(" title"), box->title());
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            add(where + QStringLiteral(" placeholder"), edit->placeholderText());
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                add(where + QStringLiteral(" item %1").arg(i), combo->itemText(i));
        }
        if (auto *bar = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < bar->count(); ++i) {
                add(where + QStringLiteral(" tab %1").arg(i), bar->tabText(i));
                add(where + QStringLiteral(" tab %1 tool tip").arg(i), bar->tabToolTip(i));
            }
        }
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                add(where + QStringLiteral(" tab %1").arg(i), tabs->tabText(i));
        }
        if (auto *view = qobject_cast<QAbstractItemView *>(w))
            model(view->model(), where);
    }

    void model(const QAbstractItemModel *model, const QString &where)
    {
        if (!model || m_models.contains(model))
            return;
        m_models.insert(model);
        const int rows = model->rowCount();
        const int columns = model->columnCount();
        for (int c = 0; c < columns; ++c)
            add(where + QStringLiteral(" column header %1").arg(c), model->headerData(c, Qt::Horizontal).toString());
        for (int r = 0; r < qMin(rows, 500); ++r)
            add(where + QStringLiteral(" row header %1").arg(r), model->headerData(r, Qt::Vertical).toString());
        if (qint64(rows) * columns > 5000)
            return;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const QModelIndex index = model->index(r, c);
                add(where + QStringLiteral(" cell %1,%2").arg(r).arg(c), index.data(Qt::DisplayRole).toString());
                add(where + QStringLiteral(" cell %1,%2 tool tip").arg(r).arg(c), index.data(Qt::ToolTipRole).toString());
            }
        }
    }
};

// What is left of a text once the plug-in's data in it is taken out, each
// piece of data replaced by a blank.
QString withoutData(QString text, const QStringList &data)
{
    for (const QString &piece : data)
        text.replace(piece, QStringLiteral(" "));
    return text;
}

// The runs of three or more ASCII letters of a text that are not allowed
// words.
QStringList englishRuns(const QString &text, const QSet<QString> &allowed)
{
    static const QRegularExpression run(QStringLiteral("[A-Za-z]{3,}"));
    QStringList runs;
    for (QRegularExpressionMatchIterator it = run.globalMatch(text); it.hasNext();) {
        const QString word = it.next().captured();
        if (!allowed.contains(word))
            runs.append(word);
    }
    return runs;
}

bool holdsChinese(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff; });
}

// The words of three or more ASCII letters that a Simplified Chinese
// screen shows as they are.
const QSet<QString> &allowedWords()
{
    static const QSet<QString> words{
        // Names of products.
        QStringLiteral("StrategyDesk"),  // the program's own name
        QStringLiteral("StrategyLogic"), // the plug-in's name
        QStringLiteral("Python"),        // the language of the strategies
        QStringLiteral("SQLite"),        // the database of the plug-in
        // Key names, as shortcuts are written in any language.
        QStringLiteral("Ctrl"),
        QStringLiteral("Shift"),
        // Endings of the files the desk writes.
        QStringLiteral("PNG"),
        QStringLiteral("SVG"),
        QStringLiteral("HTML"),
    };
    return words;
}
} // namespace

class tst_DeskLanguage : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QTemporaryDir m_files;
    std::unique_ptr<PluginSession> m_session;
    QStringList m_data; // the plug-in's data and messages the window may show, longest first

    StrategyFileLogicHandler &plugin() { return m_session->plugin(); }

    // Strategies in groups with a locked file, a rename for the history,
    // the days of two backtests, instances of each run mode, simulated
    // orders and fills: every table has rows.
    void fillDemo()
    {
        const QString files = m_files.filePath(QStringLiteral("strategies"));
        QVERIFY(QDir().mkpath(files));
        const QString maCross = files + QStringLiteral("/ma_cross.py");
        const QString grid = files + QStringLiteral("/grid.py");
        QVERIFY(writeFile(maCross, "# moving averages\nFAST, SLOW = 5, 20\n"));
        QVERIFY(writeFile(grid, "LOW, HIGH = 3.2, 3.8\n"));
        const QStringList groups{QStringLiteral("趋势"), QStringLiteral("震荡")};
        for (const QString &group : groups)
            QCOMPARE(plugin().addGroup(group), QString());
        QVERIFY(plugin().addFixedStrategy(maCross, QStringLiteral("双均线"), groups.at(0), QStringLiteral("日线"), 2));
        QVERIFY(plugin().addFixedStrategy(grid, QStringLiteral("网格"), groups.at(1), QStringLiteral("区间"), 1));
        QVERIFY(plugin().changeFileLockState(grid, true));
        FixedStrategyInfo renamed;
        for (const FixedStrategyInfo &info : plugin().getFixedStrategyList()) {
            if (info.name == QStringLiteral("双均线"))
                renamed = info;
        }
        renamed.name = QStringLiteral("双均线改");
        QVERIFY(plugin().modifyFixedStrategyInfo(int(renamed.id), renamed));

        for (const QString &id : {QStringLiteral("1024"), QStringLiteral("1025")}) {
            double funds = id == QLatin1String("1024") ? 100000 : 50000;
            QDate date(2026, 11, 2);
            for (int i = 0; i < 10; ++i, date = date.addDays(1)) {
                plugin().addBackTestInitCashInfo(id, date, funds);
                funds *= 1 + 0.01 * std::sin(i * 1.3);
                plugin().addBackTestInitCashEndInfo(id, date, funds);
            }
        }
        QVERIFY(plugin().addInstanceRunMode(QStringLiteral("1024"), OPERATE_BACKTEST, QStringLiteral("880001"),
                                            QStringLiteral("回测已登记")));
        QVERIFY(plugin().addInstanceRunMode(QStringLiteral("42"), OPERATE_SIMULATE, QStringLiteral("880002"),
                                            QStringLiteral("模拟已登记")));
        QVERIFY(plugin().addInstanceRunMode(QStringLiteral("7"), OPERATE_LIVE, QStringLiteral("990001"),
                                            QStringLiteral("实盘已登记")));
        const QString simu = StrategyLogic::installationFiles(m_home.path(), plugin().getCurUserId()).simuDatabase;
        QVERIFY(writeSimuTradeDatabase(simu));
        QTRY_VERIFY(plugin().getBackTestInstanceIdList().contains(QStringLiteral("1025")));

        // What the window shows of that data, and of the plug-in's own words.
        m_data << m_home.path() << files << plugin().getCurUserId() << maCross << grid << QStringLiteral("ma_cross.py")
               << QStringLiteral("grid.py") << groups << StrategyLogic::defaultGroupName()
               << StrategyLogic::autoStartGroupName() << OperateModeNames
               << QStringLiteral("part"); // an order's text in the simulated-trading database
        for (const FixedStrategyInfo &info : plugin().getFixedStrategyList())
            m_data << info.name << info.extraInfo;
        for (const ProductData &product : plugin().getProductList()) {
            m_data << product.productId << product.productName;
            for (const FundAccountData &account : plugin().getFundAccountList(product.productId))
                m_data << account.fundAccount << account.accountTypeName
                       << plugin().getFundAccountTypeName_py(account.accountType);
        }
        for (const InstanceInfo &info : plugin().getInstanceList())
            m_data << info.returnRegInfo;
        for (const QString &symbol : {QStringLiteral("600000"), QStringLiteral("IF2412"), QStringLiteral("10007890")}) {
            for (const QString &code : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")})
                m_data << StrategyFileLogicHandler::getInvestType(symbol, code)
                       << StrategyFileLogicHandler::getPositionEffectString(symbol, code);
        }
        // The library's own texts: the backtests' periods and notes, the
        // history's operations and summaries.
        for (const QString &id : plugin().getBackTestInstanceIdList()) {
            QList<BackTestCashInfo> days;
            QVERIFY(plugin().queryBackTestCashInfo(id, days));
            const BacktestReport report = BacktestReport::compute(id, days);
            m_data << report.period() << report.notes();
        }
        const StrategyLogic::HistoryReadResult history =
            StrategyLogic::readHistory(m_home.path(), plugin().getCurUserId());
        QVERIFY(!history.entries.isEmpty());
        for (const StrategyLogic::HistoryEntry &entry : history.entries)
            m_data << entry.operation << entry.summary;
        m_data.removeAll(QString());
        m_data.removeDuplicates();
        // A longer piece goes first: a shorter one inside it would leave the rest.
        std::stable_sort(m_data.begin(), m_data.end(),
                         [](const QString &a, const QString &b) { return a.size() > b.size(); });
    }

    // The window in the states that show the most texts: each page shown
    // once, a strategy with a locked file selected, one backtest, then two,
    // an instance, all the simulated columns.
    void windowTexts(QList<ShownText> &texts)
    {
        MainWindow window(*m_session);
        window.showMessage = [](const QString &, const QString &) {};
        window.confirm = [](const QString &) { return true; };
        window.resize(1400, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.historyDock()->model()->rowCount() > 0);
        QTRY_VERIFY(window.instancesPage()->model()->rowCount() >= 3);
        const auto walkNow = [&window] {
            QCoreApplication::processEvents();
            TextWalk now;
            now.walk(window);
            return now.texts;
        };
        for (int page = 0; page < window.pages()->count(); ++page) {
            window.pages()->setCurrentIndex(page);
            texts += walkNow();
        }
        window.pages()->setCurrentIndex(0);
        qint64 gridId = -1;
        for (const FixedStrategyInfo &info : plugin().getFixedStrategyList()) {
            if (info.name == QStringLiteral("网格"))
                gridId = info.id;
        }
        const QModelIndex locked = window.strategyProxy()->mapFromSource(
            window.strategyModel()->index(window.strategyModel()->rowOfId(gridId), 0));
        QVERIFY(locked.isValid());
        window.strategyView()->selectionModel()->select(locked, QItemSelectionModel::ClearAndSelect
                                                                    | QItemSelectionModel::Rows);
        texts += walkNow();
        window.pages()->setCurrentWidget(window.backtestPage());
        window.backtestPage()->selectInstances({QStringLiteral("1024")});
        texts += walkNow();
        window.backtestPage()->selectInstances({QStringLiteral("1024"), QStringLiteral("1025")});
        texts += walkNow();
        window.pages()->setCurrentWidget(window.instancesPage());
        window.instancesPage()->selectInstance(QStringLiteral("42"));
        texts += walkNow();
        window.pages()->setCurrentWidget(window.simuPage());
        window.simuPage()->instanceEdit()->setText(QStringLiteral("42"));
        window.simuPage()->reload();
        window.simuPage()->allColumnsBox()->setChecked(true);
        texts += walkNow();
        window.close();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY2(m_files.isValid(), qPrintable(m_files.errorString()));
        // The window's layout is kept in QSettings: in this test's folder.
        for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, m_files.filePath(QStringLiteral("settings")));
        m_session = std::make_unique<PluginSession>(m_home.path());
        m_session->askRetry = [](const QString &) { return false; };
        QVERIFY(m_session->start());
        fillDemo();
    }
    void cleanupTestCase()
    {
        DeskLanguage::apply(QStringLiteral("en"));
        m_session->stop();
    }
    // No case leaves its language to the next.
    void cleanup() { QVERIFY(DeskLanguage::apply(QStringLiteral("en"))); }

    // --lang chooses, else the locale (LANG); an unknown code is refused
    // with the codes there are.
    void languageOfTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("locale"); // as LANG names it
        QTest::addColumn<QString>("language"); // empty: refused
        QTest::newRow("--lang zh_CN") << QStringList{"--lang", "zh_CN"} << "C" << "zh_CN";
        QTest::newRow("--lang=zh_CN") << QStringList{"--lang=zh_CN"} << "C" << "zh_CN";
        QTest::newRow("--lang en") << QStringList{"--lang", "en"} << "C" << "en";
        QTest::newRow("--lang en over a Chinese locale") << QStringList{"--lang", "en"} << "zh_CN.UTF-8" << "en";
        QTest::newRow("--lang xx") << QStringList{"--lang", "xx"} << "zh_CN.UTF-8" << "";
        QTest::newRow("--lang zh (no territory)") << QStringList{"--lang", "zh"} << "C" << "";
        QTest::newRow("--lang empty") << QStringList{"--lang", ""} << "C" << "";
        QTest::newRow("LANG=zh_CN.UTF-8") << QStringList{} << "zh_CN.UTF-8" << "zh_CN";
        QTest::newRow("LANG=zh_TW.UTF-8: the Chinese there is") << QStringList{} << "zh_TW.UTF-8" << "zh_CN";
        QTest::newRow("LANG=C") << QStringList{} << "C" << "en";
        QTest::newRow("LANG=en_US.UTF-8") << QStringList{} << "en_US.UTF-8" << "en";
        QTest::newRow("LANG=de_DE.UTF-8") << QStringList{} << "de_DE.UTF-8" << "en";
    }
    void languageOfTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, locale);
        QFETCH(QString, language);
        DeskOptions options{QLocale(locale)};
        const bool parsed = options.parse(QStringList{QStringLiteral("strategydesk")} + arguments);
        QCOMPARE(parsed, !language.isEmpty());
        if (parsed) {
            QCOMPARE(options.language(), language);
            QCOMPARE(options.errorText(), QString());
            QVERIFY(DeskLanguage::codes().contains(options.language()));
            if (arguments.isEmpty())
                QCOMPARE(DeskLanguage::forLocale(QLocale(locale)), language);
            return;
        }
        QCOMPARE(options.exitStatus(), 2);
        // Names what was given and what may be.
        const QString given = arguments.last().section(QLatin1Char('='), -1);
        QVERIFY2(options.errorText().contains(QStringLiteral("'%1'").arg(given)), qPrintable(options.errorText()));
        QVERIFY2(options.errorText().contains(QStringLiteral("en, zh_CN")), qPrintable(options.errorText()));
    }

    // An unknown code changes nothing: the language applied stays.
    void unknownCodeKeepsTheLanguage()
    {
        QVERIFY(DeskLanguage::apply(QStringLiteral("zh_CN")));
        const QString translated = QCoreApplication::translate("MainWindow", "&File");
        QVERIFY(translated != QLatin1String("&File"));
        QVERIFY(!DeskLanguage::apply(QStringLiteral("xx")));
        QCOMPARE(DeskLanguage::current(), QStringLiteral("zh_CN"));
        QCOMPARE(QCoreApplication::translate("MainWindow", "&File"), translated);
        QVERIFY(DeskLanguage::apply(QStringLiteral("en")));
        QCOMPARE(DeskLanguage::current(), QStringLiteral("en"));
        QCOMPARE(QCoreApplication::translate("MainWindow", "&File"), QStringLiteral("&File"));
    }

    // Under Simplified Chinese no text of the window has an English word
    // (a run of three or more ASCII letters) but the plug-in's data and
    // messages and the allowed words; under English none has a Chinese
    // character but the plug-in's.
    void everyTextInTheLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("zh_CN") << "zh_CN";
        QTest::newRow("en") << "en";
    }
    void everyTextInTheLanguage()
    {
        QFETCH(QString, language);
        if (language != QLatin1String("en")) {
            // Qt's own widgets (a dock's buttons, a tab bar's arrows) are in
            // Qt's translation.
            QTranslator qt;
            QVERIFY2(qt.load(QStringLiteral("qtbase_") + language, QLibraryInfo::location(QLibraryInfo::TranslationsPath)),
                     "Qt's own translation is not installed (Debian: qttranslations5-l10n)");
        }
        QVERIFY(DeskLanguage::apply(language));
        QCOMPARE(DeskLanguage::current(), language);
        QList<ShownText> texts;
        windowTexts(texts);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(texts.size() > 100);
        QStringList wrong;
        QSet<QString> reported;
        for (const ShownText &shown : texts) {
            const QString key = shown.where + QLatin1Char('\n') + shown.text;
            if (reported.contains(key))
                continue;
            const QString rest = withoutData(shown.text, m_data);
            QString problem;
            if (language == QLatin1String("zh_CN")) {
                const QStringList runs = englishRuns(rest, allowedWords());
                if (!runs.isEmpty())
                    problem = QStringLiteral("English %1").arg(runs.join(QStringLiteral(", ")));
            } else if (holdsChinese(rest)) {
                problem = QStringLiteral("Chinese");
            }
            if (problem.isEmpty())
                continue;
            reported.insert(key);
            const QString line = QStringLiteral("%1: \"%2\" (%3)").arg(shown.where, shown.text, problem);
            wrong.append(line);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("%1 texts not in %2:\n").arg(wrong.size()).arg(language)
                                             + wrong.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(tst_DeskLanguage)
#include "tst_desklanguage.moc"
