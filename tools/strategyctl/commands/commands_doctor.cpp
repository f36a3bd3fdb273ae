// doctor: the health check of the data folder and its user's files, run
// without starting the plug-in (whose start would create, migrate and
// repair files, hiding what is wrong), and its safe repairs.

#include "commands.h"
#include "commandtable.h"
#include "signalwatcher.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategydoctor.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

#include <algorithm>

using namespace StrategyLogic;

namespace {
QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject findingRecord(const DoctorFinding &finding)
{
    return QJsonObject{
        {QStringLiteral("id"), finding.id},
        {QStringLiteral("severity"), doctorSeverityName(finding.severity)},
        {QStringLiteral("message"), finding.message},
        {QStringLiteral("fix"), textOrNull(finding.fix)},
        {QStringLiteral("path"), textOrNull(finding.path)},
    };
}

QJsonObject repairRecord(const DoctorRepair &repair)
{
    return QJsonObject{
        {QStringLiteral("id"), repair.id},
        {QStringLiteral("action"), repair.action},
        {QStringLiteral("path"), repair.path},
        {QStringLiteral("backup"), textOrNull(repair.backup)},
    };
}

int count(const QList<DoctorFinding> &findings, DoctorSeverity severity)
{
    return int(std::count_if(findings.cbegin(), findings.cend(),
                             [severity](const DoctorFinding &f) { return f.severity == severity; }));
}

QString counted(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

// The findings are the answer, also when they hold errors: one document,
// never an error object.
void printReport(CommandContext &c, const QList<DoctorFinding> &findings, const QList<DoctorRepair> *repairs,
                 const QStringList &failures)
{
    const int errors = count(findings, DoctorSeverity::Error);
    if (c.out.isJson()) {
        QJsonArray findingList;
        for (const DoctorFinding &finding : findings)
            findingList.append(findingRecord(finding));
        QJsonArray repairList;
        for (const DoctorRepair &repair : repairs ? *repairs : QList<DoctorRepair>())
            repairList.append(repairRecord(repair));
        QJsonObject document{
            {QStringLiteral("findings"), findingList},
            {QStringLiteral("fixed"), repairList},
            {QStringLiteral("errors"), errors},
        };
        if (repairs)
            document.insert(QStringLiteral("notFixed"), QJsonArray::fromStringList(failures));
        c.out.printJson(document);
        return;
    }
    if (repairs) {
        for (const DoctorRepair &repair : *repairs) {
            QString where = repair.path;
            if (!repair.backup.isEmpty())
                where += QStringLiteral("; backup ") + repair.backup;
            c.out.printLine(Output::text(QStringLiteral("fixed %1: %2 (%3)").arg(repair.id, repair.action, where)));
        }
        for (const QString &failure : failures)
            c.out.printLine(Output::text(QString(QStringLiteral("not fixed: ") + failure)));
    }
    // One block per finding: its messages are sentences, too long for a
    // table's column.
    for (const DoctorFinding &finding : findings) {
        QString block = QStringLiteral("%1 %2\n").arg(doctorSeverityName(finding.severity), -8).arg(finding.id);
        block += QStringLiteral("         ") + Output::text(finding.message) + QLatin1Char('\n');
        if (!finding.path.isEmpty())
            block += QStringLiteral("         file: ") + Output::text(finding.path) + QLatin1Char('\n');
        if (!finding.fix.isEmpty())
            block += QStringLiteral("         fix:  ") + Output::text(finding.fix) + QLatin1Char('\n');
        c.out.printRaw(block);
    }
    c.out.printLine(QStringLiteral("%1, %2, %3")
                        .arg(counted(errors, "error", "errors"),
                             counted(count(findings, DoctorSeverity::Warning), "warning", "warnings"),
                             counted(count(findings, DoctorSeverity::Info), "note", "notes")));
}

int doctor(CommandContext &c)
{
    const QString folder = CommandContext::dataFolder();
    if (!c.parser.isSet(QStringLiteral("fix"))) {
        const QList<DoctorFinding> findings = checkInstallation(folder);
        printReport(c, findings, nullptr, {});
        return count(findings, DoctorSeverity::Error) > 0 ? CommandContext::Refused : CommandContext::Success;
    }
    // Another process holding the folder is waited for, as every command
    // waits (--wait), before the repairs are given up.
    QElapsedTimer waited;
    waited.start();
    DoctorFixResult result = fixInstallation(folder);
    while (result.outcome == DoctorFixResult::Busy && waited.elapsed() < qint64(CommandContext::waitSeconds()) * 1000
           && !SignalWatcher::caught()) {
        QThread::msleep(100);
        result = fixInstallation(folder);
    }
    switch (result.outcome) {
    case DoctorFixResult::Fixed:
        break;
    case DoctorFixResult::Busy:
        return c.unavailable(QStringLiteral("busy"),
                             QStringLiteral("strategyctl doctor: installation folder %1 in use by %2; nothing was "
                                            "fixed (run 'strategyctl doctor' to check it)")
                                 .arg(folder, result.reason));
    case DoctorFixResult::Failed:
        return c.unavailable(QStringLiteral("io"),
                             QStringLiteral("strategyctl doctor: cannot lock the data folder %1: %2; nothing was fixed")
                                 .arg(folder, result.reason));
    }
    printReport(c, result.findings, &result.repairs, result.failures);
    // A repair that could not be written is a file that could not be
    // written, whatever the findings say now.
    if (!result.failures.isEmpty()) {
        c.out.printError(QStringLiteral("strategyctl doctor: %1 could not be made: %2")
                             .arg(counted(result.failures.size(), "repair", "repairs"),
                                  result.failures.join(QLatin1String("; "))));
        return CommandContext::Unavailable;
    }
    return count(result.findings, DoctorSeverity::Error) > 0 ? CommandContext::Refused : CommandContext::Success;
}
} // namespace

void registerDoctorCommands(CommandTable &table)
{
    CommandTable::Command &command = table.add(
        QStringLiteral("doctor"), QString(),
        QStringLiteral("Checks the data folder and its user's files without starting the plug-in."), doctor,
        {{QStringLiteral("fix"), QString(), ValueType::Text,
          QStringLiteral("Make the safe repairs, each changed file copied to FILE.bak-TIME first, then check again."),
          {}, QString()}});
    command.scope = Scope::DataFolder;

    command.details = QStringLiteral(
        "The plug-in is not started, since its start creates, migrates and repairs files; without --fix no file is "
        "created or changed. It checks that the folder exists and is writable and who holds it; that sarvek.db "
        "opens, passes its integrity check and has its tables and columns, and that no legacy table, journal "
        "(sarvek.pending.json), interrupted group change, file kept aside (*.unreadable-*) or leftover temporary "
        "file is waiting; the user's data file (lines skipped and why, duplicate or invalid ids, names, groups "
        "missing from the groups file, values that would not be written back) and groups file (readable, the "
        "default group %1); that the id sequence %2 is above the highest stored id; the host "
        "profile, the user's identity and the Python path. Each finding has a stable id, a severity (error, "
        "warning, info), a message and, where a safe repair exists, the fix. --fix takes the data folder (trying "
        "once, without waiting), raises the id sequence, puts the default group back and adds the groups that "
        "records name to the groups file, removes leftover temporary files, and then checks again; the data file "
        "and the database are never changed. The findings are the answer, under --json too: {\"findings\": [{\"id\", "
        "\"severity\", \"message\", \"fix\", \"path\"}], \"fixed\": [{\"id\", \"action\", \"path\", \"backup\"}], "
        "\"errors\": N} (with --fix also \"notFixed\": [...]); there is no separate error object. Exit status 0 "
        "when no finding is an error, 1 otherwise; with --fix, 3 when another process holds the folder (nothing "
        "is changed) or a repair could not be written.")
                          .arg(StrategyLogic::defaultGroupName(), StrategyLogic::idServiceName());
}
