// status, the remembered product and fund account, run mode, Python path.

#include "commands.h"
#include "commandtable.h"
#include "signalwatcher.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <cbusinessdatabase.h>
#include <hostprofile.h>
#include <zqapplicationdir.h>

#include <QEventLoop>
#include <QTimer>

namespace {
int status(CommandContext &c)
{
    const QString appDir = ZqApplicationDir::path();
    const QString login = CBusinessDataBase::GetInstance()->GetLoginAccount();
    const QString userId = c.facade.getCurUserId();
    const QJsonObject record{
        {QStringLiteral("initialized"), c.facade.isInitialized()},
        {QStringLiteral("userId"), userId},
        {QStringLiteral("loginAccount"), login},
        {QStringLiteral("applicationDir"), appDir},
        {QStringLiteral("database"), QString(appDir + QStringLiteral("/sarvek.db"))},
        {QStringLiteral("dataFile"), QString(appDir + QStringLiteral("/work/%1/SarvekFixStrategy.dat").arg(userId))},
        {QStringLiteral("groupsFile"), QString(appDir + QStringLiteral("/work/%1/SarvekFixedStrategyGroups.txt").arg(userId))},
        {QStringLiteral("hostProfile"), HostProfile::current().source()},
    };
    c.out.printRecord({QStringLiteral("initialized"), QStringLiteral("userId"), QStringLiteral("loginAccount"),
                       QStringLiteral("applicationDir"), QStringLiteral("database"), QStringLiteral("dataFile"),
                       QStringLiteral("groupsFile"), QStringLiteral("hostProfile")},
                      record);
    return CommandContext::Success;
}

int printValue(CommandContext &c, const QString &key, const QJsonValue &value)
{
    c.out.printRecord({key}, QJsonObject{{key, value}});
    return CommandContext::Success;
}

int wait(CommandContext &c)
{
    int ms = 0;
    if (!c.toInt(c.args.at(0), QStringLiteral("MS"), &ms))
        return c.usageStatus;
    if (ms < 0)
        return c.usage(QStringLiteral("MS must not be negative"));
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QObject::connect(&SignalWatcher::instance(), &SignalWatcher::requested, &loop, &QEventLoop::quit);
    loop.exec();
    return CommandContext::Success;
}
} // namespace

void registerCoreCommands(CommandTable &table)
{
    table.add(QStringLiteral("status"), QString(),
              QStringLiteral("Shows whether the plug-in is initialised, the user and where its files are."), 0, 0,
              status);
    table.add(QStringLiteral("product"), QString(), QStringLiteral("Shows the remembered product."), 0, 0,
              [](CommandContext &c) { return printValue(c, QStringLiteral("product"), c.facade.getLastProduct()); });
    table.add(QStringLiteral("product set"), QStringLiteral("VALUE"), QStringLiteral("Remembers a product."), 1, 1,
              [](CommandContext &c) {
                  c.facade.setLastProduct(c.args.at(0));
                  return c.ok();
              });
    table.add(QStringLiteral("fundaccount"), QString(), QStringLiteral("Shows the remembered fund account."), 0, 0,
              [](CommandContext &c) {
                  return printValue(c, QStringLiteral("fundAccount"), c.facade.getLastFundaccount());
              });
    table.add(QStringLiteral("fundaccount set"), QStringLiteral("VALUE"), QStringLiteral("Remembers a fund account."),
              1, 1, [](CommandContext &c) {
                  c.facade.setLastFundaccount(c.args.at(0));
                  return c.ok();
              });
    table.add(QStringLiteral("runmode"), QString(),
              QStringLiteral("Shows the plug-in's run mode (0 live, 1 simulated, 2 backtest, 3 unknown)."), 0, 0,
              [](CommandContext &c) { return printValue(c, QStringLiteral("runMode"), c.facade.getCurrentRunMode()); });
    table.add(QStringLiteral("runmode set"), QStringLiteral("N"),
              QStringLiteral("Sets the run mode for this process (it is not kept)."), 1, 1, [](CommandContext &c) {
                  int mode = 0;
                  if (!c.toInt(c.args.at(0), QStringLiteral("N"), &mode))
                      return c.usageStatus;
                  c.facade.setCurrentRunMode(mode);
                  return c.ok();
              });
    table.add(QStringLiteral("python"), QString(), QStringLiteral("Shows the Python installation path."), 0, 0,
              [](CommandContext &c) { return printValue(c, QStringLiteral("path"), c.facade.getPYInstallPath()); });
    table.add(QStringLiteral("python set"), QStringLiteral("PATH"),
              QStringLiteral("Sets the Python installation path (kept in ZqProEngineConfig.ini)."), 1, 1,
              [](CommandContext &c) {
                  c.facade.setPYInstallPath(c.args.at(0));
                  return c.ok();
              });
    table.add(QStringLiteral("wait"), QStringLiteral("MS"),
              QStringLiteral("Lets the event loop run for MS milliseconds (timers fire, signals arrive)."), 1, 1,
              wait);
}
