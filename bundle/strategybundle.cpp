// The functions of <StrategyLogic/strategybundle.h>: the bundle's reader,
// exporter and importer put together on the process's plug-in object.

#include <StrategyLogic/strategybundle.h>

#include "bundle/bundledocument.h"
#include "bundle/bundleexporter.h"
#include "bundle/bundleimporter.h"
#include "storage/atomicfile.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QFile>
#include <QRecursiveMutex>

using StrategyLogic::BundleExportResult;
using StrategyLogic::BundleImportMode;
using StrategyLogic::BundleImportResult;
using StrategyLogic::BundleProblem;

namespace {
// One export or import at a time: an import's walk through the data folder
// holds only while nobody else imports into it. Recursive, so that a slot
// connected directly to a signal an import emits may export.
QRecursiveMutex s_bundleMutex;

const QString NotInitialisedMessage = QStringLiteral("the plug-in is not initialised; nothing was changed");

BundleImportResult refused(BundleImportResult result, const QList<BundleProblem> &problems)
{
    result.outcome = BundleImportResult::Refused;
    result.problems = problems;
    result.message = QStringLiteral("%1 cannot be imported (%2); nothing was changed")
                         .arg(result.file, problems.size() == 1 ? QStringLiteral("1 problem")
                                                                : QStringLiteral("%1 problems").arg(problems.size()));
    return result;
}

// The import of a checked document: the walk without changes first, then,
// unless it is a dry run or finds nothing to do, the walk that applies it.
BundleImportResult importDocument(BundleImportResult result, const BundleDocument &document, bool dryRun)
{
    BundleImporter importer(StrategyFileLogicHandler::instance(), document, result.mode);
    importer.setName(result.file);
    importer.plan();
    if (!importer.problems().isEmpty())
        return refused(result, importer.problems());
    if (dryRun) {
        result.outcome = BundleImportResult::DryRun;
        result.changes = importer.changes();
        return result;
    }
    if (importer.changeCount() == 0) {
        result.outcome = BundleImportResult::NothingToChange;
        result.changes = importer.changes();
        result.message = QStringLiteral("the data folder holds everything of %1 already").arg(result.file);
        return result;
    }
    importer.apply();
    if (!importer.problems().isEmpty())
        return refused(result, importer.problems());
    result.changes = importer.changes();
    result.backups = importer.backups();
    switch (importer.ending()) {
    case BundleImporter::Ending::Done: result.outcome = BundleImportResult::Applied; break;
    case BundleImporter::Ending::NotWritable:
        result.outcome = BundleImportResult::NotWritable;
        result.message = importer.message();
        break;
    case BundleImporter::Ending::Stopped:
        result.outcome = BundleImportResult::Stopped;
        result.message = importer.message();
        result.stoppedAt = importer.stoppedAt();
        result.storageFailed = importer.storageFailed();
        result.refusal = importer.refusal();
        break;
    }
    return result;
}

BundleImportResult importText(const QByteArray &text, BundleImportMode mode, bool dryRun, const QString &name)
{
    BundleImportResult result;
    result.mode = mode;
    result.file = name;
    if (!StrategyFileLogicHandler::instance().isInitialized()) {
        result.outcome = BundleImportResult::NotInitialised;
        result.message = NotInitialisedMessage;
        return result;
    }
    QList<BundleProblem> problems;
    const BundleDocument document = BundleDocument::read(text, &problems);
    if (!problems.isEmpty())
        return refused(result, problems);
    return importDocument(result, document, dryRun);
}
} // namespace

QString StrategyLogic::bundleActionName(BundleAction action)
{
    switch (action) {
    case BundleAction::Backup: return QStringLiteral("backup");
    case BundleAction::Remove: return QStringLiteral("remove");
    case BundleAction::Add: return QStringLiteral("add");
    case BundleAction::Rename: return QStringLiteral("rename");
    case BundleAction::Keep: return QStringLiteral("keep");
    case BundleAction::Set: return QStringLiteral("set");
    }
    return QString();
}

QByteArray StrategyLogic::bundleText()
{
    QMutexLocker locker(&s_bundleMutex);
    StrategyFileLogicHandler &handler = StrategyFileLogicHandler::instance();
    if (!handler.isInitialized())
        return QByteArray();
    BundleExporter exporter(handler);
    exporter.collect();
    return exporter.text();
}

BundleExportResult StrategyLogic::exportBundle(const QString &path)
{
    QMutexLocker locker(&s_bundleMutex);
    BundleExportResult result;
    result.file = path;
    StrategyFileLogicHandler &handler = StrategyFileLogicHandler::instance();
    if (!handler.isInitialized()) {
        result.outcome = BundleExportResult::NotInitialised;
        result.message = QStringLiteral("the plug-in is not initialised; nothing was written");
        return result;
    }
    BundleExporter exporter(handler);
    exporter.collect();
    QString error;
    // A folder that is not there is a mistake in the path, not a folder to make.
    if (!AtomicFile::replace(path, exporter.text(), &error, AtomicFile::FolderMustExist)) {
        result.outcome = BundleExportResult::NotWritten;
        result.message = QStringLiteral("cannot write %1: %2").arg(path, error);
        return result;
    }
    result.fixedStrategies = exporter.fixedStrategies();
    result.groups = exporter.groups();
    result.locks = exporter.locks();
    result.instances = exporter.instances();
    result.backtestDays = exporter.backtestDays();
    return result;
}

QList<BundleProblem> StrategyLogic::checkBundle(const QByteArray &text)
{
    QList<BundleProblem> problems;
    BundleDocument::read(text, &problems);
    return problems;
}

namespace {
// Reads up to the limit only: the file may be a device or a pipe without
// end. False with the answer of an unreadable file.
bool readBundle(const QString &path, QByteArray *bytes, BundleImportResult *result)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        *bytes = file.read(BundleDocument::MaxBytes + 1);
    if (file.isOpen() && file.error() == QFileDevice::NoError)
        return true;
    result->outcome = BundleImportResult::Unreadable;
    result->file = path;
    result->message = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    return false;
}
} // namespace

BundleImportResult StrategyLogic::checkBundleFile(const QString &path, QByteArray *text)
{
    BundleImportResult result;
    result.file = path;
    text->clear();
    if (!readBundle(path, text, &result))
        return result;
    const QList<BundleProblem> problems = checkBundle(*text);
    if (!problems.isEmpty())
        return refused(result, problems);
    result.outcome = BundleImportResult::Checked;
    return result;
}

BundleImportResult StrategyLogic::importBundle(const QString &path, BundleImportMode mode, bool dryRun)
{
    QMutexLocker locker(&s_bundleMutex);
    QByteArray bytes;
    BundleImportResult result;
    result.mode = mode;
    if (!readBundle(path, &bytes, &result))
        return result;
    return importText(bytes, mode, dryRun, path);
}

BundleImportResult StrategyLogic::importBundleText(const QByteArray &text, BundleImportMode mode, bool dryRun,
                                                   const QString &name)
{
    QMutexLocker locker(&s_bundleMutex);
    return importText(text, mode, dryRun, name);
}
