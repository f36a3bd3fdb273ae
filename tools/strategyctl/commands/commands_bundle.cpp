// Bundles: a user's whole strategy state as one versioned JSON document.
// `export` and `import` print what the plug-in's bundle functions
// (<StrategyLogic/strategybundle.h>) answer; docs/bundle.md describes the
// document.

#include "commands.h"
#include "commandtable.h"
#include "unsavedwatch.h"

#include <StrategyLogic/strategybundle.h>

#include <QJsonArray>
#include <QJsonObject>

using StrategyLogic::BundleExportResult;
using StrategyLogic::BundleImportMode;
using StrategyLogic::BundleImportResult;

namespace {
// The bundle a one-shot import read and checked before the data folder was
// taken.
struct CheckedBundle
{
    QString file;
    QByteArray text;
} s_checked;

const QStringList ChangeKeys{QStringLiteral("pointer"), QStringLiteral("action"), QStringLiteral("detail")};

int exportBundle(CommandContext &c)
{
    const BundleExportResult result = StrategyLogic::exportBundle(CommandContext::localFile(c.args.at(0)));
    if (result.outcome != BundleExportResult::Written)
        return c.unavailable(QStringLiteral("io"), result.message);
    const QJsonObject record{{QStringLiteral("file"), result.file},
                             {QStringLiteral("fixedStrategies"), result.fixedStrategies},
                             {QStringLiteral("groups"), result.groups},
                             {QStringLiteral("locks"), result.locks},
                             {QStringLiteral("instances"), result.instances},
                             {QStringLiteral("backtestDays"), result.backtestDays}};
    c.out.printRecord({QStringLiteral("file"), QStringLiteral("fixedStrategies"), QStringLiteral("groups"),
                       QStringLiteral("locks"), QStringLiteral("instances"), QStringLiteral("backtestDays")},
                      record);
    return CommandContext::Success;
}

int refuseProblems(Output &out, const BundleImportResult &result)
{
    QJsonArray list;
    QString text = result.message + QLatin1Char(':');
    for (const StrategyLogic::BundleProblem &problem : result.problems) {
        list.append(
            QJsonObject{{QStringLiteral("pointer"), problem.pointer}, {QStringLiteral("message"), problem.message}});
        // Pointers name members as the document spells them, control characters and all.
        text += QStringLiteral("\n  ")
            + Output::text(QString(problem.pointer.isEmpty() ? QStringLiteral("(the document)") : problem.pointer))
            + QStringLiteral(": ") + problem.message;
    }
    if (out.isJson())
        out.printJson(QJsonObject{{QStringLiteral("error"),
                                     QJsonObject{{QStringLiteral("kind"), QStringLiteral("refused")},
                                                 {QStringLiteral("message"), result.message},
                                                 {QStringLiteral("problems"), list}}}});
    out.printError(text);
    return CommandContext::Refused;
}

void printChanges(CommandContext &c, const QJsonObject &answer, const QList<StrategyLogic::BundleChange> &changes,
                  const QString &last)
{
    QList<QJsonObject> rows;
    for (const StrategyLogic::BundleChange &change : changes)
        rows.append(QJsonObject{
            {QStringLiteral("pointer"), change.pointer.isEmpty() ? QJsonValue() : QJsonValue(change.pointer)},
            {QStringLiteral("action"), StrategyLogic::bundleActionName(change.action)},
            {QStringLiteral("detail"), change.detail}});
    if (c.out.isJson()) {
        QJsonObject object = answer;
        QJsonArray list;
        for (const QJsonObject &row : qAsConst(rows))
            list.append(row);
        object.insert(QStringLiteral("changes"), list);
        c.out.printJson(object);
        return;
    }
    c.out.printRecords(ChangeKeys, rows);
    c.out.printLine(last);
}

// A step that failed part way: what came before it stays, and the next
// start of the plug-in makes the rest.
int stopped(CommandContext &c, const BundleImportResult &result)
{
    QString note = QStringLiteral("strategyctl import: stopped at %1; the changes before it are made, and the "
                                  "rest is made at the next start")
                       .arg(result.stoppedAt.isEmpty()
                                ? QStringLiteral("the removal of the user's strategies and groups")
                                : result.stoppedAt);
    if (!result.backups.isEmpty())
        note += QStringLiteral(" (the former files are kept as %1)").arg(result.backups.join(QStringLiteral(", ")));
    c.out.printError(note);
    if (result.storageFailed && UnsavedWatch::since(c.unsavedMark).isEmpty())
        return c.unavailable(QStringLiteral("io"), result.message);
    return c.refuseUnlessUnsaved(result.message);
}

int importBundle(CommandContext &c)
{
    const BundleImportMode mode
        = c.parser.isSet(QStringLiteral("replace")) ? BundleImportMode::Replace : BundleImportMode::Merge;
    const QString modeName = mode == BundleImportMode::Replace ? QStringLiteral("replace") : QStringLiteral("merge");
    const QString file = CommandContext::localFile(c.args.at(0));
    const bool dryRun = c.parser.isSet(QStringLiteral("dry-run"));
    // The document read and checked before the data folder was taken is
    // imported, and checked again against the folder.
    const BundleImportResult result = s_checked.file == file
        ? StrategyLogic::importBundleText(s_checked.text, mode, dryRun, file)
        : StrategyLogic::importBundle(file, mode, dryRun);
    s_checked = {};
    switch (result.outcome) {
    case BundleImportResult::Checked:
    case BundleImportResult::Refused: return refuseProblems(c.out, result);
    // Like a FILE that cannot be read at all (a folder, a read error): a usage error.
    case BundleImportResult::Unreadable: return c.usage(result.message);
    case BundleImportResult::DryRun:
        printChanges(c, {{QStringLiteral("dryRun"), true}, {QStringLiteral("mode"), modeName}}, result.changes,
                     QStringLiteral("dry run: nothing was changed"));
        return CommandContext::Success;
    case BundleImportResult::NothingToChange: return c.unchanged(result.message);
    case BundleImportResult::Stopped: return stopped(c, result);
    case BundleImportResult::NotWritable:
    case BundleImportResult::NotInitialised: return c.unavailable(QStringLiteral("io"), result.message);
    case BundleImportResult::Applied: break;
    }
    // A change the plug-in kept in memory but could not write is no "ok".
    if (!UnsavedWatch::since(c.unsavedMark).isEmpty())
        return c.refuseUnlessUnsaved(QString());
    printChanges(c, {{QStringLiteral("ok"), true}, {QStringLiteral("mode"), modeName}}, result.changes,
                 QStringLiteral("ok"));
    return CommandContext::Success;
}

// Reading and checking the document needs no data folder: a one-shot
// import holds the folder only while it applies what it checked.
int checkBeforeFolder(const ParsedCommand &parsed, Output &out)
{
    const QString file = CommandContext::localFile(parsed.args.value(0));
    QByteArray text;
    const BundleImportResult result = StrategyLogic::checkBundleFile(file, &text);
    switch (result.outcome) {
    case BundleImportResult::Checked: s_checked = {file, text}; return CommandContext::Success;
    case BundleImportResult::Unreadable:
        // As the command's own answer would be: a usage error.
        out.printFailure(QStringLiteral("usage"), QStringLiteral("strategyctl import: %1\nTry 'strategyctl import "
                                                                 "--help'.")
                                                      .arg(result.message));
        return CommandContext::UsageError;
    default: return refuseProblems(out, result);
    }
}

OptionSpec flag(const QString &name, const QString &description)
{
    return {name, QString(), ValueType::Text, description, {}, QString()};
}
} // namespace
void registerBundleCommands(CommandTable &table)
{
    CommandTable::Command &exportCommand = table.add(
        QStringLiteral("export"), QStringLiteral("FILE:path"),
        QStringLiteral("Writes the user's whole strategy state to FILE as one JSON document."), exportBundle);
    exportCommand.details = QStringLiteral(
        "The fixed strategies, groups, locks, instances, backtest days, remembered product and fund account, run "
        "mode and Python path, as docs/bundle.md describes. FILE is replaced whole or not at all.");
    exportCommand.db = DbAccess::Reads;


    CommandTable::Command &importCommand = table.add(
        QStringLiteral("import"), QStringLiteral("FILE:file"),
        QStringLiteral("Checks a document written by 'export' and applies it to the data folder."), importBundle,
        {flag(QStringLiteral("merge"), QStringLiteral("Add to what the data folder holds (the default).")),
         flag(QStringLiteral("replace"),
              QStringLiteral("Back up the data file and the groups file, then replace the strategies and groups.")),
         flag(QStringLiteral("dry-run"), QStringLiteral("Check and show what would change; change nothing."))});
    importCommand.details = QStringLiteral(
        "The whole document is checked first: every problem is reported with its JSON pointer, and nothing is "
        "changed unless all of it can be applied. docs/bundle.md says what each mode does.");
    importCommand.db = DbAccess::Writes;

    importCommand.prepare = checkBeforeFolder;
    importCommand.check = [](const ParsedCommand &parsed) {
        return parsed.options.contains(QStringLiteral("merge")) && parsed.options.contains(QStringLiteral("replace"))
            ? QStringLiteral("--merge and --replace exclude each other")
            : QString();
    };
}

