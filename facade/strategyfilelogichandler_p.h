#ifndef STRATEGYFILELOGICHANDLER_P_H
#define STRATEGYFILELOGICHANDLER_P_H

#include <StrategyLogic/strategyfilelogichandler.h>

#include "facade/filelocklist.h"
#include "registry/fixedstrategyregistry.h"
#include "registry/strategygroups.h"
#include "storage/changehistory.h"

#include <zqthread.h>

#include <QMutex>
#include <QRegExp>
#include <QString>

#include <atomic>

// The state of the plug-in object and its private steps: the registry of
// fixed strategies, the groups and the file locks (each with a lock of its
// own), the history of their changes, the worker thread, the user id, the
// remembered product and fund account, and the installation folder held
// while initialised.
class StrategyFileLogicHandlerPrivate
{
public:
    explicit StrategyFileLogicHandlerPrivate(StrategyFileLogicHandler *q);

    void initConnect();
    // Groups, fixed strategies and locks, once, at initialize().
    void initStrategyFileInfo();
    // exit() and the destructor: files written, pending rows written, the
    // folder let go, the thread stopped.
    void stop();
    void stopWorkThread();
    // True, with a warning, when the object is not initialised.
    bool refusesChange(const char *function) const;
    // The same, and also when the user id cannot name the user's folder.
    bool refusesRegistryChange(const char *function) const;
    void removeLeftoverTemporaryFiles();

    // Refusals (Refusals, StrategyLogic::lastRefusal()) of the changing
    // methods. writeDataFile(): the registry's write, a failure refused as
    // `function`'s unless it is null (a refusal of its own came first).
    bool writeDataFile(const char *function);
    // The data file of `handler` written now (after a
    // FixedStrategyRegistry::WriteHold), refused as `function`'s when it
    // cannot be.
    static bool writeDataFile(StrategyFileLogicHandler &handler, const char *function)
    {
        return handler.d->writeDataFile(function);
    }
    void refuseUnwritten(const char *function, const QString &what);
    // The answer of a group method that answers a message, or a bool.
    QString groupAnswer(const char *function, const QString &names, const QString &message);
    bool groupResult(const char *function, const QString &group, bool existed, bool result);

    StrategyFileLogicHandler *const q;

    // Lock order: m_initMutex first; then StrategyGroups' lock, the
    // registry's, the store's; the lock list's on its own; m_userIdMutex
    // innermost. Of the history's two locks, its queue's is a leaf taken
    // under any of them, its file's only under m_initMutex. No lock is held
    // while the data or groups file is written.

    QMutex m_initMutex; // serialises initialize()
    std::atomic<bool> m_initialized{false};
    std::atomic<bool> m_stopped{false}; // exit() ran: the object is not initialised again

    ChangeHistory m_history; // before the objects that record into it
    FixedStrategyRegistry m_registry{m_history};
    StrategyGroups m_groups{m_registry, m_history};
    FileLockList m_locks{m_history};

    ZqThread m_workThread;

    // State below is protected by m_userIdMutex.
    QMutex m_userIdMutex;
    QString m_curUserId;

    // State below is protected by m_rememberedMutex, so that readers on
    // other threads see whole values.
    mutable QMutex m_rememberedMutex;
    QString m_lastProduct;
    QString m_lastFundaccount;

    QRegExp m_strictNameRegExp; // read-only after construction

    QString m_lockedFolder; // the installation folder held while initialised
    // The user id names a folder below work/; set by initialize().
    std::atomic<bool> m_userFolderUsable{false};
};

#endif // STRATEGYFILELOGICHANDLER_P_H
