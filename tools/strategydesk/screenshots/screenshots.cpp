// A picture of each screen of strategydesk, for a person to look at: fills
// a demo data folder through the plug-in, opens the screens and saves each
// with QWidget::grab(), once in each language of the client:
// OUTPUT_FOLDER/en/NAME.png, OUTPUT_FOLDER/zh_CN/NAME.png. A new picture
// goes into takePictures(), which runs once per language.
//
//   strategydesk_screenshots OUTPUT_FOLDER
//
// Run with QT_QPA_PLATFORM=offscreen where there is no display.

#include "app/desklanguage.h"
#include "app/pluginsession.h"
#include "editor/strategyfileview.h"
#include "models/strategyfilterproxy.h"
#include "models/strategytablemodel.h"
#include "models/historymodel.h"
#include "ui/accountspage.h"
#include "ui/addstrategydialog.h"
#include "ui/backtestpage.h"
#include "ui/doctordialog.h"
#include "ui/historydock.h"
#include "ui/importplandialog.h"
#include "ui/instancespage.h"
#include "ui/mainwindow.h"
#include "ui/modifystrategydialog.h"
#include "ui/settingsdialog.h"
#include "ui/simupage.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategybundle.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <sqlite3.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {
bool save(QWidget &widget, const QString &folder, const QString &name)
{
    QApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

void writeStrategy(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
}

void select(MainWindow &window, qint64 id)
{
    const int row = window.strategyModel()->rowOfId(id);
    const QModelIndex index = window.strategyProxy()->mapFromSource(window.strategyModel()->index(row, 0));
    window.strategyView()->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect
                                                               | QItemSelectionModel::Rows);
    window.strategyView()->scrollTo(index);
}

qint64 idOf(StrategyFileLogicHandler &plugin, const QString &name)
{
    for (const FixedStrategyInfo &info : plugin.getFixedStrategyList()) {
        if (info.name == name)
            return info.id;
    }
    return -1;
}

// The demo data folder and what the pictures show of it.
struct Demo
{
    PluginSession &session;
    QString folder;                          // the data folder
    QString files;                           // the strategy files
    StrategyLogic::BundleImportResult plan;  // a bundle that holds a strategy removed since
};

void writeDemoFiles(const QString &files)
{
    QDir().mkpath(files);
    writeStrategy(files + QStringLiteral("/ma_cross.py"),
                  "# Moving-average cross: long when the fast average crosses above the slow one.\n"
                  "import numpy as np\n\nFAST, SLOW = 5, 20\n\n\ndef signal(closes):\n"
                  "    \"\"\"1 to hold, 0 to stay out.\"\"\"\n    if len(closes) < SLOW:\n        return 0\n"
                  "    fast = np.mean(closes[-FAST:])\n    slow = np.mean(closes[-SLOW:])\n"
                  "    return 1 if fast > slow else 0\n");
    writeStrategy(files + QStringLiteral("/grid.py"),
                  "# Grid trading between two prices.\nLOW, HIGH, STEPS = 3.20, 3.80, 6\n\n\n@staticmethod\n"
                  "def levels():\n    step = (HIGH - LOW) / STEPS\n"
                  "    return [round(LOW + i * step, 3) for i in range(STEPS + 1)]\n");
}

// A few weeks of weekdays with ups and downs, each end the next start.
void demoDays(StrategyFileLogicHandler &plugin, const QString &id, double start, double drift)
{
    double funds = start;
    QDate date(2026, 11, 2);
    for (int i = 0; i < 25; ++i, date = date.addDays(date.dayOfWeek() == 5 ? 3 : 1)) {
        plugin.addBackTestInitCashInfo(id, date, funds);
        funds *= 1 + drift + 0.012 * std::sin(i * 1.3);
        plugin.addBackTestInitCashEndInfo(id, date, funds);
    }
}

// Instances in each run mode, the parameters the strategy server gave one.
void demoInstances(StrategyFileLogicHandler &plugin)
{
    const struct
    {
        const char *id;
        int mode;
        const char *account;
        const char *answer;
    } instances[] = {{"1001", OPERATE_LIVE, "880001", "ok"},         {"1002", OPERATE_LIVE, "880002", "ok"},
                     {"1010", OPERATE_SIMULATE, "880001", "Accepted"}, {"1011", OPERATE_SIMULATE, "990001", "ok"},
                     {"1024", OPERATE_BACKTEST, "880001", "ok"},     {"1025", OPERATE_BACKTEST, "880003", "ok"},
                     {"1030", OPERATE_BACKTEST, "990002", ""}};
    for (const auto &instance : instances)
        plugin.addInstanceRunMode(QString::fromLatin1(instance.id), instance.mode,
                                  QString::fromLatin1(instance.account), QString::fromLatin1(instance.answer));
    ZInstanceMonitorData data;
    data.instanceId = QStringLiteral("1001");
    data.strategyName = QStringLiteral("双均线");
    const struct
    {
        const char *name;
        const char *value;
        const char *type;
        const char *description;
    } params[] = {{"FAST", "5", "int", "快线周期"}, {"SLOW", "20", "int", "慢线周期"},
                  {"SYMBOL", "600000", "string", "标的代码"}, {"LOTS", "2", "int", "每次下单手数"}};
    int index = 0;
    for (const auto &param : params) {
        ZParamData p;
        p.paramIndex = index++;
        p.paramName = QString::fromLatin1(param.name);
        p.paramValue = QString::fromLatin1(param.value);
        p.paramType = QString::fromLatin1(param.type);
        p.paramDesc = QString::fromUtf8(param.description);
        data.params.append(p);
    }
    plugin.updateInstanceParams(data);
}

// The simulated-trading engine's orders and fills of instance 1010.
bool writeSimuDatabase(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    const char *sql =
        "create table if not exists order_info (order_id text, symbol text, date_time text, batch_no text,"
        " order_qty text, leave_qty text, cum_qty text, side text, status text, type text, px text, avg_px text,"
        " style text, fund_account text, enturst_prop text, text text, inst_id text);"
        "create table if not exists deal_info (order_id text, symbol text, exchange_matchDate text, exec_id text,"
        " last_qty text, side text, last_px text, fund_account text, inst_id integer);"
        "delete from order_info; delete from deal_info;"
        "insert into order_info values ('O1','600000','20261202 09:30:01','B1','1000','0','1000','1','8','1',"
        "'10.52','10.52','1','880001','0',null,'1010');"
        "insert into order_info values ('O2','IF2612','20261202 09:31:00','B2','2','1','1','2','7','1',"
        "'3902.4','3902.4','1','990001','0','','1010');"
        "insert into order_info values ('O3','10007890','20261202 09:32:00','B3','5','5','0','1','2','1',"
        "'0.2510','0','1','990001','0','','1010');"
        "insert into order_info values ('O4','601318','20261203 10:05:12','B4','300','0','300','2','8','1',"
        "'48.10','48.08','1','880001','0','','1010');"
        "insert into deal_info values ('O1','600000','20261202 09:30:02','E1','1000','1','10.52','880001',1010);"
        "insert into deal_info values ('O2','IF2612','20261202 09:31:05','E2','1','2','3902.4','990001',1010);"
        "insert into deal_info values ('O4','601318','20261203 10:05:13','E4','200','2','48.10','880001',1010);"
        "insert into deal_info values ('O4','601318','20261203 10:05:15','E5','100','2','48.05','880001',1010);";
    const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The groups and strategies, a rename for the history, the days of two
// backtests, and the plan of a bundle exported before a strategy was removed.
void fillDemo(Demo &demo, const QString &bundle)
{
    StrategyFileLogicHandler &plugin = demo.session.plugin();
    const QString &files = demo.files;
    const QString defaultGroup = StrategyLogic::defaultGroupName();
    for (const QString &group : {QStringLiteral("趋势"), QStringLiteral("震荡"), QStringLiteral("动量")})
        plugin.addGroup(group);
    plugin.addFixedStrategy(files + QStringLiteral("/ma_cross.py"), QStringLiteral("双均线"), QStringLiteral("趋势"),
                            QStringLiteral("日线"), 3);
    plugin.addFixedStrategy(files + QStringLiteral("/grid.py"), QStringLiteral("网格"), QStringLiteral("震荡"),
                            QStringLiteral("3.2 to 3.8"), 1);
    plugin.addFixedStrategy(files + QStringLiteral("/missing.py"), QStringLiteral("已删除的文件"), defaultGroup,
                            QString(), 1);
    for (int i = 0; i < 12; ++i)
        plugin.addFixedStrategy(QStringLiteral("%1/s%2.py").arg(files).arg(i), QStringLiteral("策略%1").arg(i),
                                i % 2 ? QStringLiteral("动量") : defaultGroup, QString(), 1);
    plugin.changeFileLockState(files + QStringLiteral("/grid.py"), true);

    FixedStrategyInfo renamed = plugin.getFixedStrateyInfoByID(int(idOf(plugin, QStringLiteral("策略3"))));
    renamed.name = QStringLiteral("动量突破");
    plugin.modifyFixedStrategyInfo(int(renamed.id), renamed);

    demoDays(plugin, QStringLiteral("1024"), 100000, 0.002);
    demoDays(plugin, QStringLiteral("1025"), 50000, -0.001);
    demoInstances(plugin);
    writeSimuDatabase(StrategyLogic::installationFiles(demo.folder, plugin.getCurUserId()).simuDatabase);

    StrategyLogic::exportBundle(bundle);
    plugin.delFixedStrategyInfoByID(int(plugin.getFixedStrategyList().last().id));
    QByteArray text;
    StrategyLogic::checkBundleFile(bundle, &text);
    demo.plan = StrategyLogic::importBundleText(text, StrategyLogic::BundleImportMode::Merge, true, bundle);
}

// The add dialog with a name the file has already, the modify dialog with
// a rename to a name the file has already: both refused as typed.
int pictureStrategyDialogs(Demo &demo, MainWindow &window, const QString &out)
{
    StrategyFileLogicHandler &plugin = demo.session.plugin();
    int failures = 0;
    AddStrategyDialog dialog(plugin, plugin.getAllStrategyGroupNameSorted(), QStringLiteral("趋势"), &window);
    dialog.fileEdit()->setText(demo.files + QStringLiteral("/ma_cross.py"));
    dialog.nameEdit()->setText(QStringLiteral("双均线"));
    dialog.show();
    failures += !save(dialog, out, QStringLiteral("add-refused-name"));
    dialog.close();

    const FixedStrategyInfo info = plugin.getFixedStrateyInfoByID(int(idOf(plugin, QStringLiteral("双均线_1"))));
    ModifyStrategyDialog modify(plugin, info, plugin.getAllStrategyGroupNameSorted(), &window);
    modify.nameEdit()->setText(QStringLiteral("双均线"));
    modify.show();
    failures += !save(modify, out, QStringLiteral("modify-strategy"));
    modify.close();
    return failures;
}

// The history after a rename, the doctor with a file the plug-in kept
// aside, the plan of the bundle.
int pictureToolScreens(Demo &demo, MainWindow &window, const QString &out)
{
    int failures = 0;
    window.historyDock()->model()->reload();
    failures += !save(*window.historyDock(), out, QStringLiteral("history"));

    const QString aside = StrategyLogic::installationFiles(demo.folder, demo.session.plugin().getCurUserId()).dataFile
        + QStringLiteral(".unreadable-20261203-093000");
    writeStrategy(aside, "x");
    DoctorDialog doctor(demo.folder, [](const QString &) { return true; }, &window);
    doctor.applyFixes(); // what it says while this process holds the folder
    doctor.show();
    failures += !save(doctor, out, QStringLiteral("doctor"));
    doctor.close();
    QFile::remove(aside);

    ImportPlanDialog planDialog(demo.plan, &window);
    planDialog.show();
    failures += !save(planDialog, out, QStringLiteral("import-plan"));
    planDialog.close();
    return failures;
}

// The instances with the parameters of one, the simulated trades of an
// instance, the accounts, the settings.
int picturePages(StrategyFileLogicHandler &plugin, MainWindow &window, const QString &out)
{
    int failures = 0;
    window.pages()->setCurrentWidget(window.instancesPage());
    window.instancesPage()->selectInstance(QStringLiteral("1001"));
    failures += !save(window, out, QStringLiteral("instances"));
    window.pages()->setCurrentWidget(window.simuPage());
    window.simuPage()->instanceEdit()->setText(QStringLiteral("1010"));
    window.simuPage()->reload();
    failures += !save(window, out, QStringLiteral("simu"));
    window.pages()->setCurrentWidget(window.accountsPage());
    failures += !save(window, out, QStringLiteral("accounts"));
    SettingsDialog settings(plugin, &window);
    // A path with no program there, as after Python was moved: the warning.
    settings.pythonEdit()->setText(QStringLiteral("/opt/python3.11/bin/python3"));
    settings.show();
    failures += !save(settings, out, QStringLiteral("settings"));
    settings.close();
    return failures;
}

// Every picture, in the language applied; the number that failed.
int takePictures(Demo &demo, const QString &out)
{
    StrategyFileLogicHandler &plugin = demo.session.plugin();
    QSettings().clear(); // the layout a first start shows
    MainWindow window(demo.session);
    window.showMessage = [](const QString &, const QString &) {};
    window.resize(1400, 800);
    window.show();
    int failures = 0;
    select(window, plugin.getFixedStrategyList().first().id);
    failures += !save(window, out, QStringLiteral("main-window"));
    select(window, idOf(plugin, QStringLiteral("网格")));
    failures += !save(window, out, QStringLiteral("locked-file"));
    failures += pictureStrategyDialogs(demo, window, out);
    failures += pictureToolScreens(demo, window, out);
    window.pages()->setCurrentWidget(window.backtestPage());
    window.backtestPage()->selectInstances({QStringLiteral("1024")});
    failures += !save(window, out, QStringLiteral("backtest"));
    window.backtestPage()->selectInstances({QStringLiteral("1024"), QStringLiteral("1025")});
    failures += !save(window, out, QStringLiteral("backtest-compare"));
    failures += picturePages(plugin, window, out);
    window.pages()->setCurrentIndex(0);
    window.close();
    return failures;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("strategydesk-screenshots"));
    QApplication::setApplicationDisplayName(QStringLiteral("StrategyDesk"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: strategydesk_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    if (QFontDatabase().families(QFontDatabase::SimplifiedChinese).isEmpty())
        std::fprintf(stderr, "strategydesk_screenshots: no font for Simplified Chinese: names show as boxes\n");

    QTemporaryDir home;
    qputenv("STRATEGYLOGIC_ID_DIR", QFile::encodeName(home.filePath(QStringLiteral("ids"))));
    const QString folder = home.filePath(QStringLiteral("data"));
    PluginSession session(folder);
    session.askRetry = [](const QString &) { return false; };
    Demo demo{session, folder, home.filePath(QStringLiteral("strategies")), {}};
    writeDemoFiles(demo.files);
    if (!session.start())
        return 3;
    fillDemo(demo, home.filePath(QStringLiteral("bundle.json")));

    int failures = 0;
    for (const QString &language : DeskLanguage::codes()) {
        if (!DeskLanguage::apply(language)) {
            std::fprintf(stderr, "strategydesk_screenshots: the translation %s is missing\n", qPrintable(language));
            ++failures;
            continue;
        }
        const QString pictures = out + QLatin1Char('/') + language;
        QDir().mkpath(pictures);
        failures += takePictures(demo, pictures);
    }
    DeskLanguage::apply(QStringLiteral("en"));
    session.stop();
    return failures ? 1 : 0;
}
