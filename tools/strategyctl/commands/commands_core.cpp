// status, the remembered product and fund account, run mode, Python path,
// and the commands about strategyctl itself (help, shell, completion).

#include "bashcompletion.h"
#include "commandhelp.h"
#include "commands.h"
#include "commandtable.h"
#include "manualpage.h"
#include "signalwatcher.h"
#include "zshcompletion.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategylogic_version.h>

#include <cbusinessdatabase.h>
#include <hostprofile.h>
#include <zcore.h>
#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace {
int status(CommandContext &c)
{
    const QString appDir = ZqApplicationDir::path();
    const QString login = CBusinessDataBase::GetInstance()->GetLoginAccount();
    const QString userId = c.facade().getCurUserId();
    const StrategyLogic::InstallationFiles files = StrategyLogic::installationFiles(appDir, userId);
    const QList<QPair<QString, QJsonValue>> fields{
        {QStringLiteral("version"), QString::fromLatin1(StrategyLogic::version())},
        {QStringLiteral("initialized"), c.facade().isInitialized()},
        {QStringLiteral("userId"), userId},
        {QStringLiteral("loginAccount"), login},
        {QStringLiteral("applicationDir"), appDir},
        {QStringLiteral("writable"), QFileInfo(appDir).isWritable()},
        {QStringLiteral("database"), files.database},
        {QStringLiteral("pendingJournal"), files.pendingJournal},
        {QStringLiteral("folderLock"), QString(appDir + QLatin1Char('/') + QLatin1String(ZqFolderLock::FileName))},
        {QStringLiteral("dataFile"), files.dataFile},
        {QStringLiteral("groupsFile"), files.groupsFile},
        {QStringLiteral("history"), files.history},
        {QStringLiteral("pythonIni"), files.pythonIni},
        {QStringLiteral("userSettings"), QString(appDir + QLatin1Char('/') + QLatin1String(ZCore::SettingsFileName))},
        {QStringLiteral("hostProfile"), HostProfile::current().source()},
        {QStringLiteral("simuDatabase"), files.simuDatabase},
        {QStringLiteral("idDir"), qEnvironmentVariable("STRATEGYLOGIC_ID_DIR")},
    };
    QStringList keys;
    QJsonObject record;
    for (const auto &field : fields) {
        keys.append(field.first);
        record.insert(field.first, field.second);
    }
    c.out.printRecord(keys, record);
    return CommandContext::Success;
}

int printValue(CommandContext &c, const QString &key, const QJsonValue &value)
{
    c.out.printRecord({key}, QJsonObject{{key, value}});
    return CommandContext::Success;
}

int wait(CommandContext &c)
{
    QEventLoop loop;
    QTimer::singleShot(c.toInt(c.args.at(0)), &loop, &QEventLoop::quit);
    QObject::connect(&SignalWatcher::instance(), &SignalWatcher::requested, &loop, &QEventLoop::quit);
    loop.exec();
    return CommandContext::Success;
}

int help(CommandContext &c)
{
    QString text;
    if (!CommandHelp(c.table).helpFor(c.args, &text)) {
        c.out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl help: ") + text);
        return CommandContext::UsageError;
    }
    c.out.printHelp(text);
    return CommandContext::Success;
}

// Sets a remembered value; "nothing changed" when it had that value.
int setValue(CommandContext &c, const QString &current, const std::function<void(const QString &)> &set)
{
    const QString value = c.args.at(0);
    if (current == value)
        return c.unchanged(QStringLiteral("it is %1 already").arg(value));
    set(value);
    return c.ok();
}
} // namespace

void registerCoreCommands(CommandTable &table)
{
    table.add(QStringLiteral("status"), QString(),
              QStringLiteral("Shows the version, the user and where every file of the data folder is."), status);
    table.add(QStringLiteral("product"), QString(), QStringLiteral("Shows the remembered product."),
              [](CommandContext &c) { return printValue(c, QStringLiteral("product"), c.facade().getLastProduct()); });
    table.add(QStringLiteral("product set"), QStringLiteral("VALUE"), QStringLiteral("Remembers a product."),
              [](CommandContext &c) {
                  StrategyFileLogicHandler &f = c.facade();
                  return setValue(c, f.getLastProduct(), [&f](const QString &v) { f.setLastProduct(v); });
              });
    table.add(QStringLiteral("fundaccount"), QString(), QStringLiteral("Shows the remembered fund account."),
              [](CommandContext &c) {
                  return printValue(c, QStringLiteral("fundAccount"), c.facade().getLastFundaccount());
              });
    table.add(QStringLiteral("fundaccount set"), QStringLiteral("VALUE"), QStringLiteral("Remembers a fund account."),
              [](CommandContext &c) {
                  StrategyFileLogicHandler &f = c.facade();
                  return setValue(c, f.getLastFundaccount(), [&f](const QString &v) { f.setLastFundaccount(v); });
              });
    table.add(QStringLiteral("runmode"), QString(),
              QStringLiteral("Shows the plug-in's run mode (0 live, 1 simulated, 2 backtest, 3 unknown)."),
              [](CommandContext &c) { return printValue(c, QStringLiteral("runMode"), c.facade().getCurrentRunMode()); });
    CommandTable::Command &runmodeSet = table.add(
        QStringLiteral("runmode set"), QStringLiteral("MODE:0|1|2|3"),
        QStringLiteral("Sets the run mode of this process (0 live, 1 simulated, 2 backtest, 3 unknown)."),
        [](CommandContext &c) {
            const int mode = c.toInt(c.args.at(0));
            if (c.facade().getCurrentRunMode() == mode)
                return c.unchanged(QStringLiteral("the run mode is %1 already").arg(mode));
            c.facade().setCurrentRunMode(mode);
            return c.ok();
        });
    runmodeSet.scope = Scope::ShellOnly;
    runmodeSet.shellHint = QStringLiteral("the run mode is not kept; set it inside 'strategyctl shell'.");
    table.add(QStringLiteral("python"), QString(), QStringLiteral("Shows the Python installation path."),
              [](CommandContext &c) { return printValue(c, QStringLiteral("path"), c.facade().getPYInstallPath()); });
    table.add(QStringLiteral("python set"), QStringLiteral("PATH:path"),
              QStringLiteral("Sets the Python installation path (kept in ZqProEngineConfig.ini)."),
              [](CommandContext &c) {
                  StrategyFileLogicHandler &f = c.facade();
                  return setValue(c, f.getPYInstallPath(), [&f](const QString &v) { f.setPYInstallPath(v); });
              });
    table.add(QStringLiteral("wait"), QStringLiteral("MS:millis"),
              QStringLiteral("Lets the event loop run for MS milliseconds (timers fire, signals arrive)."), wait);

    CommandTable::Command &shell = table.add(
        QStringLiteral("shell"), QString(),
        QStringLiteral("Reads commands from stdin, one per line, in one process, and prints the plug-in's signals "
                       "as 'event NAME ARG...' lines."),
        [](CommandContext &c) { return c.refuse(QStringLiteral("strategyctl shell: this is the shell already")); },
        {{QStringLiteral("bail"), QString(), ValueType::Text, QStringLiteral("Stop at the first command that fails."),
          {}, QString()}});
    shell.details = QStringLiteral(
        "On a terminal it shows the prompt 'strategyctl> ' and edits lines with history; piped, it reads quietly. "
        "Words are split as a POSIX shell does ('...' literal, \"...\" with \\\" and \\\\). Blank lines and lines "
        "starting with # are skipped. 'help' lists the commands, 'quit' or 'exit' (or the end of the input) ends "
        "the shell, writing what is pending. Its exit status is 0 when every command succeeded, else that of the "
        "last command that failed.");
    CommandTable::Command &helpCommand =
        table.add(QStringLiteral("help"), QStringLiteral("[COMMAND...]"),
                  QStringLiteral("Shows the help of strategyctl, of a group or of a command."), help);
    helpCommand.scope = Scope::WithoutPlugin;
    CommandTable::Command &completion =
        table.add(QStringLiteral("completion"), QStringLiteral("SHELL:bash|zsh"),
                  QStringLiteral("Prints a completion script: eval \"$(strategyctl completion bash)\"."),
                  [](CommandContext &c) {
                      // SHELL was checked: bash or zsh.
                      c.out.printRaw(c.args.at(0) == QLatin1String("zsh") ? ZshCompletion::script(c.table)
                                                                           : BashCompletion::script(c.table));
                      return int(CommandContext::Success);
                  });
    completion.scope = Scope::WithoutPlugin;
    CommandTable::Command &manpage = table.add(QStringLiteral("manpage"), QString(),
                                               QStringLiteral("Prints the manual page strategyctl.1 (roff)."),
                                               [](CommandContext &c) {
                                                   c.out.printRaw(ManualPage::page(c.table, QString::fromLatin1(StrategyLogic::version())));
                                                   return int(CommandContext::Success);
                                               });
    manpage.scope = Scope::WithoutPlugin;
    manpage.hidden = true;
}
