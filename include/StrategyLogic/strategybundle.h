#ifndef STRATEGYLOGIC_STRATEGYBUNDLE_H
#define STRATEGYLOGIC_STRATEGYBUNDLE_H

#include <StrategyLogic/strategylogic_global.h>
#include <StrategyLogic/strategyrefusal.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

/// \file
/// Bundles: the logged-in user's whole strategy state as one versioned JSON
/// document (docs/bundle.md describes it), written from the plug-in and
/// applied to it.
///
/// Every function here but checkBundle() and bundleActionName() works on the
/// process's plug-in object, StrategyFileLogicHandler::instance(), which
/// must be initialised; an import changes it through its own public methods,
/// so that its rules, files and signals apply as they do for the client (the
/// signals are emitted on the calling thread). They may be called from any
/// thread; the exports and imports of a process run one at a time (a call
/// on another thread waits while one runs; a slot the import's signals
/// reach directly may export). They block for the files and the database.
/// A change made by another thread while an import runs may make one of its
/// steps fail, which stops it there (BundleImportResult::Stopped).
///
/// An import is one change: it records what it is about to change in the
/// user's folder before the first change and removes the record once all is
/// stored, and initialize() finishes an import that a process did not, so
/// that the data folder shows the state before an import or after all of it.
///
/// Results are values; their messages are in English.

namespace StrategyLogic {

/// What an import does with the user's strategies and groups.
enum class BundleImportMode {
    Merge,   ///< adds to what the data folder holds; what is there already is kept as it is
    Replace, ///< backs up the data file and the groups file, removes the user's strategies and the groups the bundle does not list, then merges
};

/// One thing wrong with a bundle.
struct BundleProblem
{
    /// Where: the JSON pointer (RFC 6901) of the value, as the document
    /// spells its member names; empty for the document as a whole.
    QString pointer;
    QString message; ///< what is wrong, in English
};

/// What one change of an import does.
enum class BundleAction {
    Backup, ///< a file copied to a dated backup (Replace)
    Remove, ///< a fixed strategy or a user group removed (Replace)
    Add,    ///< a record of the bundle added
    Rename, ///< a fixed strategy added under its file's default name, its own being taken for the file
    Keep,   ///< a record the data folder has already, left as it is
    Set,    ///< a remembered value set (the product, the fund account, the Python path)
};

/// "backup", "remove", "add", "rename", "keep" or "set".
STRATEGYLOGIC_EXPORT QString bundleActionName(BundleAction action);

/// One change of an import, in the order the import makes them.
struct BundleChange
{
    /// The record of the bundle it comes from, a JSON pointer such as
    /// "/fixedStrategies/2"; empty for the backups and removals of Replace.
    QString pointer;
    BundleAction action = BundleAction::Keep; ///< what is done
    QString detail; ///< what it concerns, in English: "group 趋势", "abc (D:/s/abc.py, group 趋势)"
};

/// What exportBundle() did.
struct BundleExportResult
{
    /// Whether the document was written.
    enum Outcome {
        Written,        ///< the file holds the document
        NotWritten,     ///< the file could not be written; a file that was there is as it was
        NotInitialised, ///< the plug-in is not initialised: nothing was written
    };

    Outcome outcome = Written; ///< whether the document was written
    QString file;              ///< the file, as given
    /// NotWritten: "cannot write FILE: REASON"; NotInitialised: why; empty
    /// when written.
    QString message;
    int fixedStrategies = 0; ///< the fixed strategies written
    int groups = 0;          ///< the groups written
    int locks = 0;           ///< the locked strategy files written
    int instances = 0;       ///< the strategy instances written
    int backtestDays = 0;    ///< the backtest days written
};

/// What importBundle() or importBundleText() did.
struct BundleImportResult
{
    /// How the import ended.
    enum Outcome {
        /// The bundle has problems, or cannot be applied as a whole (see
        /// `problems`): nothing was changed.
        Refused,
        Unreadable,      ///< the file could not be read (see `message`): nothing was changed
        DryRun,          ///< checked, and could be applied; `changes` is what it would do; nothing was changed
        NothingToChange, ///< the data folder holds everything of the bundle already: nothing was changed
        Applied,         ///< every change of `changes` was made
        /// A step failed part way, at `stoppedAt`: the changes before it
        /// (in `changes`) are made, the rest stays recorded in the data
        /// folder and the next initialize() makes it; the backups are kept
        /// (`backups`).
        Stopped,
        /// The installation folder, the user's folder or a backup could not
        /// be written (see `message`): nothing was changed.
        NotWritable,
        NotInitialised, ///< the plug-in is not initialised: nothing was changed
        /// checkBundleFile(): the document itself can be imported (the data
        /// folder may still stand in its way); nothing was changed.
        Checked,
    };

    Outcome outcome = Refused;                      ///< how the import ended
    BundleImportMode mode = BundleImportMode::Merge; ///< the mode asked for
    QString file; ///< the file, as given; for importBundleText() the name given
    /// In English. Refused: "FILE cannot be imported (N problems); nothing
    /// was changed"; Unreadable: "cannot read FILE: REASON"; NothingToChange:
    /// "the data folder holds everything of FILE already"; Stopped: the step
    /// that failed and, where known, why; NotWritable: the folder or file and
    /// why, "...; nothing was changed". Empty for DryRun and Applied.
    QString message;
    /// Refused: every problem, in the order of the document; past 4 Mi
    /// characters of them, a last one that says how many more there are.
    QList<BundleProblem> problems;
    /// DryRun: the changes the import would make; Applied: those it made;
    /// Stopped: those made before the step that failed; NothingToChange:
    /// the records kept.
    QList<BundleChange> changes;
    /// Stopped: the pointer of the step that failed; empty for the removal
    /// of the user's strategies and groups (Replace).
    QString stoppedAt;
    /// Stopped: whether the step failed because the local database did not
    /// take it (a lock, an instance's times).
    bool storageFailed = false;
    /// Stopped: the plug-in's refusal of the step (lastRefusal()), when it
    /// gave one; code RefusalCode::None otherwise.
    Refusal refusal;
    /// Replace: the dated copies of the data file and the groups file taken
    /// before anything changed, "<file>.bak-<yyyyMMdd-HHmmss>" (with "-2",
    /// "-3", ... when that name is taken); kept whatever happens after.
    QStringList backups;
};

/// Writes the logged-in user's whole strategy state to `path` (absolute, or
/// relative to the working directory) as one bundle: the fixed strategies,
/// groups, locks, instances, backtest days, remembered product and fund
/// account, run mode and Python path. The file is replaced whole or not at
/// all; its folder must exist.
STRATEGYLOGIC_EXPORT BundleExportResult exportBundle(const QString &path);

/// The document exportBundle() writes, as UTF-8 bytes; empty when the
/// plug-in is not initialised.
STRATEGYLOGIC_EXPORT QByteArray bundleText();

/// The problems of a bundle's text on its own, as an import reports them
/// before it looks at the data folder: text that is not UTF-8 or not JSON,
/// an unknown format or version, missing members, wrong types, texts the
/// files cannot hold, times they would not give back (in this process's
/// time zone), ids and records given twice, ... (docs/bundle.md); past 4 Mi
/// characters of them, a last one that says how many more there are. Takes
/// time in proportion to the length of `text`.
/// Empty for a document an import could apply, unless the data folder
/// stands in its way (a built-in group it lacks, a name taken without
/// another). Needs no plug-in; thread-safe.
STRATEGYLOGIC_EXPORT QList<BundleProblem> checkBundle(const QByteArray &text);

/// Reads the bundle `path` (absolute, or relative to the working directory;
/// no more than 64 MiB of it is read) and imports it: checks the whole
/// document, then walks through the whole import without changing anything,
/// and starts only when every step of it can be taken. With `dryRun` it
/// stops after the walk and answers its changes. docs/bundle.md says what
/// each mode does.
STRATEGYLOGIC_EXPORT BundleImportResult importBundle(const QString &path,
                                                     BundleImportMode mode = BundleImportMode::Merge,
                                                     bool dryRun = false);

/// Reads the bundle `path` as importBundle() does and checks the document
/// alone, as checkBundle() does; needs no plug-in, thread-safe. A host reads
/// and checks a bundle with it before it starts the plug-in (which holds the
/// data folder), then imports `*text` with importBundleText(), which checks
/// it again against the data folder. Outcome Unreadable, Refused (with
/// `problems` and `message` as importBundle() gives them), or Checked.
STRATEGYLOGIC_EXPORT BundleImportResult checkBundleFile(const QString &path, QByteArray *text);

/// The same for a bundle's bytes; `name` stands for the bundle in the
/// messages.
STRATEGYLOGIC_EXPORT BundleImportResult importBundleText(const QByteArray &text,
                                                         BundleImportMode mode = BundleImportMode::Merge,
                                                         bool dryRun = false,
                                                         const QString &name = QStringLiteral("the bundle"));

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_STRATEGYBUNDLE_H
